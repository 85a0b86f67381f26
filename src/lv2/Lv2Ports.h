// Orvex's LV2 ports and their mapping to the effect's parameters: one table that the DSP
// wrapper, the UI, the `orvex` host and the Turtle generator all read, so the description a
// host sees and what the code does cannot drift apart.
//
// Port order: stereo audio in and out, the atom control input (patch messages), the atom
// notify output, the reported latency, then one control input per stored parameter of the
// effect, in the effect's parameter order.
//
// A control port holds what a user reads in a host's generic UI (hertz, samples, percent of
// pan, the effect's own 0..1 scales); toEffect() turns it into the effect's normalised value,
// toPort() the other way. Where the effect truncates (a delay of whole samples) the mapping
// picks the normalised value that gives exactly the samples the port names.
#pragma once

#include <cstdint>

namespace lv2port {

constexpr const char* kPluginUri = "urn:dumek:orvex";
constexpr const char* kUiUri = "urn:dumek:orvex#ui";
constexpr const char* kNamespace = "urn:dumek:orvex#";

enum PortIndex : std::uint32_t {
    kInLeft = 0,
    kInRight = 1,
    kOutLeft = 2,
    kOutRight = 3,
    kControl = 4,         // atom input: patch:Set / patch:Get of the properties
    kNotify = 5,          // atom output: patch:Set of the properties when they change
    kLatencyOut = 6,      // lv2:reportsLatency, in samples
    kFirstParameter = 7,  // control inputs from here on
};

constexpr int kNumParameterPorts = 62;
constexpr int kNumPorts = kFirstParameter + kNumParameterPorts;

// How a control port's value maps to the effect's normalised value.
enum class Scale {
    direct,   // the same number (0..1 scales, switches)
    pan,      // -100 (all left) .. 100 (all right) percent
    hpHz,     // 10 .. 1000 Hz, 10 Hz and below is off
    lpHz,     // 1000 .. 12000 Hz, 11989 Hz and above is off
    samples,  // delay in whole samples, 0 .. the delay line's capacity
    hop,      // latency: a hop of 64, 128, 256 or 512 samples
};

struct ScalePoint {
    float value;
    const char* label;
};

struct ControlPort {
    int parameter;        // the effect's parameter index
    const char* symbol;   // lv2:symbol, also what `orvex --set` takes
    const char* name;     // lv2:name: the effect's own parameter name
    Scale scale;
    float minimum, maximum, deflt;
    const char* unit;     // units: local name ("hz", "frame", "pc", "coef"), or nullptr
    bool toggled;         // a switch
    bool integer;         // whole numbers only
    bool enumeration;     // only the scale points
    int group;            // 1..6: the cab it belongs to; 0: the whole effect
    const ScalePoint* points;
    int numPoints;
};

// The control port of port index `port`, or nullptr for the other ports.
const ControlPort* controlPort(std::uint32_t port);
// The port index of the effect's parameter, or -1 when it has no port (actions).
int portOfParameter(int parameter);
// The port index of a symbol, or -1.
int portOfSymbol(const char* symbol);
// The symbol of any port (audio, atom, latency, controls).
const char* portSymbol(std::uint32_t port);

// Port value -> the effect's normalised value, and back. A port value outside its range is
// held to it first; NaN reads as the port's default.
float toEffect(const ControlPort& port, float value);
float toPort(const ControlPort& port, float normalised);

// The latency the effect's output has for the hop a latency port value selects, and for a
// stored normalised "Latency" value.
int latencySamplesOfHop(int hop);

} // namespace lv2port
