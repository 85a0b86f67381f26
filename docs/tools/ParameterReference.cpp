// orvex_parameter_reference: prints the manual's generated tables as Markdown, read from the
// effect itself: `reference`, the names and indices of its parameter table, the display texts
// that getParameterDisplay gives at 0, 0.5 and 1 and for a fresh program, what a switch does
// there, and the LV2 port of each parameter; `latency`, the hops of "Latency" with the delay
// each gives. The manual carries each between two marker lines (docs/tools/splice.py); a test
// checks that the committed copies are current.
//
//   orvex_parameter_reference reference|latency > FILE.md
#include "dsp/ConvolutionEngine.h"
#include "effect/Orvex.h"
#include "effect/ParameterTable.h"
#include "lv2/Lv2Ports.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace orvex;

vst::IntPtr VSTCALLBACK quietHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

std::unique_ptr<Orvex> freshEffect()
{
    return std::make_unique<Orvex>(quietHost);
}

std::string displayOf(Orvex& fx, int index)
{
    char text[64] = {};
    fx.getParameterDisplay(index, text);
    std::string s = text;
    // Leading blanks pad the latency text ("  1.5 ms"); a table cell shows them trimmed.
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

// Whether the effect passes its input through unchanged ("On/Off" off): one block of a
// constant signal, no cab loaded.
bool passesThrough(Orvex& fx)
{
    std::vector<float> left(64, 0.25f), right(64, 0.25f), outLeft(64), outRight(64);
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    fx.processReplacing(in, out, 64);
    return outLeft == left && outRight == right;
}

// What a switch does after the write, read from the effect's audio path (cab 1, pair 1),
// or empty for a parameter that is not a switch.
std::string actsAs(Orvex& fx, int index)
{
    const ParamInfo info = paramInfo(index);
    const dsp::CabSlotControls& slot = fx.engine().slot(0);
    switch (info.kind) {
    case ParamKind::Phase: return slot.polarity.load() < 0 ? "INVERT" : "NORM";
    case ParamKind::Channel: return slot.rightInput.load() != 0 ? "RIGHT" : "LEFT";
    case ParamKind::OnOff: return passesThrough(fx) ? "OFF" : "ON";
    case ParamKind::Solo: return fx.engine().slot(1).audible.load() == 0 ? "ON" : "OFF";
    case ParamKind::Bypass: return slot.active.load() ? "on" : "off";
    case ParamKind::Link: return fx.linkFlag(info.cab) ? "on" : "off";
    case ParamKind::Blend: return fx.blendFlag(info.cab) ? "on" : "off";
    default: return std::string();
    }
}

// The display text after writing `value` to `index` of a fresh effect (each value on its own
// effect, so that links and blends switched on by one row do not move another). A switch
// without a text shows what it does; one whose text and deed part at exactly 0.5 says both.
std::string displayAt(int index, float value)
{
    auto fx = freshEffect();
    fx->setParameter(index, value);
    const std::string shown = displayOf(*fx, index);
    const std::string deed = actsAs(*fx, index);
    if (shown.empty())
        return deed.empty() ? std::string("(none)") : "(no text) " + deed;
    if (!deed.empty() && deed != shown)
        return "`" + shown + "`, plays " + deed;
    return "`" + shown + "`";
}

std::string code(const std::string& text)
{
    return text.empty() ? std::string("(none)") : "`" + text + "`";
}

std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string milliseconds(double samples, double rate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", samples * 1000.0 / rate);
    return text;
}

// The parameters of one row: a group of six (one per cab) or a single one.
struct Group {
    int first;
    int count;
};

std::vector<Group> groups()
{
    std::vector<Group> out;
    for (int index = 0; index < kNumParams;) {
        const ParamInfo info = paramInfo(index);
        const bool perCab = info.cab == 0 && info.kind != ParamKind::Link && info.kind != ParamKind::Blend;
        const int count = perCab ? kNumCabs : 1;
        out.push_back({index, count});
        index += count;
    }
    return out;
}

std::string names(const Group& g)
{
    const char* first = paramName(g.first);
    if (!first)
        return "(no name)";
    if (g.count == 1)
        return first;
    return std::string(first) + " … " + paramName(g.first + g.count - 1);
}

std::string indices(const Group& g)
{
    return g.count == 1 ? std::to_string(g.first)
                        : std::to_string(g.first) + "–" + std::to_string(g.first + g.count - 1);
}

std::string lv2Port(const Group& g)
{
    const int port = lv2port::portOfParameter(g.first);
    const lv2port::ControlPort* p = port >= 0 ? lv2port::controlPort(static_cast<std::uint32_t>(port)) : nullptr;
    if (!p)
        return "(none)";
    std::string symbols = "`" + std::string(p->symbol) + "`";
    if (g.count > 1) {
        const lv2port::ControlPort* last =
            lv2port::controlPort(static_cast<std::uint32_t>(lv2port::portOfParameter(g.first + g.count - 1)));
        symbols += " … `" + std::string(last->symbol) + "`";
    }
    std::string range;
    if (p->toggled) {
        range = "switch 0/1";
    } else if (p->enumeration) {
        for (int i = 0; i < p->numPoints; ++i)
            range += (i ? ", " : "") + number(p->points[i].value);
    } else {
        static const struct {
            const char* unit;
            const char* text;
        } units[] = {{"hz", " Hz"}, {"frame", " samples"}, {"pc", " %"}, {"coef", ""}};
        std::string unit;
        for (const auto& u : units)
            if (p->unit && std::strcmp(p->unit, u.unit) == 0)
                unit = u.text;
        range = number(p->minimum) + " … " + number(p->maximum) + unit;
    }
    return symbols + ": " + range;
}

// What a fresh "Init" program holds, as the host shows it.
std::string freshText(const Group& g)
{
    auto fx = freshEffect();
    const std::string shown = displayOf(*fx, g.first);
    if (!shown.empty())
        return code(shown);
    const float v = fx->getParameter(g.first);
    return v >= 0.5f ? "on (1)" : "off (0)";
}

void storedTable(std::ostream& out)
{
    out << "| Parameter | Index | Display at 0 | at 0.5 | at 1 | Fresh program | LV2 port |\n"
        << "|---|---|---|---|---|---|---|\n";
    for (const Group& g : groups()) {
        if (!isStored(g.first))
            continue;
        out << "| " << names(g) << " | " << indices(g) << " | " << displayAt(g.first, 0.0f) << " | "
            << displayAt(g.first, 0.5f) << " | " << displayAt(g.first, 1.0f) << " | " << freshText(g)
            << " | " << lv2Port(g) << " |\n";
    }
}

const char* actionText(ParamKind kind)
{
    switch (kind) {
    case ParamKind::Load: return "the cab's load button: opens the file dialog (a value above 0.5), then switches the cab on";
    case ParamKind::FileMenu: return "the cab's file menu: loads the entry chosen there";
    case ParamKind::Previous: return "loads the previous file of the cab's folder (a value above 0.5), wrapping around";
    case ParamKind::Next: return "loads the next file of the cab's folder (a value above 0.5), wrapping around";
    case ParamKind::Phase: case ParamKind::Volume: case ParamKind::Pan: case ParamKind::FreqHp:
    case ParamKind::FreqLp: case ParamKind::Bypass: case ParamKind::Delay: case ParamKind::Output:
    case ParamKind::OnOff: case ParamKind::Channel: case ParamKind::Solo: case ParamKind::Latency:
    case ParamKind::Link: case ParamKind::Blend: case ParamKind::None:
        break;
    }
    return "";
}

void actionTable(std::ostream& out)
{
    out << "| Parameter | Index | What writing it does |\n"
        << "|---|---|---|\n";
    for (const Group& g : groups()) {
        if (isStored(g.first))
            continue;
        out << "| " << names(g) << " | " << indices(g) << " | " << actionText(paramInfo(g.first).kind) << " |\n";
    }
}

void latencyTable(std::ostream& out)
{
    auto at48 = freshEffect();
    at48->setSampleRate(48000.0f);
    out << "| \"Latency\" | Hop | LATENCY shows | at 48 kHz | Output late by | at 44.1 kHz | at 48 kHz |\n"
        << "|---|---|---|---|---|---|---|\n";
    static const char* const bands[kLatencySteps] = {"0 to 0.25", "0.25 to 0.5", "0.5 to 0.75", "0.75 to 1"};
    for (int step = 0; step < kLatencySteps; ++step) {
        const float value = latencyStepValue(step);
        const int hop = latencyHop(step);
        const int late = lv2port::latencySamplesOfHop(hop);
        at48->setParameter(kLatency, value);
        out << "| " << bands[step] << " | " << hop << " samples | " << displayAt(kLatency, value) << " | "
            << code(displayOf(*at48, kLatency)) << " | " << late << " samples | " << milliseconds(late, 44100.0)
            << " | " << milliseconds(late, 48000.0) << " |\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string section = argc == 2 ? argv[1] : "";
    std::ostringstream out;
    if (section == "reference") {
        out << "The " << kNumParams << " parameters a host sees, in index order: " << kNumStoredParams
            << " settings, saved in every program, and " << kNumParams - kNumStoredParams
            << " actions that store nothing and read back 0. A host writes every value from 0 to 1; "
               "the display columns show the text the plug-in gives the host for 0, 0.5 and 1 (at 44.1 kHz), "
               "\"Fresh program\" what an \"Init\" program holds. A switch without a text says what it "
               "does instead; where a switch's text and what it does part at exactly 0.5, both are given "
               "(hosts write 0 or 1 to a switch). An LV2 host shows the same settings as control ports in "
               "their own units.\n\n";
        storedTable(out);
        out << "\nActions (the editor's buttons and menus; a host may automate them too):\n\n";
        actionTable(out);
    } else if (section == "latency") {
        latencyTable(out);
    } else {
        std::cerr << "usage: orvex_parameter_reference reference|latency\n";
        return 2;
    }
    std::cout << out.str();
    return 0;
}
