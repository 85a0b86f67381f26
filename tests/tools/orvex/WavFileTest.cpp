#include "TempFolder.h"
#include "TestAudio.h"
#include "WavFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>

using cli::WavFile;
using testing::HasSubstr;

namespace {

// Reads all of `path` in blocks of the given sizes (cycled), as the render loop does.
Channels readInBlocks(const std::string& path, const std::vector<std::int64_t>& blocks)
{
    WavFile file;
    std::string error;
    EXPECT_TRUE(file.openRead(path, error)) << error;
    Channels channels(static_cast<std::size_t>(file.channels()));
    std::vector<std::vector<float>> block(channels.size());
    for (std::size_t turn = 0;; ++turn) {
        const std::int64_t want = blocks[turn % blocks.size()];
        std::vector<float*> pointers;
        for (auto& b : block) {
            b.assign(static_cast<std::size_t>(want), 0.0f);
            pointers.push_back(b.data());
        }
        const std::int64_t got = file.read(pointers.data(), want, error);
        EXPECT_GE(got, 0) << error;
        if (got <= 0)
            break;
        for (std::size_t c = 0; c < channels.size(); ++c)
            channels[c].insert(channels[c].end(), block[c].begin(), block[c].begin() + got);
    }
    return channels;
}

std::uint32_t bitsOf(float x)
{
    std::uint32_t b = 0;
    std::memcpy(&b, &x, sizeof(b));
    return b;
}

} // namespace

TEST(WavFile, FloatRoundTripIsBitExactForOneTwoAndManyChannels)
{
    TempFolder folder;
    for (int channelCount : {1, 2, 3, 6}) {
        Channels written;
        for (int c = 0; c < channelCount; ++c) {
            std::vector<float> x = TestAudio::noise(static_cast<std::uint32_t>(17 + c), 1.0, 1001);
            x[0] = -1.0f;
            x[1] = 1.0f;
            x[2] = std::numeric_limits<float>::denorm_min();
            x[3] = -0.0f;
            x[4] = static_cast<float>(c);
            written.push_back(x);
        }
        const std::string path = folder.file("round" + std::to_string(channelCount) + ".wav");
        ASSERT_TRUE(TestAudio::writeFloat(path, written, 96000));

        WavFile probe;
        std::string error;
        ASSERT_TRUE(probe.openRead(path, error)) << error;
        EXPECT_EQ(probe.channels(), channelCount);
        EXPECT_EQ(probe.sampleRate(), 96000u);
        EXPECT_EQ(probe.frames(), 1001);
        EXPECT_EQ(probe.encoding(), WavFile::Encoding::float32);
        probe.close();

        // Odd block partitions must deliver the same samples in the same order.
        for (const auto& blocks : {std::vector<std::int64_t>{1001}, {1}, {47, 1, 512}}) {
            const Channels read = readInBlocks(path, blocks);
            ASSERT_EQ(read.size(), written.size());
            for (std::size_t c = 0; c < written.size(); ++c) {
                ASSERT_EQ(read[c].size(), written[c].size());
                for (std::size_t i = 0; i < written[c].size(); ++i)
                    ASSERT_EQ(bitsOf(read[c][i]), bitsOf(written[c][i])) << "channel " << c << " frame " << i;
            }
        }
    }
}

TEST(WavFile, EmptyDataRoundTrips)
{
    TempFolder folder;
    const std::string path = folder.file("empty.wav");
    WavFile out;
    std::string error;
    ASSERT_TRUE(out.openWrite(path, 2, 44100, error)) << error;
    ASSERT_TRUE(out.finish(error)) << error;
    WavFile in;
    ASSERT_TRUE(in.openRead(path, error)) << error;
    EXPECT_EQ(in.frames(), 0);
    float a = 0.0f, b = 0.0f;
    float* pointers[] = {&a, &b};
    EXPECT_EQ(in.read(pointers, 1, error), 0);
}

TEST(WavFile, AbandonedWriteLeavesAnEarlierFileAndNoLeftovers)
{
    TempFolder folder;
    const std::string path = folder.file("keep.wav");
    ASSERT_TRUE(TestAudio::writeFloat(path, {{0.25f, 0.5f}}, 48000));
    {
        WavFile out;
        std::string error;
        ASSERT_TRUE(out.openWrite(path, 1, 48000, error)) << error;
        const float x[3] = {1.0f, 1.0f, 1.0f};
        const float* pointers[] = {x};
        ASSERT_TRUE(out.write(pointers, 3, error)) << error;
        // Going out of scope without finish(), as after a failed render.
    }
    Channels read;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(path, read, rate));
    EXPECT_EQ(read, (Channels{{0.25f, 0.5f}}));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(WavFile, DecodesEveryIntegerDepthToFullScale)
{
    TempFolder folder;
    struct Case {
        std::uint16_t bits;
        std::vector<unsigned char> data; // one mono sample after another
        std::vector<float> expected;
    };
    const Case cases[] = {
        {8, {0x00, 0x80, 0xff}, {-1.0f, 0.0f, 0.9921875f}},
        {16, {0x00, 0x80, 0xff, 0x7f, 0x00, 0x00, 0xff, 0xff}, {-1.0f, 0.999969482421875f, 0.0f, -1.0f / 32768}},
        {24, {0x00, 0x00, 0x80, 0x80, 0x00, 0x00, 0xff, 0xff, 0x7f}, {-1.0f, 128.0f / 8388608, 8388607.0f / 8388608}},
        {32, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40, 0xff, 0xff, 0xff, 0xff}, {-1.0f, 0.5f, -1.0f / 2147483648.0f}},
    };
    for (const Case& c : cases) {
        const std::string path = folder.file("pcm" + std::to_string(c.bits) + ".wav");
        WavBytes body;
        body.raw(WavBytes::format(1, 1, 22050, c.bits)).raw(WavBytes::chunk("data", c.data));
        TestAudio::writeBytes(path, WavBytes::riff(body.bytes()));
        Channels read;
        std::uint32_t rate = 0;
        ASSERT_TRUE(TestAudio::read(path, read, rate)) << c.bits << " bits";
        EXPECT_EQ(rate, 22050u);
        EXPECT_EQ(read, (Channels{c.expected})) << c.bits << " bits";
    }
}

TEST(WavFile, StereoIsDeinterleavedAndDoubleFloatNarrowed)
{
    TempFolder folder;
    // 16-bit stereo: left 0x4000 (0.5), right 0xc000 (-0.5), then left 0, right 1.
    WavBytes body;
    body.raw(WavBytes::format(1, 2, 44100, 16)).raw(WavBytes::chunk("data", {0x00, 0x40, 0x00, 0xc0, 0, 0, 1, 0}));
    TestAudio::writeBytes(folder.file("s16.wav"), WavBytes::riff(body.bytes()));
    Channels read;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(folder.file("s16.wav"), read, rate));
    EXPECT_EQ(read, (Channels{{0.5f, 0.0f}, {-0.5f, 1.0f / 32768}}));

    // 64-bit float, mono: 0.25 and -2 (out-of-range values are kept, not clipped).
    std::vector<unsigned char> data;
    for (double v : {0.25, -2.0}) {
        std::uint64_t b = 0;
        std::memcpy(&b, &v, sizeof(b));
        for (int i = 0; i < 8; ++i)
            data.push_back(static_cast<unsigned char>(b >> (8 * i)));
    }
    WavBytes wide;
    wide.raw(WavBytes::format(3, 1, 8000, 64)).raw(WavBytes::chunk("data", data));
    TestAudio::writeBytes(folder.file("f64.wav"), WavBytes::riff(wide.bytes()));
    ASSERT_TRUE(TestAudio::read(folder.file("f64.wav"), read, rate));
    EXPECT_EQ(read, (Channels{{0.25f, -2.0f}}));
}

TEST(WavFile, ExtensibleFormatIsDecodedBySubFormat)
{
    TempFolder folder;
    auto extensible = [](std::uint16_t subTag, std::uint16_t containerBits, std::uint16_t validBits) {
        const std::uint16_t align = containerBits / 8;
        WavBytes fmt;
        fmt.u16(0xfffe).u16(1).u32(48000).u32(48000u * align).u16(align).u16(containerBits);
        fmt.u16(22).u16(validBits).u32(4); // channel mask: front centre
        fmt.u16(subTag).raw({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71});
        return WavBytes::chunk("fmt ", fmt.bytes());
    };
    // 24 valid bits in a 32-bit container: decoded by the container.
    WavBytes pcm;
    pcm.raw(extensible(1, 32, 24)).raw(WavBytes::chunk("data", {0x00, 0x00, 0x00, 0x40}));
    TestAudio::writeBytes(folder.file("x24.wav"), WavBytes::riff(pcm.bytes()));
    Channels read;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(folder.file("x24.wav"), read, rate));
    EXPECT_EQ(read, (Channels{{0.5f}}));

    WavBytes flt;
    flt.raw(extensible(3, 32, 32)).raw(WavBytes::chunk("data", {0x00, 0x00, 0x80, 0xbe}));
    TestAudio::writeBytes(folder.file("xf.wav"), WavBytes::riff(flt.bytes()));
    ASSERT_TRUE(TestAudio::read(folder.file("xf.wav"), read, rate));
    EXPECT_EQ(read, (Channels{{-0.25f}}));

    // An unknown sub-format (ADPCM) is refused, not misread.
    WavBytes adpcm;
    adpcm.raw(extensible(2, 16, 16)).raw(WavBytes::chunk("data", {0, 0}));
    TestAudio::writeBytes(folder.file("xa.wav"), WavBytes::riff(adpcm.bytes()));
    WavFile file;
    std::string error;
    EXPECT_FALSE(file.openRead(folder.file("xa.wav"), error));
    EXPECT_THAT(error, HasSubstr("format tag 0x0002"));
}

TEST(WavFile, UnknownChunksAnywhereAreSkipped)
{
    TempFolder folder;
    const std::vector<unsigned char> data = WavBytes::chunk("data", {0x00, 0x40});
    const std::vector<unsigned char> fmt = WavBytes::format(1, 1, 44100, 16);
    const std::vector<unsigned char> odd = WavBytes::chunk("junk", {1, 2, 3}); // padded to 4
    const std::vector<std::vector<std::vector<unsigned char>>> layouts = {
        {WavBytes::chunk("LIST", {'I', 'N', 'F', 'O'}), fmt, odd, data},
        {fmt, data, WavBytes::chunk("cue ", {0, 0, 0, 0})},
        {odd, data, WavBytes::chunk("bext", std::vector<unsigned char>(33, 7)), fmt}, // format after data
        {fmt, WavBytes::chunk("fmt2", std::vector<unsigned char>(16, 0)), data},
    };
    int n = 0;
    for (const auto& layout : layouts) {
        WavBytes body;
        for (const auto& chunk : layout)
            body.raw(chunk);
        const std::string path = folder.file("layout" + std::to_string(n++) + ".wav");
        TestAudio::writeBytes(path, WavBytes::riff(body.bytes()));
        Channels read;
        std::uint32_t rate = 0;
        ASSERT_TRUE(TestAudio::read(path, read, rate)) << "layout " << n - 1;
        EXPECT_EQ(read, (Channels{{0.5f}})) << "layout " << n - 1;
    }
}

TEST(WavFile, BrokenOrUnsupportedFilesAreRefusedWithAReason)
{
    TempFolder folder;
    const std::vector<unsigned char> fmt = WavBytes::format(1, 1, 44100, 16);
    const std::vector<unsigned char> data = WavBytes::chunk("data", {0, 0, 0, 0});
    auto riff = [](std::initializer_list<std::vector<unsigned char>> chunks) {
        WavBytes body;
        for (const auto& chunk : chunks)
            body.raw(chunk);
        return WavBytes::riff(body.bytes());
    };
    auto withFormat = [&](std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
        return riff({WavBytes::format(tag, channels, rate, bits), data});
    };
    std::vector<unsigned char> misaligned = fmt;
    misaligned[20] = 4; // block align of 4 for mono 16-bit
    std::vector<unsigned char> truncated = riff({fmt, WavBytes::chunk("data", std::vector<unsigned char>(100, 0))});
    truncated.resize(truncated.size() - 10);
    std::vector<unsigned char> bigEndian = riff({fmt, data});
    std::memcpy(bigEndian.data(), "RIFX", 4);
    std::vector<unsigned char> rf64 = riff({fmt, data});
    std::memcpy(rf64.data(), "RF64", 4);
    std::vector<unsigned char> avi = riff({fmt, data});
    std::memcpy(avi.data() + 8, "AVI ", 4);

    const struct {
        const char* name;
        std::vector<unsigned char> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "shorter than a RIFF header"},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}, "no RIFF header"},
        {"rifx", bigEndian, "RIFX"},
        {"rf64", rf64, "RF64"},
        {"avi", avi, "not WAVE"},
        {"no format", riff({data}), "no format chunk"},
        {"no data", riff({fmt}), "no data chunk"},
        {"short format", riff({WavBytes::chunk("fmt ", std::vector<unsigned char>(14, 1)), data}), "too short"},
        {"12-bit", withFormat(1, 1, 44100, 12), "12-bit integer PCM"},
        {"16-bit float", withFormat(3, 1, 44100, 16), "16-bit float"},
        {"a-law", withFormat(6, 1, 44100, 8), "format tag 0x0006"},
        {"no channels", withFormat(1, 0, 44100, 16), "0 channels"},
        {"too many channels", withFormat(1, 65, 44100, 16), "65 channels"},
        {"no rate", withFormat(1, 1, 0, 16), "sample rate 0"},
        {"block align", riff({misaligned, data}), "block align 4"},
        {"truncated data", truncated, "truncated"},
        {"partial frame", riff({WavBytes::format(1, 2, 44100, 16), WavBytes::chunk("data", {0, 0, 0, 0, 0, 0})}),
         "whole number of frames"},
        {"overlong chunk", riff({fmt, WavBytes().id("LIST").u32(1000).bytes()}), "'LIST' runs past the end"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.file("broken.wav");
        TestAudio::writeBytes(path, c.bytes);
        WavFile file;
        std::string error;
        EXPECT_FALSE(file.openRead(path, error)) << c.name;
        EXPECT_THAT(error, HasSubstr(c.reason)) << c.name;
        EXPECT_EQ(file.channels(), 0) << c.name;
        float x = 0.0f;
        float* pointers[] = {&x};
        EXPECT_EQ(file.read(pointers, 1, error), -1) << c.name;
    }

    WavFile file;
    std::string error;
    EXPECT_FALSE(file.openRead(folder.file("missing.wav"), error));
    EXPECT_THAT(error, HasSubstr("cannot open"));
    EXPECT_FALSE(file.openRead(folder.path(), error));
}

TEST(WavFile, WriterRefusesImpossibleFormats)
{
    TempFolder folder;
    WavFile file;
    std::string error;
    EXPECT_FALSE(file.openWrite(folder.file("a.wav"), 0, 44100, error));
    EXPECT_FALSE(file.openWrite(folder.file("a.wav"), 65, 44100, error));
    EXPECT_FALSE(file.openWrite(folder.file("a.wav"), 2, 0, error));
    EXPECT_FALSE(file.openWrite(folder.file("no-such-folder/a.wav"), 2, 44100, error));
    EXPECT_THAT(error, HasSubstr("cannot create"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("a.wav")));
}
