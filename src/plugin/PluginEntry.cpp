// The exported entry point: the one place that creates the effect (with its editor) for a
// host.
#include "OrvexPlugin.h"
#include "vst/VstAbi.h"

#include <new>

AudioEffect* createEffectInstance(vst::HostCallback audioMaster)
{
    // Nothing may escape to the host: a failed construction yields no effect.
    try {
        return new OrvexPlugin(audioMaster);
    } catch (...) {
        return nullptr;
    }
}

#if defined(_WIN32)
#define ORVEX_EXPORT extern "C" __declspec(dllexport)
#else
#define ORVEX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Exported as VSTPluginMain and, through the module definition file on Windows, also as
// "main" at the same address (a C++ function cannot be called main).
ORVEX_EXPORT vst::AEffect* VSTCALLBACK VSTPluginMain(vst::HostCallback audioMaster)
{
    if (!audioMaster || audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

#if !defined(_WIN32)
// Hosts on Linux look for either name; both resolve to the same function.
extern "C" vst::AEffect* orvexMainAlias(vst::HostCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain"), visibility("default")));
#endif
