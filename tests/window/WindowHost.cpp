// orvan-window-host PATH.vst3: loads the VST3 bundle through the framework's hosting classes,
// opens its editor in a real desktop window (under an X server), lets it run for a moment and
// closes everything again, as a host does when a user opens and closes the plug-in window.
// Exits non-zero, with the reason, when any step fails.

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/Xlib.h>

#include <iostream>

namespace
{
int fail (const juce::String& why)
{
    std::cerr << "orvan-window-host: " << why << "\n";
    return 1;
}

class HostWindow final : public juce::Component
{
public:
    explicit HostWindow (juce::AudioProcessorEditor& e) : editor (e)
    {
        addAndMakeVisible (editor);
        setSize (editor.getWidth(), editor.getHeight());
        setVisible (true);
        addToDesktop (0);
    }

    ~HostWindow() override { removeChildComponent (&editor); }

private:
    juce::AudioProcessorEditor& editor;
};

int run (const juce::String& bundlePath)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, bundlePath);
    if (types.isEmpty())
        return fail ("no plug-in found in " + bundlePath);

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types[0], 48000.0, 512, error);
    if (instance == nullptr)
        return fail ("cannot create the plug-in: " + error);
    if (instance->getName() != "Orvan")
        return fail ("unexpected plug-in " + instance->getName());

    instance->setPlayConfigDetails (2, 2, 48000.0, 512);
    instance->prepareToPlay (48000.0, 512);
    juce::AudioBuffer<float> block (2, 512);
    block.clear();
    juce::MidiBuffer midi;
    instance->processBlock (block, midi);

    for (int opening = 0; opening < 3; ++opening)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditor());
        if (editor == nullptr)
            return fail ("the plug-in made no editor");
        if (editor->getWidth() != 632 || editor->getHeight() != 340)
            return fail ("the window is " + juce::String (editor->getWidth()) + " x " + juce::String (editor->getHeight())
                         + ", not 632 x 340");

        {
            HostWindow window (*editor);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (400);
            if (! editor->isShowing() || window.getPeer() == nullptr)
                return fail ("the window is not on screen");
            instance->processBlock (block, midi);
        }
        editor.reset();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    }

    instance->releaseResources();
    instance.reset();
    std::cout << "orvan-window-host: opened and closed the window of " << bundlePath << " three times\n";
    return 0;
}
} // namespace

// The framework looks up the window manager's atoms without creating them, and a bare X
// server without a window manager has none yet, which makes creating a window fail. A desktop
// always has them; this connection creates them and stays open, so the server keeps them.
static ::Display* provideWindowManagerAtoms()
{
    auto* display = XOpenDisplay (nullptr);
    if (display != nullptr)
        for (const char* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                                  "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN",
                                  "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_NAME", "UTF8_STRING",
                                  "_NET_ACTIVE_WINDOW", "_XEMBED", "_XEMBED_INFO" })
            XInternAtom (display, name, False);
    if (display != nullptr)
        XSync (display, False);
    return display;
}

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: orvan-window-host PATH.vst3\n";
        return 2;
    }

    auto* atomKeeper = provideWindowManagerAtoms();
    if (atomKeeper == nullptr)
        return fail ("no display: run under an X server (xvfb-run -a)");

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI framework;
        result = run (juce::String::fromUTF8 (argv[1]));
    }
    XCloseDisplay (atomKeeper);
    return result;
}

