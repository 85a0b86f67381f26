#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"

#include "TestWav.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

using dsp::IrCache;
using dsp::IrPreparer;

namespace {

constexpr int kN = IrPreparer::kFftSize;

struct Loaded {
    bool accepted = false;
    int length = -1;
    std::vector<double> spectrum = std::vector<double>(kN, -1.0);
};

Loaded viaCache(IrCache& cache, const std::string& path, float rate)
{
    Loaded r;
    r.accepted = cache.prepare(path.c_str(), rate, r.spectrum.data(), r.length);
    return r;
}

Loaded direct(const std::string& path, float rate)
{
    IrPreparer p;
    Loaded r;
    r.accepted = p.prepare(path.c_str(), rate, kN, r.spectrum.data());
    r.length = p.irLength();
    return r;
}

void expectSame(const Loaded& a, const Loaded& b)
{
    EXPECT_EQ(a.accepted, b.accepted);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.spectrum, b.spectrum);
}

// A file's last-write time, kept to be put back after the file is rewritten: what a copy
// that keeps the source's time, or a FAT volume's 2 s steps, leaves behind.
class WriteTime {
public:
    explicit WriteTime(const std::string& path) : path_(path)
    {
#if defined(_WIN32)
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ok_ = h != INVALID_HANDLE_VALUE && GetFileTime(h, nullptr, &access_, &write_);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
#else
        struct stat st {};
        ok_ = ::stat(path.c_str(), &st) == 0;
        times_[0] = st.st_atim;
        times_[1] = st.st_mtim;
#endif
    }

    bool restore() const
    {
#if defined(_WIN32)
        HANDLE h = CreateFileA(path_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        const bool set = SetFileTime(h, nullptr, &access_, &write_) != 0;
        CloseHandle(h);
        return ok_ && set;
#else
        return ok_ && ::utimensat(AT_FDCWD, path_.c_str(), times_, 0) == 0;
#endif
    }

private:
    std::string path_; // the file
    bool ok_ = false;  // the times were read
#if defined(_WIN32)
    FILETIME access_{}; // last access
    FILETIME write_{};  // last write
#else
    timespec times_[2]{}; // last access, last write
#endif
};

// A repeated load reads no file and answers exactly what reading would; another rate is
// another entry; a file changed on disk (even at the same size) is read again.
TEST(IrCache, RepeatsComeFromMemoryAndChangedFilesAreReadAgain)
{
    testwav::TempFolder dir("orvex-ircache");
    const std::string a = dir.file("a.wav");
    ASSERT_TRUE(testwav::write(a, testwav::decayingIr(300, 1), 1, 48000));
    IrPreparer preparer;
    IrCache cache(preparer);

    expectSame(viaCache(cache, a, 44100.0f), direct(a, 44100.0f));
    expectSame(viaCache(cache, a, 44100.0f), direct(a, 44100.0f));
    EXPECT_EQ(cache.reads(), 1);
    EXPECT_EQ(cache.hits(), 1);

    expectSame(viaCache(cache, a, 96000.0f), direct(a, 96000.0f));
    EXPECT_EQ(cache.reads(), 2);

    // Same length, other samples: only the file's times tell.
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // past any clock tick of the file system
    ASSERT_TRUE(testwav::write(a, testwav::decayingIr(300, 2), 1, 48000));
    const Loaded changed = viaCache(cache, a, 44100.0f);
    EXPECT_EQ(cache.reads(), 3);
    expectSame(changed, direct(a, 44100.0f));
    EXPECT_NE(changed.spectrum, direct(dir.file("missing.wav"), 44100.0f).spectrum);
}

// The cache knows a file by what it holds: a file rewritten with other samples of the same
// size and given its old write time back plays the new IR, and the same bytes under another
// name come from memory.
TEST(IrCache, KnowsAFileByItsContent)
{
    testwav::TempFolder dir("orvex-ircache-content");
    const std::string a = dir.file("a.wav");
    const std::string b = dir.file("b.wav");
    ASSERT_TRUE(testwav::write(a, testwav::decayingIr(300, 1), 1, 48000));
    IrPreparer preparer;
    IrCache cache(preparer);
    const Loaded first = viaCache(cache, a, 44100.0f);
    expectSame(first, direct(a, 44100.0f));

    const WriteTime written(a);
    const auto size = std::filesystem::file_size(a);
    const auto time = std::filesystem::last_write_time(a);
    ASSERT_TRUE(testwav::write(a, testwav::decayingIr(300, 2), 1, 48000));
    ASSERT_TRUE(written.restore());
    ASSERT_EQ(std::filesystem::file_size(a), size);
    ASSERT_EQ(std::filesystem::last_write_time(a), time);
    const Loaded replaced = viaCache(cache, a, 44100.0f);
    expectSame(replaced, direct(a, 44100.0f));
    EXPECT_NE(replaced.spectrum, first.spectrum);
    EXPECT_EQ(cache.reads(), 2);

    std::filesystem::copy_file(a, b);
    expectSame(viaCache(cache, b, 44100.0f), replaced);
    EXPECT_EQ(cache.reads(), 2);
    EXPECT_EQ(cache.hits(), 1);
}

// A file too large to hold in memory (here a WAV file with a long chunk before its samples)
// still loads, from its path as before, and is read again each time rather than remembered.
TEST(IrCache, AFileTooLargeToHoldIsPreparedFromItsPath)
{
    testwav::TempFolder dir("orvex-ircache-large");
    const std::string small = dir.file("small.wav");
    const std::string large = dir.file("large.wav");
    ASSERT_TRUE(testwav::write(small, testwav::decayingIr(200, 3), 1, 48000));
    std::vector<char> bytes;
    {
        std::ifstream in(small, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(bytes.size(), 44u);
    const std::uint32_t junk = static_cast<std::uint32_t>(IrCache::kMaxFileBytes);
    {
        // The header, a "junk" chunk of zeros, then the data chunk of the small file.
        std::ofstream out(large, std::ios::binary);
        out.write(bytes.data(), 36);
        out.write("junk", 4);
        const char size[4] = {static_cast<char>(junk & 0xFF), static_cast<char>((junk >> 8) & 0xFF),
                              static_cast<char>((junk >> 16) & 0xFF), static_cast<char>(junk >> 24)};
        out.write(size, 4);
        out.seekp(static_cast<std::streamoff>(junk), std::ios::cur);
        out.write(bytes.data() + 36, static_cast<std::streamsize>(bytes.size() - 36));
    }
    ASSERT_GT(std::filesystem::file_size(large), IrCache::kMaxFileBytes);
    IrPreparer preparer;
    IrCache cache(preparer);
    const Loaded expected = direct(small, 44100.0f);
    ASSERT_TRUE(expected.accepted);
    ASSERT_GT(expected.length, 0);
    expectSame(viaCache(cache, large, 44100.0f), expected);
    expectSame(viaCache(cache, large, 44100.0f), expected);
    EXPECT_EQ(cache.reads(), 2);
    EXPECT_EQ(cache.hits(), 0);
}

// What is not a regular file is never remembered (each request goes to the preparer,
// which refuses it); the cache keeps at most its capacity, dropping the least recently used.
TEST(IrCache, OnlyRegularFilesAndBoundedByItsCapacity)
{
    testwav::TempFolder dir("orvex-ircache-bound");
    IrPreparer preparer;
    IrCache cache(preparer, 2);

    for (const std::string& odd : {dir.file("missing.wav"), dir.file("")}) {
        const Loaded r = viaCache(cache, odd, 44100.0f);
        EXPECT_FALSE(r.accepted) << odd;
        EXPECT_EQ(r.spectrum, std::vector<double>(kN, 0.0));
    }
    EXPECT_EQ(cache.reads() + cache.hits(), 0);

    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(dir.file("f" + std::to_string(i) + ".wav"));
        ASSERT_TRUE(testwav::write(files.back(), testwav::decayingIr(100 + i, static_cast<unsigned>(i)), 1, 44100));
    }
    viaCache(cache, files[0], 44100.0f);
    viaCache(cache, files[1], 44100.0f);
    viaCache(cache, files[0], 44100.0f); // f0 is now the most recent
    viaCache(cache, files[2], 44100.0f); // drops f1
    EXPECT_EQ(cache.reads(), 3);
    viaCache(cache, files[0], 44100.0f);
    viaCache(cache, files[2], 44100.0f);
    EXPECT_EQ(cache.reads(), 3);
    expectSame(viaCache(cache, files[1], 44100.0f), direct(files[1], 44100.0f));
    EXPECT_EQ(cache.reads(), 4);
}

} // namespace
