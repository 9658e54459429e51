#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class CDSP;

// How the running host is treated: some hosts get no latency report, and Bitwig keeps a
// running limiter across repeated prepares at the same rate.
struct HostPolicy
{
    bool latencyExempt = false;
    bool bitwig = false;

    static HostPolicy forHost (const juce::PluginHostType& host);
    static HostPolicy forRunningHost();
};

class OrvanAudioProcessor : public juce::AudioProcessor
{
public:
    OrvanAudioProcessor();
    explicit OrvanAudioProcessor (HostPolicy policy);
    ~OrvanAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer&) override;
    bool supportsDoublePrecisionProcessing() const override { return true; }

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    // Non-owning: the framework's parameter list owns both objects.
    juce::AudioParameterBool* enableParameter = nullptr;
    juce::AudioParameterFloat* levelParameter = nullptr;

    int getLookaheadSamples() const noexcept { return lookaheadSamples; }

    // 30 ms of audio at the given rate, truncated.
    static int lookaheadFor (double sampleRate);

private:
    bool isEnabled() const noexcept { return enableParameter->get(); }

    std::unique_ptr<CDSP> dsp;          // the limiter engine, owned for the processor's life
    int lookaheadSamples = 0;           // ring length from the last complete prepare
    bool isBitwig = false;              // the last complete prepare ran in Bitwig
    double lastSampleRate = 0.0;        // rate of the most recent prepare
    const HostPolicy hostPolicy;        // how the running host is treated, fixed at construction

    // The single-precision path widens each block into this buffer; it is sized in
    // prepare and grows only when a host sends more than it announced.
    juce::AudioBuffer<double> doubleBuffer;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvanAudioProcessor)
};
