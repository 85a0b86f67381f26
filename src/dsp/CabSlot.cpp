#include "dsp/CabSlot.h"

#include <algorithm>

namespace dsp {

CabSlot::CabSlot(int ringCapacity)
    : overlapTail(kMaxHop, 0.0)
    , blockOutput(kMaxHop, 0.0)
    , delayLine(kDelayCapacity, 0.0)
    , ownSource(static_cast<size_t>(ringCapacity), 0)
    , source(ownSource.data())
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
