// The command line of `orvex`: which command, which plug-in, and the options, checked for
// form (numbers, ranges, required options) before anything is loaded.
#pragma once

#include "CabSetup.h"

#include <string>
#include <vector>

namespace cli {

// Exit status of the program.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,   // the command line, or a name or number in it, is wrong
    kExitFailure = 2, // a plug-in or file could not be loaded, read or written
};

// One --set: a parameter named (or numbered) by `name` receives `value`.
struct ParameterSetting {
    std::string name; // exact parameter name, or a decimal index
    float value;      // normalised value, 0 to 1
};

// Everything the command line asked for.
struct Options {
    enum class Command { help, version, info, render, edit, snapshot, convert };
    Command command = Command::help;          // what to do
    std::string plugin;                       // path of the plug-in module
    std::string input;                        // render: input WAV
    std::string output;                       // render: output WAV; snapshot: the PNG
    std::string bankChunk;                    // bank chunk file to restore, or empty
    std::string presetChunk;                  // preset chunk file to restore, or empty
    std::string saveChunk;                    // render: file to receive the bank chunk, or empty
    std::string state;                        // LV2: state folder to restore, or empty
    std::string saveState;                    // LV2 render/convert: folder to save the state into, or empty
    std::vector<ParameterSetting> settings;   // --set, in the order given (LV2: port symbol, port units)
    int program = -1;                         // program to select, -1 for none
    std::vector<CabFile> cabs;                // --ir: IR files for our plug-in's cabs
    bool strict = false;                      // --strict: an --ir file that leaves its cab silent fails
    int blockSize = 512;                      // largest block handed to the plug-in
    double sampleRate = 0.0;                  // Hz; 0 means the input's rate (info: 44100)
    double seconds = -1.0;                    // edit: close after this long; < 0 waits for the user
    std::string screenshot;                   // edit: PNG of the host window's client area, or empty
    int afterMs = -1;                         // edit: when to take the screenshot; < 0 for the default
    bool destroyWindowFirst = false;          // edit: tear the host window down before effEditClose
    bool stats = false;                       // render: report the time spent inside the plug-in
};

class CommandLine {
public:
    // Largest block we hand to a plug-in; beyond this the buffers serve no purpose.
    static constexpr int kMaxBlockSize = 65536;

    // Parses the arguments after the program name. On a usage error returns false with a
    // one-line reason in `error`.
    static bool parse(const std::vector<std::string>& args, Options& options, std::string& error);

    // The usage text.
    static const char* usage();
};

} // namespace cli
