#pragma once

// Our stand-in for the AAX interface library: it answers the host's entry-point calls,
// collects what the plug-in side describes, hands out class factories and keeps count of
// the objects still alive so that the host knows when the bundle may be unloaded.

#include "AaxInterface.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvan::aax
{
// Where the plug-in side registers its effects. The host reads it back afterwards, so the
// collection is also the plug-in definition returned to the host.
class DescriptionCollection final : public PluginDefinition
{
public:
    explicit DescriptionCollection (Host& host);
    ~DescriptionCollection();

    // A new descriptor from the host, or null when the host gives none.
    EffectDescriptor* newDescriptor();
    Result addEffect (const char* effectId, EffectDescriptor* descriptor);
    Result setManufacturerName (const char* name);
    Result addPackageName (const char* name);
    Result setPackageVersion (uint32_t version);

    int32_t getNumEffects() const override;
    const char* getEffectId (int32_t index) const override;
    EffectDescriptor* getEffectDescriptor (int32_t index) const override;
    const char* getManufacturerName() const override;
    int32_t getNumPackageNames() const override;
    const char* getPackageName (int32_t index) const override;
    uint32_t getPackageVersion() const override;
    void release() override;

private:
    Host& host;
    std::vector<std::pair<std::string, EffectDescriptor*>> effects;
    std::string manufacturerName;
    std::vector<std::string> packageNames;
    uint32_t packageVersion = 0;
};

// Counts one object the host may still call into; the bundle can be unloaded once none
// is left.
class LiveObject
{
public:
    LiveObject();
    ~LiveObject();
    LiveObject (const LiveObject&) = delete;
    LiveObject& operator= (const LiveObject&) = delete;
};

// Runs a call for the host and turns anything thrown into the generic failure code: no
// exception may leave the bundle, whether through an entry point or through a method of an
// object the host holds.
template <typename Call>
Result guarded (Call&& call) noexcept
{
    try
    {
        return call();
    }
    catch (...)
    {
        return resultGenericFailure;
    }
}

// The interface library's functions behind the exported entry points, one per role.
Result registerPlugin (Host* host, PluginDefinition** definition);
Result registerComponent (Host* host, int32_t index, const char** classId);
Result getClassFactory (Host* host, const char* classId, ClassFactory** factory);
Result canUnloadNow (Host* host);
Result startup (Host* host);
Result shutdown (Host* host);
Result getSdkVersion (uint64_t* version);

// Provided by the format wrapper: the class its factory builds and how to build it.
const char* effectClassId();
Result createEffectInstance (EffectInstance** instance);
} // namespace orvan::aax

// Provided by the format wrapper: describes the plug-in's effects into the collection.
orvan::aax::Result GetEffectDescriptions (orvan::aax::DescriptionCollection* collection);
