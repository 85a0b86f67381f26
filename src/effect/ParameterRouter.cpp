// The one path every parameter change takes (the host, the editor, program changes, and the
// effect's own propagation through links and blends): store the value, derive what the audio
// path reads, propagate, perform the action, tell the editor. Also what the host reads back.
#include "effect/ParameterRouter.h"

#include "dsp/ConvolutionEngine.h"
#include "effect/CabFiles.h"
#include "effect/EditorLink.h"
#include "effect/OrvexDetail.h"
#include "effect/ProgramStore.h"
#include "vst/HostStrings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace orvex {

using namespace detail;

namespace {

// Display texts are at most 8 characters, which every text of the table fits ("12.0 kHz" is
// the longest). We never write beyond that, so an odd rate that would make a longer latency
// text is cut rather than overrunning a host's buffer.
constexpr int kDisplayLimit = 8;

void writeDisplay(char* text, const char* value)
{
    hoststr::copy(text, value, kDisplayLimit);
}

int firstIndexOf(ParamKind kind)
{
    switch (kind) {
    case ParamKind::Volume: return kVolume;
    case ParamKind::Pan: return kPan;
    case ParamKind::Channel: return kChannel;
    case ParamKind::FreqHp: return kFreqHp;
    case ParamKind::FreqLp: return kFreqLp;
    default: return -1;
    }
}

// Truncation toward zero for display numbers; values a careless host wrote far outside 0..1
// are held inside the integer range (they then print as "Huge!") instead of overflowing.
std::int32_t truncated(double v)
{
    if (!(v > -2e9))
        return v != v ? 0 : -2000000000;
    if (v > 2e9)
        return 2000000000;
    return static_cast<std::int32_t>(v);
}

} // namespace

ParameterRouter::ParameterRouter(dsp::ConvolutionEngine& engine, ProgramStore& programs, CabFiles& files,
                                 const std::atomic<EditorLink*>& editor)
    : engine_(engine), programs_(programs), files_(files), editor_(editor)
{
    for (auto& f : linkFlags_)
        f.store(0);
    for (auto& f : blendFlags_)
        f.store(0);
    for (auto& v : values_)
        v.store(0.0f);
}

float ParameterRouter::get(int index) const
{
    const int slot = recordSlot(index);
    return slot < 0 ? 0.0f : values_[slot].load(std::memory_order_relaxed);
}

void ParameterRouter::display(int index, char* text, float sampleRate) const
{
    const ParamInfo info = paramInfo(index);
    const float v = get(index);
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
            hoststr::int2string(truncated(100.0f - 200.0f * v), buf, 8);
            std::strcat(buf, " %L");
        } else if (v > 0.5f) {
            hoststr::int2string(truncated(200.0f * v - 100.0f), buf, 8);
            std::strcat(buf, " %R");
        }
        writeDisplay(text, buf);
        break;
    case ParamKind::FreqHp:
        std::strcpy(buf, "OFF");
        if (v > 0.0f) {
            hoststr::int2string(truncated(engine_.slot(info.cab).hpFrequency.load(std::memory_order_relaxed)), buf, 8);
            std::strcat(buf, " Hz");
        }
        writeDisplay(text, buf);
        break;
    case ParamKind::FreqLp:
        std::strcpy(buf, "OFF");
        if (v < 1.0f)
            std::snprintf(buf, sizeof buf, "%4.1f kHz", engine_.slot(info.cab).lpFrequency.load(std::memory_order_relaxed) * 0.001);
        writeDisplay(text, buf);
        break;
    case ParamKind::Delay:
        std::snprintf(buf, sizeof buf, "%d smp", engine_.slot(info.cab).delayLength.load(std::memory_order_relaxed));
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

// --- writing ----------------------------------------------------------------------------

void ParameterRouter::storeValue(int index, float value)
{
    const int slot = recordSlot(index);
    if (slot < 0)
        return;
    values_[slot].store(value, std::memory_order_relaxed);
    // The record is also the chunk a host reads on its own thread: the value goes in with
    // one store, never in pieces.
    programs_.storeValue(slot, value);
}

void ParameterRouter::deriveParameter(int index, float v)
{
    const ParamInfo info = paramInfo(index);
    const int cab = info.cab;
    switch (info.kind) {
    case ParamKind::Phase:
        engine_.slot(cab).polarity.store(v >= 0.5f ? -1 : 1, std::memory_order_relaxed);
        break;
    case ParamKind::Volume:
        engine_.slot(cab).volume.store(v, std::memory_order_relaxed);
        break;
    case ParamKind::Pan:
        engine_.slot(cab).panLeft.store(v >= 0.5f ? 2.0f - 2.0f * v : 1.0f, std::memory_order_relaxed);
        engine_.slot(cab).panRight.store(v <= 0.5f ? 2.0f * v : 1.0f, std::memory_order_relaxed);
        break;
    case ParamKind::FreqHp:
        engine_.slot(cab).hpFrequency.store(990.0 * v + 10.0, std::memory_order_relaxed);
        engine_.slot(cab).hpEnabled.store(v > 0.001f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::FreqLp:
        engine_.slot(cab).lpFrequency.store(11000.0 * v + 1000.0, std::memory_order_relaxed);
        engine_.slot(cab).lpEnabled.store(v < 0.999f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::Bypass:
        engine_.slot(cab).active.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::Delay: {
        // Truncated toward zero; a value outside 0..1 from a careless host is held to the
        // delay line's length instead of reaching past it.
        const int capacity = engine_.delayCapacity();
        const float samples = v * static_cast<float>(capacity);
        const int length = samples > 0.0f ? static_cast<int>(std::min(samples, static_cast<float>(capacity))) : 0;
        engine_.slot(cab).delayLength.store(length, std::memory_order_relaxed);
        break;
    }
    case ParamKind::Channel:
        engine_.slot(cab).leftInput.store(v < 0.5f ? 1 : 0, std::memory_order_relaxed);
        engine_.slot(cab).rightInput.store(v < 0.5f ? 0 : 2, std::memory_order_relaxed);
        break;
    case ParamKind::Output:
        engine_.setOutput(v);
        break;
    case ParamKind::OnOff:
        engine_.setRunning(v >= 0.5f);
        break;
    case ParamKind::Link:
        linkFlags_[cab].store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::Blend:
        blendFlags_[cab].store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

void ParameterRouter::set(int index, float value)
{
    apply(index, value, false);
}

void ParameterRouter::apply(int index, float value, bool guarded)
{
    EditorLink* const link = editor();
    const ParamInfo info = paramInfo(index);
    // Host values are normalised. One outside 0..1 (or NaN) from a careless host would turn
    // into an unbounded gain or poison the smoothed values for good, so a stored parameter
    // is held to 0..1 (NaN reads as 0). Actions and requests keep their value: file menus
    // and requests carry entry and cab numbers.
    if (isStored(index))
        value = std::isnan(value) ? 0.0f : std::min(1.0f, std::max(0.0f, value));

    if (info.kind != ParamKind::Latency) {
        storeValue(index, value);
        if (info.kind != ParamKind::Link && info.kind != ParamKind::Blend)
            deriveParameter(index, value);
    }

    // What touches the disk or the editor's file views runs in line on a file thread and is
    // handed to the loader from any other (CabFiles keeps that rule).
    switch (info.kind) {
    case ParamKind::Volume:
    case ParamKind::Pan:
    case ParamKind::Channel:
    case ParamKind::FreqHp:
    case ParamKind::FreqLp:
        propagate(info, value, guarded);
        break;
    case ParamKind::Solo:
        applySolo(info.cab, value);
        break;
    case ParamKind::Bypass:
        // Switching off empties the slot's convolution buffers, on every such write.
        if (value < 0.5f)
            engine_.clearSlot(info.cab);
        break;
    case ParamKind::Latency:
        applyLatency(value);
        break;
    case ParamKind::Link:
        applyLink(info.cab, value);
        break;
    case ParamKind::Blend:
        applyBlend(info.cab, value);
        break;
    case ParamKind::Load:
        files_.loadButton(info.cab, value);
        break;
    case ParamKind::FileMenu:
        files_.fileMenu(info.cab);
        break;
    case ParamKind::Previous:
    case ParamKind::Next:
        if (value > 0.5f)
            files_.step(info.cab, info.kind == ParamKind::Next);
        break;
    case ParamKind::None:
        if (index == kRequestRefreshCab || index == kRequestClearCab || index == kRequestPushFolders)
            files_.editorRequest(index, value);
        break;
    default:
        break;
    }

    if (link)
        link->setParameter(index, value);
}

void ParameterRouter::propagate(const ParamInfo& info, float v, bool guarded)
{
    // The guard travels down the call chain rather than living in the object: two threads
    // writing at once each propagate their own change, and neither can switch off the
    // other's propagation.
    if (guarded)
        return;
    const int first = firstIndexOf(info.kind);
    const int cab = info.cab;
    const bool mirrored = info.kind == ParamKind::Pan || info.kind == ParamKind::Channel;
    const bool blends = info.kind == ParamKind::Volume || mirrored;
    auto f = [&](float x) { return mirrored ? 1.0f - x : x; };
    auto g = [&](float x) { return info.kind == ParamKind::Volume ? 1.0f - x : x; };

    if (linkFlags_[linkPair(cab)].load(std::memory_order_relaxed)) {
        const int partner = linkPartner(cab);
        apply(first + partner, f(v), true);
        if (blends) {
            const int q = blendPartner(partner);
            if (q >= 0 && blendFlags_[blendPair(partner)].load(std::memory_order_relaxed))
                apply(first + q, g(f(v)), true);
        }
    }
    if (blends) {
        const int b = blendPartner(cab);
        if (b >= 0 && blendFlags_[blendPair(cab)].load(std::memory_order_relaxed))
            apply(first + b, g(v), true);
    }
}

void ParameterRouter::applySolo(int cab, float v)
{
    if (v > 0.5f) {
        engine_.slot(cab).audible.store(1, std::memory_order_relaxed);
        for (int other = 0; other < kNumCabs; ++other) {
            if (other != cab && get(kSolo + other) < 0.5f)
                engine_.slot(other).audible.store(0, std::memory_order_relaxed);
        }
        return;
    }
    float others = 0.0f;
    for (int other = 0; other < kNumCabs; ++other) {
        if (other != cab)
            others += get(kSolo + other);
    }
    if (others < 0.5f) {
        for (int other = 0; other < kNumCabs; ++other) {
            if (other != cab)
                engine_.slot(other).audible.store(1, std::memory_order_relaxed);
        }
    } else {
        engine_.slot(cab).audible.store(0, std::memory_order_relaxed);
    }
}

void ParameterRouter::applyLatency(float v)
{
    EditorLink* const link = editor();
    // The value's step decides, whatever the editor's menu shows: the menu follows the
    // effect (a program change restores the program's latency, and the menu with it).
    // Without an editor the value is kept as written, as hosts expect of a parameter; with
    // one, the step's own value is stored, which is what the menu itself sends.
    storeValue(kLatency, link ? latencyStepValue(latencyStep(v)) : v);
    reloadAllCabs();
}

void ParameterRouter::applyLink(int pair, float v)
{
    linkFlags_[pair].store(0, std::memory_order_relaxed);
    if (v < 0.5f)
        return;
    linkFlags_[pair].store(1, std::memory_order_relaxed);
    const int a = pair * 2;
    const int b = a + 1;
    files_.shareLink(pair); // copies files and loads: in line or on the loader

    set(kChannel + a, 0.0f);
    set(kChannel + b, 1.0f);
    set(kPan + a, 0.0f);
    set(kPan + b, 1.0f);
    set(kVolume + b, get(kVolume + a));
}

void ParameterRouter::applyBlend(int pair, float v)
{
    blendFlags_[pair].store(0, std::memory_order_relaxed);
    if (v < 0.5f)
        return;
    blendFlags_[pair].store(1, std::memory_order_relaxed);
    const int source = pair;     // slot 1 or 2
    const int target = pair + 2; // slot 3 or 4
    apply(kChannel + target, get(kChannel + source), true);
    apply(kPan + target, get(kPan + source), true);
    apply(kVolume + target, 1.0f - get(kVolume + source), true);
}

void ParameterRouter::resetHop()
{
    const int hop = latencyHop(latencyStep(get(kLatency)));
    latencyValue_.store(static_cast<float>(hop), std::memory_order_relaxed);
    engine_.reset(hop);
}

void ParameterRouter::reloadAllCabs()
{
    EditorLink* const link = editor();
    resetHop();
    files_.reloadCabFiles();
    if (link)
        link->setParameter(kLatency, 0.0f);
}

} // namespace orvex
