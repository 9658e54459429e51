// Hostile state blobs: whatever a damaged project file or a malicious preset hands to
// setStateInformation, the processor must not crash or hang, must keep both parameters
// finite and inside their ranges, and must save what it restored as a blob that restores
// to the same values.
#include "PluginProcessor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace
{
void require (bool condition, const char* what)
{
    if (! condition)
    {
        std::fprintf (stderr, "state fuzzer: %s\n", what);
        std::abort();
    }
}

struct Values
{
    bool enabled;
    float enableRaw;
    float level;
};

Values valuesOf (OrvanAudioProcessor& processor)
{
    return { processor.enableParameter->get(), static_cast<juce::AudioProcessorParameter*> (processor.enableParameter)->getValue(), processor.levelParameter->get() };
}

void requireSane (const Values& v)
{
    require (std::isfinite (v.enableRaw) && v.enableRaw >= 0.0f && v.enableRaw <= 1.0f, "switch value out of range");
    require (std::isfinite (v.level) && v.level >= -6.0f && v.level <= 0.0f, "level out of range");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > (size_t) std::numeric_limits<int>::max())
        return 0;

    OrvanAudioProcessor processor (HostPolicy {});
    // Start away from the defaults, so that a restore that only half happened shows.
    processor.enableParameter->setValueNotifyingHost (0.0f);
    processor.levelParameter->setValueNotifyingHost (processor.levelParameter->convertTo0to1 (-2.5f));

    processor.setStateInformation (data, (int) size);
    const auto restored = valuesOf (processor);
    requireSane (restored);

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    OrvanAudioProcessor again (HostPolicy {});
    again.setStateInformation (saved.getData(), (int) saved.getSize());
    const auto reloaded = valuesOf (again);
    requireSane (reloaded);
    require (reloaded.enabled == restored.enabled, "switch changed across save and restore");
    require (reloaded.level == restored.level, "level changed across save and restore");

    juce::MemoryBlock savedAgain;
    again.getStateInformation (savedAgain);
    require (savedAgain == saved, "a restored blob saves differently");
    return 0;
}
