// Splits a time-domain IR into the partition spectra of the uniformly partitioned
// convolution: for a hop of B samples, partition p holds taps p*B .. p*B+B-1, zero padded
// to the transform size M (2B for B >= 8, the next power of two of 2B and at least 16
// otherwise), transformed with RealFft and scaled by 1/M, so that the engine's inverse
// transforms need no rescale (M is a power of two: the scaling is exact).
//
// Owns one RealFft per transform size, built in the constructor. partition() allocates
// nothing. One partitioner belongs to one thread: the engine has one for the threads that
// load IRs and one for its audio thread.
#pragma once

#include "dsp/RealFft.h"

#include <memory>
#include <vector>

namespace dsp {

class IrPartitioner {
public:
    static constexpr int kMaxHop = 512;
    static constexpr int kMaxTransform = 2 * kMaxHop;

    IrPartitioner();
    IrPartitioner(const IrPartitioner&) = delete;
    IrPartitioner& operator=(const IrPartitioner&) = delete;

    // Transform size M for a hop (1 .. kMaxHop).
    static constexpr int transformSize(int hop)
    {
        int m = RealFft::kMinSize;
        while (m < 2 * hop)
            m *= 2;
        return m;
    }
    // Number of partitions an IR of `length` taps needs at this hop.
    static constexpr int partitionCount(int hop, int length) { return (length + hop - 1) / hop; }
    // Doubles the partition spectra of an IR of `length` taps take at this hop.
    static constexpr int layout(int hop, int length) { return partitionCount(hop, length) * transformSize(hop); }
    // Largest layout over every hop for IRs of at most maxLength taps.
    static int largestLayout(int maxLength);

    // Writes partitionCount(hop, length) spectra of transformSize(hop) doubles, back to back,
    // to out. taps holds `length` values.
    void partition(const double* taps, int length, int hop, double* out);
    // Writes the spectrum of partition p alone (0 .. partitionCount - 1) to out: the same
    // transformSize(hop) doubles that partition() writes for it.
    void partitionOne(const double* taps, int length, int hop, int p, double* out);

    // The transform of size m (16 .. kMaxTransform), for the owner's other work.
    RealFft& fft(int m);

private:
    std::unique_ptr<RealFft> ffts_[7]; // sizes 16, 32, .. 1024
    std::vector<double> block_;        // one zero-padded partition (kMaxTransform doubles)
};

} // namespace dsp
