#include "dsp/IrHandover.h"

#include <cstddef>

namespace dsp {

SlotIr::SlotIr()
    : spectrum(kSize, 0.0)
    , taps(kMaxTaps, 0.0)
    , partitions(kPartitionSet, 0.0)
{
}

void IrHandover::publish()
{
    // Release makes the buffer contents visible to whoever takes this index; acquire
    // makes the audio thread's last reads (and its partitions cut for another hop) of the
    // buffer we get back happen before we overwrite it.
    back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndexMask;
}

bool IrHandover::acquire()
{
    if ((middle_.load(std::memory_order_relaxed) & kFresh) == 0) {
        return false;
    }
    front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndexMask;
    return true;
}

} // namespace dsp
