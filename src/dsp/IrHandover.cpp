#include "dsp/IrHandover.h"

#include <algorithm>

namespace dsp {

IrHandover::IrHandover()
    : storage_(3 * static_cast<size_t>(kSize), 0.0)
{
}

void IrHandover::publish(const double* values)
{
    std::copy(values, values + kSize, buffer(back_));
    // Release makes the buffer contents visible to whoever takes this index; acquire
    // makes the audio thread's last reads of the buffer we get back happen before we
    // overwrite it.
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
