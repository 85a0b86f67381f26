// The commands of `orvex` for an LV2 plug-in (Lv2Host): info, render, snapshot and convert.
// The state options mean what they mean for VST2, in the same order, the LV2 way: --state
// restores an LV2 state folder, --chunk Orvex's VST2 bank (through its state interface),
// --program sets the program property, --ir sends the cab's file property (and switches the
// cab on through its port), --set writes a control port by symbol, in its own units.
#include "Lv2Commands.h"

#include "CabSetup.h"
#include "Commands.h"
#include "Lv2Host.h"
#include "RenderLoop.h"
#include "TextFormat.h"
#include "WavFile.h"

#include "effect/ProgramRecord.h"
#include "lv2/Lv2Ports.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>

namespace cli {

namespace {

constexpr double kInfoSampleRate = 44100.0;

std::string cabProperty(int slot)
{
    return std::string(lv2port::kNamespace) + "cab" + std::to_string(slot);
}

int prepare(Lv2Host& host, const Options& options, double rate, std::ostream& out, std::ostream& err)
{
    std::string error;
    if (!host.load(options.plugin, rate, options.blockSize, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    if (!options.presetChunk.empty()) {
        err << "orvex: --preset-chunk restores one VST2 program; an LV2 plug-in takes --chunk or --state\n";
        return kExitUsage;
    }
    host.settle();
    if (!options.state.empty() && !host.restoreState(options.state, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    if (!options.bankChunk.empty()) {
        std::vector<unsigned char> data;
        if (!Commands::readFile(options.bankChunk, data, error) ||
            !host.restoreBank(data, std::max(options.program, 0), error)) {
            err << "orvex: " << options.bankChunk << ": " << error << "\n";
            return kExitFailure;
        }
    }
    if (options.program >= 0) {
        if (!host.isOrvex() || options.program >= orvex::kNumPrograms) {
            err << "orvex: program " << options.program << " does not exist (Orvex has programs 0 to "
                << orvex::kNumPrograms - 1 << ")\n";
            return kExitUsage;
        }
        host.setIntProperty(std::string(lv2port::kNamespace) + "program", options.program + 1);
        host.settle();
    }
    if (!options.cabs.empty()) {
        if (!host.isOrvex()) {
            err << "orvex: --ir works only with the Orvex plug-in (" << lv2port::kPluginUri << ")\n";
            return kExitUsage;
        }
        for (const CabFile& cab : options.cabs) {
            std::string folder, fileName;
            if (!CabSetup::splitPath(cab.path, folder, fileName, error)) {
                err << "orvex: " << error << "\n";
                return kExitUsage;
            }
            host.setPathProperty(cabProperty(cab.slot), folder + fileName);
            host.settle();
            host.setControl(host.findPort("bypass" + std::to_string(cab.slot)), 1.0f);
            host.settle();
            out << "cab " << cab.slot << ": " << cab.path << "\n";
        }
        // As with the VST2 build: the plug-in itself says which cabs are silent, and why.
        const int silent = CabSetup::reportSilentCabs(
            options.cabs, [&](int slot, std::string& why) { return host.cabStatus(slot, why); }, options.strict, err);
        if (silent > 0 && options.strict) {
            err << "orvex: --strict: " << (silent > 1 ? "cabs are" : "a cab is") << " silent; nothing rendered\n";
            return kExitFailure;
        }
    }
    for (const ParameterSetting& setting : options.settings) {
        const int port = host.findPort(setting.name);
        const bool control = port >= 0 && host.ports()[static_cast<std::size_t>(port)].type == Lv2Host::PortType::control &&
                             host.ports()[static_cast<std::size_t>(port)].input;
        if (!control) {
            err << "orvex: the plug-in has no control input with the symbol '" << setting.name
                << "' (orvex info lists the ports)\n";
            return kExitUsage;
        }
        const Lv2Host::Port& info = host.ports()[static_cast<std::size_t>(port)];
        if (setting.value < info.minimum || setting.value > info.maximum) {
            err << "orvex: --set " << setting.name << ": " << setting.value << " is outside the port's range "
                << info.minimum << " to " << info.maximum << "\n";
            return kExitUsage;
        }
        host.setControl(port, setting.value);
        host.settle();
        out << "set " << setting.name << " \"" << info.name << "\" = " << format("%g", setting.value)
            << (info.unit.empty() ? "" : " ") << info.unit << "\n";
    }
    return kExitOk;
}

// What has to be written after the commands that leave state behind.
int saveOutputs(Lv2Host& host, const Options& options, std::ostream& out, std::ostream& err)
{
    std::string error;
    if (!options.saveState.empty()) {
        if (!host.saveState(options.saveState, error)) {
            err << "orvex: " << error << "\n";
            return kExitFailure;
        }
        out << "saved the LV2 state to " << options.saveState << "\n";
    }
    if (!options.saveChunk.empty()) {
        std::vector<unsigned char> bank;
        int program = 0;
        if (!host.saveBank(bank, program, error) || !Commands::writeFile(options.saveChunk, bank, error)) {
            err << "orvex: cannot save a chunk: " << error << "\n";
            return kExitFailure;
        }
        out << "saved bank chunk of " << bank.size() << " bytes to " << options.saveChunk << " (program " << program
            << " current)\n";
    }
    return kExitOk;
}

} // namespace

int Lv2Commands::run(const Options& options, std::ostream& out, std::ostream& err)
{
    switch (options.command) {
    case Options::Command::info: return info(options, out, err);
    case Options::Command::render: return render(options, out, err);
    case Options::Command::snapshot: return snapshot(options, out, err);
    case Options::Command::convert: return convert(options, out, err);
    default:
        err << "orvex: edit opens VST2 editors; an LV2 plug-in's UI opens in an LV2 host (jalv.gtk3 "
            << options.plugin << ")\n";
        return kExitUsage;
    }
}

int Lv2Commands::info(const Options& options, std::ostream& out, std::ostream& err)
{
    Lv2Host host;
    const double rate = options.sampleRate > 0.0 ? options.sampleRate : kInfoSampleRate;
    const int prepared = prepare(host, options, rate, out, err);
    if (prepared != kExitOk)
        return prepared;
    out << "plug-in:         " << host.uri() << "\n"
        << "name:            " << host.name() << "\n"
        << "bundle:          " << host.bundle() << "\n"
        << "inputs:          " << host.audioInputs() << "\n"
        << "outputs:         " << host.audioOutputs() << "\n"
        << "UI:              " << (host.hasUi() ? "yes" : "none") << "\n";
    struct Row {
        std::string index, symbol, name, kind, range, deflt, unit, value;
    };
    std::vector<Row> rows{{"index", "symbol", "name", "kind", "range", "default", "unit", "value"}};
    for (std::size_t i = 0; i < host.ports().size(); ++i) {
        const Lv2Host::Port& p = host.ports()[i];
        Row row{std::to_string(i), p.symbol, p.name, "", "", "", p.unit, ""};
        const char* direction = p.input ? " in" : " out";
        switch (p.type) {
        case Lv2Host::PortType::audio: row.kind = std::string("audio") + direction; break;
        case Lv2Host::PortType::atom: row.kind = std::string("atom") + direction; break;
        case Lv2Host::PortType::control:
            row.kind = std::string("control") + direction + (p.reportsLatency ? " (latency)" : "");
            row.range = format("%g", p.minimum) + " .. " + format("%g", p.maximum);
            row.deflt = format("%g", p.deflt);
            row.value = format("%g", host.control(static_cast<int>(i)));
            for (const auto& point : p.points)
                row.value += (point.first == host.control(static_cast<int>(i)) ? " (" + point.second + ")" : "");
            break;
        default: row.kind = "other"; break;
        }
        rows.push_back(row);
    }
    std::size_t widths[7] = {};
    for (const Row& r : rows) {
        const std::string* columns[] = {&r.index, &r.symbol, &r.name, &r.kind, &r.range, &r.deflt, &r.unit};
        for (int c = 0; c < 7; ++c)
            widths[c] = std::max(widths[c], columns[c]->size());
    }
    out << "ports:\n";
    for (const Row& r : rows) {
        out << "  " << std::string(widths[0] - r.index.size(), ' ') << r.index << "  " << padded(r.symbol, widths[1])
            << "  " << padded(r.name, widths[2]) << "  " << padded(r.kind, widths[3]) << "  "
            << padded(r.range, widths[4]) << "  " << padded(r.deflt, widths[5]) << "  " << padded(r.unit, widths[6])
            << "  " << r.value << "\n";
    }
    const std::vector<Lv2Host::Property> properties = host.writableProperties();
    out << "writable properties:" << (properties.empty() ? " none" : "") << "\n";
    for (const Lv2Host::Property& p : properties)
        out << "  " << p.uri << "  \"" << p.label << "\"  " << p.range << "\n";
    host.close();
    return kExitOk;
}

int Lv2Commands::render(const Options& options, std::ostream& out, std::ostream& err)
{
    std::string error;
    WavFile input;
    if (!input.openRead(options.input, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const double rate = options.sampleRate > 0.0 ? options.sampleRate : static_cast<double>(input.sampleRate());
    Lv2Host host;
    const int prepared = prepare(host, options, rate, out, err);
    if (prepared != kExitOk)
        return prepared;
    RenderLoop loop(input, host.audioInputs(), host.audioOutputs(), options.blockSize, rate);
    if (!loop.openOutput(options.output, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    host.activate();
    const bool played = loop.run([&](float* const* in, float* const* outs, int frames) { host.process(in, outs, frames); },
                                 options.input, error);
    host.deactivate();
    input.close();
    if (!played) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const int saved = saveOutputs(host, options, out, err);
    if (saved != kExitOk)
        return saved;
    if (!loop.finish(error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const std::string name = host.name();
    host.close();
    loop.report(name, options.output, options.stats, out, err);
    return kExitOk;
}

int Lv2Commands::snapshot(const Options& options, std::ostream& out, std::ostream& err)
{
    Lv2Host host;
    const int prepared = prepare(host, options, kInfoSampleRate, out, err);
    if (prepared != kExitOk)
        return prepared;
    std::string error;
    if (!host.snapshot(options.output, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    out << "wrote the editor's picture to " << options.output << "\n";
    return kExitOk;
}

int Lv2Commands::convert(const Options& options, std::ostream& out, std::ostream& err)
{
    Lv2Host host;
    const int prepared = prepare(host, options, kInfoSampleRate, out, err);
    if (prepared != kExitOk)
        return prepared;
    return saveOutputs(host, options, out, err);
}

} // namespace cli
