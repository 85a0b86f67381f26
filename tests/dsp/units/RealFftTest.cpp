#include "dsp/RealFft.h"

#include "Guarded.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using dsp::RealFft;
using testutil::Guarded;

namespace {

const long double kPi = 3.141592653589793238462643383279502884L;

// Direct DFT in long double with the engine's convention: real parts of
// sum x[n] e^(+2 pi i k n / N) in 0..N/2, imaginary parts of bins 1..N/2-1 after them.
std::vector<double> directPacked(const std::vector<double>& x)
{
    const int n = static_cast<int>(x.size());
    std::vector<long double> c(static_cast<size_t>(n)), s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        c[static_cast<size_t>(i)] = std::cos(2.0L * kPi * i / n);
        s[static_cast<size_t>(i)] = std::sin(2.0L * kPi * i / n);
    }
    std::vector<double> out(static_cast<size_t>(n), 0.0);
    for (int k = 0; k <= n / 2; ++k) {
        long double re = 0.0L, im = 0.0L;
        for (int t = 0; t < n; ++t) {
            const size_t idx = static_cast<size_t>((static_cast<long long>(k) * t) % n);
            re += x[static_cast<size_t>(t)] * c[idx];
            im += x[static_cast<size_t>(t)] * s[idx];
        }
        out[static_cast<size_t>(k)] = static_cast<double>(re);
        if (k > 0 && k < n / 2)
            out[static_cast<size_t>(n / 2 + k)] = static_cast<double>(im);
    }
    return out;
}

std::vector<double> randomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    for (double& v : x)
        v = dist(rng);
    return x;
}

// Runs forward into a guarded buffer and checks that nothing outside it was written and the
// input was left alone.
Guarded forwardChecked(RealFft& fft, const std::vector<double>& x)
{
    const int n = fft.size();
    Guarded in(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        in[static_cast<size_t>(i)] = x[static_cast<size_t>(i)];
    Guarded out(static_cast<size_t>(n), 123.0);
    fft.forward(in.data(), out.data());
    EXPECT_TRUE(in.intact());
    EXPECT_TRUE(out.intact());
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(in[static_cast<size_t>(i)], x[static_cast<size_t>(i)]);
    return out;
}

class RealFftSizes : public ::testing::TestWithParam<int> {};

TEST_P(RealFftSizes, ForwardMatchesDirectTransformOfRandomSignals)
{
    const int n = GetParam();
    RealFft fft(n);
    ASSERT_EQ(fft.size(), n);
    for (unsigned seed : {1u, 2u}) {
        const std::vector<double> x = randomSignal(n, seed);
        const Guarded got = forwardChecked(fft, x);
        const std::vector<double> want = directPacked(x);
        double worst = 0.0;
        int worstAt = -1;
        for (int k = 0; k < n; ++k) {
            const double err = std::fabs(got[static_cast<size_t>(k)] - want[static_cast<size_t>(k)]);
            if (err > worst) {
                worst = err;
                worstAt = k;
            }
        }
        // Values are of order sqrt(N); rounding of a radix-2 transform stays far below this.
        EXPECT_LT(worst, 1e-11) << "n=" << n << " seed=" << seed << " worst bin " << worstAt
                                << " got " << got[static_cast<size_t>(worstAt)] << " want "
                                << want[static_cast<size_t>(worstAt)];
    }
}

TEST_P(RealFftSizes, KnownSignalsGiveTheirSpectra)
{
    const int n = GetParam();
    const int h = n / 2;
    RealFft fft(n);
    const double tol = 1e-9;

    auto check = [&](const char* what, const std::vector<double>& x,
                     const std::vector<std::pair<int, double>>& nonzero) {
        const Guarded y = forwardChecked(fft, x);
        std::vector<double> want(static_cast<size_t>(n), 0.0);
        for (const auto& e : nonzero)
            want[static_cast<size_t>(e.first)] = e.second;
        for (int k = 0; k < n; ++k)
            ASSERT_NEAR(y[static_cast<size_t>(k)], want[static_cast<size_t>(k)], tol)
                << what << " n=" << n << " element " << k;
    };

    std::vector<double> impulse(static_cast<size_t>(n), 0.0);
    impulse[0] = 1.0;
    std::vector<std::pair<int, double>> ones;
    for (int k = 0; k <= h; ++k)
        ones.push_back({k, 1.0});
    check("impulse", impulse, ones);

    check("constant", std::vector<double>(static_cast<size_t>(n), 1.0), {{0, double(n)}});

    std::vector<double> cosine(static_cast<size_t>(n)), sine(static_cast<size_t>(n)),
        alternating(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        cosine[static_cast<size_t>(i)] = static_cast<double>(std::cos(2.0L * kPi * i / n));
        sine[static_cast<size_t>(i)] = static_cast<double>(std::sin(2.0L * kPi * i / n));
        alternating[static_cast<size_t>(i)] = (i % 2 == 0) ? 1.0 : -1.0;
    }
    check("cos", cosine, {{1, h}});
    // The positive kernel exponent makes a sine show up with a positive imaginary part.
    check("sin", sine, {{h + 1, h}});
    check("alternating", alternating, {{h, double(n)}});
}

TEST_P(RealFftSizes, InverseThenRescaleRestoresTheSignal)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<double> x = randomSignal(n, 7);
    const Guarded spectrum = forwardChecked(fft, x);
    const std::vector<double> kept(spectrum.data(), spectrum.data() + n);

    Guarded back(static_cast<size_t>(n), -99.0);
    fft.inverse(spectrum.data(), back.data());
    EXPECT_TRUE(back.intact());
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(spectrum[static_cast<size_t>(i)], kept[static_cast<size_t>(i)]) << "spectrum changed";
    // Before rescaling the result is N times the signal.
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(back[static_cast<size_t>(i)], n * x[static_cast<size_t>(i)], 1e-9) << i;
    fft.rescale(back.data());
    EXPECT_TRUE(back.intact());
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(back[static_cast<size_t>(i)], x[static_cast<size_t>(i)], 1e-13) << i;

    // A second round on the same engine gives bit-identical results: the scratch buffer
    // carries nothing from one call to the next.
    Guarded again = forwardChecked(fft, x);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(again[static_cast<size_t>(i)], kept[static_cast<size_t>(i)]);
}

TEST_P(RealFftSizes, InverseMatchesDirectSynthesis)
{
    // An arbitrary packed spectrum (not produced by forward) must come back as
    // sum over k of the full conjugate-symmetric spectrum times e^(-2 pi i k n / N).
    const int n = GetParam();
    const int h = n / 2;
    RealFft fft(n);
    const std::vector<double> spectrum = randomSignal(n, 11);
    Guarded in(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        in[static_cast<size_t>(i)] = spectrum[static_cast<size_t>(i)];
    Guarded out(static_cast<size_t>(n));
    fft.inverse(in.data(), out.data());
    EXPECT_TRUE(out.intact());
    for (int t = 0; t < n; t += 37) {
        long double v = spectrum[0] + spectrum[static_cast<size_t>(h)] * ((t % 2) ? -1.0L : 1.0L);
        for (int k = 1; k < h; ++k) {
            const long double a = 2.0L * kPi * ((static_cast<long long>(k) * t) % n) / n;
            // Z[k] = re + i*im with the positive kernel; x[t] = sum Z[k] e^(-i a).
            v += 2.0L * (spectrum[static_cast<size_t>(k)] * std::cos(a) +
                         spectrum[static_cast<size_t>(h + k)] * std::sin(a));
        }
        ASSERT_NEAR(out[static_cast<size_t>(t)], static_cast<double>(v), 1e-10) << "t=" << t;
    }
}

TEST_P(RealFftSizes, PackedProductIsCircularConvolution)
{
    const int n = GetParam();
    const int h = n / 2;
    RealFft fft(n);
    // An IR-like short signal against a full-length one, so the convolution wraps around.
    std::vector<double> a = randomSignal(n, 21);
    std::vector<double> b(static_cast<size_t>(n), 0.0);
    const std::vector<double> bShort = randomSignal(301, 22);
    for (size_t i = 0; i < bShort.size(); ++i)
        b[i] = bShort[i];

    const Guarded fa = forwardChecked(fft, a);
    const Guarded fb = forwardChecked(fft, b);
    Guarded prod(static_cast<size_t>(n));
    prod[0] = fa[0] * fb[0];
    prod[static_cast<size_t>(h)] = fa[static_cast<size_t>(h)] * fb[static_cast<size_t>(h)];
    for (int k = 1; k < h; ++k) {
        const double ar = fa[static_cast<size_t>(k)], ai = fa[static_cast<size_t>(h + k)];
        const double br = fb[static_cast<size_t>(k)], bi = fb[static_cast<size_t>(h + k)];
        prod[static_cast<size_t>(k)] = ar * br - ai * bi;
        prod[static_cast<size_t>(h + k)] = ar * bi + ai * br;
    }
    Guarded y(static_cast<size_t>(n));
    fft.inverse(prod.data(), y.data());
    fft.rescale(y.data());
    EXPECT_TRUE(y.intact());

    for (int t = 0; t < n; ++t) {
        long double want = 0.0L;
        for (size_t j = 0; j < bShort.size(); ++j)
            want += static_cast<long double>(b[j]) * a[static_cast<size_t>((t - static_cast<int>(j) + n) % n)];
        ASSERT_NEAR(y[static_cast<size_t>(t)], static_cast<double>(want), 1e-11) << "t=" << t;
    }
}

TEST_P(RealFftSizes, TablesFollowTheirDefinitions)
{
    const int n = GetParam();
    const int l = n == 2048 ? 11 : 12;
    RealFft fft(n);
    const std::vector<int>& rev = fft.bitReverseTable();
    const std::vector<double>& cosine = fft.cosineTable();
    ASSERT_EQ(rev.size(), static_cast<size_t>(n / 4));
    ASSERT_EQ(cosine.size(), static_cast<size_t>(n / 4));

    const std::vector<int> head =
        n == 2048 ? std::vector<int>{0, 256, 128, 384, 64} : std::vector<int>{0, 512, 256, 768, 128};
    for (size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(rev[i], head[i]) << i;
    // Every entry is a distinct position below N/4 whose reversal gives back 4*i.
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int i = 0; i < n / 4; ++i) {
        const int r = rev[static_cast<size_t>(i)];
        ASSERT_GE(r, 0);
        ASSERT_LT(r, n / 4);
        ASSERT_FALSE(seen[static_cast<size_t>(r)]);
        seen[static_cast<size_t>(r)] = true;
        int back = 0;
        for (int bit = 0; bit < l; ++bit)
            if (r & (1 << bit))
                back |= 1 << (l - 1 - bit);
        ASSERT_EQ(back, 4 * i);
    }

    EXPECT_EQ(cosine[0], 1.0);
    EXPECT_NEAR(cosine[static_cast<size_t>(n / 8)], std::cos(3.14159265358979323846 / 4), 1e-16);
    const double step = n == 2048 ? 0.0030679615757712823 : 0.0015339807878856412;
    for (int i = 0; i < n / 4; ++i)
        ASSERT_EQ(cosine[static_cast<size_t>(i)], std::cos(static_cast<double>(i) * step)) << i;
}

TEST_P(RealFftSizes, RescaleMultipliesByExactlyOneOverN)
{
    const int n = GetParam();
    RealFft fft(n);
    Guarded v(static_cast<size_t>(n), 3.0);
    fft.rescale(v.data());
    EXPECT_TRUE(v.intact());
    const double want = n == 2048 ? 3.0 * 0.00048828125 : 3.0 * 0.000244140625;
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(v[static_cast<size_t>(i)], want);
}

INSTANTIATE_TEST_SUITE_P(BothLengths, RealFftSizes, ::testing::Values(2048, 4096));

} // namespace

namespace {

// The partitioned convolution transforms 2B points for hops B of 8 .. 512 (and 16 for the
// smallest hops). Every such length against the direct transform, and back.
TEST(RealFftShortLengths, ForwardAndInverseMatchTheDirectTransform)
{
    for (int n = RealFft::kMinSize; n <= 1024; n *= 2) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        ASSERT_EQ(fft.size(), n);
        const std::vector<double> x = randomSignal(n, static_cast<unsigned>(n));
        const Guarded got = forwardChecked(fft, x);
        const std::vector<double> want = directPacked(x);
        for (int k = 0; k < n; ++k)
            ASSERT_NEAR(got[static_cast<size_t>(k)], want[static_cast<size_t>(k)], 1e-12) << k;
        Guarded back(static_cast<size_t>(n), -99.0);
        fft.inverse(got.data(), back.data());
        fft.rescale(back.data());
        EXPECT_TRUE(back.intact());
        for (int i = 0; i < n; ++i)
            ASSERT_NEAR(back[static_cast<size_t>(i)], x[static_cast<size_t>(i)], 1e-14) << i;
    }
    // Lengths that are not powers of two, or out of range, get the 2048 engine.
    for (int bad : {0, 8, 100, 8192})
        EXPECT_EQ(RealFft(bad).size(), 2048) << bad;
}

} // namespace
