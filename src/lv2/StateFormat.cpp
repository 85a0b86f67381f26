#include "lv2/StateFormat.h"

#include "lv2/Lv2Ports.h"

#include <cstdio>
#include <cstring>

namespace lv2state {

using orvex::kFileNameSize;
using orvex::kFolderSize;
using orvex::kNumCabs;
using orvex::kNumPrograms;
using orvex::ProgramRecord;

namespace {

std::string field(const char* text, std::size_t size)
{
    const void* end = std::memchr(text, 0, size);
    return std::string(text, end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : size);
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

} // namespace

std::string programKey()
{
    return std::string(lv2port::kNamespace) + "program";
}

std::string bankKey()
{
    return std::string(lv2port::kNamespace) + "bank";
}

std::string pathKey(int program, int cab)
{
    char text[32];
    std::snprintf(text, sizeof text, "p%dcab%d", program + 1, cab + 1);
    return std::string(lv2port::kNamespace) + text;
}

bool isAbsolute(const std::string& path)
{
    return !path.empty() && path[0] == '/';
}

void takePaths(ProgramRecord* bank, std::vector<CabPath>& paths)
{
    for (int program = 0; program < kNumPrograms; ++program) {
        ProgramRecord& record = bank[program];
        for (int cab = 0; cab < kNumCabs; ++cab) {
            const std::string folder = field(record.folder[cab], kFolderSize);
            const std::string name = field(record.fileName[cab], kFileNameSize);
            if (folder.empty() || !isSeparator(folder.back()) || folder.size() >= kFolderSize ||
                name.size() >= kFileNameSize)
                continue;
            paths.push_back({program, cab, folder + name});
            std::memset(record.folder[cab], 0, kFolderSize);
            std::memset(record.fileName[cab], 0, kFileNameSize);
        }
    }
}

bool putPath(ProgramRecord& record, int cab, const std::string& path)
{
    if (cab < 0 || cab >= kNumCabs)
        return false;
    const std::size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos)
        return false;
    const std::size_t folderLength = separator + 1;
    const std::size_t nameLength = path.size() - folderLength;
    if (folderLength >= kFolderSize || nameLength >= kFileNameSize)
        return false;
    std::memset(record.folder[cab], 0, kFolderSize);
    std::memset(record.fileName[cab], 0, kFileNameSize);
    std::memcpy(record.folder[cab], path.data(), folderLength);
    std::memcpy(record.fileName[cab], path.data() + folderLength, nameLength);
    return true;
}

bool sameSettings(const ProgramRecord* a, const ProgramRecord* b, std::string* difference)
{
    auto differs = [&](int program, const std::string& what) {
        if (difference)
            *difference = "program " + std::to_string(program + 1) + ": " + what;
        return false;
    };
    for (int p = 0; p < kNumPrograms; ++p) {
        if (field(a[p].name, orvex::kProgramNameSize) != field(b[p].name, orvex::kProgramNameSize))
            return differs(p, "name");
        for (int cab = 0; cab < kNumCabs; ++cab) {
            if (field(a[p].folder[cab], kFolderSize) != field(b[p].folder[cab], kFolderSize))
                return differs(p, "folder of cab " + std::to_string(cab + 1));
            if (field(a[p].fileName[cab], kFileNameSize) != field(b[p].fileName[cab], kFileNameSize))
                return differs(p, "file name of cab " + std::to_string(cab + 1));
            if (a[p].fileIndex[cab] != b[p].fileIndex[cab])
                return differs(p, "file index of cab " + std::to_string(cab + 1));
        }
        if (std::memcmp(a[p].values, b[p].values, sizeof a[p].values) != 0)
            return differs(p, "values");
    }
    return true;
}

} // namespace lv2state
