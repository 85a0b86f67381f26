// RealFft's transforms are tuned for speed, but every output must keep the exact bits of the
// plain radix-2 formulation below: the convolution engine and IR preparation are compared
// sample for sample against stored renders, and a change in the last bit of a spectrum would
// show up there as noise. `ReferenceFft` is that plain formulation, kept here unchanged; the
// fixed checksums further down pin the reference itself, so that a build which contracts or
// reorders floating-point arithmetic fails even if it does so in both copies.
#include "dsp/RealFft.h"

#include "Guarded.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using dsp::RealFft;
using testutil::Guarded;

namespace {

// The unoptimised transform pair, pass by pass with scalar arithmetic.
class ReferenceFft {
public:
    explicit ReferenceFft(int size)
        : n_(size == 4096 ? 4096 : 2048),
          log2n_(n_ == 4096 ? 12 : 11),
          scratch_(static_cast<size_t>(n_), 0.0),
          bitReverse_(static_cast<size_t>(n_ / 4), 0),
          cosine_(static_cast<size_t>(n_ / 4), 0.0)
    {
        for (int i = 1; i < n_ / 4; ++i) {
            const unsigned v = static_cast<unsigned>(4 * i);
            unsigned r = 0;
            for (int b = 0; b < log2n_; ++b)
                if (v & (1u << b))
                    r |= 1u << (log2n_ - 1 - b);
            bitReverse_[static_cast<size_t>(i)] = static_cast<int>(r);
        }
        const double step = n_ == 2048 ? 0.0030679615757712823 : 0.0015339807878856412;
        for (int i = 0; i < n_ / 4; ++i)
            cosine_[static_cast<size_t>(i)] = std::cos(static_cast<double>(i) * step);
    }

    const std::vector<int>& bitReverseTable() const { return bitReverse_; }
    const std::vector<double>& cosineTable() const { return cosine_; }

    void forward(const double* input, double* output)
    {
        const int n = n_;
        const int quarter = n / 4;
        const int* rev = bitReverse_.data();
        double* scratch = scratch_.data();
        const int passes = log2n_ - 3;
        double* dst = (passes % 2 == 1) ? scratch : output;
        double* src = (dst == scratch) ? output : scratch;
        for (int g = 0; g < quarter; g += 2) {
            double e[8];
            for (int half = 0; half < 2; ++half) {
                const int r = rev[g + half];
                const double x0 = input[r];
                const double x1 = input[r + n / 2];
                const double x2 = input[r + quarter];
                const double x3 = input[r + 3 * quarter];
                const double s0 = x0 + x1;
                const double s2 = x2 + x3;
                double* q = e + 4 * half;
                q[0] = s0 + s2;
                q[1] = x0 - x1;
                q[2] = s0 - s2;
                q[3] = x2 - x3;
            }
            double* q = dst + 4 * g;
            q[0] = e[0] + e[4];
            q[4] = e[0] - e[4];
            q[2] = e[2];
            q[6] = e[6];
            const double vr = e[5] * kSqrtHalf - e[7] * kSqrtHalf;
            const double vi = e[5] * kSqrtHalf + e[7] * kSqrtHalf;
            q[1] = e[1] + vr;
            q[3] = e[1] - vr;
            q[5] = vi + e[3];
            q[7] = vi - e[3];
        }
        for (int p = 4; p <= log2n_; ++p) {
            double* t = src;
            src = dst;
            dst = t;
            const int h = 1 << (p - 1);
            forwardPass(src, dst, h, n / (2 * h));
        }
    }

    void inverse(const double* spectrum, double* output)
    {
        const int n = n_;
        const int quarter = n / 4;
        const int* rev = bitReverse_.data();
        double* scratch = scratch_.data();
        const int passes = log2n_ - 3;
        double* dst = (passes % 2 == 1) ? scratch : output;
        const double* src = spectrum;
        for (int p = log2n_; p >= 4; --p) {
            const int h = 1 << (p - 1);
            inversePass(src, dst, h, n / (2 * h));
            src = dst;
            dst = (dst == scratch) ? output : scratch;
        }
        for (int g = 0; g < quarter; g += 2) {
            const double* p = src + 4 * g;
            double e[8];
            e[0] = p[0] + p[4];
            e[4] = p[0] - p[4];
            e[2] = 2.0 * p[2];
            e[6] = 2.0 * p[6];
            e[1] = p[1] + p[3];
            e[3] = p[5] - p[7];
            const double dr = p[1] - p[3];
            const double di = p[5] + p[7];
            e[5] = kSqrtHalf * dr + kSqrtHalf * di;
            e[7] = kSqrtHalf * di - kSqrtHalf * dr;
            for (int half = 0; half < 2; ++half) {
                const double* b = e + 4 * half;
                const int r = rev[g + half];
                const double sum = b[0] + b[2];
                const double diff = b[0] - b[2];
                const double b1 = 2.0 * b[1];
                const double b3 = 2.0 * b[3];
                output[r] = sum + b1;
                output[r + n / 2] = sum - b1;
                output[r + quarter] = diff + b3;
                output[r + 3 * quarter] = diff - b3;
            }
        }
    }

private:
    static constexpr double kSqrtHalf = 0.7071067811865476;

    void forwardPass(const double* s, double* d, int h, int stride) const
    {
        const double* table = cosine_.data();
        const int half = h / 2;
        for (int c = 0; c < n_; c += 2 * h) {
            const double* sa = s + c;
            const double* sb = s + c + h;
            double* da = d + c;
            double* db = d + c + h;
            const double a0 = sa[0];
            const double b0 = sb[0];
            da[0] = a0 + b0;
            db[0] = a0 - b0;
            da[half] = sa[half];
            db[half] = sb[half];
            for (int k = 1; k < half; ++k) {
                const double cs = table[k * stride];
                const double sn = table[(half - k) * stride];
                const double re = sb[k];
                const double im = sb[half + k];
                const double vr = re * cs - im * sn;
                const double vi = re * sn + im * cs;
                const double ar = sa[k];
                const double ai = sa[half + k];
                da[k] = ar + vr;
                da[h - k] = ar - vr;
                db[k] = vi + ai;
                db[h - k] = vi - ai;
            }
        }
    }

    void inversePass(const double* s, double* d, int h, int stride) const
    {
        const double* table = cosine_.data();
        const int half = h / 2;
        for (int c = 0; c < n_; c += 2 * h) {
            const double* sa = s + c;
            const double* sb = s + c + h;
            double* da = d + c;
            double* db = d + c + h;
            const double a0 = sa[0];
            const double b0 = sb[0];
            da[0] = a0 + b0;
            db[0] = a0 - b0;
            da[half] = 2.0 * sa[half];
            db[half] = 2.0 * sb[half];
            for (int k = 1; k < half; ++k) {
                const double cs = table[k * stride];
                const double sn = table[(half - k) * stride];
                const double lo = sa[k];
                const double mirror = sa[h - k];
                const double up = sb[k];
                const double upMirror = sb[h - k];
                da[k] = lo + mirror;
                da[half + k] = up - upMirror;
                const double dr = lo - mirror;
                const double di = up + upMirror;
                db[k] = cs * dr + sn * di;
                db[half + k] = cs * di - sn * dr;
            }
        }
    }

    int n_;                        // transform length N
    int log2n_;                    // L with N = 2^L
    std::vector<double> scratch_;  // N doubles, work area of both transforms
    std::vector<int> bitReverse_;  // N/4 entries: 4*i with its lowest L bits reversed
    std::vector<double> cosine_;   // N/4 entries: cos(i*2*pi/N)
};

uint64_t bitsOf(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double fromBits(uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// Which NaN an operation returns (sign, payload) depends on operand order, which the
// compiler may swap for commutative operations; any NaN therefore matches any NaN. Every other
// value, signed zeros included, must match bit for bit.
bool sameBits(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return bitsOf(a) == bitsOf(b);
}

// Compares n values; on a mismatch reports the first few differing positions with their bits.
::testing::AssertionResult bitIdentical(const double* got, const double* want, int n)
{
    int bad = 0;
    std::string where;
    for (int i = 0; i < n; ++i) {
        if (sameBits(got[i], want[i]))
            continue;
        if (++bad <= 5) {
            char line[160];
            std::snprintf(line, sizeof line, "\n  [%d] got %.17g (%016llx), want %.17g (%016llx)", i, got[i],
                          static_cast<unsigned long long>(bitsOf(got[i])), want[i],
                          static_cast<unsigned long long>(bitsOf(want[i])));
            where += line;
        }
    }
    if (bad == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " of " << n << " values differ" << where;
}

// Kinds of input. The values come from the raw bits of mt19937_64, which every standard
// library generates identically, so the checksums below hold on every platform.
enum class Fill {
    Unit,      // uniform in [-1, 1)
    Wide,      // random sign and exponent across the whole finite range, denormals included
    Denormal,  // subnormal numbers and signed zeros only
    Huge,      // near the top of the range, so that sums overflow to infinity
    Sparse,    // mostly zeros with a few large spikes (IR-like)
    Special,   // unit values sprinkled with infinities and NaNs
};

double unitValue(std::mt19937_64& rng)
{
    // 53 random bits, then shifted to [-1, 1).
    return static_cast<double>(rng() >> 11) * 0x1.0p-52 - 1.0;
}

std::vector<double> makeInput(int n, Fill fill, uint64_t seed)
{
    std::mt19937_64 rng(seed);
    std::vector<double> x(static_cast<size_t>(n), 0.0);
    for (double& v : x) {
        const uint64_t r = rng();
        const uint64_t sign = r & (uint64_t(1) << 63);
        const uint64_t mantissa = rng() & ((uint64_t(1) << 52) - 1);
        switch (fill) {
        case Fill::Unit:
            v = unitValue(rng);
            break;
        case Fill::Wide:
            v = fromBits(sign | (((r >> 20) % 2047) << 52) | mantissa);
            break;
        case Fill::Denormal:
            v = fromBits(sign | ((r & 15) == 0 ? 0 : mantissa >> (r >> 4 & 31)));
            break;
        case Fill::Huge:
            v = fromBits(sign | ((2040 + (r >> 20) % 7) << 52) | mantissa);
            break;
        case Fill::Sparse:
            v = (r & 63) == 0 ? unitValue(rng) * 1e6 : 0.0;
            break;
        case Fill::Special: {
            const unsigned pick = static_cast<unsigned>(r >> 32) % 512;
            if (pick == 0)
                v = sign ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
            else if (pick == 1)
                v = fromBits(sign | (uint64_t(2047) << 52) | (mantissa | 1)); // quiet or signalling NaN
            else
                v = unitValue(rng);
            break;
        }
        }
    }
    return x;
}

const Fill kFills[] = {Fill::Unit, Fill::Wide, Fill::Denormal, Fill::Huge, Fill::Sparse, Fill::Special};

// FNV-1a over the output bits, every NaN counted as the same value.
uint64_t checksum(const double* v, int n)
{
    uint64_t h = 14695981039346656037ull;
    for (int i = 0; i < n; ++i) {
        const uint64_t b = std::isnan(v[i]) ? 0x7ff8000000000000ull : bitsOf(v[i]);
        for (int byte = 0; byte < 8; ++byte) {
            h ^= (b >> (8 * byte)) & 0xff;
            h *= 1099511628211ull;
        }
    }
    return h;
}

class BitExact : public ::testing::TestWithParam<int> {};

TEST_P(BitExact, TablesMatchTheReference)
{
    const int n = GetParam();
    RealFft fft(n);
    ReferenceFft ref(n);
    EXPECT_EQ(fft.bitReverseTable(), ref.bitReverseTable());
    ASSERT_EQ(fft.cosineTable().size(), ref.cosineTable().size());
    EXPECT_TRUE(bitIdentical(fft.cosineTable().data(), ref.cosineTable().data(), n / 4));
}

// Many inputs of every kind, through both transforms, into buffers with guard words; the
// buffers are also offset by one double so that unaligned caller arrays are covered. Each
// inverse runs both on an arbitrary packed spectrum and on the forward result.
TEST_P(BitExact, BothTransformsMatchTheReferenceForEveryKindOfInput)
{
    const int n = GetParam();
    RealFft fft(n);
    ReferenceFft ref(n);
    const size_t sn = static_cast<size_t>(n);
    uint64_t seed = 1000;
    for (Fill fill : kFills) {
        for (int round = 0; round < 12; ++round, ++seed) {
            SCOPED_TRACE("fill " + std::to_string(static_cast<int>(fill)) + " seed " + std::to_string(seed));
            const int offset = round % 2;
            const std::vector<double> x = makeInput(n, fill, seed);
            Guarded in(sn + 1), out(sn + 1, 5.0), back(sn + 1, 5.0);
            for (size_t i = 0; i < sn; ++i)
                in[offset + i] = x[i];
            std::vector<double> wantOut(sn), wantBack(sn);

            fft.forward(in.data() + offset, out.data() + offset);
            ref.forward(x.data(), wantOut.data());
            ASSERT_TRUE(bitIdentical(out.data() + offset, wantOut.data(), n)) << "forward";
            ASSERT_TRUE(bitIdentical(in.data() + offset, x.data(), n)) << "input changed";

            fft.inverse(out.data() + offset, back.data() + offset);
            ref.inverse(wantOut.data(), wantBack.data());
            ASSERT_TRUE(bitIdentical(back.data() + offset, wantBack.data(), n)) << "inverse of forward";

            fft.inverse(in.data() + offset, back.data() + offset);
            ref.inverse(x.data(), wantBack.data());
            ASSERT_TRUE(bitIdentical(back.data() + offset, wantBack.data(), n)) << "inverse of raw values";

            EXPECT_TRUE(in.intact());
            EXPECT_TRUE(out.intact());
            EXPECT_TRUE(back.intact());
            EXPECT_EQ(out[offset == 0 ? sn : 0], 5.0) << "forward wrote past its n values";
            EXPECT_EQ(back[offset == 0 ? sn : 0], 5.0) << "inverse wrote past its n values";
        }
    }
}

// One engine serves transform after transform: nothing may leak from one call into the next
// through the scratch buffer, so interleaving sizes of input and directions changes nothing.
TEST_P(BitExact, RepeatedAndInterleavedCallsGiveTheSameBits)
{
    const int n = GetParam();
    RealFft fft(n);
    const size_t sn = static_cast<size_t>(n);
    const std::vector<double> a = makeInput(n, Fill::Unit, 7);
    const std::vector<double> b = makeInput(n, Fill::Special, 8);
    std::vector<double> first(sn), again(sn), other(sn);
    fft.forward(a.data(), first.data());
    fft.inverse(b.data(), other.data());
    fft.forward(b.data(), other.data());
    fft.forward(a.data(), again.data());
    EXPECT_EQ(std::memcmp(first.data(), again.data(), sn * sizeof(double)), 0);
}

struct Pinned {
    int n;             // transform length
    uint64_t table;    // checksum of the cosine table the outputs were recorded with
    Fill fill;         // kind of input
    uint64_t seed;     // seed of the input
    uint64_t forward;  // checksum of forward(input)
    uint64_t inverse;  // checksum of inverse(input), the input read as a packed spectrum
};

// Recorded from the reference formulation built without contraction of multiply-add pairs.
// The cosine table comes from the C library's cos(), whose last bit differs between glibc and
// the mingw-w64 runtime for some entries, so each library has its own set.
const uint64_t kGlibc2048 = 0x0cded608e75dfa64ull;
const uint64_t kGlibc4096 = 0xfd6938411b9d5008ull;
const uint64_t kMingw2048 = 0x53e99c4665ebcd01ull;
const uint64_t kMingw4096 = 0xec26ebb098bb20a8ull;
const Pinned kPinned[] = {
    {2048, kGlibc2048, Fill::Unit, 1, 0xd364121195ab8a3full, 0x1dad4572c6502260ull},
    {2048, kGlibc2048, Fill::Wide, 2, 0x6dd679a847df5180ull, 0x1069a1676aa43baeull},
    {2048, kGlibc2048, Fill::Denormal, 3, 0xe4c5a4539f3c9851ull, 0x967aad2f919de0e4ull},
    {2048, kGlibc2048, Fill::Sparse, 4, 0xd02eee119def1639ull, 0x5a2b9e4c2b7c47b8ull},
    {4096, kGlibc4096, Fill::Unit, 1, 0x5ce10076387900daull, 0xbf499ee52b29141cull},
    {4096, kGlibc4096, Fill::Wide, 2, 0x2ace02febfaf506aull, 0xfaa80d1627d8cae5ull},
    {4096, kGlibc4096, Fill::Denormal, 3, 0x86b7a182323abb61ull, 0xeca00f01f18f3cb0ull},
    {4096, kGlibc4096, Fill::Sparse, 4, 0x65b78faca0710d57ull, 0x51e3c4bea6f47d33ull},
    {2048, kMingw2048, Fill::Unit, 1, 0xd364121195ab8a3full, 0x1dad4572c6502260ull},
    {2048, kMingw2048, Fill::Wide, 2, 0xb6e164d0760ba87dull, 0x1069a1676aa43baeull},
    {2048, kMingw2048, Fill::Denormal, 3, 0xe4c5a4539f3c9851ull, 0x967aad2f919de0e4ull},
    {2048, kMingw2048, Fill::Sparse, 4, 0x570b08e09588af61ull, 0x5a2b9e4c2b7c47b8ull},
    {4096, kMingw4096, Fill::Unit, 1, 0x42c3ac0f2e701010ull, 0xbf499ee52b29141cull},
    {4096, kMingw4096, Fill::Wide, 2, 0xb9d1ad77fe350f5dull, 0xfaa80d1627d8cae5ull},
    {4096, kMingw4096, Fill::Denormal, 3, 0xb438405c33a4fb23ull, 0x074992b0b3757586ull},
    {4096, kMingw4096, Fill::Sparse, 4, 0xa5912a28ca7efc0cull, 0x51e3c4bea6f47d33ull},
};

TEST(BitExactPinned, OutputsKeepTheirRecordedChecksums)
{
    for (int n : {2048, 4096}) {
        RealFft fft(n);
        ReferenceFft ref(n);
        const uint64_t table = checksum(fft.cosineTable().data(), n / 4);
        int checked = 0;
        for (const Pinned& p : kPinned) {
            if (p.n != n || p.table != table)
                continue;
            ++checked;
            const size_t sn = static_cast<size_t>(n);
            const std::vector<double> x = makeInput(n, p.fill, p.seed);
            std::vector<double> got(sn), want(sn);
            char label[64];
            std::snprintf(label, sizeof label, "n %d fill %d seed %llu", n, static_cast<int>(p.fill),
                          static_cast<unsigned long long>(p.seed));
            SCOPED_TRACE(label);

            ref.forward(x.data(), want.data());
            fft.forward(x.data(), got.data());
            const uint64_t f = checksum(want.data(), n);
            EXPECT_EQ(f, p.forward) << std::hex << "reference forward 0x" << f;
            EXPECT_EQ(checksum(got.data(), n), p.forward);

            ref.inverse(x.data(), want.data());
            fft.inverse(x.data(), got.data());
            const uint64_t i = checksum(want.data(), n);
            EXPECT_EQ(i, p.inverse) << std::hex << "reference inverse 0x" << i;
            EXPECT_EQ(checksum(got.data(), n), p.inverse);
        }
        EXPECT_GT(checked, 0) << "no outputs recorded for the cosine table of length " << n
                              << " that this C library computes (checksum 0x" << std::hex << table << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BitExact, ::testing::Values(2048, 4096));

} // namespace
