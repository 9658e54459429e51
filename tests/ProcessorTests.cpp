// What a host sees of the processor: parameters, buses, latency under each host policy,
// and the block loop (delay, switch, mono, single precision).
#include "DSP.h"
#include "PluginProcessor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace
{
HostPolicy policyFor (juce::PluginHostType::HostType type)
{
    juce::PluginHostType host;
    host.type = type;
    return HostPolicy::forHost (host);
}

juce::AudioBuffer<float> bufferFrom (const testsignals::Stereo& s, int channels, size_t start, int frames)
{
    juce::AudioBuffer<float> buffer (channels, frames);
    for (int i = 0; i < frames; ++i)
    {
        buffer.setSample (0, i, (float) s.left[start + (size_t) i]);
        if (channels > 1)
            buffer.setSample (1, i, (float) s.right[start + (size_t) i]);
    }
    return buffer;
}

void setMono (OrvanAudioProcessor& processor)
{
    juce::AudioProcessor::BusesLayout mono;
    mono.inputBuses.add (juce::AudioChannelSet::mono());
    mono.outputBuses.add (juce::AudioChannelSet::mono());
    ASSERT_TRUE (processor.setBusesLayout (mono));
}
} // namespace

TEST (Processor, FreshInstanceAnswersTheHostsQuestions)
{
    OrvanAudioProcessor processor (HostPolicy {});
    EXPECT_EQ (processor.getName(), "Orvan");
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_TRUE (processor.supportsDoublePrecisionProcessing());
    EXPECT_EQ (processor.getLatencySamples(), 0);
    EXPECT_EQ (processor.getBypassParameter(), nullptr);

    processor.setCurrentProgram (3);
    processor.changeProgramName (0, "renamed");
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "");

    const auto& params = processor.getParameters();
    ASSERT_EQ (params.size(), 2);
    auto* enable = dynamic_cast<juce::AudioParameterBool*> (params[0]);
    auto* level = dynamic_cast<juce::AudioParameterFloat*> (params[1]);
    ASSERT_NE (enable, nullptr);
    ASSERT_NE (level, nullptr);
    EXPECT_EQ (enable, processor.enableParameter);
    EXPECT_EQ (level, processor.levelParameter);
    EXPECT_EQ (enable->getParameterID(), "dbEnable");
    EXPECT_EQ (enable->getName (100), "Enable");
    EXPECT_TRUE (enable->get());
    EXPECT_EQ (level->getParameterID(), "dbMain");
    EXPECT_EQ (level->getName (100), "Level");
    EXPECT_EQ (level->get(), -0.1f);
    EXPECT_EQ (level->getLabel(), "");
    EXPECT_EQ (level->getCategory(), juce::AudioProcessorParameter::genericParameter);
    EXPECT_EQ (level->range.start, -6.0f);
    EXPECT_EQ (level->range.end, 0.0f);
    EXPECT_EQ (level->range.interval, 0.01f);
}

TEST (Processor, LevelTextFollowsTheFrameworkDefaults)
{
    OrvanAudioProcessor processor (HostPolicy {});
    juce::RangedAudioParameter* level = processor.levelParameter;
    EXPECT_EQ (level->getCurrentValueAsText(), "-0.10");
    EXPECT_EQ (level->getText (0.0f, 100), "-6.00");

    const struct { const char* text; float expected; } cases[] = {
        { "-7", -6.0f }, { "0.5", 0.0f }, { "-3.456", -3.46f }, { "-1.234", -1.23f },
    };
    for (const auto& c : cases)
    {
        const float normalised = level->getValueForText (c.text);
        EXPECT_FLOAT_EQ (level->convertFrom0to1 (normalised), c.expected) << c.text;
    }
}

TEST (Processor, AcceptsOnlyMonoToMonoAndStereoToStereo)
{
    OrvanAudioProcessor processor (HostPolicy {});
    using Set = juce::AudioChannelSet;
    const struct { Set in; Set out; bool hasIn; bool accepted; } cases[] = {
        { Set::mono(), Set::mono(), true, true },
        { Set::stereo(), Set::stereo(), true, true },
        { Set::mono(), Set::stereo(), true, false },
        { Set::stereo(), Set::mono(), true, false },
        { Set::create5point1(), Set::create5point1(), true, false },
        { Set::createLCR(), Set::createLCR(), true, false },
        { Set::discreteChannels (2), Set::discreteChannels (2), true, false },
        { Set(), Set::stereo(), false, false },
    };
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        if (c.hasIn)
            layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.accepted)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST (Processor, LookaheadIsThirtyMillisecondsTruncated)
{
    const struct { double rate; int samples; } cases[] = {
        { 44100, 1323 }, { 48000, 1440 }, { 88200, 2646 }, { 96000, 2880 },
        { 192000, 5760 }, { 22050, 661 }, { 11025, 330 },
    };
    for (const auto& c : cases)
        EXPECT_EQ (OrvanAudioProcessor::lookaheadFor (c.rate), c.samples) << c.rate;
}

struct HostCase
{
    juce::PluginHostType::HostType type;
    int latencyAfterPrepare;
    int latencyAfterRelease;
};

class LatencyByHost : public ::testing::TestWithParam<HostCase>
{
};

TEST_P (LatencyByHost, PrepareAndRelease)
{
    const auto& c = GetParam();
    OrvanAudioProcessor processor (policyFor (c.type));
    processor.setRateAndBufferSizeDetails (44100.0, 512);
    processor.prepareToPlay (44100.0, 512);
    EXPECT_EQ (processor.getLatencySamples(), c.latencyAfterPrepare);
    processor.releaseResources();
    EXPECT_EQ (processor.getLatencySamples(), c.latencyAfterRelease);
    processor.prepareToPlay (44100.0, 512);
    EXPECT_EQ (processor.getLatencySamples(), c.latencyAfterPrepare);
}

using H = juce::PluginHostType;
INSTANTIATE_TEST_SUITE_P (Hosts, LatencyByHost,
                          ::testing::Values (HostCase { H::Reaper, 1323, 0 },
                                             HostCase { H::Ardour, 1323, 0 },
                                             HostCase { H::UnknownHost, 1323, 0 },
                                             HostCase { H::BitwigStudio, 1323, 1323 },
                                             HostCase { H::AbletonLive10, 0, 0 },
                                             HostCase { H::AbletonLiveGeneric, 0, 0 },
                                             HostCase { H::SteinbergCubase10_5, 0, 0 },
                                             HostCase { H::SteinbergCubaseGeneric, 0, 0 },
                                             HostCase { H::SteinbergNuendo4, 0, 0 },
                                             HostCase { H::SteinbergWavelab8, 0, 0 },
                                             HostCase { H::DaVinciResolve, 0, 0 }));

TEST (Processor, LatencyChangesAreAnnouncedToListeners)
{
    struct Counter : juce::AudioProcessorListener
    {
        int latencyChanges = 0;
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
        {
            latencyChanges += details.latencyChanged ? 1 : 0;
        }
    } counter;

    OrvanAudioProcessor processor (HostPolicy {});
    processor.addListener (&counter);
    processor.setRateAndBufferSizeDetails (48000.0, 256);
    processor.prepareToPlay (48000.0, 256);
    processor.prepareToPlay (48000.0, 256);
    EXPECT_EQ (counter.latencyChanges, 1);
    processor.releaseResources();
    EXPECT_EQ (counter.latencyChanges, 2);
    processor.removeListener (&counter);
}

namespace
{
// Runs `frames` of a signal through the processor in blocks and returns the left and
// right output.
testsignals::Stereo run (OrvanAudioProcessor& processor, const testsignals::Stereo& input, int channels,
                         int block)
{
    testsignals::Stereo out;
    juce::MidiBuffer midi;
    for (size_t start = 0; start < input.size(); start += (size_t) block)
    {
        const int n = (int) std::min ((size_t) block, input.size() - start);
        auto buffer = bufferFrom (input, channels, start, n);
        processor.processBlock (buffer, midi);
        for (int i = 0; i < n; ++i)
        {
            out.left.push_back (buffer.getSample (0, i));
            out.right.push_back (buffer.getSample (channels > 1 ? 1 : 0, i));
        }
    }
    return out;
}

void prepare (OrvanAudioProcessor& processor, double rate, int block)
{
    processor.setRateAndBufferSizeDetails (rate, block);
    processor.prepareToPlay (rate, block);
}

testsignals::Stereo asFloat (const testsignals::Stereo& s)
{
    testsignals::Stereo f;
    for (size_t i = 0; i < s.size(); ++i)
    {
        f.left.push_back ((float) s.left[i]);
        f.right.push_back ((float) s.right[i]);
    }
    return f;
}
} // namespace

TEST (Processor, BlocksRunThroughTheEngineSampleBySample)
{
    // The processor is the engine driven frame by frame with the parameter's level,
    // widened from the host's single precision and narrowed back.
    const double rate = 48000.0;
    const auto input = asFloat (testsignals::music (rate, 20000, 9));
    OrvanAudioProcessor processor (HostPolicy {});
    prepare (processor, rate, 512);
    const auto out = run (processor, input, 2, 500);

    CDSP engine;
    engine.Reset (1440);
    const double level = (double) -0.1f;
    for (size_t i = 0; i < input.size(); ++i)
    {
        double l = 0, r = 0;
        engine.DoProcess (input.left[i], input.right[i], &l, &r, rate, level, false);
        ASSERT_EQ (out.left[i], (float) l) << i;
        ASSERT_EQ (out.right[i], (float) r) << i;
    }
}

TEST (Processor, ResultDoesNotDependOnTheBlockSize)
{
    const auto input = asFloat (testsignals::music (44100.0, 30000, 2));
    std::vector<testsignals::Stereo> outputs;
    for (int block : { 1, 64, 511, 4096 })
    {
        OrvanAudioProcessor processor (HostPolicy {});
        prepare (processor, 44100.0, 512);
        outputs.push_back (run (processor, input, 2, block));
    }
    for (size_t k = 1; k < outputs.size(); ++k)
    {
        EXPECT_EQ (outputs[k].left, outputs[0].left);
        EXPECT_EQ (outputs[k].right, outputs[0].right);
    }
}

TEST (Processor, SwitchedOffPassesBitForBitAndFreezesTheEngine)
{
    const auto input = asFloat (testsignals::noise (1.7, 4000, 4));
    OrvanAudioProcessor processor (HostPolicy {});
    prepare (processor, 48000.0, 512);

    // Fill the delay line with a recognisable ramp while on.
    testsignals::Stereo ramp;
    for (int i = 0; i < 1440; ++i)
    {
        ramp.left.push_back (0.0001f * (float) (i + 1));
        ramp.right.push_back (0.0002f * (float) (i + 1));
    }
    run (processor, ramp, 2, 512);

    processor.enableParameter->setValueNotifyingHost (0.0f);
    const auto off = run (processor, input, 2, 512);
    EXPECT_EQ (off.left, input.left);
    EXPECT_EQ (off.right, input.right);
    EXPECT_EQ (processor.getLatencySamples(), 1440);

    // Switched on again, the frozen delay line comes out first.
    processor.enableParameter->setValueNotifyingHost (1.0f);
    testsignals::Stereo silence { std::vector<double> (1440, 0.0), std::vector<double> (1440, 0.0) };
    const auto resumed = run (processor, silence, 2, 512);
    EXPECT_EQ (resumed.left, ramp.left);
    EXPECT_EQ (resumed.right, ramp.right);
}

TEST (Processor, MonoLayoutFeedsTheOneChannelAsBoth)
{
    const double rate = 48000.0;
    const auto input = asFloat (testsignals::music (rate, 10000, 6));
    OrvanAudioProcessor processor (HostPolicy {});
    setMono (processor);
    prepare (processor, rate, 256);
    const auto out = run (processor, input, 1, 256);

    CDSP engine;
    engine.Reset (1440);
    for (size_t i = 0; i < input.size(); ++i)
    {
        double l = 0, r = 0;
        engine.DoProcess (input.left[i], input.left[i], &l, &r, rate, (double) -0.1f, true);
        ASSERT_EQ (out.left[i], (float) l) << i;
    }
}

TEST (Processor, WithoutARingAudioPassesUntouched)
{
    // Before any prepare, and at rates whose 30 ms hold fewer than three samples.
    const auto input = asFloat (testsignals::noise (0.9, 300, 1));
    {
        OrvanAudioProcessor processor (HostPolicy {});
        const auto out = run (processor, input, 2, 128);
        EXPECT_EQ (out.left, input.left);
    }
    {
        OrvanAudioProcessor processor (HostPolicy {});
        prepare (processor, 90.0, 128);
        EXPECT_EQ (processor.getLatencySamples(), 0);
        const auto out = run (processor, input, 2, 128);
        EXPECT_EQ (out.left, input.left);
        EXPECT_EQ (out.right, input.right);
    }
}

TEST (Processor, BitwigKeepsTheDelayLineAcrossRepeatedPrepares)
{
    for (bool bitwig : { true, false })
    {
        OrvanAudioProcessor processor (policyFor (bitwig ? H::BitwigStudio : H::Reaper));
        prepare (processor, 48000.0, 512);
        testsignals::Stereo ones { std::vector<double> (1440, 0.5), std::vector<double> (1440, 0.5) };
        run (processor, ones, 2, 512);
        prepare (processor, 48000.0, 512);
        const auto out = run (processor, ones, 2, 512);
        EXPECT_EQ (out.left[0], bitwig ? 0.5f : 0.0f) << bitwig;

        // A new rate resets in every host.
        prepare (processor, 44100.0, 512);
        EXPECT_EQ (run (processor, ones, 2, 512).left[0], 0.0f);
    }
}

TEST (Processor, ZeroSampleBlockChangesNothing)
{
    OrvanAudioProcessor processor (HostPolicy {});
    prepare (processor, 48000.0, 512);
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;
    processor.processBlock (empty, midi);
    juce::AudioBuffer<double> emptyDouble (2, 0);
    processor.processBlock (emptyDouble, midi);
    SUCCEED();
}
