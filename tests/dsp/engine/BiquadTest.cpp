#include "dsp/Biquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {

using cd = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTuning = 6.28319304 / (2.0 * kPi); // the design's 2*pi is slightly large

enum class Kind { highPass, lowPass };

std::vector<double> impulseResponse(Kind kind, double f, double fs, int length)
{
    dsp::Biquad b;
    std::vector<double> h(static_cast<std::size_t>(length));
    for (int n = 0; n < length; ++n) {
        double x = n == 0 ? 1.0 : 0.0;
        if (kind == Kind::lowPass) {
            b.lowPass(f, 0.7, fs, x);
        } else {
            b.highPass(f, 0.7, fs, x);
        }
        h[static_cast<std::size_t>(n)] = x;
    }
    return h;
}

cd measured(const std::vector<double>& h, double w)
{
    cd sum = 0.0;
    for (std::size_t n = 0; n < h.size(); ++n) {
        sum += h[n] * std::polar(1.0, -w * static_cast<double>(n));
    }
    return sum;
}

// The analog second-order prototype mapped by the bilinear transform with the corner
// pre-warped: s = j tan(w/2) / tan(pi f' / fs).
cd designed(Kind kind, double f, double fs, double w)
{
    const double k = std::tan(kPi * f * kTuning / fs);
    const cd s(0.0, std::tan(w / 2.0) / k);
    const cd den = s * s + s / 0.7 + 1.0;
    return kind == Kind::lowPass ? 1.0 / den : s * s / den;
}

TEST(Biquad, MatchesTheBilinearDesign)
{
    struct Case {
        Kind kind;
        double f;
        double fs;
    };
    for (const Case& c : {Case{Kind::lowPass, 1000.0, 44100.0}, Case{Kind::lowPass, 11978.0, 44100.0},
                          Case{Kind::highPass, 11.1, 44100.0}, Case{Kind::highPass, 400.0, 48000.0},
                          Case{Kind::lowPass, 3000.0, 96000.0}}) {
        SCOPED_TRACE(c.f);
        const std::vector<double> h = impulseResponse(c.kind, c.f, c.fs, 1 << 16);
        for (double probe : {0.0, 5.0, 100.0, c.f, c.f * kTuning, 2.0 * c.f, 8000.0, c.fs / 2.0}) {
            const double w = 2.0 * kPi * probe / c.fs;
            if (w >= kPi) {
                continue;
            }
            const cd got = measured(h, w);
            const cd want = designed(c.kind, c.f, c.fs, w);
            EXPECT_NEAR(got.real(), want.real(), 1e-9) << probe;
            EXPECT_NEAR(got.imag(), want.imag(), 1e-9) << probe;
        }
        // At the (tuned) corner a Q of 0.7 gives a gain of exactly 0.7.
        EXPECT_NEAR(std::abs(measured(h, 2.0 * kPi * c.f * kTuning / c.fs)), 0.7, 1e-9);
    }
}

TEST(Biquad, HandComputedFirstSamples)
{
    // Low-pass at fs/4 (before tuning): K = tan(pi/4 * kTuning) ~ 1.
    const double fs = 48000.0;
    const double k = std::tan(kPi / 4.0 * kTuning);
    const double a0 = k * k + k / 0.7 + 1.0;
    const double b0 = k * k / a0;
    const double a1 = 2.0 * (k * k - 1.0) / a0;
    const double a2 = (k * k - k / 0.7 + 1.0) / a0;
    const std::vector<double> h = impulseResponse(Kind::lowPass, 12000.0, fs, 3);
    EXPECT_NEAR(h[0], b0, 1e-15);
    EXPECT_NEAR(h[1], 2.0 * b0 - a1 * h[0], 1e-15);
    EXPECT_NEAR(h[2], b0 - a1 * h[1] - a2 * h[0], 1e-15);
}

// A new corner changes the coefficients but not the history, so the output stays
// continuous across a glide.
TEST(Biquad, HistorySurvivesARedesign)
{
    struct Reference {
        long double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        long double step(double f, double fs, long double x)
        {
            const long double k = std::tan(static_cast<long double>(kPi) * f * kTuning / fs);
            const long double a0 = k * k + k / 0.7L + 1.0L;
            const long double y = (x - 2.0L * x1 + x2 - 2.0L * (k * k - 1.0L) * y1 - (k * k - k / 0.7L + 1.0L) * y2) / a0;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
    } ref;
    dsp::Biquad b;
    for (int n = 0; n < 600; ++n) {
        const double f = n < 300 ? 200.0 : 800.0;
        double x = std::sin(n * 0.05) + (n % 7) * 0.1;
        const long double expected = ref.step(f, 44100.0, x);
        b.highPass(f, 0.7, 44100.0, x);
        ASSERT_NEAR(x, static_cast<double>(expected), 1e-12) << n;
    }
}

// A sample-rate change re-tunes a filter even when its corner does not move.
TEST(Biquad, RateChangeRedesigns)
{
    dsp::Biquad moved;
    dsp::Biquad fresh;
    double x = 0.5;
    moved.lowPass(5000.0, 0.7, 44100.0, x);
    moved.lowPass(5000.0, 0.7, 96000.0, x);
    fresh.lowPass(5000.0, 0.7, 96000.0, x);
    EXPECT_EQ(moved.b0(), fresh.b0());
    EXPECT_EQ(moved.a1(), fresh.a1());
    EXPECT_EQ(moved.a2(), fresh.a2());
    EXPECT_EQ(moved.inverseA0(), fresh.inverseA0());
}

// A low-pass corner above Nyquist (12 kHz at a 22050 Hz host) would be unstable as
// designed; it is held just below Nyquist and decays.
TEST(Biquad, CornerAboveNyquistStaysStable)
{
    for (Kind kind : {Kind::lowPass, Kind::highPass}) {
        const std::vector<double> h = impulseResponse(kind, 12000.0, 22050.0, 4000);
        for (std::size_t n = 0; n < h.size(); ++n) {
            ASSERT_TRUE(std::isfinite(h[n]));
            ASSERT_LT(std::fabs(h[n]), 2.0);
        }
        EXPECT_LT(std::fabs(h.back()), 1e-9);
    }
}

} // namespace
