// The built plug-in as a host meets it: loaded through the ABI by the built orvex host,
// state restored from a chunk made of program records, real cabinet IRs rendered and
// compared with a direct convolution computed here.
#include "ProcessRunner.h"
#include "TempFolder.h"
#include "WavFile.h"

#include "effect/ProgramRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kCli = ORVEX_CLI;
const std::string kPlugin = ORVEX_PLUGIN;
const std::string kIrs = ORVEX_IRS;

// A plain reader for the IR files, independent of the plug-in's: mono or first channel of
// 16- or 24-bit PCM, chunks walked in order.
std::vector<double> readIr(const std::string& path, int& rate)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    auto u32 = [&](size_t at) {
        return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                          static_cast<std::uint32_t>(bytes[at + 3]) << 24);
    };
    auto u16 = [&](size_t at) { return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    int channels = 0, bits = 0;
    std::vector<double> out;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(reinterpret_cast<const char*>(&bytes[at]), 4);
        const std::uint32_t size = u32(at + 4);
        if (id == "fmt ") {
            channels = u16(at + 10);
            rate = static_cast<int>(u32(at + 12));
            bits = u16(at + 22);
        } else if (id == "data") {
            const int step = bits / 8 * channels;
            for (size_t p = at + 8; p + static_cast<size_t>(step) <= at + 8 + size && p + 3 <= bytes.size();
                 p += static_cast<size_t>(step)) {
                if (bits == 16)
                    out.push_back(static_cast<std::int16_t>(u16(p)) / 32768.0);
                else if (bits == 24)
                    out.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[p]) << 8 |
                                                            static_cast<std::uint32_t>(bytes[p + 1]) << 16 |
                                                            static_cast<std::uint32_t>(bytes[p + 2]) << 24) /
                                  2147483648.0);
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

// What the plug-in makes of an IR at a 44.1 kHz host with FFT size 2048: leading near-silence
// dropped, cut to 1024 samples, scaled so that the loudest bin of its 2048-point spectrum
// has magnitude 1 (computed here by a direct DFT).
std::vector<double> normalisedIr(std::vector<double> h)
{
    const auto first = std::find_if(h.begin(), h.end(), [](double v) { return std::fabs(v) > 1e-10; });
    h.erase(h.begin(), first);
    if (h.size() > 1024)
        h.resize(1024);
    long double peak = 0;
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int k = 0; k <= 1024; ++k) {
        long double re = 0, im = 0;
        for (size_t n = 0; n < h.size(); ++n) {
            const long double a = 2 * pi * k * static_cast<long double>(n) / 2048;
            re += h[n] * std::cos(a);
            im -= h[n] * std::sin(a);
        }
        peak = std::max(peak, std::sqrt(re * re + im * im));
    }
    for (double& v : h)
        v = static_cast<double>(v / peak);
    return h;
}

bool writeFloatWav(const std::string& path, const std::vector<float>& x)
{
    cli::WavFile wav;
    std::string error;
    const float* channels[1] = {x.data()};
    return wav.openWrite(path, 1, 44100, error) && wav.write(channels, static_cast<std::int64_t>(x.size()), error) &&
           wav.finish(error);
}

std::vector<std::vector<float>> readWav(const std::string& path)
{
    cli::WavFile wav;
    std::string error;
    if (!wav.openRead(path, error))
        return {};
    std::vector<std::vector<float>> out(static_cast<size_t>(wav.channels()),
                                        std::vector<float>(static_cast<size_t>(wav.frames())));
    std::vector<float*> ptrs;
    for (auto& c : out)
        ptrs.push_back(c.data());
    wav.read(ptrs.data(), wav.frames(), error);
    return out;
}

std::string splitFolder(const std::string& path, std::string& name)
{
    const std::size_t sep = path.find_last_of("/\\");
    name = path.substr(sep + 1);
    return path.substr(0, sep + 1);
}

} // namespace

TEST(PluginThroughHost, InfoShowsIdentityAndTheFreshParameterTable)
{
    TempFolder scratch;
    const ProcessResult r = ProcessRunner::run(kCli, {"info", kPlugin}, scratch.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* expected : {"magic:           VstP", "programs:        10", "parameters:      86",
                                 "inputs:          2", "outputs:         2", "flags:           0x31",
                                 "editor:          850 x 520",
                                 "unique ID:       OVX2", "Tavrin_Orvex2_Dud1", "Dumek Plugins", "Phase1", "NORM",
                                 "0.500", "<C>", "OFF", "1.5 ms", "0 smp", "LEFT", "Blend IR2&4", "Previous cab1"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
}

TEST(PluginThroughHost, RenderedCabinetEqualsDirectConvolution)
{
    // Cabinet IRs: guitarix's amp cabinets (24-bit) and a short rakarrack cabinet (16-bit).
    std::vector<std::string> irFiles;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(kIrs + "/guitarix", ec))
        irFiles.push_back(e.path().string());
    std::sort(irFiles.begin(), irFiles.end());
    if (irFiles.size() < 2 || !std::filesystem::exists(kIrs + "/rakarrack/4.wav"))
        GTEST_SKIP() << "no cabinet IRs under " << kIrs << " (the fetch fixture did not run)";
    irFiles.resize(2);
    irFiles.push_back(kIrs + "/rakarrack/4.wav");

    TempFolder scratch;
    // A second of noise bursts: broadband, so every part of the IR shows.
    std::vector<float> x(44100, 0.0f);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = (i / 2000) % 2 ? dist(rng) : 0.0f;
    const std::string dry = scratch.file("dry.wav");
    ASSERT_TRUE(writeFloatWav(dry, x));

    const struct {
        size_t ir;     // which of the sorted IR files
        float latency; // "Latency"
        int hop;       // what it means
        int block;     // host block size
    } cases[] = {{0, 0.0f, 64, 480}, {1, 1.0f, 512, 333}, {2, 0.3f, 128, 1024}};

    for (const auto& c : cases) {
        const std::string& irPath = irFiles[c.ir];
        int rate = 0;
        const std::vector<double> h = normalisedIr(readIr(irPath, rate));
        ASSERT_EQ(rate, 44100) << irPath;
        ASSERT_GT(h.size(), 16u) << irPath;

        std::vector<orvex::ProgramRecord> bank(10);
        for (auto& rec : bank)
            rec.makeFresh();
        std::string name;
        const std::string folder = splitFolder(irPath, name);
        std::snprintf(bank[0].folder[0], sizeof bank[0].folder[0], "%s", folder.c_str());
        std::snprintf(bank[0].fileName[0], sizeof bank[0].fileName[0], "%s", name.c_str());
        bank[0].values[orvex::kRecBypass + 0] = 1.0f;
        bank[0].values[orvex::kRecVolume + 0] = 1.0f;
        bank[0].values[orvex::kRecOutput] = 0.2f; // x 5: unity
        bank[0].values[orvex::kRecLatency] = c.latency;
        const std::string chunk = scratch.file("bank.fxb");
        {
            std::ofstream out(chunk, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(sizeof(orvex::ProgramRecord) * 10));
        }
        const std::string wet = scratch.file("wet.wav");
        const ProcessResult r = ProcessRunner::run(
            kCli, {"render", kPlugin, "--in", dry, "--out", wet, "--chunk", chunk, "--block", std::to_string(c.block)},
            scratch.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto y = readWav(wet);
        ASSERT_EQ(y.size(), 2u);
        ASSERT_EQ(y[0].size(), x.size());

        // After the volume glide (time constant 1000 samples) the output is the direct
        // convolution, late by one hop plus the one sample of the delay line. The glide
        // settles a few float steps below its target (its last steps round away), hence a
        // tolerance relative to the level.
        const int latency = c.hop + 1;
        double worst = 0.0, level = 0.0;
        for (size_t n = 30000; n < x.size(); ++n) {
            long double expected = 0;
            for (size_t k = 0; k < h.size(); ++k) {
                const long long i = static_cast<long long>(n) - latency - static_cast<long long>(k);
                if (i >= 0)
                    expected += h[k] * x[static_cast<size_t>(i)];
            }
            level = std::max(level, std::fabs(static_cast<double>(expected)));
            worst = std::max(worst, std::fabs(y[0][n] - static_cast<double>(expected)));
            worst = std::max(worst, std::fabs(y[1][n] - static_cast<double>(expected))); // centre pan
        }
        EXPECT_GT(level, 0.05) << irPath;
        EXPECT_LT(worst, 1e-4 * level) << irPath << " hop " << c.hop;

        // One sample earlier would not match: the latency is exactly hop + 1.
        double shifted = 0.0;
        for (size_t n = 30000; n < 31000; ++n) {
            long double expected = 0;
            for (size_t k = 0; k < h.size(); ++k) {
                const long long i = static_cast<long long>(n) - latency + 1 - static_cast<long long>(k);
                if (i >= 0)
                    expected += h[k] * x[static_cast<size_t>(i)];
            }
            shifted = std::max(shifted, std::fabs(y[0][n] - static_cast<double>(expected)));
        }
        EXPECT_GT(shifted, 100.0 * worst + 1e-6) << irPath;
    }
}
