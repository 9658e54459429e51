#include "DisplayHost.h"

#if ! __APPLE__
 #include <cstdlib>
 #include <dlfcn.h>
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
   #else
    void prepareDisplayLikeAHost() {}
    bool hasDisplay() { return true; }
   #endif
}
