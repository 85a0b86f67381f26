// --ir SLOT=PATH for our own plug-in: puts IR files into the cabs of the current program by
// rewriting its program record and restoring it as a preset chunk, as a host restoring a
// project would. Any other plug-in is refused (it has no such record).
#pragma once

#include <functional>
#include <ostream>
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

    // Tells the user, on err, of every cab of `cabs` whose IR the plug-in plays as silence and
    // why, asking the plug-in itself (status: cab 1..6 -> orvex::kCabPlays or kCabSilent with
    // the reason, 0 when it cannot say). A user gets no word from the plug-in otherwise: a
    // cab it cannot use is silent without a sound. Returns how many cabs are silent.
    static int reportSilentCabs(const std::vector<CabFile>& cabs, const std::function<int(int, std::string&)>& status,
                                bool strict, std::ostream& err);
};

} // namespace cli
