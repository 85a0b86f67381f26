#include "dsp/CabSlot.h"

#include <algorithm>

namespace dsp {

CabSlot::CabSlot()
    : productSpectrum(kMaxFftSize, 0.0)
    , blockResult(kMaxFftSize, 0.0)
    , overlapTail(kMaxFftSize, 0.0)
    , blockOutput(kMaxFftSize, 0.0)
    , delayLine(kMaxDelay, 0.0)
{
}

void CabSlot::clearConvolution()
{
    std::fill(overlapTail.begin(), overlapTail.end(), 0.0);
    std::fill(blockOutput.begin(), blockOutput.end(), 0.0);
}

void CabSlot::clearAll()
{
    clearConvolution();
    std::fill(productSpectrum.begin(), productSpectrum.end(), 0.0);
    std::fill(blockResult.begin(), blockResult.end(), 0.0);
}

} // namespace dsp
