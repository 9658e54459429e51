// Throughput of the limiter at 48 kHz stereo, in frames per second and as a real-time
// factor, for the production engine, the line-by-line transcription it must match, and
// the plug-in's own single-precision processBlock as a host drives it. After the runs a
// table puts the engine beside the transcription.

#include <benchmark/benchmark.h>

#include "DSP.h"
#include "PluginProcessor.h"
#include "ReferenceEngine.h"
#include "TestSignals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{
constexpr double rate = 48000.0;
constexpr double ceilingDb = -1.0;
constexpr double ln10 = 2.302585092994046;
constexpr size_t seconds = 10;
constexpr size_t frames = (size_t) rate * seconds;

enum Material { music, sine10k, silence, loudThenSilence };
const char* const materialNames[] = { "music", "sine_10k", "silence", "loud_then_silence" };

const testsignals::Stereo& material (int which)
{
    static std::map<int, testsignals::Stereo> cache;
    auto found = cache.find (which);
    if (found != cache.end())
        return found->second;

    testsignals::Stereo s;
    switch (which)
    {
        case music:   s = testsignals::music (rate, frames, 11, 2.0); break; // peaks near +6 dBFS
        case sine10k: s = testsignals::sine (rate, 10000.0, 1.0, frames); break;
        case silence: s = { std::vector<double> (frames, 0.0), std::vector<double> (frames, 0.0) }; break;
        default:
            // A loud second, then a long silence: the envelope decays through the
            // subnormal range, where a careless engine slows down.
            s = testsignals::music (rate, frames, 5, 2.0);
            for (size_t i = (size_t) rate; i < frames; ++i)
                s.left[i] = s.right[i] = 0.0;
            break;
    }
    return cache.emplace (which, std::move (s)).first->second;
}

void setCounters (benchmark::State& state, size_t framesPerIteration)
{
    const double total = (double) state.iterations() * (double) framesPerIteration;
    state.counters["frames/s"] = benchmark::Counter (total, benchmark::Counter::kIsRate);
    state.counters["realtime_x"] = benchmark::Counter (total / rate, benchmark::Counter::kIsRate);
}

template <typename Engine, typename ResetFn, typename ProcessFn>
void runEngine (benchmark::State& state, ResetFn reset, ProcessFn process)
{
    const auto& s = material ((int) state.range (0));
    Engine engine;
    const int length = OrvanAudioProcessor::lookaheadFor (rate);
    double outL = 0.0, outR = 0.0, sink = 0.0;
    for (auto _ : state)
    {
        reset (engine, length);
        for (size_t i = 0; i < frames; ++i)
        {
            process (engine, s.left[i], s.right[i], &outL, &outR);
            sink += outL + outR;
        }
        benchmark::DoNotOptimize (sink);
    }
    setCounters (state, frames);
    state.SetLabel (materialNames[state.range (0)]);
}

void Engine (benchmark::State& state)
{
    runEngine<CDSP> (state,
                     [] (CDSP& e, int n) { e.Reset (n); },
                     [] (CDSP& e, double l, double r, double* ol, double* orr) {
                         e.DoProcess (l, r, ol, orr, rate, ceilingDb, false);
                     });
}

void Transcription (benchmark::State& state)
{
    runEngine<ReferenceEngine> (state,
                                [] (ReferenceEngine& e, int n) { e.reset (n); },
                                [] (ReferenceEngine& e, double l, double r, double* ol, double* orr) {
                                    e.process (l, r, ol, orr, rate, ceilingDb, false);
                                });
}

std::unique_ptr<OrvanAudioProcessor> preparedProcessor (double sampleRate, int block)
{
    auto p = std::make_unique<OrvanAudioProcessor> (HostPolicy {});
    if (auto* level = dynamic_cast<juce::RangedAudioParameter*> (p->getParameters()[1]))
        level->setValueNotifyingHost (level->convertTo0to1 (ceilingDb));
    p->setRateAndBufferSizeDetails (sampleRate, block);
    p->prepareToPlay (sampleRate, block);
    return p;
}

// The plug-in as a host drives it: float blocks of 512 frames through the parameter
// objects, the double-precision copy and the engine.
void ProcessBlock (benchmark::State& state)
{
    const auto& s = material ((int) state.range (0));
    constexpr int block = 512;
    auto p = preparedProcessor (rate, block);

    juce::AudioBuffer<float> input (2, (int) frames);
    for (size_t i = 0; i < frames; ++i)
    {
        input.setSample (0, (int) i, (float) s.left[i]);
        input.setSample (1, (int) i, (float) s.right[i]);
    }
    juce::AudioBuffer<float> buffer (2, block);
    juce::MidiBuffer midi;
    for (auto _ : state)
    {
        for (int start = 0; start + block <= (int) frames; start += block)
        {
            buffer.copyFrom (0, 0, input, 0, start, block);
            buffer.copyFrom (1, 0, input, 1, start, block);
            p->processBlock (buffer, midi);
        }
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    setCounters (state, frames / block * block);
    state.SetLabel (materialNames[state.range (0)]);
}

// The longest a single call can take: one block as long as the whole ring, of the
// worst material (a crossing every few samples), so every slot is analysed in one call.
void WorstBlock (benchmark::State& state)
{
    const double sampleRate = (double) state.range (0);
    const int block = OrvanAudioProcessor::lookaheadFor (sampleRate);
    auto p = preparedProcessor (sampleRate, block);
    const auto s = testsignals::sine (sampleRate, 10000.0, 1.0, (size_t) block);
    juce::AudioBuffer<float> buffer (2, block);
    juce::MidiBuffer midi;
    for (auto _ : state)
    {
        state.PauseTiming();
        for (int i = 0; i < block; ++i)
        {
            buffer.setSample (0, i, (float) s.left[(size_t) i]);
            buffer.setSample (1, i, (float) s.right[(size_t) i]);
        }
        state.ResumeTiming();
        p->processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    state.SetLabel (std::to_string (block) + " frames, budget "
                    + std::to_string ((int) (1.0e6 * block / sampleRate)) + " us");
}

// A release like a sine half-wave's (70 ms), for the two ceilings below.
double releaseCoefficient()
{
    return std::exp (-1000.0 / (rate * 70.0));
}

// A ceiling for any engine that gives the transcription's bits: during a release the
// smoothed reduction changes on every sample, and its gain is an exponential that has to
// come from the same library call. Here that call alone runs once per sample and channel
// on a decaying reduction like a release's; the real-time factor it reaches is the most
// the engine could reach if everything else it does cost nothing.
void ExpAlone (benchmark::State& state)
{
    const double h = releaseCoefficient();
    double sink = 0.0;
    for (auto _ : state)
    {
        double reduction[2] = { 3.0, 2.0 };
        for (size_t i = 0; i < frames; ++i)
        {
            for (double& a : reduction)
            {
                a = i % 4800 == 0 ? a + 3.0 : a * h;
                sink += std::exp (a / -20.0 * ln10);
            }
        }
        benchmark::DoNotOptimize (sink);
    }
    setCounters (state, frames);
}

// A ceiling for the whole design, on the music-like material: the least a half-wave
// limiter with the transcription's bits has to do, and nothing more. Both 30 ms delays,
// the crossing test with its minimum length, one pass over each closed half-wave for its
// peak, and then, for every sample of it, a release step and the gain exponential of the
// result. No inter-sample estimate, no level in dB, no static curve, no release time.
void HalfWaveFloor (benchmark::State& state)
{
    const auto& s = material (music);
    const int length = OrvanAudioProcessor::lookaheadFor (rate);
    const int minSegment = (int) ((0.1 * rate) / 1000.0);
    const double h = releaseCoefficient();
    const auto following = [length] (int j) { return j + 1 < length ? j + 1 : 0; };
    std::vector<double> rings[2] = { std::vector<double> ((size_t) length), std::vector<double> ((size_t) length) };
    double sink = 0.0;
    for (auto _ : state)
    {
        for (auto& ring : rings)
            std::fill (ring.begin(), ring.end(), 0.0);
        int lastCross[2] = { 0, 0 };
        double previous[2] = { 0.0, 0.0 };
        double reduction[2] = { 0.0, 0.0 };
        int p = 0;
        for (size_t i = 0; i < frames; ++i)
        {
            const double input[2] = { s.left[i], s.right[i] };
            for (int c = 0; c < 2; ++c)
            {
                double* const ring = rings[c].data();
                sink += ring[p];
                ring[p] = input[c];
                const double cross = previous[c] * input[c];
                previous[c] = input[c];
                if (cross < 0.0 && std::abs (p - lastCross[c]) >= minSegment)
                {
                    double peak = 0.0;
                    for (int j = lastCross[c]; j != p; j = following (j))
                        peak = std::max (peak, std::abs (ring[j]));
                    double a = std::max (reduction[c], peak - 0.9);
                    for (int j = lastCross[c]; j != p; j = following (j))
                    {
                        a *= h;
                        ring[j] *= std::exp (a / -20.0 * ln10);
                    }
                    reduction[c] = a;
                    lastCross[c] = p;
                }
            }
            p = p + 1 < length ? p + 1 : 0;
        }
        benchmark::DoNotOptimize (sink);
    }
    setCounters (state, frames);
}

// Collects the real-time factors so that the engine and the transcription can be put
// side by side once everything has run.
class Reporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> factors;

    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);
        for (const auto& run : runs)
        {
            auto found = run.counters.find ("realtime_x");
            if (found != run.counters.end() && run.run_type == Run::RT_Iteration)
                factors[run.benchmark_name()] = found->second.value;
        }
    }
};
} // namespace

BENCHMARK (Engine)->DenseRange (music, loudThenSilence)->Unit (benchmark::kMillisecond);
BENCHMARK (Transcription)->DenseRange (music, loudThenSilence)->Unit (benchmark::kMillisecond);
BENCHMARK (ProcessBlock)->DenseRange (music, loudThenSilence)->Unit (benchmark::kMillisecond);
BENCHMARK (ExpAlone)->Unit (benchmark::kMillisecond);
BENCHMARK (HalfWaveFloor)->Unit (benchmark::kMillisecond);
BENCHMARK (WorstBlock)->Arg (48000)->Arg (192000)->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);

    std::printf ("\nReal-time factor at 48 kHz stereo, ceiling %.1f dB\n", ceilingDb);
    std::printf ("%-18s %14s %14s %14s %8s\n", "material", "engine", "transcription", "processBlock", "ratio");
    for (int m = music; m <= loudThenSilence; ++m)
    {
        const auto key = [m] (const char* name) { return std::string (name) + "/" + std::to_string (m); };
        const double e = reporter.factors[key ("Engine")];
        const double t = reporter.factors[key ("Transcription")];
        const double b = reporter.factors[key ("ProcessBlock")];
        if (e > 0.0 && t > 0.0)
            std::printf ("%-18s %13.0fx %13.0fx %13.0fx %7.1fx\n", materialNames[m], e, t, b, e / t);
    }
    if (const double x = reporter.factors["ExpAlone"]; x > 0.0)
        std::printf ("%-18s %13.0fx   (one gain exponential per sample and channel, nothing else)\n",
                     "exp_alone", x);
    if (const double x = reporter.factors["HalfWaveFloor"]; x > 0.0)
        std::printf ("%-18s %13.0fx   (delay, crossings, one peak pass, a release step and its exponential per sample)\n",
                     "half_wave_floor", x);
    benchmark::Shutdown();
    return 0;
}
