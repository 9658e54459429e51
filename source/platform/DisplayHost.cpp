#include "DisplayHost.h"

#if ! __APPLE__
 #include <cstdlib>
 #include <dlfcn.h>
 #include <unistd.h>
 #include <vector>
#endif

namespace platform
{
   #if ! __APPLE__
    namespace
    {
        // Xlib is loaded at run time, as the framework loads it, so nothing here links it.
        using ErrorHandler = int (*) (void* display, void* event);
        int letErrorPass (void*, void*) { return 0; }
    }

    void prepareDisplayLikeAHost()
    {
        auto* xlib = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL);

        if (xlib == nullptr)
            return;

        if (auto initThreads = reinterpret_cast<int (*)()> (dlsym (xlib, "XInitThreads")))
            initThreads();

        if (auto setErrorHandler = reinterpret_cast<ErrorHandler (*) (ErrorHandler)> (dlsym (xlib, "XSetErrorHandler")))
            setErrorHandler (letErrorPass);
    }

    bool hasDisplay()
    {
        const auto* display = std::getenv ("DISPLAY");
        return display != nullptr && *display != 0;
    }
    juce::String runAgainUnderVirtualDisplay (int argc, char** argv)
    {
        std::vector<char*> command { const_cast<char*> ("xvfb-run"), const_cast<char*> ("-a"),
                                     const_cast<char*> ("-s"), const_cast<char*> ("-screen 0 1280x1024x24 -nolisten tcp") };
        const auto self = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName();
        command.push_back (const_cast<char*> (self.toRawUTF8()));

        for (int i = 1; i < argc; ++i)
            command.push_back (argv[i]);

        command.push_back (nullptr);
        execvp (command[0], command.data());
        return "no display, and xvfb-run (Debian package xvfb) could not be started to make one";
    }
   #else
    void prepareDisplayLikeAHost() {}
    juce::String runAgainUnderVirtualDisplay (int, char**) { return "no display"; }
    bool hasDisplay() { return true; }
   #endif
}
