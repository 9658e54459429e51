// The threads a host runs at once: the audio thread processing blocks, automation writing
// both parameters as fast as it can, the host saving and restoring state, and the message
// thread running an open editor. Run under ThreadSanitizer this shows the absence of data
// races; in any build it shows that the output stays clean while everything moves.
#include "PluginProcessor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace
{
// Long enough for every thread to run many thousands of iterations, short enough for CI
// (ThreadSanitizer slows the audio thread by an order of magnitude).
constexpr int runMilliseconds = 1500;
}

TEST (Threads, HostThreadsMeetWithoutRacesAndOutputStaysWithinTheInput)
{
    const double rate = 48000.0;
    const int blockSize = 256;
    OrvanAudioProcessor processor (HostPolicy {});
    processor.setRateAndBufferSizeDetails (rate, blockSize);
    processor.prepareToPlay (rate, blockSize);

    // Loud material well above every ceiling, with exact zeros and sharp transients.
    const auto material = testsignals::music (rate, 1 << 15, 21, 3.0);
    juce::AudioBuffer<float> source (2, (int) material.size());
    float largestInput = 0.0f;
    for (int i = 0; i < source.getNumSamples(); ++i)
    {
        source.setSample (0, i, (float) material.left[(size_t) i]);
        source.setSample (1, i, (float) material.right[(size_t) i]);
        largestInput = std::max ({ largestInput, std::abs (source.getSample (0, i)), std::abs (source.getSample (1, i)) });
    }

    // The editor opens on this thread, which is the message thread, before playback starts.
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);

    std::atomic<bool> running { true };
    std::atomic<long> blocks { 0 }, automations { 0 }, restores { 0 };
    std::atomic<long> badSamples { 0 };
    float worstOutput = 0.0f;

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> block (2, blockSize);
        juce::MidiBuffer midi;
        int position = 0;
        while (running.load())
        {
            for (int ch = 0; ch < 2; ++ch)
                block.copyFrom (ch, 0, source, ch, position, blockSize);
            position = (position + blockSize) % (source.getNumSamples() - blockSize);

            processor.processBlock (block, midi);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < blockSize; ++i)
                {
                    const float v = block.getSample (ch, i);
                    if (std::isnan (v) || std::abs (v) > largestInput)
                        badSamples.fetch_add (1);
                    worstOutput = std::max (worstOutput, std::abs (v));
                }
            blocks.fetch_add (1);
        }
    });

    // Automation, as a host writes it: through the parameter objects, notifying the host.
    std::thread automation ([&]
    {
        testsignals::Random random (5);
        while (running.load())
        {
            processor.levelParameter->setValueNotifyingHost ((float) (random.next() * 0.5 + 0.5));
            processor.enableParameter->setValueNotifyingHost (random.next() < 0.0 ? 0.0f : 1.0f);
            automations.fetch_add (1);
        }
    });

    // The host saving its project and loading presets while playing.
    std::thread state ([&]
    {
        juce::MemoryBlock blob;
        while (running.load())
        {
            processor.getStateInformation (blob);
            processor.setStateInformation (blob.getData(), (int) blob.getSize());
            restores.fetch_add (1);
        }
    });

    // Meanwhile the message thread runs the editor's timers, repaints and parameter listeners.
    juce::MessageManager::getInstance()->runDispatchLoopUntil (runMilliseconds);
    running.store (false);
    audio.join();
    automation.join();
    state.join();
    editor.reset();

    EXPECT_GT (blocks.load(), 10);
    EXPECT_GT (automations.load(), 10);
    EXPECT_GT (restores.load(), 10);
    EXPECT_EQ (badSamples.load(), 0) << "largest input " << largestInput << ", largest output " << worstOutput;
}
