#include "UpdateCheck.h"
#include "platform/DisplayHost.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

// The window tests play the host: Xlib set up as a host sets it up, then the framework.
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    platform::prepareDisplayLikeAHost();

    juce::ScopedJuceInitialiser_GUI framework;

    // No test may reach the maker's site: windows opened here check nowhere unless a test
    // points them at a server of its own on loopback.
    setUpdateEndpoint ({});
    return RUN_ALL_TESTS();
}
