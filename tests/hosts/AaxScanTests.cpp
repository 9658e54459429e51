// A host scan of the AAX stand-in: the bundle's library is loaded at run time, its entry
// points are looked up by name and called in the order a host uses them, and everything
// the bundle describes lands in descriptors implemented here, as a host's would.

#include "AaxInterface.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace orvan::aax;

namespace
{
struct RecordedComponent final : ComponentDescriptor
{
    Result setStemFormats (StemFormat in, StemFormat out) override
    {
        input = in;
        output = out;
        return resultOk;
    }

    Result setProperty (Property property, int64_t value) override
    {
        properties[property] = value;
        return resultOk;
    }

    StemFormat input = StemFormat::none;
    StemFormat output = StemFormat::none;
    std::map<Property, int64_t> properties;
};

// How a host can let the bundle down while it describes itself.
enum class HostFault
{
    none,
    noEffectDescriptor,
    noComponentDescriptor,
    throwsOnDescriptor,
    throwsOnName
};

struct RecordedEffect final : EffectDescriptor
{
    explicit RecordedEffect (HostFault f) : fault (f) {}

    Result addName (const char* name) override
    {
        if (fault == HostFault::throwsOnName)
            throw std::runtime_error ("host out of memory");
        names.emplace_back (name);
        return resultOk;
    }

    Result addCategory (uint32_t category) override
    {
        categories.push_back (category);
        return resultOk;
    }

    ComponentDescriptor* newComponentDescriptor() override
    {
        if (fault == HostFault::noComponentDescriptor)
            return nullptr;
        made.push_back (std::make_unique<RecordedComponent>());
        return made.back().get();
    }

    Result addComponent (ComponentDescriptor* component) override
    {
        components.push_back (static_cast<RecordedComponent*> (component));
        return resultOk;
    }

    Result setMasterBypassParameter (const char* parameterId, const char* name) override
    {
        bypassId = parameterId;
        bypassName = name;
        return resultOk;
    }

    Result addStateChunk (FourCC chunkId) override
    {
        stateChunks.push_back (chunkId);
        return resultOk;
    }

    const HostFault fault;
    std::vector<std::string> names;
    std::vector<uint32_t> categories;
    std::vector<std::unique_ptr<RecordedComponent>> made;
    std::vector<RecordedComponent*> components;
    std::string bypassId, bypassName;
    std::vector<FourCC> stateChunks;
};

struct RecordingHost final : Host
{
    explicit RecordingHost (HostFault f = HostFault::none) : fault (f) {}

    EffectDescriptor* newEffectDescriptor() override
    {
        if (fault == HostFault::noEffectDescriptor)
            return nullptr;
        if (fault == HostFault::throwsOnDescriptor)
            throw std::runtime_error ("host out of memory");
        effects.push_back (std::make_unique<RecordedEffect> (fault));
        return effects.back().get();
    }

    const HostFault fault;
    std::vector<std::unique_ptr<RecordedEffect>> effects;
};

// The bundle's library and its entry points, looked up by their exported names.
struct Bundle
{
    Bundle()
    {
        handle = dlopen (ORVAN_AAX_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return;
        registerPlugin = find<RegisterPluginFunction> ("ACFRegisterPlugin");
        registerComponent = find<RegisterComponentFunction> ("ACFRegisterComponent");
        getClassFactory = find<GetClassFactoryFunction> ("ACFGetClassFactory");
        canUnloadNow = find<CanUnloadNowFunction> ("ACFCanUnloadNow");
        startup = find<StartupFunction> ("ACFStartup");
        shutdown = find<ShutdownFunction> ("ACFShutdown");
        getSdkVersion = find<GetSdkVersionFunction> ("ACFGetSDKVersion");
    }

    bool isComplete() const
    {
        return registerPlugin && registerComponent && getClassFactory && canUnloadNow && startup && shutdown && getSdkVersion;
    }

    template <typename Function>
    Function find (const char* name)
    {
        return reinterpret_cast<Function> (dlsym (handle, name));
    }

    void* handle = nullptr;
    RegisterPluginFunction registerPlugin = nullptr;
    RegisterComponentFunction registerComponent = nullptr;
    GetClassFactoryFunction getClassFactory = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
    StartupFunction startup = nullptr;
    ShutdownFunction shutdown = nullptr;
    GetSdkVersionFunction getSdkVersion = nullptr;
};

class AaxStandIn : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        bundle = new Bundle();
    }

    void SetUp() override
    {
        ASSERT_NE (bundle->handle, nullptr) << dlerror();
        ASSERT_TRUE (bundle->isComplete()) << "an entry point is not exported";
        ASSERT_EQ (bundle->startup (&host), resultOk);
    }

    void TearDown() override
    {
        // Whatever a test did, the bundle must have let go of everything it made.
        EXPECT_EQ (bundle->canUnloadNow (&host), resultOk);
        EXPECT_EQ (bundle->shutdown (&host), resultOk);
    }

    EffectInstance* createInstance()
    {
        ClassFactory* factory = nullptr;
        EXPECT_EQ (bundle->getClassFactory (&host, "com.zandl-audio.Orvan", &factory), resultOk);
        if (factory == nullptr)
            return nullptr;
        EffectInstance* instance = nullptr;
        EXPECT_EQ (factory->createInstance (&instance), resultOk);
        factory->release();
        return instance;
    }

    static double parameterValue (const EffectInstance& instance, const char* id)
    {
        double value = -1.0;
        EXPECT_EQ (instance.getParameterValue (id, &value), resultOk) << id;
        return value;
    }

    static std::vector<uint8_t> stateChunk (EffectInstance& instance)
    {
        uint32_t size = 0;
        EXPECT_EQ (instance.getChunkSize (fourCC ("juce"), &size), resultOk);
        std::vector<uint8_t> chunk (size);
        uint32_t written = 0;
        EXPECT_EQ (instance.getChunk (fourCC ("juce"), chunk.data(), size, &written), resultOk);
        EXPECT_EQ (written, size);
        return chunk;
    }

    static Bundle* bundle; // loaded once, as a host keeps a scanned bundle open
    RecordingHost host;
};

Bundle* AaxStandIn::bundle = nullptr;

constexpr double normalisedLevel (double db) { return (db + 6.0) / 6.0; }
} // namespace

TEST_F (AaxStandIn, ScanListsOneDynamicsEffectWithAMonoAndAStereoComponent)
{
    uint64_t version = 0;
    EXPECT_EQ (bundle->getSdkVersion (&version), resultOk);
    EXPECT_EQ (version, 0x00020300u);

    PluginDefinition* definition = nullptr;
    ASSERT_EQ (bundle->registerPlugin (&host, &definition), resultOk);
    ASSERT_NE (definition, nullptr);

    EXPECT_STREQ (definition->getManufacturerName(), "ZANDL-AUDIO");
    ASSERT_EQ (definition->getNumPackageNames(), 2);
    EXPECT_STREQ (definition->getPackageName (0), "Orvan");
    EXPECT_STREQ (definition->getPackageName (1), "Orvan");
    EXPECT_EQ (definition->getPackageVersion(), 0x00010002u);
    EXPECT_EQ (definition->getPackageVersion(), 65538u);

    ASSERT_EQ (definition->getNumEffects(), 1);
    EXPECT_STREQ (definition->getEffectId (0), "com.zandl-audio.Orvan");
    ASSERT_EQ (host.effects.size(), 1u);
    const auto& effect = *host.effects[0];
    EXPECT_EQ (definition->getEffectDescriptor (0), &effect);
    EXPECT_EQ (definition->getEffectDescriptor (1), nullptr);

    EXPECT_EQ (effect.names, (std::vector<std::string> { "Orvan" }));
    EXPECT_EQ (effect.categories, (std::vector<uint32_t> { 0x00000002 }));
    EXPECT_EQ (effect.bypassId, "MasterBypassID");
    EXPECT_EQ (effect.bypassName, "Master Bypass");
    EXPECT_EQ (effect.stateChunks, (std::vector<FourCC> { 0x6A756365 })); // 'juce'

    struct ExpectedComponent
    {
        StemFormat stems;
        int64_t nativeId, audioSuiteId;
    };
    const ExpectedComponent expected[] = {
        { StemFormat::mono, 0x6A636262, 0x6A796262 },   // jcbb, jybb
        { StemFormat::stereo, 0x6A636363, 0x6A796363 }, // jccc, jycc
    };
    ASSERT_EQ (effect.components.size(), std::size (expected));
    for (size_t i = 0; i < std::size (expected); ++i)
    {
        SCOPED_TRACE (i);
        const auto& component = *effect.components[i];
        EXPECT_EQ (component.input, expected[i].stems);
        EXPECT_EQ (component.output, expected[i].stems);
        const std::map<Property, int64_t> properties {
            { Property::manufacturerId, 0x4D616E75 }, // Manu
            { Property::productId, 0x4736626C },      // G6bl
            { Property::nativePlugInId, expected[i].nativeId },
            { Property::audioSuitePlugInId, expected[i].audioSuiteId },
            { Property::supportsMultiMono, 1 },
            { Property::canBypass, 1 },
            { Property::numMidiInputNodes, 0 },
            { Property::numMidiOutputNodes, 0 },
        };
        EXPECT_EQ (component.properties, properties);
    }

    // The temporary processor is gone once the scan is over; the definition is all that
    // keeps the bundle busy until the host lets go of it.
    EXPECT_EQ (bundle->canUnloadNow (&host), resultNotNow);
    definition->release();
}

TEST_F (AaxStandIn, RegistersTheEffectClassAsItsOnlyComponent)
{
    const char* classId = nullptr;
    EXPECT_EQ (bundle->registerComponent (&host, 0, &classId), resultOk);
    EXPECT_STREQ (classId, "com.zandl-audio.Orvan");
    EXPECT_EQ (bundle->registerComponent (&host, 1, &classId), resultUnknownId);
    EXPECT_EQ (classId, nullptr);
}

TEST_F (AaxStandIn, FailuresComeBackAsCodesAndLeaveNothingBehind)
{
    struct Case
    {
        const char* name;
        HostFault fault;
        Result expected;
    };
    const Case cases[] = {
        { "no effect descriptor", HostFault::noEffectDescriptor, -20004 },
        { "no component descriptor", HostFault::noComponentDescriptor, -20004 },
        { "host throws creating the descriptor", HostFault::throwsOnDescriptor, (Result) 0x8000FFFF },
        { "host throws taking a name", HostFault::throwsOnName, (Result) 0x8000FFFF },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        RecordingHost faultyHost (c.fault);
        PluginDefinition* definition = reinterpret_cast<PluginDefinition*> (&faultyHost); // must be cleared
        EXPECT_EQ (bundle->registerPlugin (&faultyHost, &definition), c.expected);
        EXPECT_EQ (definition, nullptr);
        EXPECT_EQ (bundle->canUnloadNow (&faultyHost), resultOk);
    }

    PluginDefinition* definition = nullptr;
    EXPECT_EQ (bundle->registerPlugin (&host, nullptr), resultNullObject);
    EXPECT_EQ (bundle->registerPlugin (nullptr, &definition), resultNullObject);
    EXPECT_EQ (bundle->getSdkVersion (nullptr), resultNullObject);
    EXPECT_EQ (bundle->registerComponent (&host, 0, nullptr), resultNullObject);

    ClassFactory* factory = reinterpret_cast<ClassFactory*> (&host);
    EXPECT_EQ (bundle->getClassFactory (&host, "com.zandl-audio.Other", &factory), resultUnknownId);
    EXPECT_EQ (factory, nullptr);
    EXPECT_EQ (bundle->getClassFactory (&host, nullptr, &factory), resultNullObject);
}

TEST_F (AaxStandIn, InstancePublishesTheBypassAndBothParametersAndTheLatency)
{
    auto* instance = createInstance();
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (bundle->canUnloadNow (&host), resultNotNow);

    ASSERT_EQ (instance->getNumParameters(), 3);
    const std::pair<const char*, const char*> published[] = {
        { "MasterBypassID", "Master Bypass" }, { "dbEnable", "Enable" }, { "dbMain", "Level" }
    };
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_STREQ (instance->getParameterId (i), published[i].first);
        EXPECT_STREQ (instance->getParameterName (i), published[i].second);
    }
    EXPECT_EQ (instance->getParameterId (3), nullptr);

    EXPECT_EQ (parameterValue (*instance, "MasterBypassID"), 0.0);
    EXPECT_EQ (parameterValue (*instance, "dbEnable"), 1.0);
    EXPECT_NEAR (parameterValue (*instance, "dbMain"), normalisedLevel (-0.1), 1.0e-6);

    // The host's bypass is its own switch; the plug-in's enable switch is untouched by it.
    EXPECT_EQ (instance->setParameterValue ("MasterBypassID", 1.0), resultOk);
    EXPECT_EQ (parameterValue (*instance, "MasterBypassID"), 1.0);
    EXPECT_EQ (parameterValue (*instance, "dbEnable"), 1.0);

    double value = 0.0;
    EXPECT_EQ (instance->getParameterValue ("PreviewID", &value), resultUnknownId);
    EXPECT_EQ (instance->setParameterValue ("dbMain", std::nan ("")), resultInvalidArgument);
    EXPECT_EQ (instance->setParameterValue ("dbMain", 1.5), resultInvalidArgument);
    EXPECT_NEAR (parameterValue (*instance, "dbMain"), normalisedLevel (-0.1), 1.0e-6);

    int32_t latency = -1;
    EXPECT_EQ (instance->prepare (48000.0, 512), resultOk);
    EXPECT_EQ (instance->getLatency (&latency), resultOk);
    EXPECT_EQ (latency, 1440);
    EXPECT_EQ (instance->prepare (0.0, 512), resultInvalidArgument);

    instance->release();
}

TEST_F (AaxStandIn, JuceChunkBringsBackLevelAndSwitchInANewInstance)
{
    auto* saved = createInstance();
    ASSERT_NE (saved, nullptr);
    ASSERT_EQ (saved->setParameterValue ("dbMain", normalisedLevel (-4.5)), resultOk);
    ASSERT_EQ (saved->setParameterValue ("dbEnable", 0.0), resultOk);
    const auto chunk = stateChunk (*saved);

    // The chunk is the processor's state blob: the framework's binary header, then the XML.
    ASSERT_GT (chunk.size(), 8u);
    const std::string xml (chunk.begin() + 8, chunk.end());
    EXPECT_NE (xml.find ("<MYPLUGINSETTINGS"), std::string::npos) << xml;
    EXPECT_NE (xml.find ("dbEnable=\"0\""), std::string::npos) << xml;
    EXPECT_NE (xml.find ("dbMain=\"-4.5\""), std::string::npos) << xml;

    auto* restored = createInstance();
    ASSERT_NE (restored, nullptr);
    ASSERT_EQ (restored->setChunk (fourCC ("juce"), chunk.data(), (uint32_t) chunk.size()), resultOk);
    EXPECT_EQ (parameterValue (*restored, "dbMain"), parameterValue (*saved, "dbMain"));
    EXPECT_EQ (parameterValue (*restored, "dbEnable"), 0.0);
    EXPECT_EQ (stateChunk (*restored), chunk);

    // A damaged chunk changes nothing; unknown chunks and short buffers are refused.
    std::vector<uint8_t> damaged (chunk);
    damaged[0] ^= 0xff;
    EXPECT_EQ (restored->setChunk (fourCC ("juce"), damaged.data(), (uint32_t) damaged.size()), resultOk);
    EXPECT_EQ (stateChunk (*restored), chunk);

    uint32_t size = 0;
    std::vector<uint8_t> tooSmall (chunk.size() - 1);
    EXPECT_EQ (restored->getChunk (fourCC ("juce"), tooSmall.data(), (uint32_t) tooSmall.size(), &size), resultInvalidArgument);
    EXPECT_EQ (size, chunk.size());
    EXPECT_EQ (restored->getChunkSize (fourCC ("elck"), &size), resultUnknownId);
    EXPECT_EQ (restored->setChunk (fourCC ("elck"), chunk.data(), (uint32_t) chunk.size()), resultUnknownId);

    saved->release();
    restored->release();
}
