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

bool CommandLine::parse(const std::vector<std::string>& args, Options& options, std::string& error)
{
    options = Options();
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = args[0];
    if (command == "help" || command == "--help" || command == "-h") {
        options.command = Options::Command::help;
        return true;
    }
    if (command == "--version" || command == "version") {
        if (args.size() > 1) {
            error = "unexpected argument '" + args[1] + "'";
            return false;
        }
        options.command = Options::Command::version;
        return true;
    }
    if (command == "info") {
        options.command = Options::Command::info;
    } else if (command == "render") {
        options.command = Options::Command::render;
    } else if (command == "edit") {
        options.command = Options::Command::edit;
    } else if (command == "snapshot") {
        options.command = Options::Command::snapshot;
    } else if (command == "convert") {
        options.command = Options::Command::convert;
    } else {
        error = "unknown command '" + command + "'";
        return false;
    }
    const bool render = options.command == Options::Command::render;
    const bool edit = options.command == Options::Command::edit;
    const bool snapshot = options.command == Options::Command::snapshot;
    const bool convert = options.command == Options::Command::convert;

    bool seenRate = false;
    bool seenBlock = false;
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
        if (arg == "--stats") {
            if (!render) {
                error = arg + " belongs to the render command";
                return false;
            }
            options.stats = true;
            continue;
        }
        if (arg == "--destroy-window-first") {
            if (!edit) {
                error = arg + " belongs to the edit command";
                return false;
            }
            options.destroyWindowFirst = true;
            continue;
        }
        if (arg == "--strict") { // like --destroy-window-first, an option without a value
            options.strict = true;
            continue;
        }
        // Both "--name VALUE" and "--name=VALUE".
        std::string value;
        bool haveValue = false;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            haveValue = true;
        }
        static const char* const known[] = {"--in", "--out", "--set", "--block", "--rate", "--chunk",
                                            "--preset-chunk", "--save-chunk", "--program", "--ir",
                                            "--seconds", "--screenshot", "--after", "--state", "--save-state"};
        bool isKnown = false;
        for (const char* name : known)
            isKnown = isKnown || arg == name;
        if (!isKnown) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!haveValue) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!render && arg == "--in") {
            error = arg + " belongs to the render command";
            return false;
        }
        if (!render && !edit && !convert && arg == "--save-chunk") {
            error = arg + " belongs to the render command or the edit command";
            return false;
        }
        if (!edit && (arg == "--seconds" || arg == "--screenshot" || arg == "--after")) {
            error = arg + " belongs to the edit command";
            return false;
        }
        if (!render && !snapshot && arg == "--out") {
            error = arg + " belongs to the render and snapshot commands";
            return false;
        }
        auto setOnce = [&](std::string& field) {
            if (!field.empty()) {
                error = arg + " given twice";
                return false;
            }
            if (value.empty()) {
                error = arg + " needs a file name";
                return false;
            }
            field = value;
            return true;
        };
        if (arg == "--in") {
            if (!setOnce(options.input))
                return false;
        } else if (arg == "--out") {
            if (!setOnce(options.output))
                return false;
        } else if (arg == "--chunk") {
            if (!setOnce(options.bankChunk))
                return false;
        } else if (arg == "--preset-chunk") {
            if (!setOnce(options.presetChunk))
                return false;
        } else if (arg == "--save-chunk") {
            if (!setOnce(options.saveChunk))
                return false;
        } else if (arg == "--state") {
            if (!setOnce(options.state))
                return false;
        } else if (arg == "--save-state") {
            if (!render && !convert) {
                error = arg + " belongs to the render and convert commands";
                return false;
            }
            if (!setOnce(options.saveState))
                return false;
        } else if (arg == "--screenshot") {
            if (!setOnce(options.screenshot))
                return false;
        } else if (arg == "--seconds") {
            double seconds = 0.0;
            if (options.seconds >= 0.0 || !parseNumber(value, seconds) || seconds < 0.0 || seconds > 86400.0) {
                error = options.seconds >= 0.0 ? "--seconds given twice" : "--seconds expects a time from 0 to 86400";
                return false;
            }
            options.seconds = seconds;
        } else if (arg == "--after") {
            long long after = 0;
            if (options.afterMs >= 0 || !parseInteger(value, 0, 3600000, after)) {
                error = options.afterMs >= 0 ? "--after given twice" : "--after expects milliseconds from 0 to 3600000";
                return false;
            }
            options.afterMs = static_cast<int>(after);
        } else if (arg == "--set") {
            // The value never holds '=', so the last one separates; a name may contain '='.
            const std::size_t split = value.rfind('=');
            double number = 0.0;
            if (split == std::string::npos || split == 0) {
                error = "--set expects NAME=VALUE, got '" + value + "'";
                return false;
            }
            // The range is checked below, once the plug-in's kind is known.
            if (!parseNumber(value.substr(split + 1), number)) {
                error = "--set " + value + ": the value must be a number from 0 to 1";
                return false;
            }
            options.settings.push_back({value.substr(0, split), static_cast<float>(number)});
        } else if (arg == "--block") {
            long long block = 0;
            if (seenBlock || !parseInteger(value, 1, kMaxBlockSize, block)) {
                error = seenBlock ? "--block given twice" : "--block expects a whole number from 1 to 65536";
                return false;
            }
            options.blockSize = static_cast<int>(block);
            seenBlock = true;
        } else if (arg == "--rate") {
            double rate = 0.0;
            if (seenRate || !parseNumber(value, rate) || rate < 1.0 || rate > 10000000.0) {
                error = seenRate ? "--rate given twice" : "--rate expects a sample rate in Hz, from 1 to 10000000";
                return false;
            }
            options.sampleRate = rate;
            seenRate = true;
        } else if (arg == "--ir") {
            const std::size_t split = value.find('=');
            long long slot = 0;
            if (split == std::string::npos || !parseInteger(value.substr(0, split), 1, 6, slot) ||
                split + 1 >= value.size()) {
                error = "--ir expects SLOT=PATH with a cab number from 1 to 6, got '" + value + "'";
                return false;
            }
            options.cabs.push_back({static_cast<int>(slot), value.substr(split + 1)});
        } else if (arg == "--program") {
            long long program = 0;
            if (options.program >= 0 || !parseInteger(value, 0, 0x7fffffff, program)) {
                error = options.program >= 0 ? "--program given twice" : "--program expects a program number from 0";
                return false;
            }
            options.program = static_cast<int>(program);
        }
    }
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
    if (convert && options.saveState.empty() && options.saveChunk.empty()) {
        error = "convert needs --save-state FOLDER or --save-chunk FILE";
        return false;
    }
    if (render && options.input.empty()) {
        error = "render needs --in IN.wav";
        return false;
    }
    if (render && options.output.empty()) {
        error = "render needs --out OUT.wav";
        return false;
    }
    if (options.afterMs >= 0 && options.screenshot.empty()) {
        error = "--after needs --screenshot FILE";
        return false;
    }
    if (snapshot && options.output.empty()) {
        error = "snapshot needs --out EDITOR.png";
        return false;
    }
    if ((options.output == "-") + (options.saveChunk == "-") + (options.screenshot == "-") > 1) {
        error = "only one output can go to standard output ('-')";
        return false;
    }
    return true;
}

} // namespace cli
