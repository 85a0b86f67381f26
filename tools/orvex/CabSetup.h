// --ir SLOT=PATH for our own plug-in: puts IR files into the cabs of the current program by
// rewriting its program record and restoring it as a preset chunk, as a host restoring a
// project would. Any other plug-in is refused (it has no such record).
#pragma once

#include <string>
#include <vector>

namespace cli {

class PluginHost;

struct CabFile {
    int slot = 0;     // cab 1..6
    std::string path; // the WAV file
};

class CabSetup {
public:
    // Splits a path at its last separator into a folder (ending with the separator) and a
    // file name that fit the record's fields. False with a reason when they do not fit or
    // the file is missing; relative paths are made absolute first.
    static bool splitPath(const std::string& path, std::string& folder, std::string& fileName, std::string& error);

    // Applies the files to the current program of a loaded Orvex plug-in (each named cab
    // also switched on). False with a reason for another plug-in or a refused chunk.
    static bool apply(PluginHost& host, const std::vector<CabFile>& cabs, std::string& error);

    // Reads an IR file with the host's own WAV reader before it is handed over, since the
    // plug-in leaves a cab silent without a word when it cannot use the file. Returns why
    // the cab will stay silent, or an empty text when the file looks playable. A file that
    // does not exist answers empty too: apply() reports that.
    static std::string silenceReason(const std::string& path);
};

} // namespace cli
