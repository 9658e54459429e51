// The plug-in side of the AAX stand-in, in the role the framework's AAX wrapper has on
// macOS: it describes the effect from the build settings and from a temporary processor,
// and runs one processor per instance behind the host's parameter and chunk calls.

#include "AaxLibrary.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace orvan::aax
{
namespace
{
constexpr const char* masterBypassId = "MasterBypassID";
constexpr const char* masterBypassName = "Master Bypass";
constexpr FourCC stateChunkId = fourCC ("juce");
constexpr FourCC nativeIdBase = fourCC ("jcaa");
constexpr FourCC audioSuiteIdBase = fourCC ("jyaa");

// The build names its AAX category the way the SDK spells it; this layer knows the one
// the plug-in uses.
constexpr uint32_t categoryFromBuildSetting (const char* setting)
{
    constexpr const char dynamics[] = "AAX_ePlugInCategory_Dynamics";
    for (size_t i = 0; i < sizeof (dynamics); ++i)
        if (setting[i] != dynamics[i])
            return 0;
    return categoryDynamics;
}

constexpr uint32_t effectCategory = categoryFromBuildSetting (JUCE_STRINGIFY (JucePlugin_AAXCategory));
static_assert (effectCategory != 0, "the AAX stand-in knows no such category");

const juce::AudioChannelSet& channelSetOf (StemFormat format)
{
    static const juce::AudioChannelSet sets[] = { juce::AudioChannelSet::disabled(),
                                                  juce::AudioChannelSet::mono(),
                                                  juce::AudioChannelSet::stereo() };
    return sets[(int) format];
}

// Every processor this layer makes counts as a live object until it is gone, so that a
// host never unloads the bundle under one.
struct CountedProcessor
{
    CountedProcessor()
    {
        juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_AAX;
        processor.reset (createPluginFilter());
    }

    juce::ScopedJuceInitialiser_GUI framework;
    LiveObject alive;
    std::unique_ptr<juce::AudioProcessor> processor;
};

Result describeComponent (ComponentDescriptor& component, StemFormat input, StemFormat output)
{
    const auto plugInIdFrom = [input, output] (FourCC base)
    { return (int64_t) (base + (FourCC) input * 256 + (FourCC) output); };

    const std::pair<Property, int64_t> properties[] = {
        { Property::manufacturerId, JucePlugin_AAXManufacturerCode },
        { Property::productId, JucePlugin_AAXProductId },
        { Property::nativePlugInId, plugInIdFrom (nativeIdBase) },
        { Property::audioSuitePlugInId, plugInIdFrom (audioSuiteIdBase) },
        { Property::supportsMultiMono, JucePlugin_AAXDisableMultiMono ? 0 : 1 },
        { Property::canBypass, JucePlugin_AAXDisableBypass ? 0 : 1 },
        { Property::numMidiInputNodes, JucePlugin_WantsMidiInput ? 1 : 0 },
        { Property::numMidiOutputNodes, JucePlugin_ProducesMidiOutput ? 1 : 0 },
    };

    if (const Result result = component.setStemFormats (input, output); result != resultOk)
        return result;
    for (const auto& [property, value] : properties)
        if (const Result result = component.setProperty (property, value); result != resultOk)
            return result;
    return resultOk;
}

Result describeEffect (EffectDescriptor& descriptor, juce::AudioProcessor& processor)
{
    juce::StringArray names { JucePlugin_Desc, JucePlugin_Name, processor.getName() };
    names.removeDuplicates (false);
    for (const auto& name : names)
        if (const Result result = descriptor.addName (name.toRawUTF8()); result != resultOk)
            return result;

    if (const Result result = descriptor.addCategory (effectCategory); result != resultOk)
        return result;

    // One component per channel configuration the processor accepts, found by proposing
    // every pair of stem formats.
    constexpr StemFormat formats[] = { StemFormat::none, StemFormat::mono, StemFormat::stereo };
    for (const auto input : formats)
    {
        for (const auto output : formats)
        {
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (channelSetOf (input));
            layout.outputBuses.add (channelSetOf (output));
            if (! processor.checkBusesLayoutSupported (layout))
                continue;

            auto* component = descriptor.newComponentDescriptor();
            if (component == nullptr)
                return resultNullObject;
            if (const Result result = describeComponent (*component, input, output); result != resultOk)
                return result;
            if (const Result result = descriptor.addComponent (component); result != resultOk)
                return result;
        }
    }

    // The processor declares no bypass parameter of its own, so the host's bypass is ours.
    if (const Result result = descriptor.setMasterBypassParameter (masterBypassId, masterBypassName); result != resultOk)
        return result;
    return descriptor.addStateChunk (stateChunkId);
}

// One effect on a track. The host's bypass switch is published first, then the processor's
// own parameters under their IDs.
class OrvanEffectInstance final : public EffectInstance
{
public:
    OrvanEffectInstance()
    {
        parameterIds.push_back (masterBypassId);
        parameterNames.push_back (masterBypassName);
        for (auto* parameter : processor().getParameters())
        {
            auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*> (parameter);
            parameterIds.push_back (withId != nullptr ? withId->paramID.toStdString()
                                                      : std::to_string (parameter->getParameterIndex()));
            parameterNames.push_back (parameter->getName (1024).toStdString());
        }
    }

    int32_t getNumParameters() const override { return (int32_t) parameterIds.size(); }

    const char* getParameterId (int32_t index) const override
    {
        return index >= 0 && index < getNumParameters() ? parameterIds[(size_t) index].c_str() : nullptr;
    }

    const char* getParameterName (int32_t index) const override
    {
        return index >= 0 && index < getNumParameters() ? parameterNames[(size_t) index].c_str() : nullptr;
    }

    Result getParameterValue (const char* parameterId, double* normalisedValue) const override
    {
        return guarded ([&]
        {
            if (parameterId == nullptr || normalisedValue == nullptr)
                return resultNullObject;
            const int index = indexOf (parameterId);
            if (index < 0)
                return resultUnknownId;
            *normalisedValue = index == 0 ? (bypassed ? 1.0 : 0.0)
                                          : (double) processor().getParameters()[index - 1]->getValue();
            return resultOk;
        });
    }

    Result setParameterValue (const char* parameterId, double normalisedValue) override
    {
        return guarded ([&]
        {
            if (parameterId == nullptr)
                return resultNullObject;
            const int index = indexOf (parameterId);
            if (index < 0)
                return resultUnknownId;
            if (! (normalisedValue >= 0.0 && normalisedValue <= 1.0))
                return resultInvalidArgument;

            if (index == 0)
                bypassed = normalisedValue >= 0.5;
            else
                processor().getParameters()[index - 1]->setValueNotifyingHost ((float) normalisedValue);
            return resultOk;
        });
    }

    Result prepare (double sampleRate, int32_t maximumBlockSize) override
    {
        return guarded ([&]
        {
            if (! (sampleRate > 0.0) || maximumBlockSize <= 0)
                return resultInvalidArgument;
            processor().setRateAndBufferSizeDetails (sampleRate, maximumBlockSize);
            processor().prepareToPlay (sampleRate, maximumBlockSize);
            return resultOk;
        });
    }

    Result getLatency (int32_t* samples) const override
    {
        if (samples == nullptr)
            return resultNullObject;
        *samples = processor().getLatencySamples();
        return resultOk;
    }

    Result getChunkSize (FourCC chunkId, uint32_t* size) override
    {
        return guarded ([&]
        {
            if (size == nullptr)
                return resultNullObject;
            if (chunkId != stateChunkId)
                return resultUnknownId;
            juce::MemoryBlock state;
            processor().getStateInformation (state);
            *size = (uint32_t) state.getSize();
            return resultOk;
        });
    }

    // A buffer too small for the state gets nothing written and learns the size needed.
    Result getChunk (FourCC chunkId, void* data, uint32_t capacity, uint32_t* size) override
    {
        return guarded ([&]
        {
            if (data == nullptr || size == nullptr)
                return resultNullObject;
            if (chunkId != stateChunkId)
                return resultUnknownId;
            juce::MemoryBlock state;
            processor().getStateInformation (state);
            *size = (uint32_t) state.getSize();
            if (state.getSize() > capacity)
                return resultInvalidArgument;
            std::memcpy (data, state.getData(), state.getSize());
            return resultOk;
        });
    }

    Result setChunk (FourCC chunkId, const void* data, uint32_t size) override
    {
        return guarded ([&]
        {
            if (data == nullptr)
                return resultNullObject;
            if (chunkId != stateChunkId)
                return resultUnknownId;
            if (size > (uint32_t) std::numeric_limits<int>::max())
                return resultInvalidArgument;
            processor().setStateInformation (data, (int) size);
            return resultOk;
        });
    }

    void release() override { delete this; }

private:
    juce::AudioProcessor& processor() const { return *counted.processor; }

    int indexOf (const char* parameterId) const
    {
        for (size_t i = 0; i < parameterIds.size(); ++i)
            if (parameterIds[i] == parameterId)
                return (int) i;
        return -1;
    }

    CountedProcessor counted;
    std::vector<std::string> parameterIds;
    std::vector<std::string> parameterNames;
    bool bypassed = false; // the host's master bypass, default off
};
} // namespace

const char* effectClassId()
{
    return JUCE_STRINGIFY (JucePlugin_AAXIdentifier);
}

Result createEffectInstance (EffectInstance** instance)
{
    if (instance == nullptr)
        return resultNullObject;
    *instance = new OrvanEffectInstance();
    return resultOk;
}
} // namespace orvan::aax

orvan::aax::Result GetEffectDescriptions (orvan::aax::DescriptionCollection* collection)
{
    using namespace orvan::aax;

    if (collection == nullptr)
        return resultNullObject;

    auto* descriptor = collection->newDescriptor();
    if (descriptor == nullptr)
        return resultNullObject;

    Result result = resultOk;
    {
        // Only to answer the description's questions; it is gone before the host goes on.
        CountedProcessor temporary;
        result = describeEffect (*descriptor, *temporary.processor);
    }
    if (result != resultOk)
        return result;

    if ((result = collection->addEffect (effectClassId(), descriptor)) != resultOk)
        return result;
    if ((result = collection->setManufacturerName (JucePlugin_Manufacturer)) != resultOk)
        return result;
    const char* const packageNames[] = { JucePlugin_Desc, JucePlugin_Name };
    for (const auto* name : packageNames)
        if ((result = collection->addPackageName (name)) != resultOk)
            return result;
    return collection->setPackageVersion (JucePlugin_VersionCode);
}
