#include "lv2/Lv2Ports.h"

#include "dsp/CabSlot.h"
#include "effect/ParameterTable.h"
#include "effect/ProgramRecord.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace lv2port {

namespace {

constexpr float kDelayCapacity = static_cast<float>(dsp::CabSlot::kDelayCapacity);

const ScalePoint kPhasePoints[] = {{0.0f, "NORM"}, {1.0f, "INVERT"}};
const ScalePoint kChannelPoints[] = {{0.0f, "LEFT"}, {1.0f, "RIGHT"}};
const ScalePoint kPanPoints[] = {{-100.0f, "100 %L"}, {0.0f, "<C>"}, {100.0f, "100 %R"}};
const ScalePoint kHpPoints[] = {{10.0f, "OFF"}};
const ScalePoint kLpPoints[] = {{12000.0f, "OFF"}};
const ScalePoint kHopPoints[] = {{64.0f, "64 samples"}, {128.0f, "128 samples"}, {256.0f, "256 samples"},
                                 {512.0f, "512 samples"}};

template <std::size_t N>
constexpr int count(const ScalePoint (&)[N])
{
    return static_cast<int>(N);
}

// Symbols and names per cab are made once, from the effect's own names.
struct Table {
    std::vector<ControlPort> ports;
    char symbols[orvex::kNumParams][16] = {};
};

void addCabGroup(Table& t, int first, const char* stem, Scale scale, float lo, float hi, const char* unit,
                 bool toggled, bool integer, const ScalePoint* points, int numPoints)
{
    for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
        const int index = first + cab;
        std::snprintf(t.symbols[index], sizeof t.symbols[index], "%s%d", stem, cab + 1);
        ControlPort p{};
        p.parameter = index;
        p.symbol = t.symbols[index];
        p.name = orvex::paramName(index);
        p.scale = scale;
        p.minimum = lo;
        p.maximum = hi;
        p.deflt = 0.0f;
        p.unit = unit;
        p.toggled = toggled;
        p.integer = integer;
        p.group = cab + 1;
        // Channel: two named choices; the switches with names (phase) stay switches.
        p.enumeration = points != nullptr && !toggled && scale == Scale::direct;
        p.points = points;
        p.numPoints = numPoints;
        t.ports.push_back(p);
    }
}

void addSingle(Table& t, int index, const char* symbol, Scale scale, float lo, float hi, const char* unit,
               bool toggled, bool integer, bool enumeration, const ScalePoint* points, int numPoints)
{
    ControlPort p{};
    p.parameter = index;
    p.symbol = symbol;
    p.name = orvex::paramName(index);
    p.scale = scale;
    p.minimum = lo;
    p.maximum = hi;
    p.unit = unit;
    p.toggled = toggled;
    p.integer = integer;
    p.enumeration = enumeration;
    p.points = points;
    p.numPoints = numPoints;
    t.ports.push_back(p);
}

const Table& table()
{
    static const Table t = [] {
        Table t;
        using namespace orvex;
        addCabGroup(t, kPhase, "phase", Scale::direct, 0, 1, nullptr, true, false, kPhasePoints, count(kPhasePoints));
        addCabGroup(t, kVolume, "volume", Scale::direct, 0, 1, "coef", false, false, nullptr, 0);
        addCabGroup(t, kPan, "pan", Scale::pan, -100, 100, "pc", false, false, kPanPoints, count(kPanPoints));
        addCabGroup(t, kFreqHp, "hp", Scale::hpHz, 10, 1000, "hz", false, false, kHpPoints, count(kHpPoints));
        addCabGroup(t, kFreqLp, "lp", Scale::lpHz, 1000, 12000, "hz", false, false, kLpPoints, count(kLpPoints));
        addCabGroup(t, kBypass, "bypass", Scale::direct, 0, 1, nullptr, true, false, nullptr, 0);
        addCabGroup(t, kDelay, "delay", Scale::samples, 0, kDelayCapacity, "frame", false, true, nullptr, 0);
        addSingle(t, kOutput, "output", Scale::direct, 0, 1, "coef", false, false, false, nullptr, 0);
        addSingle(t, kOnOff, "on_off", Scale::direct, 0, 1, nullptr, true, false, false, nullptr, 0);
        addCabGroup(t, kChannel, "channel", Scale::direct, 0, 1, nullptr, false, true, kChannelPoints,
                    count(kChannelPoints));
        addCabGroup(t, kSolo, "solo", Scale::direct, 0, 1, nullptr, true, false, nullptr, 0);
        addSingle(t, kLatency, "latency", Scale::hop, 64, 512, "frame", false, true, true, kHopPoints,
                  count(kHopPoints));
        addSingle(t, kLink12, "link12", Scale::direct, 0, 1, nullptr, true, false, false, nullptr, 0);
        addSingle(t, kLink34, "link34", Scale::direct, 0, 1, nullptr, true, false, false, nullptr, 0);
        addSingle(t, kLink56, "link56", Scale::direct, 0, 1, nullptr, true, false, false, nullptr, 0);
        addSingle(t, kBlend13, "blend13", Scale::direct, 0, 1, nullptr, true, false, false, nullptr, 0);
        addSingle(t, kBlend24, "blend24", Scale::direct, 0, 1, nullptr, true, false, false, nullptr, 0);
        for (ControlPort& p : t.ports) {
            p.deflt = toPort(p, freshValue(p.parameter));
        }
        return t;
    }();
    return t;
}

float held(const ControlPort& port, float value)
{
    if (std::isnan(value))
        return port.deflt;
    return value < port.minimum ? port.minimum : value > port.maximum ? port.maximum : value;
}

} // namespace

const ControlPort* controlPort(std::uint32_t port)
{
    if (port < kFirstParameter || port >= static_cast<std::uint32_t>(kNumPorts))
        return nullptr;
    return &table().ports[port - kFirstParameter];
}

int portOfParameter(int parameter)
{
    const std::vector<ControlPort>& ports = table().ports;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].parameter == parameter)
            return kFirstParameter + static_cast<int>(i);
    }
    return -1;
}

const char* portSymbol(std::uint32_t port)
{
    static const char* const fixed[] = {"in_l", "in_r", "out_l", "out_r", "control", "notify", "latency_out"};
    if (port < kFirstParameter)
        return fixed[port];
    const ControlPort* p = controlPort(port);
    return p ? p->symbol : nullptr;
}

int portOfSymbol(const char* symbol)
{
    if (!symbol)
        return -1;
    for (std::uint32_t port = 0; port < static_cast<std::uint32_t>(kNumPorts); ++port) {
        if (std::strcmp(portSymbol(port), symbol) == 0)
            return static_cast<int>(port);
    }
    return -1;
}

float toEffect(const ControlPort& port, float value)
{
    const float p = held(port, value);
    switch (port.scale) {
    case Scale::direct:
        return p;
    case Scale::pan:
        return (p + 100.0f) / 200.0f;
    case Scale::hpHz:
        return (p - 10.0f) / 990.0f;
    case Scale::lpHz:
        return (p - 1000.0f) / 11000.0f;
    case Scale::samples: {
        // The effect keeps int(v * D) samples: the smallest v that gives the port's count.
        const int samples = static_cast<int>(std::floor(p + 0.5f));
        float v = static_cast<float>(samples) / kDelayCapacity;
        while (static_cast<int>(v * kDelayCapacity) < samples)
            v = std::nextafter(v, 2.0f);
        return v;
    }
    case Scale::hop: {
        const int step = p < 96.0f ? 0 : p < 192.0f ? 1 : p < 384.0f ? 2 : 3;
        return orvex::latencyStepValue(step);
    }
    }
    return p;
}

float toPort(const ControlPort& port, float v)
{
    if (std::isnan(v))
        return port.deflt;
    float p = v;
    switch (port.scale) {
    case Scale::direct:
        break;
    case Scale::pan:
        p = 200.0f * v - 100.0f;
        break;
    case Scale::hpHz:
        p = static_cast<float>(990.0 * v + 10.0);
        break;
    case Scale::lpHz:
        p = static_cast<float>(11000.0 * v + 1000.0);
        break;
    case Scale::samples: {
        const float samples = v * kDelayCapacity;
        p = samples > 0.0f ? std::floor(std::fmin(samples, kDelayCapacity)) : 0.0f;
        break;
    }
    case Scale::hop:
        p = static_cast<float>(orvex::latencyHop(orvex::latencyStep(v)));
        break;
    }
    return held(port, p);
}

int latencySamplesOfHop(int hop)
{
    return hop + 1;
}

} // namespace lv2port
