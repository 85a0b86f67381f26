#include "CabSetup.h"

#include "PluginHost.h"

#include "effect/CabStatusRequest.h"
#include "effect/ProgramRecord.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cli {

namespace {

constexpr vst::Int32 kOrvexId = vst::fourCC('O', 'V', 'X', '2');

} // namespace

bool CabSetup::splitPath(const std::string& path, std::string& folder, std::string& fileName, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_regular_file(fs::u8path(path), ec)) {
        error = "IR file '" + path + "' does not exist or is not a file";
        return false;
    }
    const std::string full = fs::absolute(fs::u8path(path), ec).make_preferred().u8string();
    if (ec) {
        error = "cannot make '" + path + "' absolute";
        return false;
    }
    const std::size_t sep = full.find_last_of("/\\");
    folder = sep == std::string::npos ? std::string() : full.substr(0, sep + 1);
    fileName = sep == std::string::npos ? full : full.substr(sep + 1);
    if (fileName.size() >= static_cast<std::size_t>(orvex::kFileNameSize)) {
        error = "IR file name '" + fileName + "' has " + std::to_string(fileName.size()) +
                " characters; a cab holds names of at most " + std::to_string(orvex::kFileNameSize - 1);
        return false;
    }
    if (folder.size() + fileName.size() >= static_cast<std::size_t>(orvex::kFolderSize)) {
        error = "IR path '" + full + "' is longer than a cab's " + std::to_string(orvex::kFolderSize - 1) +
                " characters";
        return false;
    }
    return true;
}

bool CabSetup::apply(PluginHost& host, const std::vector<CabFile>& cabs, std::string& error)
{
    if (cabs.empty())
        return true;
    if (host.effect().uniqueID != kOrvexId) {
        error = "--ir works only with the Orvex plug-in (unique ID OVX2)";
        return false;
    }
    std::vector<unsigned char> chunk;
    if (!host.getChunk(chunk, true, error))
        return false;
    if (chunk.size() != sizeof(orvex::ProgramRecord)) {
        error = "the plug-in's program chunk has " + std::to_string(chunk.size()) + " bytes, not " +
                std::to_string(sizeof(orvex::ProgramRecord));
        return false;
    }
    orvex::ProgramRecord record;
    std::memcpy(&record, chunk.data(), sizeof record);
    for (const CabFile& cab : cabs) {
        if (cab.slot < 1 || cab.slot > orvex::kNumCabs) {
            error = "--ir: cab " + std::to_string(cab.slot) + " does not exist (cabs are 1 to 6)";
            return false;
        }
        std::string folder, fileName;
        if (!splitPath(cab.path, folder, fileName, error))
            return false;
        const int k = cab.slot - 1;
        std::memset(record.folder[k], 0, sizeof record.folder[k]);
        std::memset(record.fileName[k], 0, sizeof record.fileName[k]);
        std::memcpy(record.folder[k], folder.data(), folder.size());
        std::memcpy(record.fileName[k], fileName.data(), fileName.size());
        record.fileIndex[k] = 0;
        record.values[orvex::kRecBypass + k] = 1.0f;
    }
    std::memcpy(chunk.data(), &record, sizeof record);
    return host.setChunk(chunk, true, error);
}

int CabSetup::reportSilentCabs(const std::vector<CabFile>& cabs, const std::function<int(int, std::string&)>& status,
                               bool strict, std::ostream& err)
{
    int silent = 0;
    for (const CabFile& cab : cabs) {
        std::string why;
        if (status(cab.slot, why) != orvex::kCabSilent)
            continue;
        ++silent;
        err << "orvex: " << (strict ? "" : "warning: ") << "cab " << cab.slot << " is silent: " << cab.path << ": "
            << why << "\n";
    }
    return silent;
}

} // namespace cli
