#pragma once

#include <juce_core/juce_core.h>

namespace platform
{
    // What a plug-in host does before it shows a plug-in's window, for the tools and tests
    // that play the host: on X11, Xlib prepared for threads and an error handler that lets a
    // failed request pass (without one, Xlib ends the process at the first error, such as a
    // window-manager property that no window manager has registered on a bare virtual
    // display). Call once, before the framework opens the display. Nothing elsewhere.
    void prepareDisplayLikeAHost();

    // Whether a display is there to put windows on (X11: DISPLAY is set). Always on macOS.
    bool hasDisplay();

    // For command-line tools that need real windows (alert windows always are): replaces the
    // process by the same command inside a virtual X display of its own (xvfb-run). Returns
    // only when that cannot be done, with the reason. Not needed, and never done, on macOS.
    juce::String runAgainUnderVirtualDisplay (int argc, char** argv);
}
