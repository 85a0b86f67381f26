#include "CabSetup.h"

#include "PluginHost.h"
#include "WavFile.h"

#include "effect/ProgramRecord.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cli {

namespace {

constexpr vst::Int32 kOrvexId = vst::fourCC('O', 'V', 'X', '2');

// The plug-in drops leading samples of this magnitude or less, and plays only the first
// channel of a file.
constexpr double kSilence = 1e-10;

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

std::string CabSetup::silenceReason(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec))
        return std::string();
    WavFile file;
    std::string error;
    if (!file.openRead(path, error))
        return "the host's WAV reader refuses it (" + error + ")";
    // What the host reads but the plug-in does not.
    if (file.encoding() == WavFile::Encoding::float64)
        return path + " holds 64-bit float samples; the plug-in reads integer PCM and 32-bit float";
    if (!file.formatFirst())
        return path + ": the format chunk does not follow the RIFF header directly, as the plug-in requires";
    if (file.frames() == 0)
        return path + " holds no samples";

    const int channels = file.channels();
    const std::int64_t block = 4096;
    std::vector<std::vector<float>> buffers(static_cast<std::size_t>(channels), std::vector<float>(block));
    std::vector<float*> pointers;
    for (auto& b : buffers)
        pointers.push_back(b.data());
    bool sound = false;
    for (;;) {
        const std::int64_t got = file.read(pointers.data(), block, error);
        if (got < 0)
            return "the host's WAV reader fails on it (" + error + ")";
        if (got == 0)
            break;
        for (int c = 0; c < channels; ++c)
            for (std::int64_t i = 0; i < got; ++i) {
                const float v = buffers[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
                if (!std::isfinite(v))
                    return path + " holds NaN or infinite samples, which the plug-in refuses";
                sound = sound || (c == 0 && std::fabs(static_cast<double>(v)) > kSilence);
            }
    }
    if (!sound)
        return path + ": its first channel, the one the plug-in plays, holds only silence";
    return std::string();
}

} // namespace cli
