#include "dsp/IrPartitioner.h"

#include <algorithm>

namespace dsp {

namespace {

int indexOf(int m)
{
    int index = 0;
    for (int size = RealFft::kMinSize; size < m; size *= 2)
        ++index;
    return index;
}

} // namespace

IrPartitioner::IrPartitioner()
    : block_(kMaxTransform, 0.0)
{
    for (int i = 0; i < 7; ++i)
        ffts_[i] = std::make_unique<RealFft>(RealFft::kMinSize << i);
}

int IrPartitioner::largestLayout(int maxLength)
{
    int largest = 0;
    for (int hop = 1; hop <= kMaxHop; ++hop)
        largest = std::max(largest, layout(hop, maxLength));
    return largest;
}

RealFft& IrPartitioner::fft(int m)
{
    return *ffts_[indexOf(m)];
}

void IrPartitioner::partition(const double* taps, int length, int hop, double* out)
{
    const int m = transformSize(hop);
    const int count = partitionCount(hop, length);
    for (int p = 0; p < count; ++p)
        partitionOne(taps, length, hop, p, out + static_cast<long>(p) * m);
}

void IrPartitioner::partitionOne(const double* taps, int length, int hop, int p, double* out)
{
    const int m = transformSize(hop);
    const double scale = 1.0 / static_cast<double>(m);
    double* block = block_.data();
    const int first = p * hop;
    const int used = std::min(hop, length - first);
    std::copy(taps + first, taps + first + used, block);
    std::fill(block + used, block + m, 0.0);
    fft(m).forward(block, out);
    for (int i = 0; i < m; ++i)
        out[i] *= scale;
}

} // namespace dsp
