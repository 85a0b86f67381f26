#include "dsp/IrPreparer.h"
#include "dsp/Resampler.h"

#include "Guarded.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

using dsp::IrPreparer;
using testutil::Guarded;
namespace fs = std::filesystem;

namespace {

const long double kPi = 3.141592653589793238462643383279502884L;

void put(std::vector<std::uint8_t>& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

// A 32-bit float WAV file with interleaved frames.
std::vector<std::uint8_t> floatWav(int channels, std::uint32_t rate, const std::vector<float>& interleaved)
{
    std::vector<std::uint8_t> b;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(interleaved.size() * 4);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(b, 36 + dataBytes, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(b, 16, 4);
    put(b, 3, 2);
    put(b, static_cast<std::uint32_t>(channels), 2);
    put(b, rate, 4);
    put(b, rate * 4 * static_cast<std::uint32_t>(channels), 4);
    put(b, 4 * static_cast<std::uint32_t>(channels), 2);
    put(b, 32, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(b, dataBytes, 4);
    for (float f : interleaved) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        put(b, u, 4);
    }
    return b;
}

std::vector<float> randomFloats(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(static_cast<size_t>(n));
    for (float& f : v)
        f = dist(rng);
    return v;
}

// The expected spectrum, computed directly: the packed DFT (positive kernel) of the IR
// zero-padded to n, divided by its largest bin magnitude.
std::vector<double> expectedSpectrum(const std::vector<double>& ir, int n)
{
    const int h = n / 2;
    std::vector<long double> c(static_cast<size_t>(n)), s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        c[static_cast<size_t>(i)] = std::cos(2.0L * kPi * i / n);
        s[static_cast<size_t>(i)] = std::sin(2.0L * kPi * i / n);
    }
    std::vector<long double> re(static_cast<size_t>(h) + 1), im(static_cast<size_t>(h) + 1);
    long double peak = 0.0L;
    for (int k = 0; k <= h; ++k) {
        for (size_t t = 0; t < ir.size(); ++t) {
            const size_t idx = static_cast<size_t>((static_cast<long long>(k) * static_cast<long long>(t)) % n);
            re[static_cast<size_t>(k)] += ir[t] * c[idx];
            im[static_cast<size_t>(k)] += ir[t] * s[idx];
        }
        if (k == 0 || k == h)
            im[static_cast<size_t>(k)] = 0.0L;
        peak = std::max(peak, std::sqrt(re[static_cast<size_t>(k)] * re[static_cast<size_t>(k)] +
                                        im[static_cast<size_t>(k)] * im[static_cast<size_t>(k)]));
    }
    std::vector<double> y(static_cast<size_t>(n), 0.0);
    if (peak == 0.0L)
        return y;
    for (int k = 0; k <= h; ++k) {
        y[static_cast<size_t>(k)] = static_cast<double>(re[static_cast<size_t>(k)] / peak);
        if (k > 0 && k < h)
            y[static_cast<size_t>(h + k)] = static_cast<double>(im[static_cast<size_t>(k)] / peak);
    }
    return y;
}

double largestBinMagnitude(const Guarded& y, int n)
{
    const int h = n / 2;
    double peak = std::max(std::fabs(y[0]), std::fabs(y[static_cast<size_t>(h)]));
    for (int k = 1; k < h; ++k)
        peak = std::max(peak, std::hypot(y[static_cast<size_t>(k)], y[static_cast<size_t>(h + k)]));
    return peak;
}

class IrPreparerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("orvex_ir_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string write(const std::vector<std::uint8_t>& bytes)
    {
        const fs::path p = dir_ / ("ir" + std::to_string(counter_++) + ".wav");
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

    // Prepares into a guarded buffer pre-filled with junk, so that both overruns and
    // values left unwritten show.
    bool prepare(const std::string& path, float hostRate, int n, Guarded& out)
    {
        out = Guarded(static_cast<size_t>(n), 777.0);
        const bool ok = prep_.prepare(path.c_str(), hostRate, n, out.data());
        EXPECT_TRUE(out.intact());
        return ok;
    }

    static void expectSpectrum(const Guarded& got, const std::vector<double>& want, const char* what)
    {
        ASSERT_EQ(got.size(), want.size());
        for (size_t k = 0; k < want.size(); ++k)
            ASSERT_NEAR(got[k], want[k], 1e-9) << what << " element " << k;
    }

    static void expectSilent(const Guarded& got, const char* what)
    {
        for (size_t k = 0; k < got.size(); ++k)
            ASSERT_EQ(got[k], 0.0) << what << " element " << k;
    }

    IrPreparer prep_; // shared across the loads of one test, as in the effect
    fs::path dir_;    // private folder of this test
    int counter_ = 0; // file names within it
};

TEST_F(IrPreparerTest, DropsLeadingNearSilenceAndCutsToHalfTheFftSize)
{
    const float justBelow = std::nextafter(1e-10f, 0.0f); // float(1e-10) itself lies above
    ASSERT_LE(static_cast<double>(justBelow), 1e-10);
    std::vector<float> samples = {0.0f, justBelow, -justBelow, 0.0f, 1.1e-10f, 0.0f};
    const std::vector<float> body = randomFloats(2994, 1);
    samples.insert(samples.end(), body.begin(), body.end());
    ASSERT_EQ(samples.size(), 3000u);
    const std::string path = write(floatWav(1, 44100, samples));

    {
        const int n = 2048;
        Guarded y(1);
        ASSERT_TRUE(prepare(path, 44100.0f, n, y));
        // Kept from 1.1e-10 on, including the silence that follows it.
        ASSERT_EQ(prep_.irLength(), n / 2);
        std::vector<double> ir(samples.begin() + 4, samples.begin() + 4 + n / 2);
        expectSpectrum(y, expectedSpectrum(ir, n), "mono 3000 samples");
        EXPECT_NEAR(largestBinMagnitude(y, n), 1.0, 1e-12);
    }

    // Short IR: all of it is kept, leading near-silence aside.
    const std::vector<float> shortIr = {0.0f, 0.0f, 0.5f, -0.25f, 0.125f};
    Guarded y(1);
    ASSERT_TRUE(prepare(write(floatWav(1, 44100, shortIr)), 44100.0f, 2048, y));
    EXPECT_EQ(prep_.irLength(), 3);
    expectSpectrum(y, expectedSpectrum({0.5, -0.25, 0.125}, 2048), "short");
}

TEST_F(IrPreparerTest, TakesTheFirstChannelOfEveryFrame)
{
    const int frames = 700;
    for (int channels : {2, 4, 3}) {
        std::vector<float> interleaved;
        std::vector<double> first;
        const std::vector<float> noise = randomFloats(frames * channels, static_cast<unsigned>(channels));
        for (int f = 0; f < frames; ++f)
            for (int ch = 0; ch < channels; ++ch) {
                const float v = noise[static_cast<size_t>(f * channels + ch)];
                interleaved.push_back(v);
                if (ch == 0)
                    first.push_back(v);
            }
        Guarded y(1);
        ASSERT_TRUE(prepare(write(floatWav(channels, 48000, interleaved)), 48000.0f, 2048, y));
        EXPECT_EQ(prep_.irLength(), frames) << channels;
        expectSpectrum(y, expectedSpectrum(first, 2048), "first channel");
    }

    // Sound on the right channel only: the slot stays silent, and the file was fine.
    std::vector<float> rightOnly;
    for (float v : randomFloats(100, 4)) {
        rightOnly.push_back(0.0f);
        rightOnly.push_back(v);
    }
    Guarded y(1);
    EXPECT_TRUE(prepare(write(floatWav(2, 44100, rightOnly)), 44100.0f, 2048, y));
    EXPECT_EQ(prep_.irLength(), 0);
    expectSilent(y, "right channel only");
}

TEST_F(IrPreparerTest, ResamplesToTheHostRateAndCutsAgain)
{
    const std::vector<float> ir = randomFloats(1024, 5);
    {
        const std::string path = write(floatWav(1, 48000, ir));
        Guarded y(1);
        ASSERT_TRUE(prepare(path, 44100.0f, 2048, y));
        ASSERT_EQ(prep_.irLength(), 940);
        // The resampler has its own tests; here it checks what reaches the transform.
        const std::vector<double> x(ir.begin(), ir.end());
        const std::vector<double> r = dsp::resampleIr(1024, x.data(), 44100.0f, 48000.0);
        expectSpectrum(y, expectedSpectrum(r, 2048), "48k to 44.1k");
        EXPECT_NEAR(largestBinMagnitude(y, 2048), 1.0, 1e-12);
    }
    {
        // 2227 resampled samples, cut to H = 1024.
        const std::string path = write(floatWav(1, 44100, ir));
        Guarded y(1);
        ASSERT_TRUE(prepare(path, 96000.0f, 2048, y));
        EXPECT_EQ(prep_.irLength(), 1024);
    }
    {
        // Equal rates leave the samples alone.
        Guarded y(1);
        ASSERT_TRUE(prepare(write(floatWav(1, 44100, ir)), 44100.0f, 2048, y));
        EXPECT_EQ(prep_.irLength(), 1024);
    }
}

TEST_F(IrPreparerTest, UnusableFilesLeaveTheSlotSilent)
{
    Guarded y(1);
    // Not a WAV file at all.
    EXPECT_FALSE(prepare(write({'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'}), 44100.0f, 2048, y));
    expectSilent(y, "broken file");
    EXPECT_FALSE(prepare((dir_ / "missing.wav").string(), 44100.0f, 2048, y));
    expectSilent(y, "missing file");

    // A good load followed by a broken one must not keep anything of the first.
    ASSERT_TRUE(prepare(write(floatWav(1, 44100, randomFloats(50, 6))), 44100.0f, 2048, y));
    EXPECT_FALSE(prepare(write({'R', 'I', 'F', 'F'}), 44100.0f, 2048, y));
    expectSilent(y, "broken after good");
    EXPECT_EQ(prep_.irLength(), 0);

    // Accepted files that keep nothing usable.
    EXPECT_TRUE(prepare(write(floatWav(1, 44100, std::vector<float>(500, 1e-11f))), 44100.0f, 2048, y));
    expectSilent(y, "near-silent file");
    // One sample (or two at 48 kHz, which give a single 44.1 kHz sample) cannot be
    // interpolated when the rates differ.
    EXPECT_TRUE(prepare(write(floatWav(1, 48000, {0.0f, 0.5f})), 44100.0f, 2048, y));
    expectSilent(y, "one sample to resample");
    EXPECT_TRUE(prepare(write(floatWav(1, 48000, {0.5f, 0.25f})), 44100.0f, 2048, y));
    expectSilent(y, "two samples to resample");
    // A host rate that is not a rate at all.
    EXPECT_TRUE(prepare(write(floatWav(1, 48000, randomFloats(64, 7))), std::numeric_limits<float>::quiet_NaN(),
                        2048, y));
    expectSilent(y, "NaN host rate");

    // A single sample at the host's rate is a valid IR: a scaled impulse, flat spectrum.
    EXPECT_TRUE(prepare(write(floatWav(1, 44100, {0.0f, -0.5f})), 44100.0f, 2048, y));
    for (int k = 0; k <= 1024; ++k)
        ASSERT_EQ(y[static_cast<size_t>(k)], -1.0) << k;
    for (int k = 1025; k < 2048; ++k)
        ASSERT_EQ(y[static_cast<size_t>(k)], 0.0) << k;

    // Sizes other than the transform length write nothing.
    for (int n : {512, 4096}) {
        Guarded untouched(static_cast<size_t>(n), 5.0);
        EXPECT_FALSE(prep_.prepare(write(floatWav(1, 44100, {0.5f})).c_str(), 44100.0f, n, untouched.data()));
        EXPECT_TRUE(untouched.intact());
        EXPECT_EQ(untouched[0], 5.0);
    }
}

TEST(NormaliseSpectrum, DividesByTheLargestBinMagnitude)
{
    for (int n : {2048, 4096}) {
        const int h = n / 2;
        std::mt19937 rng(static_cast<unsigned>(n));
        std::uniform_real_distribution<double> dist(-3.0, 3.0);
        std::vector<double> x(static_cast<size_t>(n));
        for (double& v : x)
            v = dist(rng);
        // The loudest bin somewhere inside, with a negative real part.
        x[77] = -40.0;
        x[static_cast<size_t>(h + 77)] = 30.0;
        // Bins whose real part is zero, or negative but within the guard constant of zero.
        x[5] = 0.0;
        x[6] = -1e-45;
        x[7] = -1e-40;
        x[8] = -0.0;
        Guarded y(static_cast<size_t>(n), 9.0);
        std::vector<double> mag(static_cast<size_t>(n)), ratio(static_cast<size_t>(n));
        const double peak = IrPreparer::normaliseSpectrum(x.data(), y.data(), n, mag.data(), ratio.data());
        EXPECT_TRUE(y.intact());
        EXPECT_DOUBLE_EQ(peak, 50.0);
        for (int k = 0; k < n; ++k)
            ASSERT_NEAR(y[static_cast<size_t>(k)], x[static_cast<size_t>(k)] / 50.0, 1e-14) << "n=" << n << " k=" << k;
        EXPECT_NEAR(largestBinMagnitude(y, n), 1.0, 1e-15);
    }

    // An all-zero spectrum stays zero (no division by zero).
    std::vector<double> zero(2048, 0.0), mag(2048), ratio(2048);
    Guarded y(2048, 9.0);
    EXPECT_EQ(IrPreparer::normaliseSpectrum(zero.data(), y.data(), 2048, mag.data(), ratio.data()), 0.0);
    for (size_t k = 0; k < 2048; ++k)
        ASSERT_EQ(y[k], 0.0) << k;
}

} // namespace
