#include "effect/ParameterTable.h"

#include "effect/ProgramRecord.h"

namespace orvex {

namespace {

const char* const kNames[kNumParams] = {
    "Phase1", "Phase2", "Phase3", "Phase4", "Phase5", "Phase6",
    "Volume1", "Volume2", "Volume3", "Volume4", "Volume5", "Volume6",
    "Pan1", "Pan2", "Pan3", "Pan4", "Pan5", "Pan6",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Freq HP1", "Freq HP2", "Freq HP3", "Freq HP4", "Freq HP5", "Freq HP6",
    "Freq LP1", "Freq LP2", "Freq LP3", "Freq LP4", "Freq LP5", "Freq LP6",
    "Bypass cab1", "Bypass cab2", "Bypass cab3", "Bypass cab4", "Bypass cab5", "Bypass cab6",
    "Delay1", "Delay2", "Delay3", "Delay4", "Delay5", "Delay6",
    "Output", "On/Off",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Previous cab1", "Previous cab2", "Previous cab3", "Previous cab4", "Previous cab5", "Previous cab6",
    "Next cab1", "Next cab2", "Next cab3", "Next cab4", "Next cab5", "Next cab6",
    "Channel cab1", "Channel cab2", "Channel cab3", "Channel cab4", "Channel cab5", "Channel cab6",
    "Solo1", "Solo2", "Solo3", "Solo4", "Solo5", "Solo6",
    "Latency", "Link IR1&2", "Link IR3&4", "Link IR5&6", "Blend IR1&3", "Blend IR2&4",
};

} // namespace

ParamInfo paramInfo(int index)
{
    struct Group {
        int first;
        ParamKind kind;
    };
    static const Group groups[] = {
        {kPhase, ParamKind::Phase},       {kVolume, ParamKind::Volume},     {kPan, ParamKind::Pan},
        {kLoad, ParamKind::Load},         {kFreqHp, ParamKind::FreqHp},     {kFreqLp, ParamKind::FreqLp},
        {kBypass, ParamKind::Bypass},     {kDelay, ParamKind::Delay},       {kFileMenu, ParamKind::FileMenu},
        {kPrevious, ParamKind::Previous}, {kNext, ParamKind::Next},         {kChannel, ParamKind::Channel},
        {kSolo, ParamKind::Solo},
    };
    for (const Group& g : groups) {
        if (index >= g.first && index < g.first + kNumCabs)
            return {g.kind, index - g.first};
    }
    switch (index) {
    case kOutput: return {ParamKind::Output, -1};
    case kOnOff: return {ParamKind::OnOff, -1};
    case kLatency: return {ParamKind::Latency, -1};
    case kLink12: return {ParamKind::Link, 0};
    case kLink34: return {ParamKind::Link, 1};
    case kLink56: return {ParamKind::Link, 2};
    case kBlend13: return {ParamKind::Blend, 0};
    case kBlend24: return {ParamKind::Blend, 1};
    default: return {ParamKind::None, -1};
    }
}

const char* paramName(int index)
{
    return (index >= 0 && index < kNumParams) ? kNames[index] : nullptr;
}

int recordSlot(int index)
{
    const ParamInfo info = paramInfo(index);
    switch (info.kind) {
    case ParamKind::Phase: return kRecPhase + info.cab;
    case ParamKind::Volume: return kRecVolume + info.cab;
    case ParamKind::Pan: return kRecPan + info.cab;
    case ParamKind::FreqHp: return kRecFreqHp + info.cab;
    case ParamKind::FreqLp: return kRecFreqLp + info.cab;
    case ParamKind::Bypass: return kRecBypass + info.cab;
    case ParamKind::Delay: return kRecDelay + info.cab;
    case ParamKind::Channel: return kRecChannel + info.cab;
    case ParamKind::Solo: return kRecSolo + info.cab;
    case ParamKind::Output: return kRecOutput;
    case ParamKind::Latency: return kRecLatency;
    case ParamKind::OnOff: return kRecOnOff;
    case ParamKind::Link: return kRecLink12 + info.cab;
    case ParamKind::Blend: return kRecBlend13 + info.cab;
    default: return -1;
    }
}

float freshValue(int index)
{
    switch (paramInfo(index).kind) {
    case ParamKind::Volume:
    case ParamKind::Pan:
    case ParamKind::Output:
        return 0.5f;
    case ParamKind::FreqLp:
    case ParamKind::OnOff:
        return 1.0f;
    default:
        return 0.0f;
    }
}

} // namespace orvex
