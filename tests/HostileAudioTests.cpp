// Hostile audio: NaN, infinities, subnormals and absurdly large values arriving from a
// broken upstream plug-in. They may come out again (the delay line carries what it was
// given), but they must never poison the envelope, so the audio after them is clean.
#include "DSP.h"
#include "PluginProcessor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

struct Burst
{
    const char* name;
    double left, right;
    int length; // consecutive frames of it
};

const Burst bursts[] = {
    { "nan", nan, nan, 1 },
    { "nan_run", nan, 0.5, 200 },
    { "plus_inf", inf, 0.25, 1 },
    { "minus_inf", -inf, -inf, 3 },
    { "inf_run_both_signs", inf, -inf, 100 },
    { "max_double", std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), 5 },
    { "huge", 1.0e300, -1.0e200, 50 },
    { "lowest_subnormal", std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(), 400 },
    { "subnormal", 2.0e-310, -3.0e-320, 10 },
    { "min_normal", std::numeric_limits<double>::min(), -std::numeric_limits<double>::min(), 10 },
};

bool isClean (double v)
{
    return v == 0.0 || std::isnormal (v);
}
} // namespace

TEST (HostileAudio, EnvelopeStaysCleanAndOutputRecoversOnceTheBurstHasLeft)
{
    const double rate = 48000.0;
    const int length = OrvanAudioProcessor::lookaheadFor (rate);
    const double levels[] = { -6.0, -0.1, 0.0 };
    // Loud 1 kHz sine: crosses zero every 24 frames, so every half-wave closes quickly.
    const auto carrier = testsignals::sine (rate, 1000.0, 1.5, 12000);

    for (const auto& burst : bursts)
        for (const double level : levels)
        {
            SCOPED_TRACE (std::string (burst.name) + " at " + std::to_string (level) + " dB");
            CDSP engine;
            engine.Reset (length);
            const size_t burstStart = 3000;
            const size_t burstEnd = burstStart + (size_t) burst.length;
            // The half-wave holding the burst's last frame closes within a carrier half-wave
            // of it and leaves the ring one ring length later.
            const size_t recovered = burstEnd + 48 + (size_t) length;

            for (size_t i = 0; i < carrier.size(); ++i)
            {
                const bool inBurst = i >= burstStart && i < burstEnd;
                double l = 0, r = 0;
                engine.DoProcess (inBurst ? burst.left : carrier.left[i], inBurst ? burst.right : carrier.right[i],
                                  &l, &r, rate, level, false);
                ASSERT_TRUE (engine.envelopeIsClean()) << "frame " << i;
                if (i >= recovered)
                {
                    ASSERT_TRUE (std::isfinite (l) && std::isfinite (r)) << "frame " << i;
                    // Limited again: nothing above the loud carrier, nothing subnormal.
                    ASSERT_LE (std::abs (l), 1.5) << "frame " << i;
                    ASSERT_TRUE (isClean (l) && isClean (r)) << "frame " << i;
                }
            }
        }
}

TEST (HostileAudio, ProcessorRecoversInBothPrecisionsAndLayouts)
{
    // Through the host's own path: single and double precision, stereo and mono, with the
    // hostile table's specials spread over the whole signal for a first stretch.
    const double rate = 44100.0;
    const int length = OrvanAudioProcessor::lookaheadFor (rate);
    const auto hostile = testsignals::hostile (rate, 8000);
    const auto clean = testsignals::sine (rate, 700.0, 1.2, 16000);

    for (const int channels : { 1, 2 })
        for (const bool doublePrecision : { false, true })
        {
            SCOPED_TRACE ((channels == 1 ? "mono, " : "stereo, ") + std::string (doublePrecision ? "double" : "float"));
            OrvanAudioProcessor processor (HostPolicy {});
            const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (set);
            layout.outputBuses.add (set);
            ASSERT_TRUE (processor.setBusesLayout (layout));
            processor.setRateAndBufferSizeDetails (rate, 512);
            processor.prepareToPlay (rate, 512);

            const auto run = [&] (const testsignals::Stereo& s, bool expectClean)
            {
                juce::MidiBuffer midi;
                for (size_t start = 0; start < s.size(); start += 512)
                {
                    const int frames = (int) std::min<size_t> (512, s.size() - start);
                    juce::AudioBuffer<float> f (channels, frames);
                    juce::AudioBuffer<double> d (channels, frames);
                    for (int ch = 0; ch < channels; ++ch)
                        for (int i = 0; i < frames; ++i)
                        {
                            const double v = (ch == 0 ? s.left : s.right)[start + (size_t) i];
                            f.setSample (ch, i, (float) v);
                            d.setSample (ch, i, v);
                        }
                    doublePrecision ? processor.processBlock (d, midi) : processor.processBlock (f, midi);
                    if (! expectClean || start < (size_t) length + 512)
                        continue;
                    for (int ch = 0; ch < channels; ++ch)
                        for (int i = 0; i < frames; ++i)
                        {
                            const double v = doublePrecision ? d.getSample (ch, i) : (double) f.getSample (ch, i);
                            ASSERT_TRUE (std::isfinite (v)) << "frame " << start + (size_t) i;
                            ASSERT_LE (std::abs (v), 1.2000001);
                        }
                }
            };
            run (hostile, false);
            run (clean, true);
        }
}
