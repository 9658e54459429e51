// The built VST3 and LV2 bundles as a host sees them: loaded through the framework's own
// hosting classes, scanned, prepared and run next to the processor compiled into this host.

#include "PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

struct HostedFormat
{
    const char* name;
    std::function<std::unique_ptr<juce::AudioPluginFormat>()> makeFormat;
    const char* identifier;        // what a host hands the format to find the plug-in
    juce::String category;         // how the format files the plug-in
    juce::String version;          // empty where the format's description carries none
    bool expressesMono;            // the format can offer a mono configuration
};

std::ostream& operator<< (std::ostream& os, const HostedFormat& format) { return os << format.name; }

const HostedFormat hostedFormats[] = {
    { "VST3", [] { return std::make_unique<juce::VST3PluginFormat>(); }, ORVAN_VST3_BUNDLE, "Fx|Dynamics", "1.0.2", true },
    // The framework's LV2 wrapper publishes its default stereo ports only, and its LV2 host
    // reads no version into the description (the .ttl test checks it there).
    { "LV2", [] { return std::make_unique<juce::LV2PluginFormat>(); }, ORVAN_LV2_URI, "Limiter Plugin", "", false },
};

class HostedBundle : public ::testing::TestWithParam<HostedFormat>
{
protected:
    void SetUp() override
    {
        format = GetParam().makeFormat();
        format->findAllTypesForFile (descriptions, GetParam().identifier);
        ASSERT_EQ (descriptions.size(), 1) << "the bundle should hold exactly one plug-in";
    }

    std::unique_ptr<juce::AudioPluginInstance> createInstance()
    {
        juce::String error;
        auto instance = format->createInstanceFromDescription (*descriptions[0], sampleRate, blockSize, error);
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::OwnedArray<juce::PluginDescription> descriptions;
};

// The latency as a host learns it after preparing: the VST3 plug-in announces it while it
// activates, which reaches the host through its message loop, and an LV2 plug-in writes it
// to its latency port during its first run.
int latencyAfterPrepare (juce::AudioProcessor& processor, int expected)
{
    processor.prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> silence (2, blockSize);
    silence.clear();
    juce::MidiBuffer midi;
    processor.processBlock (silence, midi);

    for (int i = 0; i < 100 && processor.getLatencySamples() != expected; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    return processor.getLatencySamples();
}

std::vector<juce::String> pluginParameterNames (juce::AudioPluginInstance& instance)
{
    std::vector<juce::String> names;
    for (auto* parameter : instance.getParameters())
        if (parameter != instance.getBypassParameter())
            names.push_back (parameter->getName (100));
    return names;
}

juce::AudioProcessorParameter* findParameter (juce::AudioProcessor& processor, const juce::String& name)
{
    for (auto* parameter : processor.getParameters())
        if (parameter->getName (100) == name)
            return parameter;
    return nullptr;
}

juce::AudioProcessor::BusesLayout layoutOf (const juce::AudioChannelSet& input, const juce::AudioChannelSet& output)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (input);
    layout.outputBuses.add (output);
    return layout;
}

// Programme material that makes the limiter work: a low tone with bursts well above full
// scale, a fast tone with many zero crossings, and noise.
juce::AudioBuffer<float> makeProgramme (int numChannels, int numSamples)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    juce::Random random (20261211);
    for (int ch = 0; ch < numChannels; ++ch)
    {
        auto* data = buffer.getWritePointer (ch);
        for (int i = 0; i < numSamples; ++i)
        {
            const double t = i / sampleRate;
            const double burst = (i / 1200) % 3 == 0 ? 1.8 : 0.4;
            data[i] = (float) (burst * std::sin (2.0 * juce::MathConstants<double>::pi * (97.0 + 13.0 * ch) * t)
                               + 0.3 * std::sin (2.0 * juce::MathConstants<double>::pi * 9100.0 * t)
                               + 0.1 * (random.nextDouble() * 2.0 - 1.0));
        }
    }
    return buffer;
}

// Runs the programme through a prepared processor block by block. The host sets the level
// first, as a host restoring a session does (LV2 hosts also push the published default, a
// 0.01 dB step, where the processor itself starts at the float nearest to -0.1), and half
// way through moves it, as automation does: -1.5 dB, then -4.5 dB.
juce::AudioBuffer<float> runProgramme (juce::AudioProcessor& processor, const juce::AudioBuffer<float>& programme)
{
    auto* level = findParameter (processor, "Level");
    EXPECT_NE (level, nullptr);

    juce::AudioBuffer<float> output (programme);
    juce::MidiBuffer midi;
    const int numBlocks = output.getNumSamples() / blockSize;
    for (int b = 0; b < numBlocks; ++b)
    {
        if (level != nullptr && (b == 0 || b == numBlocks / 2))
            level->setValueNotifyingHost (b == 0 ? 0.75f : 0.25f);

        juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), output.getNumChannels(), b * blockSize, blockSize);
        processor.processBlock (block, midi);
    }
    return output;
}

int countDifferingSamples (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    int differing = 0;
    for (int ch = 0; ch < a.getNumChannels(); ++ch)
        for (int i = 0; i < a.getNumSamples(); ++i)
            if (std::memcmp (a.getReadPointer (ch) + i, b.getReadPointer (ch) + i, sizeof (float)) != 0)
                ++differing;
    return differing;
}
} // namespace

TEST_P (HostedBundle, ScanShowsOneLimiterByTheMaker)
{
    const auto& description = *descriptions[0];
    EXPECT_EQ (description.name, "Orvan");
    EXPECT_EQ (description.descriptiveName, "Orvan");
    EXPECT_EQ (description.manufacturerName, "ZANDL-AUDIO");
    EXPECT_EQ (description.category, GetParam().category);
    if (GetParam().version.isNotEmpty())
    {
        EXPECT_EQ (description.version, GetParam().version);
    }
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_FALSE (description.hasSharedContainer);
}

TEST_P (HostedBundle, ShowsEnableAndLevelAndReportsTheLookahead)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (pluginParameterNames (*instance), (std::vector<juce::String> { "Enable", "Level" }));
    EXPECT_EQ (instance->getName(), "Orvan");
    EXPECT_FALSE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());

    EXPECT_EQ (latencyAfterPrepare (*instance, 1440), 1440);
    instance->releaseResources();
}

TEST_P (HostedBundle, OffersMonoAndStereoWhereTheFormatCan)
{
    auto instance = createInstance();
    ASSERT_NE (instance, nullptr);

    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    EXPECT_TRUE (instance->checkBusesLayoutSupported (layoutOf (stereo, stereo)));
    EXPECT_EQ (instance->checkBusesLayoutSupported (layoutOf (mono, mono)), GetParam().expressesMono);
    EXPECT_FALSE (instance->checkBusesLayoutSupported (layoutOf (mono, stereo)));
    EXPECT_FALSE (instance->checkBusesLayoutSupported (layoutOf (stereo, mono)));
    EXPECT_FALSE (instance->checkBusesLayoutSupported (layoutOf (juce::AudioChannelSet::create5point1(),
                                                                 juce::AudioChannelSet::create5point1())));
}

TEST_P (HostedBundle, ProcessesBitIdenticallyToTheDirectProcessor)
{
    std::vector<juce::AudioChannelSet> layouts { juce::AudioChannelSet::stereo() };
    if (GetParam().expressesMono)
        layouts.push_back (juce::AudioChannelSet::mono());

    for (const auto& channels : layouts)
    {
        SCOPED_TRACE (channels.getDescription());
        auto instance = createInstance();
        ASSERT_NE (instance, nullptr);
        OrvanAudioProcessor direct;

        ASSERT_TRUE (instance->setBusesLayout (layoutOf (channels, channels)));
        ASSERT_TRUE (direct.setBusesLayout (layoutOf (channels, channels)));
        instance->prepareToPlay (sampleRate, blockSize);
        direct.setRateAndBufferSizeDetails (sampleRate, blockSize); // as every host does first
        direct.prepareToPlay (sampleRate, blockSize);

        const auto programme = makeProgramme (channels.size(), 16 * blockSize);
        const auto hosted = runProgramme (*instance, programme);
        const auto expected = runProgramme (direct, programme);

        EXPECT_EQ (countDifferingSamples (hosted, expected), 0);
        // The limiter really worked on the programme (peaks of 1.8): the lookahead delays it,
        // then it stays under each ceiling (-1.5 dB is 0.841, -4.5 dB is 0.596).
        EXPECT_EQ (expected.getMagnitude (0, 1440), 0.0f);
        const float firstPeak = expected.getMagnitude (1440, 4 * blockSize);
        EXPECT_GT (firstPeak, 0.5f);
        EXPECT_LT (firstPeak, 0.85f);
        EXPECT_LT (expected.getMagnitude (8 * blockSize + 1440, 4 * blockSize), 0.6f);

        instance->releaseResources();
        direct.releaseResources();
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedBundle, ::testing::ValuesIn (hostedFormats),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });
