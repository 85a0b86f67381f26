// The commands of `orvex`, on top of PluginHost and WavFile: `info` lists what a plug-in
// reports about itself, `render` runs a WAV file through it, `edit` opens its editor,
// `snapshot` pictures Orvex's editor. All first bring the effect to the requested state:
// chunks, then program, then parameter settings.
#pragma once

#include "CommandLine.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

class PluginHost;

class Commands {
public:
    // Runs `options.command`; results go to `out`, messages to `err`. Returns an ExitCode.
    static int run(const Options& options, std::ostream& out, std::ostream& err);

    static int info(const Options& options, std::ostream& out, std::ostream& err);
    static int render(const Options& options, std::ostream& out, std::ostream& err);
    // Opens the plug-in's editor in a host window of ours (EditCommand.cpp).
    static int edit(const Options& options, std::ostream& out, std::ostream& err);
    // Asks the loaded plug-in for a picture of its editor (Orvex's vendor-specific request).
    static int snapshot(const Options& options, std::ostream& out, std::ostream& err);

    // Whole-file helpers for chunks. writeFile writes beside `path` and moves the result into
    // place, so a failed write leaves an earlier file of that name as it was; a device, a
    // FIFO or "-" (standard output) is written in place (platform/OutputFile.h).
    static bool readFile(const std::string& path, std::vector<unsigned char>& data, std::string& error);
    static bool writeFile(const std::string& path, const std::vector<unsigned char>& data, std::string& error);

    // A four-character code as text, most significant byte first; unprintable bytes as '.'.
    static std::string fourCCText(int code);

    // The effect flags as "0x31 (HasEditor, CanReplacing, ProgramChunks)".
    static std::string flagsText(int flags);

private:
    // Loads the plug-in and applies chunks, program and settings. Returns kExitOk or the
    // exit code of the failure, which it has already reported on `err`.
    static int prepare(PluginHost& host, const Options& options, double sampleRate, std::ostream& out,
                       std::ostream& err);
    static void warnAboutTexts(PluginHost& host, std::ostream& err);
};

} // namespace cli
