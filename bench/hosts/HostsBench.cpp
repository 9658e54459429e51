// Orvan beside Debian's x42 digital peak limiter, each loaded by JUCE's hosting classes in
// this one process and fed the same material in the same blocks: 60 s of 48 kHz stereo,
// pink noise with percussive bursts peaking near +6 dBFS, ceiling -1 dB.

#include <juce_audio_processors/juce_audio_processors.h>

#include "TestSignals.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 512;
constexpr double seconds = 60.0;
constexpr int passes = 3;
const juce::String dplUri = "http://gareus.org/oss/lv2/dpl#stereo";

struct Contender
{
    juce::String label;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    double factor = 0.0;
};

std::unique_ptr<juce::AudioPluginInstance> load (juce::AudioPluginFormat& format, const juce::String& identifier)
{
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, identifier);
    if (found.isEmpty())
        return nullptr;
    juce::String error;
    auto instance = format.createInstanceFromDescription (*found[0], rate, block, error);
    if (instance == nullptr)
        std::fprintf (stderr, "orvan-bench-hosts: %s: %s\n", identifier.toRawUTF8(), error.toRawUTF8());
    return instance;
}

bool setParameter (juce::AudioPluginInstance& plugin, const juce::String& name, float normalised)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (64) == name)
        {
            parameter->setValueNotifyingHost (normalised);
            return true;
        }
    std::fprintf (stderr, "orvan-bench-hosts: %s has no parameter \"%s\"\n",
                  plugin.getName().toRawUTF8(), name.toRawUTF8());
    return false;
}

// Normalised value of a plain value in a hosted parameter, found by bisection through the
// parameter's own text, since hosted parameters do not expose their ranges.
float normalisedFor (juce::AudioPluginInstance& plugin, const juce::String& name, float plain)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (64) == name)
        {
            float lo = 0.0f, hi = 1.0f;
            for (int i = 0; i < 40; ++i)
            {
                const float mid = 0.5f * (lo + hi);
                if (parameter->getText (mid, 32).getFloatValue() < plain)
                    lo = mid;
                else
                    hi = mid;
            }
            return 0.5f * (lo + hi);
        }
    return 0.0f;
}

// The settings are made after prepareToPlay, since a hosted LV2 plug-in may be
// instantiated anew there.
double run (juce::AudioPluginInstance& plugin, const juce::AudioBuffer<float>& material,
            const std::function<void()>& configure)
{
    plugin.setPlayConfigDetails (2, 2, rate, block);
    plugin.prepareToPlay (rate, block);
    configure();
    juce::AudioBuffer<float> buffer (2, block);
    juce::MidiBuffer midi;
    double best = 0.0;
    for (int pass = 0; pass < passes; ++pass)
    {
        const auto start = juce::Time::getHighResolutionTicks();
        for (int offset = 0; offset + block <= material.getNumSamples(); offset += block)
        {
            buffer.copyFrom (0, 0, material, 0, offset, block);
            buffer.copyFrom (1, 0, material, 1, offset, block);
            plugin.processBlock (buffer, midi);
        }
        const double elapsed = juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - start);
        best = std::max (best, seconds / elapsed);
    }
    plugin.releaseResources();
    return best;
}
} // namespace

int main()
{
    // JUCE's LV2 host looks only in ~/.lv2 and the system folders, so a scratch home whose
    // .lv2 holds a link to the freshly built bundle makes it findable without installing it.
    const auto scratch = juce::File::createTempFile ("orvan-bench-home");
    scratch.createDirectory();
    scratch.getChildFile (".lv2").createDirectory();
    juce::File (ORVAN_LV2_BUNDLE).createSymbolicLink (scratch.getChildFile (".lv2/Orvan.lv2"), true);
    setenv ("HOME", scratch.getFullPathName().toRawUTF8(), 1);

    juce::ScopedJuceInitialiser_GUI juce;

    const auto signal = testsignals::music (rate, (size_t) (rate * seconds), 11, 2.0);
    juce::AudioBuffer<float> material (2, (int) signal.size());
    for (size_t i = 0; i < signal.size(); ++i)
    {
        material.setSample (0, (int) i, (float) signal.left[i]);
        material.setSample (1, (int) i, (float) signal.right[i]);
    }

    juce::VST3PluginFormat vst3;
    juce::LV2PluginFormat lv2;
    std::vector<Contender> field;
    field.push_back ({ "Orvan VST3", load (vst3, juce::File (ORVAN_VST3_BUNDLE).getFullPathName()) });
    field.push_back ({ "Orvan LV2", load (lv2, ORVAN_LV2_URI) });
    field.push_back ({ "x42-dpl, true peak off", load (lv2, dplUri) });
    field.push_back ({ "x42-dpl, true peak on", load (lv2, dplUri) });

    int status = 0;
    for (size_t i = 0; i < field.size(); ++i)
    {
        auto& c = field[i];
        if (c.plugin == nullptr)
        {
            std::printf ("%-26s not found\n", c.label.toRawUTF8());
            status = 1;
            continue;
        }
        c.factor = run (*c.plugin, material, [&c]
        {
            auto& plugin = *c.plugin;
            if (c.label.startsWith ("Orvan"))
                setParameter (plugin, "Level", normalisedFor (plugin, "Level", -1.0f));
            else
            {
                setParameter (plugin, "Threshold", normalisedFor (plugin, "Threshold", -1.0f));
                setParameter (plugin, "True Peak", c.label.endsWith ("on") ? 1.0f : 0.0f);
            }
        });
        if (std::getenv ("ORVAN_BENCH_VERBOSE") != nullptr)
            for (auto* parameter : c.plugin->getParameters())
                std::printf ("  %s: %s = %s\n", c.label.toRawUTF8(), parameter->getName (64).toRawUTF8(),
                             parameter->getCurrentValueAsText().toRawUTF8());
    }

    std::printf ("\n%.0f s of 48 kHz stereo music-like material, blocks of %d, ceiling -1 dB, best of %d\n",
                 seconds, block, passes);
    std::printf ("%-26s %12s %12s\n", "plug-in", "real time", "vs Orvan VST3");
    for (const auto& c : field)
        if (c.factor > 0.0)
            std::printf ("%-26s %11.0fx %12.2f\n", c.label.toRawUTF8(), c.factor,
                         field[0].factor > 0.0 ? c.factor / field[0].factor : 0.0);

    field.clear();
    scratch.deleteRecursively();
    return status;
}
