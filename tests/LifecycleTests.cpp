// Host lifecycles: prepare, process and release over and over with the rate, the layout,
// the block sizes, the switch and the saved state all changing, the way hosts do it
// when a user edits a session while it plays.
#include "PluginProcessor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const double rates[] = { 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };

void setLayout (OrvanAudioProcessor& processor, int channels)
{
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    ASSERT_TRUE (processor.setBusesLayout (layout));
}

void prepare (OrvanAudioProcessor& processor, double rate, int announced)
{
    processor.setRateAndBufferSizeDetails (rate, announced);
    processor.prepareToPlay (rate, announced);
}

juce::MemoryBlock stateWith (bool enabled, float level)
{
    OrvanAudioProcessor source (HostPolicy {});
    source.enableParameter->setValueNotifyingHost (enabled ? 1.0f : 0.0f);
    source.levelParameter->setValueNotifyingHost (source.levelParameter->convertTo0to1 (level));
    juce::MemoryBlock blob;
    source.getStateInformation (blob);
    return blob;
}

// Runs `frames` frames of `input` from `start` through the processor in one block, in the
// chosen precision, and appends what comes out (left, then right when stereo).
template <typename Sample>
void runBlock (OrvanAudioProcessor& processor, const testsignals::Stereo& input, size_t start,
               int frames, int channels, std::vector<double>& out)
{
    juce::AudioBuffer<Sample> buffer (channels, frames);
    for (int i = 0; i < frames; ++i)
        for (int ch = 0; ch < channels; ++ch)
            buffer.setSample (ch, i, (Sample) (ch == 0 ? input.left : input.right)[start + (size_t) i]);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    for (int i = 0; i < frames; ++i)
        for (int ch = 0; ch < channels; ++ch)
            out.push_back ((double) buffer.getSample (ch, i));
}

// One block of a session: how long it is and what the host changes before it.
struct Block
{
    int frames;
    bool enabled;
    int restoreLevelIndex; // -1: no state restore before this block
};

struct Cycle
{
    double rate;
    int channels;
    int announced;
    bool doublePrecision;
    std::vector<Block> blocks;
};

const float restoredLevels[] = { -6.0f, -0.01f, -3.33f, 0.0f, -1.25f };

// A fixed session: every rate, both layouts, both precisions, blocks of 0 and 1 frames,
// odd sizes and blocks far larger than announced, the switch flipping on every block and
// presets loaded in between.
std::vector<Cycle> session()
{
    const int announcedSizes[] = { 64, 512, 1, 480, 4096 };
    std::vector<Cycle> cycles;
    testsignals::Random random (17);
    for (int c = 0; c < 24; ++c)
    {
        Cycle cycle { rates[c % 8], c % 3 == 0 ? 1 : 2, announcedSizes[c % 5], c % 2 == 1, {} };
        const int sizes[] = { 0, 1, 3, 17, cycle.announced, cycle.announced * 3 + 1, 127, 2 };
        for (int b = 0; b < 20; ++b)
            cycle.blocks.push_back ({ sizes[(b + c) % 8], (b + c) % 2 == 0,
                                      b % 7 == 3 ? (int) ((random.next() + 1.0) * 2.49) : -1 });
        cycles.push_back (cycle);
    }
    return cycles;
}

size_t framesIn (const std::vector<Cycle>& cycles)
{
    size_t total = 0;
    for (const auto& cycle : cycles)
        for (const auto& block : cycle.blocks)
            total += (size_t) block.frames;
    return total;
}

// Plays the session on a processor. With `split` every block is cut into the pieces of
// `pieces` (0-frame ones included) instead of being passed whole, and presets are applied
// as direct parameter writes instead of state restores: neither may change a single bit.
std::vector<double> play (const std::vector<Cycle>& cycles, const testsignals::Stereo& input, bool split)
{
    const int pieces[] = { 1, 0, 5, 64, 3, 0, 250 };
    OrvanAudioProcessor processor (HostPolicy {});
    std::vector<double> out;
    size_t position = 0;
    int pieceIndex = 0;
    for (const auto& cycle : cycles)
    {
        setLayout (processor, cycle.channels);
        prepare (processor, cycle.rate, cycle.announced);
        EXPECT_EQ (processor.getLatencySamples(), OrvanAudioProcessor::lookaheadFor (cycle.rate));
        for (const auto& block : cycle.blocks)
        {
            if (block.restoreLevelIndex >= 0)
            {
                const float level = restoredLevels[block.restoreLevelIndex];
                if (split)
                    processor.levelParameter->setValueNotifyingHost (processor.levelParameter->convertTo0to1 (level));
                else
                {
                    const auto blob = stateWith (block.enabled, level);
                    processor.setStateInformation (blob.getData(), (int) blob.getSize());
                }
            }
            processor.enableParameter->setValueNotifyingHost (block.enabled ? 1.0f : 0.0f);

            int remaining = block.frames;
            while (remaining > 0 || (! split && remaining == 0))
            {
                const int frames = split ? std::min (remaining, pieces[pieceIndex++ % 7]) : remaining;
                if (cycle.doublePrecision)
                    runBlock<double> (processor, input, position, frames, cycle.channels, out);
                else
                    runBlock<float> (processor, input, position, frames, cycle.channels, out);
                position += (size_t) frames;
                remaining -= frames;
                if (! split)
                    break;
            }
        }
        processor.releaseResources();
        EXPECT_EQ (processor.getLatencySamples(), 0);
    }
    return out;
}
} // namespace

TEST (Lifecycle, LongSessionStaysFiniteAndBelowTheInput)
{
    const auto cycles = session();
    const auto input = testsignals::music (48000.0, framesIn (cycles), 3, 2.5);
    double largest = 0.0;
    for (size_t i = 0; i < input.size(); ++i)
        largest = std::max ({ largest, std::abs (input.left[i]), std::abs (input.right[i]) });

    const auto out = play (cycles, input, false);
    ASSERT_GT (out.size(), input.size());
    for (size_t i = 0; i < out.size(); ++i)
    {
        ASSERT_TRUE (std::isfinite (out[i])) << i;
        // Single-precision blocks narrow the input first, which can round up by half an ulp.
        ASSERT_LE (std::abs (out[i]), (double) std::nextafter ((float) largest, 10.0f)) << i;
    }
}

TEST (Lifecycle, BlockSizesAndPresetRestoresChangeNoBit)
{
    const auto cycles = session();
    const auto input = testsignals::music (48000.0, framesIn (cycles), 4, 2.5);
    const auto whole = play (cycles, input, false);
    const auto pieces = play (cycles, input, true);
    ASSERT_EQ (whole.size(), pieces.size());
    for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_EQ (whole[i], pieces[i]) << i;
}

TEST (Lifecycle, SwitchFlippedEveryBlockFreezesTheEngineBetweenOnBlocks)
{
    // Off blocks pass the input untouched; the on blocks, taken together, are exactly what
    // a fresh instance gives for their audio played without a break.
    const double rate = 44100.0;
    const int sizes[] = { 1, 300, 0, 17, 1024, 2, 511, 64 };
    const auto input = testsignals::music (rate, 40000, 8, 2.0);

    OrvanAudioProcessor flipped (HostPolicy {});
    OrvanAudioProcessor fresh (HostPolicy {});
    prepare (flipped, rate, 512);
    prepare (fresh, rate, 512);

    std::vector<double> onInput, onOutputFlipped, onOutputFresh;
    testsignals::Stereo onAudio;
    size_t position = 0;
    for (int b = 0; position + 1024 < input.size(); ++b)
    {
        const int frames = sizes[b % 8];
        const bool enabled = b % 2 == 0;
        flipped.enableParameter->setValueNotifyingHost (enabled ? 1.0f : 0.0f);
        std::vector<double> out;
        runBlock<float> (flipped, input, position, frames, 2, out);
        for (int i = 0; i < frames; ++i)
        {
            if (enabled)
            {
                onAudio.left.push_back (input.left[position + (size_t) i]);
                onAudio.right.push_back (input.right[position + (size_t) i]);
                onOutputFlipped.push_back (out[(size_t) i * 2]);
                onOutputFlipped.push_back (out[(size_t) i * 2 + 1]);
            }
            else
            {
                ASSERT_EQ (out[(size_t) i * 2], (double) (float) input.left[position + (size_t) i]);
                ASSERT_EQ (out[(size_t) i * 2 + 1], (double) (float) input.right[position + (size_t) i]);
            }
        }
        position += (size_t) frames;
    }

    runBlock<float> (fresh, onAudio, 0, (int) onAudio.size(), 2, onOutputFresh);
    ASSERT_EQ (onOutputFlipped.size(), onOutputFresh.size());
    for (size_t i = 0; i < onOutputFresh.size(); ++i)
        ASSERT_EQ (onOutputFlipped[i], onOutputFresh[i]) << i;
}
