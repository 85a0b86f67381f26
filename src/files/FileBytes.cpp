#include "files/FileBytes.h"

#include "platform/Platform.h"

#include <cstdio>
#include <memory>
#include <new>

namespace files {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr std::size_t kStep = 64 * 1024; // read in steps of this size past the size seen at opening

} // namespace

FileBytesResult readFileBytes(const char* path, std::size_t limit, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    std::unique_ptr<std::FILE, FileCloser> file(path != nullptr ? platform::openRegularFile(path) : nullptr);
    if (!file)
        return FileBytesResult::unreadable;
    // The size at opening sets the first read; a file that grows meanwhile is read on.
    std::size_t expected = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end > 0)
            expected = static_cast<std::size_t>(end);
    }
    if (std::fseek(file.get(), 0, SEEK_SET) != 0)
        return FileBytesResult::unreadable;
    if (expected > limit)
        return FileBytesResult::tooLarge;
    try {
        std::size_t have = 0;
        // One byte more than expected shows at once whether the file ended where it said.
        std::size_t want = expected + 1;
        for (;;) {
            bytes.resize(have + want);
            const std::size_t got = std::fread(bytes.data() + have, 1, want, file.get());
            have += got;
            if (got < want)
                break;
            if (have > limit) {
                bytes.clear();
                return FileBytesResult::tooLarge;
            }
            want = kStep;
        }
        if (std::ferror(file.get())) {
            bytes.clear();
            return FileBytesResult::unreadable;
        }
        bytes.resize(have);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        bytes.shrink_to_fit();
        return FileBytesResult::unreadable;
    }
    return FileBytesResult::read;
}

} // namespace files
