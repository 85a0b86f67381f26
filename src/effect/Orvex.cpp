#include "effect/Orvex.h"

#include "effect/EditorLink.h"
#include "host/HostStrings.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace orvex {

namespace {

// Host buffers: names are written whole (at most 13 characters); display texts are at most
// 8 characters, which every text of the table fits ("12.0 kHz" is the longest). Hosts give
// buffers of at least that size in practice; we never write beyond these limits, so an odd
// rate that would make a longer latency text is cut rather than overrunning the host.
constexpr int kNameLimit = 15;
constexpr int kDisplayLimit = 8;

void writeDisplay(char* text, const char* value)
{
    hoststr::copy(text, value, kDisplayLimit);
}

} // namespace

Orvex::Orvex(vst::HostCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    canProcessReplacing();
    programsAreChunks();
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(vst::fourCC('O', 'V', 'X', '2'));

    delayCapacity_ = static_cast<int>(std::floor(sampleRate * 0.005));
    for (int cab = 0; cab < kNumCabs; ++cab) {
        hpFrequency_[cab].store(0.0);
        lpFrequency_[cab].store(0.0);
        delayLength_[cab].store(0);
    }
    for (auto& v : values_)
        v.store(0.0f);
    for (auto& record : programs_)
        record.makeFresh();
    setProgram(0);
}

Orvex::~Orvex() = default;

void Orvex::processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames)
{
    for (int ch = 0; ch < 2; ++ch) {
        if (outputs[ch] != inputs[ch])
            std::memmove(outputs[ch], inputs[ch], sizeof(float) * static_cast<size_t>(sampleFrames > 0 ? sampleFrames : 0));
    }
}

void Orvex::storeValue(int index, float value)
{
    const int slot = recordSlot(index);
    if (slot < 0)
        return;
    values_[slot].store(value, std::memory_order_relaxed);
    programs_[curProgram].values[slot] = value;
}

void Orvex::deriveParameter(int index, float value)
{
    const ParamInfo info = paramInfo(index);
    switch (info.kind) {
    case ParamKind::FreqHp:
        hpFrequency_[info.cab].store(990.0 * value + 10.0, std::memory_order_relaxed);
        break;
    case ParamKind::FreqLp:
        lpFrequency_[info.cab].store(11000.0 * value + 1000.0, std::memory_order_relaxed);
        break;
    case ParamKind::Delay:
        delayLength_[info.cab].store(static_cast<int>(value * static_cast<float>(delayCapacity_)),
                                     std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

void Orvex::setParameter(vst::Int32 index, float value)
{
    storeValue(index, value);
    deriveParameter(index, value);
    if (index == kLatency)
        reloadAllCabs();
    if (editorLink_)
        editorLink_->setParameter(index, value);
}

void Orvex::reloadAllCabs()
{
    const float v = getParameter(kLatency);
    const int hop = v < 0.25f ? 64 : v < 0.5f ? 128 : v < 0.75f ? 256 : 512;
    latencyValue_.store(static_cast<float>(hop), std::memory_order_relaxed);
}

float Orvex::getParameter(vst::Int32 index)
{
    const int slot = recordSlot(index);
    return slot < 0 ? 0.0f : values_[slot].load(std::memory_order_relaxed);
}

void Orvex::getParameterName(vst::Int32 index, char* text)
{
    if (const char* name = paramName(index))
        hoststr::copy(text, name, kNameLimit);
}

void Orvex::getParameterLabel(vst::Int32, char*)
{
    // Units are part of the display texts.
}

void Orvex::getParameterDisplay(vst::Int32 index, char* text)
{
    const ParamInfo info = paramInfo(index);
    const float v = getParameter(index);
    char buf[64];
    switch (info.kind) {
    case ParamKind::Phase:
        writeDisplay(text, v > 0.5f ? "INVERT" : "NORM");
        break;
    case ParamKind::Volume:
    case ParamKind::Output:
        std::snprintf(buf, sizeof buf, "%4.3f", static_cast<double>(v));
        writeDisplay(text, buf);
        break;
    case ParamKind::Pan:
        std::strcpy(buf, "<C>");
        if (v < 0.5f) {
            hoststr::int2string(static_cast<vst::Int32>(100.0f - 200.0f * v), buf, 8);
            std::strcat(buf, " %L");
        } else if (v > 0.5f) {
            hoststr::int2string(static_cast<vst::Int32>(200.0f * v - 100.0f), buf, 8);
            std::strcat(buf, " %R");
        }
        writeDisplay(text, buf);
        break;
    case ParamKind::FreqHp:
        std::strcpy(buf, "OFF");
        if (v > 0.0f) {
            hoststr::int2string(static_cast<vst::Int32>(hpFrequency(info.cab)), buf, 8);
            std::strcat(buf, " Hz");
        }
        writeDisplay(text, buf);
        break;
    case ParamKind::FreqLp:
        std::strcpy(buf, "OFF");
        if (v < 1.0f)
            std::snprintf(buf, sizeof buf, "%4.1f kHz", lpFrequency(info.cab) * 0.001);
        writeDisplay(text, buf);
        break;
    case ParamKind::Delay:
        std::snprintf(buf, sizeof buf, "%d smp", delayLength(info.cab));
        writeDisplay(text, buf);
        break;
    case ParamKind::OnOff:
    case ParamKind::Solo:
        writeDisplay(text, v > 0.5f ? "ON" : "OFF");
        break;
    case ParamKind::Channel:
        writeDisplay(text, v > 0.5f ? "RIGHT" : "LEFT");
        break;
    case ParamKind::Latency:
        std::snprintf(buf, sizeof buf, "%4.1f ms",
                      static_cast<double>(latencyValue()) * 1000.0 / static_cast<double>(sampleRate));
        writeDisplay(text, buf);
        break;
    default:
        // Actions, Bypass, Link, Blend and unknown indices show nothing.
        break;
    }
}

void Orvex::setProgram(vst::Int32 program)
{
    if (program < 0 || program >= kNumPrograms)
        return;
    curProgram = program;
    const ProgramRecord& record = programs_[curProgram];
    for (int index = 0; index < kNumParams; ++index) {
        const int slot = recordSlot(index);
        if (slot >= 0)
            setParameter(index, record.values[slot]);
    }
}

void Orvex::setProgramName(char* name)
{
    hoststr::copy(programs_[curProgram].name, name, kProgramNameSize - 1);
}

void Orvex::getProgramName(char* name)
{
    const ProgramRecord& record = programs_[curProgram];
    // The stored name may come from a foreign chunk: read it only up to its field's end.
    char copy[kProgramNameSize];
    std::memcpy(copy, record.name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(name, copy, kProgramNameSize - 1);
}

bool Orvex::getProgramNameIndexed(vst::Int32, vst::Int32 index, char* text)
{
    if (index < 0 || index >= kNumPrograms)
        return false;
    char copy[kProgramNameSize];
    std::memcpy(copy, programs_[index].name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(text, copy, kProgramNameSize - 1);
    return true;
}

vst::Int32 Orvex::getChunk(void** data, bool isPreset)
{
    if (isPreset) {
        *data = &programs_[curProgram];
        return kPresetChunkSize;
    }
    *data = programs_;
    return kBankChunkSize;
}

vst::Int32 Orvex::setChunk(void* data, vst::Int32 byteSize, bool isPreset)
{
    if (!data)
        return 0;
    if (isPreset) {
        if (byteSize != kPresetChunkSize)
            return 0;
        std::memcpy(&programs_[curProgram], data, kPresetChunkSize);
    } else {
        if (byteSize != kBankChunkSize)
            return 0;
        std::memcpy(programs_, data, kBankChunkSize);
    }
    setProgram(curProgram);
    return 1;
}

bool Orvex::getEffectName(char* name)
{
    hoststr::copy(name, "Tavrin_Orvex2_Dud1", vst::kVstMaxEffectNameLen);
    return true;
}

bool Orvex::getVendorString(char* text)
{
    hoststr::copy(text, "Dumek Plugins", vst::kVstMaxVendorStrLen);
    return true;
}

bool Orvex::getProductString(char* text)
{
    hoststr::copy(text, "Tavrin_Orve2_Dud1", vst::kVstMaxProductStrLen);
    return true;
}

void Orvex::setSampleRate(float rate)
{
    AudioEffectX::setSampleRate(rate);
}

} // namespace orvex
