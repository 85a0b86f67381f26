#include "dsp/IrHandover.h"

#include <algorithm>

namespace dsp {

IrHandover::IrHandover()
    : storage_(3 * static_cast<size_t>(kCapacity), 0.0)
{
}

void IrHandover::publish(const double* values, int size)
{
    double* target = buffer(back_);
    std::copy(values, values + size, target);
    std::fill(target + size, target + kCapacity, 0.0);
    sizes_[back_] = size;
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
