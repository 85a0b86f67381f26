#include "dsp/CabSlot.h"

#include <algorithm>

namespace dsp {

CabSlot::CabSlot()
    : productSpectrum(kFftSize, 0.0)
    , blockResult(kFftSize, 0.0)
    , overlapTail(kFftSize, 0.0)
    , blockOutput(kFftSize, 0.0)
    , delayLine(kDelayCapacity, 0.0)
{
}

void CabSlot::clearConvolution()
{
    std::fill(overlapTail.begin(), overlapTail.end(), 0.0);
    std::fill(blockOutput.begin(), blockOutput.end(), 0.0);
}

} // namespace dsp
