#include "Commands.h"

#include "Lv2Commands.h"
#include "Lv2Host.h"
#include "PluginHost.h"
#include "RenderLoop.h"
#include "TextFormat.h"
#include "Version.h"
#include "WavFile.h"

#include "editor/SnapshotRequest.h"
#include "effect/CabStatusRequest.h"
#include "platform/OutputFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>

namespace cli {

namespace {

// Orvex's unique ID, "OVX2".
constexpr vst::Int32 kOrvexUniqueId = 0x4f565832;

// Whether editors can be asked about windows: always on Windows, with an X display elsewhere.
bool displayAvailable()
{
#if defined(_WIN32)
    return true;
#else
    const char* display = std::getenv("DISPLAY");
    return display && *display;
#endif
}

constexpr double kInfoSampleRate = 44100.0;

const char* categoryName(long long category)
{
    static const char* const names[] = {"Unknown",     "Effect",   "Synth",           "Analysis",
                                        "Mastering",   "Spacializer", "RoomFx",       "SurroundFx",
                                        "Restoration", "OfflineProcess", "Shell",     "Generator"};
    if (category < 0 || category >= static_cast<long long>(sizeof(names) / sizeof(names[0])))
        return "?";
    return names[category];
}

} // namespace

int Commands::run(const Options& options, std::ostream& stdoutStream, std::ostream& err)
{
    // An output written to standard output has it to itself: everything else the command says
    // goes to the error stream, so that a pipe receives the file and nothing but the file.
    const bool outputIsStdout = options.output == "-" || options.saveChunk == "-" || options.screenshot == "-";
    std::ostream& out = outputIsStdout ? err : stdoutStream;
    if (options.command == Options::Command::version) {
        out << "orvex " << versionText() << "\n";
        return kExitOk;
    }
    if (options.command != Options::Command::help && Lv2Host::isLv2(options.plugin))
        return Lv2Commands::run(options, out, err);
    switch (options.command) {
    case Options::Command::info:
        return info(options, out, err);
    case Options::Command::render:
        return render(options, out, err);
    case Options::Command::edit:
        return edit(options, out, err);
    case Options::Command::snapshot:
        return snapshot(options, out, err);
    case Options::Command::convert:
    case Options::Command::help:
    case Options::Command::version:
        break;
    }
    out << CommandLine::usage();
    return kExitOk;
}

std::string Commands::fourCCText(int code)
{
    const auto bits = static_cast<unsigned int>(code);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = static_cast<unsigned char>((bits >> shift) & 0xff);
        text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
    }
    return text;
}

std::string Commands::flagsText(int flags)
{
    static const struct {
        int bit;
        const char* name;
    } names[] = {
        {vst::effFlagsHasEditor, "HasEditor"},
        {vst::effFlagsHasClip, "HasClip"},
        {vst::effFlagsHasVu, "HasVu"},
        {vst::effFlagsCanMono, "CanMono"},
        {vst::effFlagsCanReplacing, "CanReplacing"},
        {vst::effFlagsProgramChunks, "ProgramChunks"},
        {vst::effFlagsIsSynth, "IsSynth"},
        {vst::effFlagsNoSoundInStop, "NoSoundInStop"},
        {vst::effFlagsExtIsAsync, "ExtIsAsync"},
        {vst::effFlagsExtHasBuffer, "ExtHasBuffer"},
        {vst::effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
    };
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%x", static_cast<unsigned int>(flags));
    std::string text = hex;
    std::string list;
    unsigned int rest = static_cast<unsigned int>(flags);
    for (const auto& entry : names) {
        if (rest & static_cast<unsigned int>(entry.bit)) {
            list += (list.empty() ? "" : ", ") + std::string(entry.name);
            rest &= ~static_cast<unsigned int>(entry.bit);
        }
    }
    if (rest) {
        std::snprintf(hex, sizeof(hex), "0x%x", rest);
        list += (list.empty() ? "unknown " : ", unknown ") + std::string(hex);
    }
    return list.empty() ? text : text + " (" + list + ")";
}

bool Commands::readFile(const std::string& path, std::vector<unsigned char>& data, std::string& error)
{
    data.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path + " for reading";
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (!in || size < 0) {
        error = "cannot read " + path + " (not a regular file?)";
        return false;
    }
    in.seekg(0);
    data.resize(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size))) {
        error = "read failed on " + path;
        data.clear();
        return false;
    }
    return true;
}

bool Commands::writeFile(const std::string& path, const std::vector<unsigned char>& data, std::string& error)
{
    return platform::writeOutputFile(path, data.data(), data.size(), error);
}

void Commands::warnAboutTexts(PluginHost& host, std::ostream& err)
{
    if (host.textOverrun())
        err << "orvex: warning: the plug-in wrote past a " << PluginHost::kTextSize
            << "-byte text buffer; its texts are cut there\n";
}

int Commands::prepare(PluginHost& host, const Options& options, double sampleRate, std::ostream& out,
                      std::ostream& err)
{
    std::string error;
    if (!host.load(options.plugin, sampleRate, options.blockSize, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const struct {
        const std::string& path;
        bool preset;
    } chunks[] = {{options.bankChunk, false}, {options.presetChunk, true}};
    for (const auto& chunk : chunks) {
        if (chunk.path.empty())
            continue;
        std::vector<unsigned char> data;
        if (!readFile(chunk.path, data, error)) {
            err << "orvex: " << error << "\n";
            return kExitFailure;
        }
        if (!host.setChunk(data, chunk.preset, error)) {
            err << "orvex: " << chunk.path << ": " << error << "\n";
            return kExitFailure;
        }
    }
    if (options.program >= 0) {
        if (!host.setProgram(options.program)) {
            err << "orvex: program " << options.program << " does not exist (the plug-in has " << host.numPrograms()
                << " programs)\n";
            return kExitUsage;
        }
    }
    if (!options.cabs.empty()) {
        if (!CabSetup::apply(host, options.cabs, error)) {
            err << "orvex: " << error << "\n";
            return kExitUsage;
        }
        for (const CabFile& cab : options.cabs)
            out << "cab " << cab.slot << ": " << cab.path << "\n";
        // The plug-in plays a file it cannot use as silence, without a word: the host asks
        // it which cabs are silent and why, and says so.
        const int silent = CabSetup::reportSilentCabs(
            options.cabs,
            [&](int slot, std::string& why) {
                char text[orvex::kCabStatusTextSize] = {};
                const auto answer = host.vendorSpecific(orvex::kCabStatusIndex, slot, text);
                why = text;
                return static_cast<int>(answer);
            },
            options.strict, err);
        if (silent > 0 && options.strict) {
            err << "orvex: --strict: " << (silent > 1 ? "cabs are" : "a cab is") << " silent; nothing rendered\n";
            return kExitFailure;
        }
    }
    for (const ParameterSetting& setting : options.settings) {
        const int index = host.findParameter(setting.name);
        if (index < 0) {
            err << "orvex: the plug-in has no parameter named '" << setting.name << "', and it is not an index below "
                << host.numParameters() << " (orvex info lists the parameters)\n";
            return kExitUsage;
        }
        host.setParameter(index, setting.value);
        const std::string label = host.parameterLabel(index);
        out << "set " << index << " \"" << host.parameterName(index) << "\" = " << format("%.6f", setting.value)
            << ": " << host.parameterDisplay(index) << (label.empty() ? "" : " ") << label << "\n";
    }
    return kExitOk;
}

int Commands::info(const Options& options, std::ostream& out, std::ostream& err)
{
    PluginHost host;
    const double rate = options.sampleRate > 0.0 ? options.sampleRate : kInfoSampleRate;
    const int prepared = prepare(host, options, rate, out, err);
    if (prepared != kExitOk)
        return prepared;

    const vst::AEffect& effect = host.effect();
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08x", static_cast<unsigned int>(effect.uniqueID));
    const long long category = host.category();
    out << "plug-in:         " << options.plugin << "\n"
        << "magic:           " << fourCCText(effect.magic) << "\n"
        << "unique ID:       " << fourCCText(effect.uniqueID) << " (" << hex << ")\n"
        << "version:         " << effect.version << "\n"
        << "programs:        " << effect.numPrograms << "\n"
        << "parameters:      " << effect.numParams << "\n"
        << "inputs:          " << effect.numInputs << "\n"
        << "outputs:         " << effect.numOutputs << "\n"
        << "flags:           " << flagsText(effect.flags) << "\n"
        << "initial delay:   " << effect.initialDelay << "\n"
        << "effect name:     " << host.effectName() << "\n"
        << "vendor:          " << host.vendorString() << "\n"
        << "product:         " << host.productString() << "\n"
        << "vendor version:  " << static_cast<long long>(host.vendorVersion()) << "\n"
        << "VST version:     " << static_cast<long long>(host.vstVersion()) << "\n"
        << "category:        " << category << " (" << categoryName(category) << ")\n";
    // Some Linux plug-ins build their whole user interface when asked for its rectangle and
    // abort without an X display (DPF's do), so without one we ask only our own plug-in,
    // whose rectangle is known before any window exists.
    int editorWidth = 0;
    int editorHeight = 0;
    const bool ownPlugin = effect.uniqueID == kOrvexUniqueId;
    if (!(effect.flags & vst::effFlagsHasEditor))
        out << "editor:          none\n";
    else if (!ownPlugin && !displayAvailable())
        out << "editor:          yes (no display: its size was not asked)\n";
    else if (host.editorSize(editorWidth, editorHeight))
        out << "editor:          " << editorWidth << " x " << editorHeight << "\n";
    else
        out << "editor:          yes (no usable size)\n";

    // Parameter table, columns as wide as their longest entry.
    struct Row {
        std::string index, name, display, label, value;
    };
    std::vector<Row> rows;
    rows.push_back({"index", "name", "display", "label", "value"});
    for (int i = 0; i < host.numParameters(); ++i)
        rows.push_back({std::to_string(i), host.parameterName(i), host.parameterDisplay(i), host.parameterLabel(i),
                        format("%.6f", host.parameter(i))});
    std::size_t widths[4] = {};
    for (const Row& row : rows) {
        widths[0] = std::max(widths[0], row.index.size());
        widths[1] = std::max(widths[1], row.name.size());
        widths[2] = std::max(widths[2], row.display.size());
        widths[3] = std::max(widths[3], row.label.size());
    }
    out << "parameter table:\n";
    for (const Row& row : rows)
        out << "  " << std::string(widths[0] - row.index.size(), ' ') << row.index << "  " << padded(row.name, widths[1])
            << "  " << padded(row.display, widths[2]) << "  " << padded(row.label, widths[3]) << "  " << row.value << "\n";

    const int current = host.currentProgram();
    out << "program names:\n";
    for (int i = 0; i < host.numPrograms(); ++i)
        out << (i == current ? "* " : "  ") << i << "  " << host.programName(i) << "\n";

    warnAboutTexts(host, err);
    host.close();
    return kExitOk;
}

int Commands::render(const Options& options, std::ostream& out, std::ostream& err)
{
    std::string error;
    WavFile input;
    if (!input.openRead(options.input, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const double rate = options.sampleRate > 0.0 ? options.sampleRate : static_cast<double>(input.sampleRate());

    PluginHost host;
    const int prepared = prepare(host, options, rate, out, err);
    if (prepared != kExitOk)
        return prepared;
    RenderLoop loop(input, host.numInputs(), host.numOutputs(), options.blockSize, rate);
    if (!loop.openOutput(options.output, error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    if (!host.start(error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const bool played = loop.run([&](float* const* in, float* const* outs, int frames) { host.process(in, outs, frames); },
                                 options.input, error);
    host.stop();
    input.close();
    if (!played) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    if (!options.saveChunk.empty()) {
        std::vector<unsigned char> chunk;
        if (!host.getChunk(chunk, false, error)) {
            err << "orvex: cannot save a chunk: " << error << "\n";
            return kExitFailure;
        }
        if (!writeFile(options.saveChunk, chunk, error)) {
            err << "orvex: " << error << "\n";
            return kExitFailure;
        }
        out << "saved bank chunk of " << chunk.size() << " bytes to " << options.saveChunk << "\n";
    }
    if (!loop.finish(error)) {
        err << "orvex: " << error << "\n";
        return kExitFailure;
    }
    const std::string name = host.effectName();
    warnAboutTexts(host, err);
    host.close();
    loop.report(name, options.output, options.stats, out, err);
    return kExitOk;
}

int Commands::snapshot(const Options& options, std::ostream& out, std::ostream& err)
{
    PluginHost host;
    const int prepared = prepare(host, options, kInfoSampleRate, out, err);
    if (prepared != kExitOk)
        return prepared;
    // The plug-in draws and writes the picture itself: its editor needs its own toolkit
    // and resources, which this host does not link (see SnapshotRequest.h).
    const std::string path = options.output;
    const vst::IntPtr written =
        host.vendorSpecific(editor::kSnapshotIndex, editor::kSnapshotValue, const_cast<char*>(path.c_str()));
    warnAboutTexts(host, err);
    host.close();
    if (written != 1) {
        err << "orvex: the plug-in wrote no picture of its editor to " << path
            << " (only Orvex answers this request, and only with its editor closed and the file writable)\n";
        return kExitFailure;
    }
    out << "wrote the editor's picture to " << path << "\n";
    return kExitOk;
}

} // namespace cli
