// The functions an AAX host looks up in the bundle. Each passes its call on to the
// interface library's function of the same role; whatever is thrown underneath, from our
// code or from a host callback, ends here as the generic failure code.

#include "AaxLibrary.h"

#define ORVAN_AAX_EXPORT extern "C" __attribute__ ((visibility ("default")))

using namespace orvan::aax;

ORVAN_AAX_EXPORT Result ACFRegisterPlugin (Host* host, PluginDefinition** definition)
{
    return guarded ([&] { return registerPlugin (host, definition); });
}

ORVAN_AAX_EXPORT Result ACFRegisterComponent (Host* host, int32_t index, const char** classId)
{
    return guarded ([&] { return registerComponent (host, index, classId); });
}

ORVAN_AAX_EXPORT Result ACFGetClassFactory (Host* host, const char* classId, ClassFactory** factory)
{
    return guarded ([&] { return getClassFactory (host, classId, factory); });
}

ORVAN_AAX_EXPORT Result ACFCanUnloadNow (Host* host)
{
    return guarded ([&] { return canUnloadNow (host); });
}

ORVAN_AAX_EXPORT Result ACFStartup (Host* host)
{
    return guarded ([&] { return startup (host); });
}

ORVAN_AAX_EXPORT Result ACFShutdown (Host* host)
{
    return guarded ([&] { return shutdown (host); });
}

ORVAN_AAX_EXPORT Result ACFGetSDKVersion (uint64_t* version)
{
    return guarded ([&] { return getSdkVersion (version); });
}
