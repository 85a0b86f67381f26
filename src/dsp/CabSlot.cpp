#include "dsp/CabSlot.h"

#include <algorithm>

namespace dsp {

CabSlot::CabSlot(int ringCapacity, int ownWeightCapacity)
    : overlapTail(kMaxHop, 0.0)
    , blockOutput(kMaxHop, 0.0)
    , delayLine(kDelayCapacity, 0.0)
    , source(static_cast<size_t>(ringCapacity), 0)
    , ownWeights(static_cast<size_t>(ownWeightCapacity), 0.0)
{
}

void CabSlot::clearConvolution()
{
    std::fill(overlapTail.begin(), overlapTail.end(), 0.0);
    std::fill(blockOutput.begin(), blockOutput.end(), 0.0);
    history = 0;
    outputZero = true;
}

} // namespace dsp
