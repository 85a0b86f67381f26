// `orvex render --ir` warns that a cab is silent exactly when the cab renders silent: over
// WAV files of every kind the plug-in reads (depths, float, extensible, stereo, other rates,
// leading silence) and damaged variants of them (cut short at every part of the header and
// in the data, a byte of the header changed, a NaN sample). The verdict is the plug-in's;
// what it plays is measured, not predicted.
#include "ProcessRunner.h"
#include "TempFolder.h"
#include "TestAudio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A decaying burst of `frames` samples in the given encoding, interleaved over `channels`,
// with `silentLead` zero frames first; channels after the first carry half the level.
Bytes samples(int bits, bool isFloat, int channels, int frames, int silentLead)
{
    Bytes out;
    for (int f = 0; f < silentLead + frames; ++f) {
        const double base = f < silentLead ? 0.0 : 0.7 * std::exp(-0.01 * (f - silentLead)) * ((f % 2) ? -1.0 : 1.0);
        for (int c = 0; c < channels; ++c) {
            const double v = c == 0 ? base : 0.5 * base;
            if (isFloat) {
                const float x = static_cast<float>(v);
                unsigned char b[4];
                std::memcpy(b, &x, 4);
                out.insert(out.end(), b, b + 4);
            } else if (bits == 8) {
                out.push_back(static_cast<unsigned char>(128 + static_cast<int>(v * 127.0)));
            } else {
                const std::int64_t scaled = static_cast<std::int64_t>(v * ((1LL << (bits - 1)) - 1));
                for (int i = 0; i < bits / 8; ++i)
                    out.push_back(static_cast<unsigned char>((scaled >> (8 * i)) & 0xFF));
            }
        }
    }
    return out;
}

struct Base {
    std::string name;
    Bytes bytes;
    std::size_t dataStart; // offset of the first sample byte
};

Base wav(const std::string& name, std::uint16_t tag, int bits, int channels, std::uint32_t rate, bool extensible,
         int silentLead = 0)
{
    const bool isFloat = tag == 3;
    WavBytes fmt;
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    fmt.id("fmt ").u32(extensible ? 40 : 16).u16(extensible ? 0xFFFE : tag).u16(static_cast<std::uint16_t>(channels));
    fmt.u32(rate).u32(rate * blockAlign).u16(blockAlign).u16(static_cast<std::uint16_t>(bits));
    if (extensible) {
        fmt.u16(22).u16(static_cast<std::uint16_t>(bits)).u32(channels == 1 ? 4u : 3u).u16(tag);
        fmt.raw({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    }
    Bytes body = fmt.bytes();
    const Bytes data = WavBytes::chunk("data", samples(bits, isFloat, channels, 400, silentLead));
    body.insert(body.end(), data.begin(), data.end());
    const Bytes file = WavBytes::riff(body);
    return Base{name, file, 12 + fmt.bytes().size() + 8};
}

class SilentCab : public testing::Test {
protected:
    ProcessResult orvex(const std::vector<std::string>& args)
    {
        return ProcessRunner::run(ORVEX_CLI, args, m_folder.path());
    }
    std::string file(const std::string& name) const { return m_folder.file(name); }

    TempFolder m_folder;
};

} // namespace

TEST_F(SilentCab, TheWarningComesExactlyWhenTheCabRendersSilent)
{
#ifdef ORVEX_PLUGIN
    // An impulse into cab 1 alone, at full level: the output is the cab's IR, or silence.
    std::vector<float> impulse(4096, 0.0f);
    impulse[0] = 1.0f;
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), {impulse, impulse}, 44100));

    const std::vector<Base> bases = {
        wav("pcm8", 1, 8, 1, 44100, false),          wav("pcm16", 1, 16, 1, 44100, false),
        wav("pcm24-stereo", 1, 24, 2, 44100, false), wav("pcm32", 1, 32, 1, 44100, false),
        wav("float", 3, 32, 1, 44100, false),        wav("ext24-stereo", 1, 24, 2, 48000, true),
        wav("ext-float", 3, 32, 1, 96000, true),     wav("lead-silence", 1, 16, 1, 44100, false, 300),
    };
    struct Variant {
        std::string name;
        Bytes bytes;
    };
    std::vector<Variant> variants;
    for (const Base& b : bases) {
        variants.push_back({b.name, b.bytes});
        // Cut short inside the RIFF header, the format chunk, the data chunk's header, and
        // after the first samples.
        for (std::size_t cut : {std::size_t{6}, std::size_t{20}, b.dataStart - 4, b.dataStart + 3, b.dataStart + 40})
            variants.push_back({b.name + "-cut" + std::to_string(cut), Bytes(b.bytes.begin(), b.bytes.begin() + cut)});
        // One header byte changed: the RIFF and WAVE tags, the format tag, the channel count,
        // the rate, the depth, the data tag.
        for (std::size_t at : {std::size_t{0}, std::size_t{8}, std::size_t{20}, std::size_t{22}, std::size_t{25},
                               std::size_t{34}, b.dataStart - 8}) {
            Bytes damaged = b.bytes;
            damaged[at] ^= 0x5A;
            variants.push_back({b.name + "-byte" + std::to_string(at), damaged});
        }
    }
    Base nan = wav("float-nan", 3, 32, 1, 44100, false);
    const float bad = std::nanf("");
    std::memcpy(nan.bytes.data() + nan.dataStart + 40, &bad, 4);
    variants.push_back({nan.name, nan.bytes});
    // The first channel (the one a cab plays) silent, the second loud.
    Base rightOnly = wav("right-only", 3, 32, 2, 44100, false);
    for (std::size_t i = rightOnly.dataStart; i + 8 <= rightOnly.bytes.size(); i += 8)
        std::memset(rightOnly.bytes.data() + i, 0, 4);
    variants.push_back({rightOnly.name, rightOnly.bytes});

    int silentCount = 0;
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        const std::string ir = file(v.name + ".wav");
        TestAudio::writeBytes(ir, v.bytes);
        const ProcessResult r = orvex({"render", ORVEX_PLUGIN, "--in", file("in.wav"), "--out", file("out.wav"),
                                       "--ir", "1=" + ir, "--set", "Volume1=1", "--set", "Output=1"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Channels out;
        std::uint32_t rate = 0;
        ASSERT_TRUE(TestAudio::read(file("out.wav"), out, rate));
        double peak = 0.0;
        for (const auto& channel : out)
            for (float x : channel)
                peak = std::fmax(peak, std::fabs(static_cast<double>(x)));
        const bool warned = r.err.find("cab 1 is silent") != std::string::npos;
        EXPECT_EQ(warned, peak == 0.0) << "peak " << peak << "; stderr: " << r.err;
        silentCount += peak == 0.0 ? 1 : 0;
    }
    // Both kinds are there: files the plug-in plays, and files it leaves silent.
    EXPECT_GT(silentCount, 10);
    EXPECT_LT(silentCount, static_cast<int>(variants.size()) - 10);
#else
    GTEST_SKIP() << "the plug-in is not part of this build";
#endif
}
