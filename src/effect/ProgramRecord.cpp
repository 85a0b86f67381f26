#include "effect/ProgramRecord.h"

#include "effect/ParameterTable.h"

#include <cstring>

namespace orvex {

void ProgramRecord::makeFresh()
{
    std::memset(this, 0, sizeof(*this));
    std::memcpy(name, "Init", 5);
    for (int index = 0; index < kNumParams; ++index) {
        const int slot = recordSlot(index);
        if (slot >= 0)
            values[slot] = freshValue(index);
    }
}

} // namespace orvex
