#include "gui/CFontTable.h"

namespace gui {

namespace {

// Sizes are character heights in pixels. Index 7 is the decorative (symbol) family.
const CFontDesc kStandardFonts[kNumStandardFonts] = {
    {"Lucida Sans Unicode", 12, true, false},
    {"Lucida Sans Unicode", 18, false, false},
    {"Lucida Sans Unicode", 14, false, false},
    {"Courier New", 14, false, false},
    {"Lucida Sans Unicode", 11, false, false},
    {"Lucida Sans Unicode", 10, false, false},
    {"Lucida Sans Unicode", 9, false, false},
    {"Symbol", 13, false, true},
};

} // namespace

std::int32_t CFontTable::normalise(std::int32_t index)
{
    return (index < 0 || index >= kNumStandardFonts) ? 0 : index;
}

const CFontDesc& CFontTable::get(std::int32_t index) { return kStandardFonts[normalise(index)]; }

} // namespace gui
