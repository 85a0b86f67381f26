#include "CommandLine.h"

#include "Lv2Host.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno == 0 && std::isfinite(value);
}

bool parseInteger(const std::string& text, long long minimum, long long maximum, long long& value)
{
    if (text.empty() || text.find_first_not_of("-0123456789") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return end == text.c_str() + text.size() && errno == 0 && value >= minimum && value <= maximum;
}

} // namespace

const char* CommandLine::usage()
{
    return "usage:\n"
           "  orvex info PLUGIN [state options]\n"
           "  orvex render PLUGIN --in IN.wav --out OUT.wav [state options] [--save-chunk FILE] [--stats]\n"
           "  orvex edit PLUGIN [state options] [edit options]\n"
           "  orvex snapshot PLUGIN --out EDITOR.png [state options]\n"
           "  orvex convert LV2PLUGIN [state options] [--save-state FOLDER] [--save-chunk FILE]\n"
           "  orvex help\n"
           "  orvex --version\n"
           "\n"
           "PLUGIN is a VST 2 plug-in module (.so on Linux, .dll on Windows), or on Linux an LV2\n"
           "plug-in: its URI (found on LV2_PATH) or its bundle folder. For an LV2 plug-in --set\n"
           "takes a control port's symbol and a value in the port's own units, --ir sends the\n"
           "cab's file property, --chunk takes Orvex's VST2 bank chunk, --state FOLDER restores\n"
           "an LV2 state and --save-state FOLDER saves one (render, convert). convert turns\n"
           "Orvex's VST2 bank chunk into an LV2 state and back, through the LV2 plug-in.\n"
           "\n"
           "info lists the plug-in's identity, flags, parameters (index, name, display, value)\n"
           "and programs. render processes IN.wav through the plug-in and writes OUT.wav as\n"
           "32-bit float with one channel per plug-in output and exactly the input's length;\n"
           "a mono input feeds every plug-in input. It prints peak and RMS per output channel.\n"
           "snapshot (Orvex only) opens the plug-in's editor without a window system and writes\n"
           "its pixels to EDITOR.png.\n"
           "An output FILE that is a device or a FIFO is written in place, any other file is\n"
           "replaced only once complete; '-' is standard output, and the command's messages\n"
           "then go to standard error.\n"
           "\n"
           "state options (applied in this order: chunks, program, settings):\n"
           "  --chunk FILE          restore a bank chunk (all programs)\n"
           "  --preset-chunk FILE   restore a preset chunk (the current program)\n"
           "  --program N           select program N\n"
           "  --ir SLOT=PATH        Orvex only: load the WAV file PATH into cab SLOT (1-6) of\n"
           "                        the current program and switch the cab on (repeatable);\n"
           "                        a file that will leave its cab silent is named on stderr\n"
           "  --strict              stop with status 2 instead, rendering nothing\n"
           "  --set NAME=VALUE      set the parameter named NAME (exact, case-sensitive) or\n"
           "                        numbered NAME to VALUE, from 0 to 1; may be repeated\n"
           "  --rate HZ             sample rate (default: the input's rate; info: 44100)\n"
           "  --block N             largest block per process call, 1 to 65536 (default 512)\n"
           "render only:\n"
           "  --in FILE             input WAV: 8/16/24/32-bit PCM or 32/64-bit float\n"
           "  --out FILE            output WAV (snapshot: the PNG file to write)\n"
           "  --save-chunk FILE     after rendering, save the plug-in's bank chunk\n"
           "  --stats               print the time spent inside the plug-in's audio callback per\n"
           "                        second of audio (% of one core) and the longest block\n"
           "\n"
           "edit opens the plug-in's editor in a window of its own, idles it 30 times a second\n"
           "and prints what the editor tells the host, one line each: \"automate INDEX VALUE\",\n"
           "\"begin INDEX\", \"end INDEX\", \"size WIDTH HEIGHT\". It ends when the window is\n"
           "closed, after --seconds, or (with --screenshot and no --seconds) after the picture.\n"
           "edit only:\n"
           "  --seconds S           close the editor after S seconds\n"
           "  --screenshot FILE     save the window's client area as a PNG file\n"
           "  --after MS            take the screenshot MS milliseconds after opening (500)\n"
           "  --destroy-window-first  destroy the host window before closing the editor, as\n"
           "                        some hosts do, then idle and close the editor\n"
           "  --save-chunk FILE     after closing the editor, save the plug-in's bank chunk\n"
           "\n"
           "exit status: 0 success, 1 usage error, 2 plug-in or file failure\n";
}

namespace {

// The commands an option belongs to, as bits.
enum CommandBits : unsigned {
    kInfo = 1u << 0,
    kRender = 1u << 1,
    kEdit = 1u << 2,
    kSnapshot = 1u << 3,
    kConvert = 1u << 4,
    kEveryCommand = kInfo | kRender | kEdit | kSnapshot | kConvert,
};

unsigned bitOf(Options::Command command)
{
    switch (command) {
    case Options::Command::info: return kInfo;
    case Options::Command::render: return kRender;
    case Options::Command::edit: return kEdit;
    case Options::Command::snapshot: return kSnapshot;
    case Options::Command::convert: return kConvert;
    default: return 0;
    }
}

// Every option: its name, whether it takes a value, the commands it belongs to and how the
// refusal names them.
struct OptionRule {
    const char* name;
    bool takesValue;
    unsigned commands;
    const char* owners;
};

constexpr OptionRule kOptions[] = {
    {"--stats", false, kRender, "the render command"},
    {"--destroy-window-first", false, kEdit, "the edit command"},
    {"--strict", false, kEveryCommand, nullptr},
    {"--in", true, kRender, "the render command"},
    {"--out", true, kRender | kSnapshot, "the render and snapshot commands"},
    {"--save-chunk", true, kRender | kEdit | kConvert, "the render command or the edit command"},
    {"--seconds", true, kEdit, "the edit command"},
    {"--screenshot", true, kEdit, "the edit command"},
    {"--after", true, kEdit, "the edit command"},
    {"--save-state", true, kRender | kConvert, "the render and convert commands"},
    {"--set", true, kEveryCommand, nullptr},
    {"--block", true, kEveryCommand, nullptr},
    {"--rate", true, kEveryCommand, nullptr},
    {"--chunk", true, kEveryCommand, nullptr},
    {"--preset-chunk", true, kEveryCommand, nullptr},
    {"--program", true, kEveryCommand, nullptr},
    {"--ir", true, kEveryCommand, nullptr},
    {"--state", true, kEveryCommand, nullptr},
};

const OptionRule* findOption(const std::string& name)
{
    for (const OptionRule& rule : kOptions)
        if (name == rule.name)
            return &rule;
    return nullptr;
}

bool parseCommand(const std::string& name, Options& options, std::string& error)
{
    static const struct {
        const char* name;
        Options::Command command;
    } commands[] = {{"help", Options::Command::help},     {"--help", Options::Command::help},
                    {"-h", Options::Command::help},       {"info", Options::Command::info},
                    {"render", Options::Command::render}, {"edit", Options::Command::edit},
                    {"snapshot", Options::Command::snapshot}, {"convert", Options::Command::convert},
                    {"--version", Options::Command::version}, {"version", Options::Command::version}};
    for (const auto& c : commands) {
        if (name == c.name) {
            options.command = c.command;
            return true;
        }
    }
    error = "unknown command '" + name + "'";
    return false;
}

// What an option takes twice only by mistake, beyond the fields that show it themselves.
struct Seen {
    bool rate = false;
    bool block = false;
};

// A file-name option given once, with a name.
bool setOnce(const std::string& option, const std::string& value, std::string& field, std::string& error)
{
    if (!field.empty()) {
        error = option + " given twice";
        return false;
    }
    if (value.empty()) {
        error = option + " needs a file name";
        return false;
    }
    field = value;
    return true;
}

bool applySet(const std::string& value, Options& options, std::string& error)
{
    // The value never holds '=', so the last one separates; a name may contain '='.
    const std::size_t split = value.rfind('=');
    double number = 0.0;
    if (split == std::string::npos || split == 0) {
        error = "--set expects NAME=VALUE, got '" + value + "'";
        return false;
    }
    // The range is checked once the plug-in's kind is known.
    if (!parseNumber(value.substr(split + 1), number)) {
        error = "--set " + value + ": the value must be a number from 0 to 1";
        return false;
    }
    options.settings.push_back({value.substr(0, split), static_cast<float>(number)});
    return true;
}

bool applyIr(const std::string& value, Options& options, std::string& error)
{
    const std::size_t split = value.find('=');
    long long slot = 0;
    if (split == std::string::npos || !parseInteger(value.substr(0, split), 1, 6, slot) || split + 1 >= value.size()) {
        error = "--ir expects SLOT=PATH with a cab number from 1 to 6, got '" + value + "'";
        return false;
    }
    options.cabs.push_back({static_cast<int>(slot), value.substr(split + 1)});
    return true;
}

// The options with a number; false with the refusal.
bool applyNumber(const std::string& option, const std::string& value, Options& options, Seen& seen, std::string& error)
{
    if (option == "--seconds") {
        double seconds = 0.0;
        if (options.seconds >= 0.0 || !parseNumber(value, seconds) || seconds < 0.0 || seconds > 86400.0) {
            error = options.seconds >= 0.0 ? "--seconds given twice" : "--seconds expects a time from 0 to 86400";
            return false;
        }
        options.seconds = seconds;
    } else if (option == "--after") {
        long long after = 0;
        if (options.afterMs >= 0 || !parseInteger(value, 0, 3600000, after)) {
            error = options.afterMs >= 0 ? "--after given twice" : "--after expects milliseconds from 0 to 3600000";
            return false;
        }
        options.afterMs = static_cast<int>(after);
    } else if (option == "--block") {
        long long block = 0;
        if (seen.block || !parseInteger(value, 1, CommandLine::kMaxBlockSize, block)) {
            error = seen.block ? "--block given twice" : "--block expects a whole number from 1 to 65536";
            return false;
        }
        options.blockSize = static_cast<int>(block);
        seen.block = true;
    } else if (option == "--rate") {
        double rate = 0.0;
        if (seen.rate || !parseNumber(value, rate) || rate < 1.0 || rate > 10000000.0) {
            error = seen.rate ? "--rate given twice" : "--rate expects a sample rate in Hz, from 1 to 10000000";
            return false;
        }
        options.sampleRate = rate;
        seen.rate = true;
    } else if (option == "--program") {
        long long program = 0;
        if (options.program >= 0 || !parseInteger(value, 0, 0x7fffffff, program)) {
            error = options.program >= 0 ? "--program given twice" : "--program expects a program number from 0";
            return false;
        }
        options.program = static_cast<int>(program);
    }
    return true;
}

bool applyValue(const std::string& option, const std::string& value, Options& options, Seen& seen, std::string& error)
{
    const struct {
        const char* name;
        std::string* field;
    } files[] = {{"--in", &options.input},           {"--out", &options.output},
                 {"--chunk", &options.bankChunk},    {"--preset-chunk", &options.presetChunk},
                 {"--save-chunk", &options.saveChunk}, {"--state", &options.state},
                 {"--save-state", &options.saveState}, {"--screenshot", &options.screenshot}};
    for (const auto& file : files)
        if (option == file.name)
            return setOnce(option, value, *file.field, error);
    if (option == "--set")
        return applySet(value, options, error);
    if (option == "--ir")
        return applyIr(value, options, error);
    return applyNumber(option, value, options, seen, error);
}

// What the options must add up to once all are read.
bool checkComplete(const Options& options, std::string& error)
{
    const bool render = options.command == Options::Command::render;
    const bool snapshot = options.command == Options::Command::snapshot;
    const bool convert = options.command == Options::Command::convert;
    if (options.plugin.empty()) {
        error = "no plug-in given";
        return false;
    }
    const bool lv2 = Lv2Host::isLv2(options.plugin);
    // A VST2 parameter is normalised; an LV2 port's range is the plug-in's to say.
    for (const ParameterSetting& setting : options.settings) {
        if (!lv2 && (setting.value < 0.0f || setting.value > 1.0f)) {
            error = "--set " + setting.name + "=" + std::to_string(setting.value) +
                    ": the value must be a number from 0 to 1";
            return false;
        }
    }
    if ((convert || !options.state.empty() || !options.saveState.empty()) && !lv2) {
        error = convert ? "convert takes an LV2 plug-in (a URI or a bundle folder)"
                        : "--state and --save-state belong to LV2 plug-ins";
        return false;
    }
    const struct {
        bool missing;
        const char* message;
    } needs[] = {
        {convert && options.saveState.empty() && options.saveChunk.empty(),
         "convert needs --save-state FOLDER or --save-chunk FILE"},
        {render && options.input.empty(), "render needs --in IN.wav"},
        {render && options.output.empty(), "render needs --out OUT.wav"},
        {options.afterMs >= 0 && options.screenshot.empty(), "--after needs --screenshot FILE"},
        {snapshot && options.output.empty(), "snapshot needs --out EDITOR.png"},
        {(options.output == "-") + (options.saveChunk == "-") + (options.screenshot == "-") > 1,
         "only one output can go to standard output ('-')"},
    };
    for (const auto& need : needs) {
        if (need.missing) {
            error = need.message;
            return false;
        }
    }
    return true;
}

} // namespace

bool CommandLine::parse(const std::vector<std::string>& args, Options& options, std::string& error)
{
    options = Options();
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    if (!parseCommand(args[0], options, error))
        return false;
    if (options.command == Options::Command::help)
        return true;
    if (options.command == Options::Command::version) {
        if (args.size() > 1) {
            error = "unexpected argument '" + args[1] + "'";
            return false;
        }
        return true;
    }
    const unsigned command = bitOf(options.command);
    Seen seen;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!options.plugin.empty()) {
                error = "unexpected argument '" + arg + "'";
                return false;
            }
            options.plugin = arg;
            continue;
        }
        // Both "--name VALUE" and "--name=VALUE"; an option without a value has no '='.
        std::string value;
        bool haveValue = false;
        const OptionRule* rule = findOption(arg);
        const std::size_t equals = arg.find('=');
        if (rule == nullptr && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            haveValue = true;
            rule = findOption(arg);
            if (rule != nullptr && !rule->takesValue)
                rule = nullptr;
        }
        if (rule == nullptr) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (rule->takesValue && !haveValue) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if ((rule->commands & command) == 0) {
            error = arg + " belongs to " + rule->owners;
            return false;
        }
        if (arg == "--stats")
            options.stats = true;
        else if (arg == "--destroy-window-first")
            options.destroyWindowFirst = true;
        else if (arg == "--strict")
            options.strict = true;
        else if (!applyValue(arg, value, options, seen, error))
            return false;
    }
    return checkComplete(options, error);
}

} // namespace cli
