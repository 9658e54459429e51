#include "UpdateCheck.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

// The framework's message manager and its singletons live for the whole run, as in a host.
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI framework;

    // No test may reach the maker's site: windows opened here check nowhere unless a test
    // points them at a server of its own on loopback.
    setUpdateEndpoint ({});
    return RUN_ALL_TESTS();
}
