#include "AaxLibrary.h"

#include <atomic>
#include <cstring>

namespace orvan::aax
{
namespace
{
std::atomic<int> liveObjects { 0 };

// Hands out instances of the one class the bundle offers. Stateless apart from its count.
class EffectClassFactory final : public ClassFactory
{
public:
    Result createInstance (EffectInstance** instance) override
    {
        if (instance == nullptr)
            return resultNullObject;
        *instance = nullptr;
        return guarded ([instance] { return createEffectInstance (instance); });
    }

    void release() override { delete this; }

private:
    LiveObject alive;
};
} // namespace

LiveObject::LiveObject() { ++liveObjects; }
LiveObject::~LiveObject() { --liveObjects; }

DescriptionCollection::DescriptionCollection (Host& h) : host (h) { ++liveObjects; }
DescriptionCollection::~DescriptionCollection() { --liveObjects; }

EffectDescriptor* DescriptionCollection::newDescriptor()
{
    return host.newEffectDescriptor();
}

Result DescriptionCollection::addEffect (const char* effectId, EffectDescriptor* descriptor)
{
    if (effectId == nullptr || descriptor == nullptr)
        return resultNullObject;
    effects.emplace_back (effectId, descriptor);
    return resultOk;
}

Result DescriptionCollection::setManufacturerName (const char* name)
{
    if (name == nullptr)
        return resultNullObject;
    manufacturerName = name;
    return resultOk;
}

Result DescriptionCollection::addPackageName (const char* name)
{
    if (name == nullptr)
        return resultNullObject;
    packageNames.emplace_back (name);
    return resultOk;
}

Result DescriptionCollection::setPackageVersion (uint32_t version)
{
    packageVersion = version;
    return resultOk;
}

int32_t DescriptionCollection::getNumEffects() const { return (int32_t) effects.size(); }

const char* DescriptionCollection::getEffectId (int32_t index) const
{
    return index >= 0 && index < getNumEffects() ? effects[(size_t) index].first.c_str() : nullptr;
}

EffectDescriptor* DescriptionCollection::getEffectDescriptor (int32_t index) const
{
    return index >= 0 && index < getNumEffects() ? effects[(size_t) index].second : nullptr;
}

const char* DescriptionCollection::getManufacturerName() const { return manufacturerName.c_str(); }

int32_t DescriptionCollection::getNumPackageNames() const { return (int32_t) packageNames.size(); }

const char* DescriptionCollection::getPackageName (int32_t index) const
{
    return index >= 0 && index < getNumPackageNames() ? packageNames[(size_t) index].c_str() : nullptr;
}

uint32_t DescriptionCollection::getPackageVersion() const { return packageVersion; }

void DescriptionCollection::release() { delete this; }

Result registerPlugin (Host* host, PluginDefinition** definition)
{
    if (definition == nullptr)
        return resultNullObject;
    *definition = nullptr;
    if (host == nullptr)
        return resultNullObject;

    // The host gets the definition only when the whole description succeeded.
    auto collection = std::make_unique<DescriptionCollection> (*host);
    const Result result = GetEffectDescriptions (collection.get());
    if (result != resultOk)
        return result;

    *definition = collection.release();
    return resultOk;
}

// The bundle's only registered component is the effect class its factory builds.
Result registerComponent (Host*, int32_t index, const char** classId)
{
    if (classId == nullptr)
        return resultNullObject;
    *classId = nullptr;
    if (index != 0)
        return resultUnknownId;
    *classId = effectClassId();
    return resultOk;
}

Result getClassFactory (Host*, const char* classId, ClassFactory** factory)
{
    if (factory == nullptr)
        return resultNullObject;
    *factory = nullptr;
    if (classId == nullptr)
        return resultNullObject;
    if (std::strcmp (classId, effectClassId()) != 0)
        return resultUnknownId;
    *factory = new EffectClassFactory();
    return resultOk;
}

Result canUnloadNow (Host*)
{
    return liveObjects.load() == 0 ? resultOk : resultNotNow;
}

// Nothing to set up or tear down beyond what each object does for itself.
Result startup (Host*) { return resultOk; }
Result shutdown (Host*) { return resultOk; }

Result getSdkVersion (uint64_t* version)
{
    if (version == nullptr)
        return resultNullObject;
    *version = sdkVersion;
    return resultOk;
}
} // namespace orvan::aax
