#include "dsp/RealFft.h"

#include "dsp/RealFftPasses.h"

#include <cmath>
#include <utility>

namespace dsp {

namespace {

// Step of the quarter-wave cosine table, 2*pi/N (pi/1024 and pi/2048), written out so that
// every build computes bit-identical tables.
constexpr double kStep2048 = 0.0030679615757712823;
constexpr double kStep4096 = 0.0015339807878856412;

int log2Of(int n)
{
    int l = 0;
    while ((1 << l) < n)
        ++l;
    return l;
}

// Offset in the twiddle array of the pass whose half-blocks are h long (8 + 16 + ... + h/2).
inline int twiddleOffset(int h)
{
    return h - 8;
}

} // namespace

using namespace realfft;

bool RealFft::isSupportedSize(int size)
{
    return size >= kMinSize && size <= kMaxSize && (size & (size - 1)) == 0;
}

RealFft::RealFft(int size)
    // Powers of two from 16 (the smallest length the fused first stages and pass 3 cover) to
    // 4096. Any other request gets the 2048 engine rather than tables of a size nothing was
    // checked with; size() tells which it got.
    : n_(isSupportedSize(size) ? size : 2048),
      log2n_(log2Of(n_)),
      scratch_(static_cast<size_t>(n_), 0.0),
      bitReverse_(static_cast<size_t>(n_ / 4), 0),
      cosine_(static_cast<size_t>(n_ / 4), 0.0),
      twiddle_(static_cast<size_t>(n_ - 8), 0.0)
{
    for (int i = 1; i < n_ / 4; ++i) {
        const unsigned v = static_cast<unsigned>(4 * i);
        unsigned r = 0;
        for (int b = 0; b < log2n_; ++b)
            if (v & (1u << b))
                r |= 1u << (log2n_ - 1 - b);
        bitReverse_[static_cast<size_t>(i)] = static_cast<int>(r);
    }
    // 2*pi/N for the other lengths is the 2048 step times a power of two, which is exact, so
    // every length's table holds the very same numbers as the shared entries of the others.
    const double step = n_ == 4096 ? kStep4096 : kStep2048 * (2048.0 / static_cast<double>(n_));
    for (int i = 0; i < n_ / 4; ++i)
        cosine_[static_cast<size_t>(i)] = std::cos(static_cast<double>(i) * step);
    // cos(pi*k/h) and sin(pi*k/h) are entries k*N/(2h) and (h/2 - k)*N/(2h) of the quarter
    // wave; copying them keeps the twiddles the very same numbers.
    for (int h = 8; h <= n_ / 2; h *= 2) {
        const int half = h / 2;
        const int stride = n_ / (2 * h);
        double* tc = twiddle_.data() + twiddleOffset(h);
        double* ts = tc + half;
        for (int k = 1; k < half; ++k) {
            tc[k] = cosine_[static_cast<size_t>(k * stride)];
            ts[k] = cosine_[static_cast<size_t>((half - k) * stride)];
        }
    }
}

void RealFft::forward(const double* input, double* output)
{
    const int n = n_;
    const double* twiddle = twiddle_.data();
    double* scratch = scratch_.data();

    // Passes 4 .. L run two at a time, with a single pass h = 8 first when their count is odd
    // (N = 4096). The first stage (bit reversal with passes 1 and 2) and pass 3 are computed
    // together straight into the buffer that makes the sweeps alternate into the destination.
    const int remaining = log2n_ - 3;
    const bool single = remaining % 2 == 1;
    const int sweeps = remaining / 2 + (single ? 1 : 0);
    double* dst = (sweeps % 2 == 1) ? scratch : output;
    double* src = (dst == scratch) ? output : scratch;

    forwardFirstStages(input, dst, n, bitReverse_.data());

    int h = 8;
    if (single) {
        std::swap(src, dst);
        forwardPass(src, dst, n, h, twiddle + twiddleOffset(h));
        h *= 2;
    }
    for (; h <= n / 4; h *= 4) {
        std::swap(src, dst);
        forwardFusedPasses(src, dst, n, h, twiddle + twiddleOffset(h), twiddle + twiddleOffset(2 * h));
    }
}

void RealFft::inverse(const double* spectrum, double* output)
{
    const int n = n_;
    const double* twiddle = twiddle_.data();
    double* scratch = scratch_.data();

    // The forward sweeps undone in reverse order, alternating buffers so that the last one
    // (pass 4) lands in the scratch buffer; pass 3 and the last stage (which scatters through
    // the bit-reverse table) are then computed together into the output.
    const int remaining = log2n_ - 3;
    const bool single = remaining % 2 == 1;
    const int sweeps = remaining / 2 + (single ? 1 : 0);
    double* dst = (sweeps % 2 == 1) ? scratch : output;
    const double* src = spectrum;
    const int lowest = single ? 16 : 8;
    for (int h = n / 4; h >= lowest; h /= 4) {
        inverseFusedPasses(src, dst, n, h, twiddle + twiddleOffset(h), twiddle + twiddleOffset(2 * h));
        src = dst;
        dst = (dst == scratch) ? output : scratch;
    }
    if (single) {
        inversePass(src, dst, n, 8, twiddle + twiddleOffset(8));
        src = dst;
    }

    inverseLastStages(src, output, n, bitReverse_.data());
}

void RealFft::rescale(double* data) const
{
    // 2^-L is exact, so this equals a division by N.
    const double scale = 1.0 / static_cast<double>(n_);
    for (int i = 0; i < n_; ++i)
        data[i] *= scale;
}

} // namespace dsp
