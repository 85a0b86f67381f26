#include "files/WavReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <future>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using files::WavReader;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void putId(Bytes& b, const char* id)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(id[i]));
}

// Everything a test may want to vary in a file; defaults give a canonical mono 16-bit file.
struct WavSpec {
    const char* riff = "RIFF";
    const char* wave = "WAVE";
    const char* fmtId = "fmt ";
    std::uint32_t fmtSize = 16;
    std::uint32_t tag = 1;
    std::uint32_t channels = 1;   // written as 16 bits
    std::uint32_t rate = 44100;
    std::uint32_t bits = 16;      // written as 16 bits
    Bytes fmtExtra;               // bytes after the 16-byte body, written as given
    std::vector<std::pair<std::string, Bytes>> chunks; // between format and data, padded
    bool withData = true;
    Bytes data;
    bool overrideDataSize = false;
    std::uint32_t dataSize = 0;   // used when overrideDataSize
};

Bytes build(const WavSpec& s)
{
    Bytes b;
    putId(b, s.riff);
    put32(b, 0); // patched below; readers ignore it anyway
    putId(b, s.wave);
    putId(b, s.fmtId);
    put32(b, s.fmtSize);
    put16(b, s.tag);
    put16(b, s.channels);
    put32(b, s.rate);
    put32(b, s.rate * s.channels * (s.bits / 8));
    put16(b, s.channels * (s.bits / 8));
    put16(b, s.bits);
    b.insert(b.end(), s.fmtExtra.begin(), s.fmtExtra.end());
    for (const auto& c : s.chunks) {
        putId(b, c.first.c_str());
        put32(b, static_cast<std::uint32_t>(c.second.size()));
        b.insert(b.end(), c.second.begin(), c.second.end());
        if (c.second.size() % 2)
            b.push_back(0);
    }
    if (s.withData) {
        putId(b, "data");
        put32(b, s.overrideDataSize ? s.dataSize : static_cast<std::uint32_t>(s.data.size()));
        b.insert(b.end(), s.data.begin(), s.data.end());
    }
    const std::uint32_t riffSize = static_cast<std::uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riffSize, 4); // little-endian hosts only, and it is ignored
    return b;
}

Bytes pcm16(const std::vector<int>& values)
{
    Bytes b;
    for (int v : values)
        put16(b, static_cast<std::uint32_t>(v) & 0xFFFF);
    return b;
}

// 40-byte extensible format body tail: cbSize 22, valid bits, channel mask, GUID.
Bytes extensibleTail(std::uint32_t subFormat, std::uint32_t validBits)
{
    Bytes b;
    put16(b, 22);
    put16(b, validBits);
    put32(b, 4);
    put16(b, subFormat);
    const std::uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                   0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), rest, rest + 14);
    return b;
}

class WavReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("orvex_wav_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string write(const Bytes& bytes)
    {
        const fs::path p = dir_ / ("f" + std::to_string(counter_++) + ".wav");
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

    // Loads and returns loadOk (starting from 1, as the caller does). The same bytes are
    // loaded from memory too, and must give the same answer and the same samples.
    int load(WavReader& r, const Bytes& bytes)
    {
        const std::string path = write(bytes);
        int ok = 1;
        r.load(path.c_str(), ok);
        WavReader m;
        int okInMemory = 1;
        m.loadFromMemory(bytes.empty() ? nullptr : bytes.data(), bytes.size(), okInMemory);
        EXPECT_EQ(okInMemory, ok) << "from memory";
        EXPECT_EQ(m.sampleCount, r.sampleCount) << "from memory";
        EXPECT_EQ(m.samples == nullptr, r.samples == nullptr) << "from memory";
        if (ok == 1 && okInMemory == 1) {
            EXPECT_EQ(m.sampleRate, r.sampleRate) << "from memory";
            EXPECT_EQ(m.bitsPerSample, r.bitsPerSample) << "from memory";
            EXPECT_EQ(m.channels, r.channels) << "from memory";
            const size_t n = static_cast<size_t>(std::min(r.sampleCount, m.sampleCount));
            EXPECT_TRUE(std::equal(r.samples.get(), r.samples.get() + n, m.samples.get())) << "from memory";
        }
        return ok;
    }

    std::vector<double> readAll(WavReader& r)
    {
        std::vector<double> v;
        for (int i = 0; i < r.sampleCount; ++i)
            v.push_back(r.readNext());
        return v;
    }

    void expectRefused(const Bytes& bytes, const char* why)
    {
        WavReader r;
        EXPECT_EQ(load(r, bytes), 0) << why;
        EXPECT_EQ(r.samples, nullptr) << why;
        EXPECT_EQ(r.sampleCount, 0) << why;
        EXPECT_EQ(r.readPosition, 0) << why;
    }

    fs::path dir_;    // private folder of this test
    int counter_ = 0; // file names within it
};

TEST_F(WavReaderTest, DecodesEveryDepthToExactValues)
{
    struct Case {
        const char* name;
        std::uint32_t bits;
        std::uint32_t tag;
        Bytes fmtExtra;
        std::uint32_t fmtSize;
        Bytes data;
        std::vector<double> want;
    };
    Bytes s32, f32;
    for (std::uint32_t v : {0x80000000u, 0x7FFFFFFFu, 0u, 0x40000000u})
        put32(s32, v);
    for (float f : {0.25f, -1.5f, 3.0e-20f}) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        put32(f32, u);
    }
    const std::vector<Case> cases = {
        {"8-bit", 8, 1, {}, 16, {128, 0, 255, 129}, {0.0, -1.0, 0.9921875, 0.0078125}},
        {"16-bit", 16, 1, {}, 16, pcm16({-32768, 32767, 0, 1, -1}),
         {-1.0, 0.999969482421875, 0.0, 1.0 / 32768, -1.0 / 32768}},
        {"24-bit", 24, 1, {}, 16, {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F},
         {128.0 / 8388608, -1.0 / 8388608, -1.0, 8388607.0 / 8388608}},
        {"32-bit PCM", 32, 1, {}, 16, s32, {-1.0, 2147483647.0 / 2147483648.0, 0.0, 0.5}},
        {"32-bit float", 32, 3, {}, 16, f32, {0.25, -1.5, static_cast<double>(3.0e-20f)}},
        {"extensible PCM", 32, 0xFFFE, extensibleTail(1, 32), 40, s32,
         {-1.0, 2147483647.0 / 2147483648.0, 0.0, 0.5}},
        {"extensible float", 32, 0xFFFE, extensibleTail(3, 32), 40, f32,
         {0.25, -1.5, static_cast<double>(3.0e-20f)}},
        // Below 32 bits the tag is not looked at: an extensible 24-bit file is integer PCM.
        {"extensible 24-bit", 24, 0xFFFE, extensibleTail(1, 24), 40, {0x00, 0x00, 0x80},
         {-1.0}},
        {"18-byte format chunk", 16, 1, {0, 0}, 18, pcm16({16384}), {0.5}},
    };
    for (const Case& c : cases) {
        WavSpec s;
        s.bits = c.bits;
        s.tag = c.tag;
        s.fmtExtra = c.fmtExtra;
        s.fmtSize = c.fmtSize;
        s.rate = 48000;
        s.data = c.data;
        WavReader r;
        ASSERT_EQ(load(r, build(s)), 1) << c.name;
        EXPECT_EQ(r.sampleRate, 48000.0) << c.name;
        EXPECT_EQ(r.bitsPerSample, static_cast<int>(c.bits)) << c.name;
        EXPECT_EQ(r.channels, 1) << c.name;
        ASSERT_EQ(r.sampleCount, static_cast<int>(c.want.size())) << c.name;
        EXPECT_EQ(readAll(r), c.want) << c.name;
    }
}

TEST_F(WavReaderTest, SkipsChunksAndKeepsFramesInterleaved)
{
    // A stereo file of 1000 frames behind an odd-sized chunk (with its pad byte), another
    // chunk, and a format chunk with an odd size of its own.
    std::vector<int> values;
    for (int i = 0; i < 1000; ++i) {
        values.push_back(i);
        values.push_back(-i);
    }
    WavSpec s;
    s.channels = 2;
    s.fmtSize = 17;
    s.fmtExtra = {0x55, 0x00}; // one extra byte plus the pad
    s.chunks = {{"LIST", {1, 2, 3, 4, 5}}, {"fact", {0, 0, 0, 0}}};
    s.data = pcm16(values);
    WavReader r;
    ASSERT_EQ(load(r, build(s)), 1);
    EXPECT_EQ(r.channels, 2);
    ASSERT_EQ(r.sampleCount, 2000);
    const std::vector<double> got = readAll(r);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(got[static_cast<size_t>(2 * i)], i / 32768.0) << i;
        ASSERT_EQ(got[static_cast<size_t>(2 * i + 1)], -i / 32768.0) << i;
    }
}

TEST_F(WavReaderTest, ShortOrTruncatedDataYieldsTheWholeSamplesPresent)
{
    {
        WavSpec s; // 7 bytes at 16 bits: the odd byte is not a sample
        s.data = {1, 0, 2, 0, 3, 0, 4};
        WavReader r;
        ASSERT_EQ(load(r, build(s)), 1);
        EXPECT_EQ(r.sampleCount, 3);
    }
    {
        WavSpec s; // claims 100 bytes, holds 7
        s.data = {1, 0, 2, 0, 3, 0, 4};
        s.overrideDataSize = true;
        s.dataSize = 100;
        WavReader r;
        ASSERT_EQ(load(r, build(s)), 1);
        ASSERT_EQ(r.sampleCount, 3);
        EXPECT_EQ(readAll(r), (std::vector<double>{1 / 32768.0, 2 / 32768.0, 3 / 32768.0}));
    }
    {
        WavSpec s; // an empty data chunk loads with nothing to pull
        WavReader r;
        ASSERT_EQ(load(r, build(s)), 1);
        EXPECT_EQ(r.sampleCount, 0);
    }
}

// A format body stated as 1 or 15 bytes is read as 16, and the next chunk follows those
// 16 bytes directly; a longer odd body is followed by its pad byte.
TEST_F(WavReaderTest, FormatBodiesShorterThanSixteenAreReadAsSixteen)
{
    for (std::uint32_t size : {0u, 1u, 14u, 15u, 16u, 17u}) {
        SCOPED_TRACE(size);
        WavSpec s;
        s.fmtSize = size;
        if (size == 17)
            s.fmtExtra = {7, 0}; // one byte of body, one pad byte
        s.data = pcm16({5, -6});
        WavReader r;
        ASSERT_EQ(load(r, build(s)), 1);
        EXPECT_EQ(readAll(r), (std::vector<double>{5 / 32768.0, -6 / 32768.0}));
    }
}

// The size limit is on the bytes a file holds: a header that claims more than the limit
// over a few bytes of data loads them, a file that really holds more is refused.
TEST_F(WavReaderTest, TheSizeLimitAppliesToTheBytesPresent)
{
    WavSpec s;
    s.data = pcm16({1, 2, 3});
    s.overrideDataSize = true;
    for (std::uint32_t claimed : {static_cast<std::uint32_t>(WavReader::kMaxDataBytes) + 2, 0x7FFFFFFEu}) {
        s.dataSize = claimed;
        WavReader r;
        ASSERT_EQ(load(r, build(s)), 1) << claimed;
        EXPECT_EQ(r.sampleCount, 3);
    }
    // A real data chunk one sample past the limit (sparse where the file system allows).
    WavSpec big;
    big.withData = false;
    Bytes header = build(big);
    putId(header, "data");
    put32(header, static_cast<std::uint32_t>(WavReader::kMaxDataBytes) + 2);
    const std::string path = write(header);
    fs::resize_file(path, header.size() + static_cast<std::uintmax_t>(WavReader::kMaxDataBytes) + 2);
    WavReader r;
    int ok = 1;
    r.load(path.c_str(), ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(r.samples, nullptr);
}

TEST_F(WavReaderTest, RefusesMalformedHeaders)
{
    WavSpec good;
    good.data = pcm16({1, 2, 3});
    const Bytes canonical = build(good);

    expectRefused({}, "zero-length file");
    expectRefused(Bytes(canonical.begin(), canonical.begin() + 35), "35-byte file");
    {
        WavSpec s = good;
        s.riff = "RIFX";
        expectRefused(build(s), "big-endian RIFX");
        s.riff = "RF64";
        expectRefused(build(s), "RF64");
    }
    {
        WavSpec s = good;
        s.wave = "AVI ";
        expectRefused(build(s), "not WAVE");
    }
    {
        // The format chunk must come first.
        Bytes b;
        putId(b, "RIFF");
        put32(b, 100);
        putId(b, "WAVE");
        putId(b, "LIST");
        put32(b, 4);
        put32(b, 0);
        Bytes rest = build(good);
        b.insert(b.end(), rest.begin() + 12, rest.end());
        expectRefused(b, "format chunk not first");
    }
    for (std::uint32_t bits : {0u, 4u, 12u, 20u, 64u}) {
        WavSpec s = good;
        s.bits = bits;
        expectRefused(build(s), ("bits " + std::to_string(bits)).c_str());
    }
    for (std::uint32_t ch : {0u, 0xFFFFu /* -1 */, 0x8000u}) {
        WavSpec s = good;
        s.channels = ch;
        expectRefused(build(s), ("channels " + std::to_string(ch)).c_str());
    }
    for (std::uint32_t rate : {0u, 0xFFFFFFFFu}) {
        WavSpec s = good;
        s.rate = rate;
        expectRefused(build(s), ("rate " + std::to_string(rate)).c_str());
    }
    {
        WavSpec s = good;
        s.bits = 32;
        s.tag = 2; // ADPCM has no 32-bit decoding
        s.data = Bytes(8, 0);
        expectRefused(build(s), "32-bit tag 2");
        s.tag = 0xFFFE;
        s.fmtSize = 40;
        s.fmtExtra = extensibleTail(2, 32);
        expectRefused(build(s), "extensible, ADPCM sub-format");
        s.fmtSize = 18;
        s.fmtExtra = {0, 0};
        expectRefused(build(s), "extensible without its extension");
    }
    {
        WavSpec s = good;
        s.fmtSize = 1000; // the format chunk runs past the end
        expectRefused(build(s), "format chunk past the end");
    }
}

TEST_F(WavReaderTest, RefusesBrokenChunksAndData)
{
    WavSpec good;
    good.data = pcm16({1, 2, 3});
    {
        WavSpec s = good;
        s.withData = false;
        s.chunks = {{"LIST", {1, 2, 3, 4}}};
        expectRefused(build(s), "no data chunk");
    }
    {
        Bytes b = build(good);
        b.resize(b.size() - 6 - 4); // cut inside the data chunk header
        expectRefused(b, "data header cut short");
    }
    {
        // A chunk before "data" whose size runs past the end of the file.
        WavSpec s = good;
        s.withData = false;
        Bytes b = build(s);
        putId(b, "junk");
        put32(b, 0x7FFFFFF0u);
        Bytes tail = pcm16({1, 2});
        b.insert(b.end(), tail.begin(), tail.end());
        expectRefused(b, "chunk size past the end");
    }
    {
        WavSpec s = good;
        s.overrideDataSize = true;
        s.dataSize = 0x80000000u; // negative as a signed size
        expectRefused(build(s), "negative data size");
        s.dataSize = 0xFFFFFFFEu;
        expectRefused(build(s), "data size near 4 GiB");
    }
    {
        WavSpec s = good;
        s.bits = 32;
        s.tag = 3;
        s.data.clear();
        for (std::uint32_t u : {0x3F800000u, 0x7FC00000u /* NaN */}) // 1.0f, NaN
            put32(s.data, u);
        expectRefused(build(s), "NaN sample");
        s.data.clear();
        put32(s.data, 0x7F800000u); // +inf
        expectRefused(build(s), "infinite sample");
    }
    {
        WavReader r;
        int ok = 1;
        r.load((fs::path(dir_) / "missing.wav").string().c_str(), ok);
        EXPECT_EQ(ok, 0);
        r.load(nullptr, ok);
        EXPECT_EQ(ok, 0);
    }
}

TEST_F(WavReaderTest, ReloadingAfterAFailureForgetsTheOldSamples)
{
    WavSpec s;
    s.data = pcm16({100, 200});
    WavReader r;
    ASSERT_EQ(load(r, build(s)), 1);
    EXPECT_EQ(r.readNext(), 100 / 32768.0);
    s.bits = 12;
    EXPECT_EQ(load(r, build(s)), 0);
    EXPECT_EQ(r.samples, nullptr);
    EXPECT_EQ(r.sampleCount, 0);
    EXPECT_EQ(r.readPosition, 0);
}

TEST_F(WavReaderTest, ReadingPastTheEndAnswersZeroAndNeverEndsTheProcess)
{
    WavSpec s;
    s.data = pcm16({16384});
    WavReader r;
    ASSERT_EQ(load(r, build(s)), 1);
    EXPECT_EQ(r.readNext(), 0.5);
    // Checked builds stop at the assertion; release builds answer 0.0 and stay put.
    [[maybe_unused]] double past = 1.0;
    EXPECT_DEBUG_DEATH(past = r.readNext(), "");
#ifdef NDEBUG
    EXPECT_EQ(past, 0.0);
    EXPECT_EQ(r.readPosition, 1);
#endif

    WavReader empty;
    [[maybe_unused]] double none = 1.0;
    EXPECT_DEBUG_DEATH(none = empty.readNext(), "");
#ifdef NDEBUG
    EXPECT_EQ(none, 0.0);
    EXPECT_EQ(empty.readPosition, 0);
#endif
}

} // namespace

// A saved state may name something that is not a regular file. Each is refused, and none
// may make the load wait: a FIFO without a writer would block an ordinary open for good.
TEST_F(WavReaderTest, RefusesWhatIsNotARegularFileWithoutWaiting)
{
    std::vector<std::string> paths = {dir_.string()};
#if !defined(_WIN32)
    const std::string fifo = (dir_ / "pipe.wav").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    paths.push_back(fifo);
    paths.push_back("/dev/zero");
#endif
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        auto done = std::async(std::launch::async, [&] {
            WavReader r;
            int ok = 1;
            r.load(path.c_str(), ok);
            return ok;
        });
        if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the load waits";
#if !defined(_WIN32)
            // Let a reader stuck on the FIFO go: a writer arrives and leaves.
            const int fd = ::open(path.c_str(), O_WRONLY);
            if (fd >= 0)
                ::close(fd);
#endif
        }
        EXPECT_EQ(done.get(), 0);
    }
}
