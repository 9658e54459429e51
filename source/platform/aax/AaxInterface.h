#pragma once

// What an AAX host and the Orvan bundle say to each other where the AAX SDK is not
// available: the bundle's exported entry points and the small set of objects that pass
// through them. The real SDK's interface library serves the same roles on macOS; this one
// is our own, kept to what a host scan and a saved session need.
//
// Objects cross the boundary as abstract classes: the host implements the descriptors it
// hands out, the bundle implements everything it returns (released with release()).
// Nothing thrown ever crosses from the bundle to the host.

#include <cstdint>

namespace orvan::aax
{
using Result = int32_t;
using FourCC = uint32_t;

constexpr Result resultOk = 0;
constexpr Result resultNotNow = 1;                          // the bundle still has live objects
constexpr Result resultNullObject = -20004;                 // a required object is missing
constexpr Result resultUnknownId = -20100;                  // no such class, parameter or chunk
constexpr Result resultInvalidArgument = -20101;            // a value or size the call cannot take
constexpr Result resultGenericFailure = (Result) 0x8000FFFF;

constexpr FourCC fourCC (const char (&code)[5])
{
    return (FourCC (uint8_t (code[0])) << 24) | (FourCC (uint8_t (code[1])) << 16)
           | (FourCC (uint8_t (code[2])) << 8) | FourCC (uint8_t (code[3]));
}

// Plug-in categories, as the host files effects.
constexpr uint32_t categoryDynamics = 0x00000002;

// The interface version this layer stands in for (2.3), numbered like package versions:
// major times 65536 plus minor times 256 plus patch.
constexpr uint64_t sdkVersion = 0x00020300;

// A stem format's value is its index in plug-in IDs: 0 no channels, 1 mono, 2 stereo.
enum class StemFormat : int32_t
{
    none = 0,
    mono = 1,
    stereo = 2
};

// The properties a component carries, each an integer (four-character codes and switches).
enum class Property : int32_t
{
    manufacturerId,
    productId,
    nativePlugInId,
    audioSuitePlugInId,
    supportsMultiMono,
    canBypass,
    numMidiInputNodes,
    numMidiOutputNodes
};

// One channel configuration of an effect. Implemented by the host.
class ComponentDescriptor
{
public:
    virtual Result setStemFormats (StemFormat input, StemFormat output) = 0;
    virtual Result setProperty (Property property, int64_t value) = 0;

protected:
    ~ComponentDescriptor() = default;
};

// One effect as the host lists it. Implemented by the host, which owns what it hands out.
class EffectDescriptor
{
public:
    virtual Result addName (const char* name) = 0;
    virtual Result addCategory (uint32_t category) = 0;
    virtual ComponentDescriptor* newComponentDescriptor() = 0;
    virtual Result addComponent (ComponentDescriptor* component) = 0;
    virtual Result setMasterBypassParameter (const char* parameterId, const char* name) = 0;
    virtual Result addStateChunk (FourCC chunkId) = 0;

protected:
    ~EffectDescriptor() = default;
};

// What the host offers the bundle while it registers. Either may answer null.
class Host
{
public:
    virtual EffectDescriptor* newEffectDescriptor() = 0;

protected:
    ~Host() = default;
};

// The bundle's answer to a scan: its effects and its package details.
class PluginDefinition
{
public:
    virtual int32_t getNumEffects() const = 0;
    virtual const char* getEffectId (int32_t index) const = 0;
    virtual EffectDescriptor* getEffectDescriptor (int32_t index) const = 0;
    virtual const char* getManufacturerName() const = 0;
    virtual int32_t getNumPackageNames() const = 0;
    virtual const char* getPackageName (int32_t index) const = 0;
    virtual uint32_t getPackageVersion() const = 0;
    virtual void release() = 0;

protected:
    ~PluginDefinition() = default;
};

// One instance of an effect on a track: its parameters (normalised 0 to 1), latency and
// saved-state chunks.
class EffectInstance
{
public:
    virtual int32_t getNumParameters() const = 0;
    virtual const char* getParameterId (int32_t index) const = 0;
    virtual const char* getParameterName (int32_t index) const = 0;
    virtual Result getParameterValue (const char* parameterId, double* normalisedValue) const = 0;
    virtual Result setParameterValue (const char* parameterId, double normalisedValue) = 0;
    virtual Result prepare (double sampleRate, int32_t maximumBlockSize) = 0;
    virtual Result getLatency (int32_t* samples) const = 0;
    virtual Result getChunkSize (FourCC chunkId, uint32_t* size) = 0;
    virtual Result getChunk (FourCC chunkId, void* data, uint32_t capacity, uint32_t* size) = 0;
    virtual Result setChunk (FourCC chunkId, const void* data, uint32_t size) = 0;
    virtual void release() = 0;

protected:
    ~EffectInstance() = default;
};

class ClassFactory
{
public:
    virtual Result createInstance (EffectInstance** instance) = 0;
    virtual void release() = 0;

protected:
    ~ClassFactory() = default;
};

// The entry points' signatures, for hosts that look them up at run time.
using RegisterPluginFunction = Result (*) (Host*, PluginDefinition**);
using RegisterComponentFunction = Result (*) (Host*, int32_t index, const char** classId);
using GetClassFactoryFunction = Result (*) (Host*, const char* classId, ClassFactory**);
using CanUnloadNowFunction = Result (*) (Host*);
using StartupFunction = Result (*) (Host*);
using ShutdownFunction = Result (*) (Host*);
using GetSdkVersionFunction = Result (*) (uint64_t* version);
} // namespace orvan::aax
