#include "dsp/RealFft.h"

#include <cmath>

namespace dsp {

namespace {

// Step of the quarter-wave cosine table, 2*pi/N (pi/1024 and pi/2048), written out so that
// every build computes bit-identical tables.
constexpr double kStep2048 = 0.0030679615757712823;
constexpr double kStep4096 = 0.0015339807878856412;

// cos(pi/4) = sin(pi/4): the only twiddle of the first radix-2 pass after the fused stage.
constexpr double kSqrtHalf = 0.7071067811865476;

int log2Of(int n)
{
    int l = 0;
    while ((1 << l) < n)
        ++l;
    return l;
}

// One forward radix-2 pass producing blocks of 2h values from pairs of packed blocks of h.
// `table` is the quarter-wave cosine table, `stride` = N/(2h) its step per k.
void forwardPass(const double* s, double* d, int n, int h, const double* table, int stride)
{
    const int half = h / 2;
    for (int c = 0; c < n; c += 2 * h) {
        const double* sa = s + c;     // packed transform of the even half
        const double* sb = s + c + h; // packed transform of the odd half
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

// Undoes forwardPass without halving (every value comes out doubled).
void inversePass(const double* s, double* d, int n, int h, const double* table, int stride)
{
    const int half = h / 2;
    for (int c = 0; c < n; c += 2 * h) {
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

} // namespace

RealFft::RealFft(int size)
    // Only the two lengths the effect uses exist; any other request gets the 2048 engine
    // rather than tables of a size nothing was checked with. size() tells which it got.
    : n_(size == 4096 ? 4096 : 2048),
      log2n_(log2Of(n_)),
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
    const double step = n_ == 2048 ? kStep2048 : kStep4096;
    for (int i = 0; i < n_ / 4; ++i)
        cosine_[static_cast<size_t>(i)] = std::cos(static_cast<double>(i) * step);
}

void RealFft::forward(const double* input, double* output)
{
    const int n = n_;
    const int quarter = n / 4;
    const int* rev = bitReverse_.data();
    const double* table = cosine_.data();
    double* scratch = scratch_.data();

    // The first stage (bit reversal with passes 1 and 2) and pass 3 are computed together,
    // one block of eight at a time, straight into the buffer pass 3 writes; the remaining
    // passes alternate buffers so that pass L lands in the destination.
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
        // Pass 3 (h = 4): its single twiddle pair is sqrt(1/2) twice.
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
        forwardPass(src, dst, n, h, table, n / (2 * h));
    }
}

void RealFft::inverse(const double* spectrum, double* output)
{
    const int n = n_;
    const int quarter = n / 4;
    const int* rev = bitReverse_.data();
    const double* table = cosine_.data();
    double* scratch = scratch_.data();

    // Passes L down to 4 alternate buffers so that pass 4 lands in the scratch buffer;
    // pass 3 and the last stage (which scatters through the bit-reverse table) are then
    // computed together, one block of eight at a time, into the output.
    const int passes = log2n_ - 3;
    double* dst = (passes % 2 == 1) ? scratch : output;
    const double* src = spectrum;
    for (int p = log2n_; p >= 4; --p) {
        const int h = 1 << (p - 1);
        inversePass(src, dst, n, h, table, n / (2 * h));
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

void RealFft::rescale(double* data) const
{
    // 2^-L is exact, so this equals a division by N.
    const double scale = 1.0 / static_cast<double>(n_);
    for (int i = 0; i < n_; ++i)
        data[i] *= scale;
}

} // namespace dsp
