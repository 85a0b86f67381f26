#include "dsp/Resampler.h"

#include "Guarded.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using dsp::resampledLength;
using dsp::resampleIr;
using testutil::Guarded;

namespace {

// The interpolation written the long way: scan every interval for every output sample and
// let each match overwrite the previous one. `x` holds n samples followed by one zero.
std::vector<double> naiveResample(const std::vector<double>& x, int n, float outRate, double inRate)
{
    const int m = static_cast<int>(std::ceil(outRate * ((n - 1) / inRate)));
    std::vector<double> tIn(static_cast<size_t>(n)), tOut(static_cast<size_t>(m)), out(static_cast<size_t>(m), 0.0);
    for (int i = 1; i < n; ++i)
        tIn[i] = tIn[i - 1] + 1.0 / inRate;
    for (int j = 1; j < m; ++j)
        tOut[j] = tOut[j - 1] + 1.0 / static_cast<double>(outRate);
    out[0] = x[0];
    out[1] = x[0] + (x[1] - x[0]) * (tOut[1] - tOut[0]) / (tIn[1] - tIn[0]);
    out[m - 1] = x[n - 1] + (x[n - 1] - x[n - 2]) * (tOut[m - 1] - tOut[m - 2]) / (tIn[n - 1] - tIn[n - 2]);
    for (int j = 2; j <= m - 2; ++j) {
        const double t = tOut[j];
        for (int i = 0; i <= n - 2; ++i) {
            if (!(tIn[i] <= t && t <= tIn[i + 1]))
                continue;
            const double u = (t - tIn[i]) / (tIn[i + 1] - tIn[i]);
            const double p0 = i == 0 ? 0.0 : x[i - 1];
            const double p1 = x[i], p2 = x[i + 1], p3 = x[i + 2];
            const double a = (p2 - p0) * 0.5;
            const double b = (p1 - p2) + a;
            const double c = (p3 - p1) * 0.5 + b + (p1 - p2);
            out[j] = ((c * u - (b + c)) * u + a) * u + p1;
        }
    }
    return out;
}

std::vector<double> randomIr(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n) + 1, 0.0); // trailing zero for the reference
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = dist(rng);
    return x;
}

// Runs the resampler on a copy of x whose sample after the last is a guard word, so any
// read past the end shows up as a wild value.
std::vector<double> resampleGuarded(const std::vector<double>& x, int n, float outRate, double inRate)
{
    Guarded in(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        in[static_cast<size_t>(i)] = x[static_cast<size_t>(i)];
    std::vector<double> out = resampleIr(n, in.data(), outRate, inRate);
    EXPECT_TRUE(in.intact());
    return out;
}

TEST(Resampler, LengthsFollowTheSpanOfTheInput)
{
    struct Case {
        int n;
        double from;
        float to;
        int m;
    };
    for (const Case& c : {Case{1024, 48000, 44100, 940}, Case{1024, 44100, 48000, 1114},
                          Case{1024, 96000, 44100, 470}, Case{1000, 22050, 44100, 1998},
                          Case{1024, 44100, 96000, 2227}, Case{2, 22050, 44100, 2}}) {
        EXPECT_EQ(resampledLength(c.n, c.to, c.from), c.m) << c.n << " " << c.from << "->" << c.to;
        const std::vector<double> x = randomIr(c.n, 3);
        EXPECT_EQ(resampleGuarded(x, c.n, c.to, c.from).size(), static_cast<size_t>(c.m));
    }
}

TEST(Resampler, MatchesTheIntervalScanExactly)
{
    struct Case {
        int n;
        double from;
        float to;
    };
    // Includes power-of-two rates, whose running sums land exactly on input grid points
    // and so exercise the tie-break, and odd lengths down to the smallest usable ones.
    for (const Case& c : {Case{1024, 48000, 44100}, Case{1024, 44100, 48000}, Case{1024, 96000, 44100},
                          Case{1000, 22050, 44100}, Case{47, 1024, 2048}, Case{333, 2048, 1536},
                          Case{3, 22050, 44100}, Case{2, 22050, 44100}, Case{2048, 8000, 44100},
                          Case{1537, 44100, 44099}}) {
        const std::vector<double> x = randomIr(c.n, static_cast<unsigned>(c.n));
        const std::vector<double> got = resampleGuarded(x, c.n, c.to, c.from);
        const std::vector<double> want = naiveResample(x, c.n, c.to, c.from);
        ASSERT_EQ(got.size(), want.size());
        for (size_t j = 0; j < got.size(); ++j)
            ASSERT_EQ(got[j], want[j]) << "n=" << c.n << " " << c.from << "->" << c.to << " j=" << j;
    }
}

TEST(Resampler, DoublingTheRateKeepsSamplesAndInterpolatesMidpoints)
{
    const int n = 1000;
    const std::vector<double> x = randomIr(n, 5);
    const std::vector<double> out = resampleGuarded(x, n, 44100.0f, 22050.0);
    const int m = static_cast<int>(out.size());
    ASSERT_EQ(m, 1998);
    auto at = [&](int i) { return (i >= 0 && i < n) ? x[static_cast<size_t>(i)] : 0.0; };
    EXPECT_EQ(out[0], x[0]);
    EXPECT_NEAR(out[1], (x[0] + x[1]) / 2, 1e-12);
    for (int j = 2; j <= m - 2; ++j) {
        if (j % 2 == 0) {
            ASSERT_NEAR(out[static_cast<size_t>(j)], x[static_cast<size_t>(j / 2)], 1e-9) << j;
        } else {
            const int i = (j - 1) / 2;
            const double mid = (-at(i - 1) + 9 * at(i) + 9 * at(i + 1) - at(i + 2)) / 16;
            ASSERT_NEAR(out[static_cast<size_t>(j)], mid, 1e-9) << j;
        }
    }
    // The last sample continues the last slope by one output period.
    EXPECT_NEAR(out[static_cast<size_t>(m - 1)], x[n - 1] + (x[n - 1] - x[n - 2]) / 2, 1e-9);
}

TEST(Resampler, ExactGridPointsTakeTheLaterInterval)
{
    // With power-of-two rates every even output time equals an input time exactly. The
    // later interval starts there (u = 0) and returns the sample itself, bit for bit; the
    // earlier one (u = 1) would only approach it through rounding.
    const int n = 257;
    const std::vector<double> x = randomIr(n, 9);
    const std::vector<double> out = resampleGuarded(x, n, 2048.0f, 1024.0);
    ASSERT_EQ(out.size(), 512u);
    for (int j = 2; j <= 510; j += 2)
        ASSERT_EQ(out[static_cast<size_t>(j)], x[static_cast<size_t>(j / 2)]) << j;
}

TEST(Resampler, ReproducesALinearRampInsideTheSpan)
{
    const int n = 500;
    std::vector<double> ramp(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i)
        ramp[static_cast<size_t>(i)] = i;
    const double from = 44100.0;
    const float to = 48000.0f;
    const std::vector<double> out = resampleGuarded(ramp, n, to, from);
    const int m = static_cast<int>(out.size());
    EXPECT_EQ(out[0], 0.0);
    for (int j = 1; j <= m - 2; ++j) {
        const double pos = j * from / to; // position in input samples
        if (pos <= 1.0 || pos >= n - 2.0)
            continue; // first and last intervals bend towards the zeros outside
        ASSERT_NEAR(out[static_cast<size_t>(j)], pos, 1e-8) << j;
    }
    // One output period past the last input sample, on the ramp's line.
    const double tLast = (m - 1) / static_cast<double>(to);
    const double tBefore = (m - 2) / static_cast<double>(to);
    EXPECT_NEAR(out[static_cast<size_t>(m - 1)], (n - 1) + (tLast - tBefore) * from, 1e-8);
}

TEST(Resampler, RefusesInputsWithoutAUsableOutput)
{
    const std::vector<double> x = randomIr(8, 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(resampleIr(1, x.data(), 44100.0f, 48000.0).empty()); // one sample
    EXPECT_TRUE(resampleIr(0, x.data(), 44100.0f, 48000.0).empty());
    EXPECT_TRUE(resampleIr(-5, x.data(), 44100.0f, 48000.0).empty());
    EXPECT_TRUE(resampleIr(2, x.data(), 44100.0f, 48000.0).empty()); // m would be 1
    EXPECT_TRUE(resampleIr(8, x.data(), 0.0f, 48000.0).empty());
    EXPECT_TRUE(resampleIr(8, x.data(), 44100.0f, 0.0).empty());
    EXPECT_TRUE(resampleIr(8, x.data(), -44100.0f, 48000.0).empty());
    EXPECT_TRUE(resampleIr(8, x.data(), 44100.0f, nan).empty());
    EXPECT_TRUE(resampleIr(8, x.data(), inf, 48000.0).empty());
    EXPECT_TRUE(resampleIr(8, nullptr, 44100.0f, 48000.0).empty());
    // A rate ratio that would ask for more than the bound.
    EXPECT_EQ(resampledLength(2048, 44100.0f, 1.0), 0);
    EXPECT_TRUE(resampleIr(8, x.data(), 768000.0f, 1.0).empty());
    // A large but real ratio is served. The division comes first, so 2047 / 8000 rounds up
    // a hair and the ceiling gives one sample more than the exact 196512.
    EXPECT_EQ(resampledLength(2048, 768000.0f, 8000.0), 196513);
}

} // namespace
