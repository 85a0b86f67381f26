// Integer arithmetic shared by the draw context's files: offsets that saturate instead of
// wrapping around, and the rounded division by 255 of premultiplied blending.
#pragma once

#include "gui/CGeometry.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace gui::draw {

// x / 255 rounded to nearest, for 0 <= x <= 255 * 255 * 2.
inline std::uint32_t div255(std::uint32_t x) { return (x + 127) / 255; }

// Adds an offset without wrapping around.
inline std::int32_t addClamped(std::int32_t v, std::int32_t d)
{
    const std::int64_t s = static_cast<std::int64_t>(v) + d;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(s, INT32_MIN, INT32_MAX));
}

inline CRect offsetRect(const CRect& r, const CPoint& o)
{
    return CRect(addClamped(r.left, o.x), addClamped(r.top, o.y), addClamped(r.right, o.x), addClamped(r.bottom, o.y));
}

} // namespace gui::draw
