// A tiny VST 2.4 effect written directly on our interface declarations, so that the host
// can be tested end to end on every platform we build for, wine included: a stereo gain
// with one parameter "Gain" (value v gives the factor 2v, so 0.5 is unity), one program
// and a 4-byte chunk holding the value.
//
// It keeps a trace of what the host did, reachable through the exported gainPluginTrace(),
// and notes protocol faults there as "FAULT ..." lines (audio before resume, blocks larger
// than announced, ...). Its product string deliberately ignores the 64-character limit
// and is not terminated, as some plug-ins do, to exercise the host's text buffers.
//
// Built twice: as gain_plugin (entry VSTPluginMain) and, with GAIN_MAIN_ONLY, as
// gain_plugin_main, an old-style effect whose only entry is the older name "main" and whose
// only audio call is the accumulating process.
#include "vst/VstAbi.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(_WIN32)
#define GAIN_EXPORT extern "C" __declspec(dllexport)
#else
#define GAIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::string g_trace; // what the host did, one event per line

void trace(const std::string& line)
{
    g_trace += line;
    g_trace += '\n';
}

// Copies at most limit - 1 characters and terminates, as the interface asks of plug-ins.
void copyText(void* ptr, const char* text, std::size_t limit)
{
    char* out = static_cast<char*>(ptr);
    std::size_t i = 0;
    for (; i + 1 < limit && text[i]; ++i)
        out[i] = text[i];
    out[i] = 0;
}

struct GainEffect {
    vst::AEffect record;            // what the host keeps
    vst::HostCallback host;         // the host's callback
    float value = 0.5f;             // the parameter, 0 to 1
    float sampleRate = 0.0f;        // as last set by the host
    int blockSize = 0;              // as last set by the host
    bool open = false;              // between effOpen and effClose
    bool resumed = false;           // between effMainsChanged 1 and 0
    int blocks = 0;                 // process calls since resume
    unsigned char chunk[4] = {};    // the value, little-endian, for effGetChunk

    float factor() const { return 2.0f * value; }
};

GainEffect* self(vst::AEffect* effect)
{
    return static_cast<GainEffect*>(effect->object);
}

void processBlock(GainEffect* gain, float** inputs, float** outputs, vst::Int32 frames, bool accumulate)
{
    if (!gain->resumed)
        trace("FAULT process while suspended");
    if (frames > gain->blockSize)
        trace("FAULT block of " + std::to_string(frames) + " frames after setBlockSize " +
              std::to_string(gain->blockSize));
    if (gain->blocks++ == 0)
        trace("process " + std::to_string(frames));
    const float factor = gain->factor();
    for (int c = 0; c < 2; ++c) {
        for (vst::Int32 i = 0; i < frames; ++i) {
            const float y = inputs[c][i] * factor;
            outputs[c][i] = accumulate ? outputs[c][i] + y : y;
        }
    }
}

void VSTCALLBACK processReplacing(vst::AEffect* effect, float** inputs, float** outputs, vst::Int32 frames)
{
    processBlock(self(effect), inputs, outputs, frames, false);
}

void VSTCALLBACK processAccumulating(vst::AEffect* effect, float** inputs, float** outputs, vst::Int32 frames)
{
    processBlock(self(effect), inputs, outputs, frames, true);
}

void VSTCALLBACK setParameter(vst::AEffect* effect, vst::Int32 index, float value)
{
    if (index == 0)
        self(effect)->value = value;
    else
        trace("FAULT setParameter " + std::to_string(index));
}

float VSTCALLBACK getParameter(vst::AEffect* effect, vst::Int32 index)
{
    return index == 0 ? self(effect)->value : 0.0f;
}

vst::IntPtr VSTCALLBACK dispatcher(vst::AEffect* effect, vst::Int32 opcode, vst::Int32 index, vst::IntPtr value,
                                   void* ptr, float opt)
{
    GainEffect* gain = self(effect);
    switch (opcode) {
    case vst::effOpen: {
        gain->open = true;
        char vendor[vst::kVstMaxVendorStrLen] = {};
        gain->host(effect, vst::audioMasterGetVendorString, 0, 0, vendor, 0.0f);
        trace("open host=" + std::string(vendor) +
              " rate=" + std::to_string(gain->host(effect, vst::audioMasterGetSampleRate, 0, 0, nullptr, 0.0f)) +
              " canDo=" +
              std::to_string(gain->host(effect, vst::audioMasterCanDo, 0, 0, const_cast<char*>("sizeWindow"), 0.0f)));
        return 0;
    }
    case vst::effClose:
        trace("close");
        delete gain;
        return 1;
    case vst::effSetSampleRate:
        gain->sampleRate = opt;
        trace("setSampleRate " + std::to_string(static_cast<long>(opt)));
        return 0;
    case vst::effSetBlockSize:
        gain->blockSize = static_cast<int>(value);
        trace("setBlockSize " + std::to_string(value));
        return 0;
    case vst::effMainsChanged:
        if (value == 0 && gain->resumed)
            trace("suspend after " + std::to_string(gain->blocks) + " blocks");
        else if (value != 0)
            trace("resume");
        gain->resumed = value != 0;
        gain->blocks = 0;
        return 0;
    case vst::effGetProgram:
        return 0;
    case vst::effSetProgram:
        trace("setProgram " + std::to_string(value));
        return 0;
    case vst::effGetProgramName:
        copyText(ptr, "Default", vst::kVstMaxProgNameLen);
        return 0;
    case vst::effGetProgramNameIndexed:
        if (index != 0)
            return 0;
        copyText(ptr, "Default", vst::kVstMaxProgNameLen);
        return 1;
    case vst::effGetParamName:
        copyText(ptr, index == 0 ? "Gain" : "", vst::kVstMaxParamStrLen);
        return 0;
    case vst::effGetParamLabel:
        copyText(ptr, index == 0 ? "dB" : "", vst::kVstMaxParamStrLen);
        return 0;
    case vst::effGetParamDisplay: {
        // Printed with two decimals so that a host can recompute the factor from the text.
        char text[32];
        const float factor = gain->factor();
        if (factor > 0.0f)
            std::snprintf(text, sizeof(text), "%.2f", 20.0 * std::log10(static_cast<double>(factor)));
        else
            std::snprintf(text, sizeof(text), "-inf");
        copyText(ptr, index == 0 ? text : "", vst::kVstMaxParamStrLen);
        return 0;
    }
    case vst::effGetChunk: {
        trace("getChunk " + std::to_string(index));
        std::uint32_t bits = 0;
        std::memcpy(&bits, &gain->value, sizeof(bits));
        for (int i = 0; i < 4; ++i)
            gain->chunk[i] = static_cast<unsigned char>(bits >> (8 * i));
        *static_cast<void**>(ptr) = gain->chunk;
        return 4;
    }
    case vst::effSetChunk: {
        trace("setChunk " + std::to_string(index) + " " + std::to_string(value));
        if (value != 4 || !ptr)
            return 0;
        const auto* bytes = static_cast<const unsigned char*>(ptr);
        const std::uint32_t bits = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
        std::memcpy(&gain->value, &bits, sizeof(bits));
        return 1;
    }
    case vst::effGetEffectName:
        copyText(ptr, "Orvex test gain", vst::kVstMaxEffectNameLen);
        return 1;
    case vst::effGetVendorString:
        copyText(ptr, "Orvex tests", vst::kVstMaxVendorStrLen);
        return 1;
    case vst::effGetProductString:
        // 300 characters and no terminator: far past the interface's limit of 64.
        std::memset(ptr, 'P', 300);
        return 1;
    case vst::effGetVendorVersion:
        return 1000;
    case vst::effGetVstVersion:
        return 2400;
    case vst::effGetPlugCategory:
        return vst::kPlugCategEffect;
    case vst::effStartProcess:
        trace("startProcess");
        return 0;
    case vst::effStopProcess:
        trace("stopProcess");
        return 0;
    default:
        return 0;
    }
}

vst::AEffect* createGain(vst::HostCallback host)
{
    g_trace.clear();
    if (!host)
        return nullptr;
    const vst::IntPtr version = host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f);
    trace("entry version=" + std::to_string(version));
    if (version == 0)
        return nullptr;
    auto* gain = new GainEffect();
    std::memset(&gain->record, 0, sizeof(gain->record));
    gain->host = host;
    vst::AEffect& r = gain->record;
    r.magic = vst::kEffectMagic;
    r.dispatcher = dispatcher;
    r.process = processAccumulating;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.numPrograms = 1;
    r.numParams = 1;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = vst::effFlagsCanReplacing | vst::effFlagsProgramChunks;
    r.ioRatio = 1.0f;
    r.object = gain;
    r.uniqueID = vst::fourCC('O', 'x', 'G', 'n');
    r.version = 1;
    r.processReplacing = processReplacing;
#if defined(GAIN_MAIN_ONLY)
    // The older variant also predates processReplacing: only the accumulating call exists.
    r.flags &= ~vst::effFlagsCanReplacing;
    r.processReplacing = nullptr;
#endif
    return &r;
}

} // namespace

GAIN_EXPORT const char* gainPluginTrace()
{
    return g_trace.c_str();
}

#if defined(GAIN_MAIN_ONLY) && defined(_WIN32)
// The old entry name; a C++ function cannot be called main, so the module definition file
// gain_plugin_main.def exports this one under that name.
extern "C" vst::AEffect* VSTCALLBACK gainMain(vst::HostCallback host)
{
    return createGain(host);
}
#elif defined(GAIN_MAIN_ONLY)
// The old entry name; a C++ function cannot be called main, so the symbol is named directly.
GAIN_EXPORT vst::AEffect* VSTCALLBACK gainMain(vst::HostCallback host) __asm__("main");
GAIN_EXPORT vst::AEffect* VSTCALLBACK gainMain(vst::HostCallback host)
{
    return createGain(host);
}
#else
GAIN_EXPORT vst::AEffect* VSTCALLBACK VSTPluginMain(vst::HostCallback host)
{
    return createGain(host);
}
#endif
