#include "UpdateCheck.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <X11/Xlib.h>     // after gtest: Xlib's macros (None, Bool) clash with its names

// What a host does before it shows a plug-in's window: Xlib set up for threads, and an
// error handler of its own. Without one, Xlib ends the process at the first error, such as
// the framework naming a window-manager property that no window manager has registered on
// a bare virtual display.
static int ignoreXError (Display*, XErrorEvent*) { return 0; }

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    XInitThreads();
    XSetErrorHandler (ignoreXError);

    juce::ScopedJuceInitialiser_GUI framework;

    // No test may reach the maker's site: windows opened here check nowhere unless a test
    // points them at a server of its own on loopback.
    setUpdateEndpoint ({});
    return RUN_ALL_TESTS();
}
