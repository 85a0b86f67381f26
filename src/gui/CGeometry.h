// Points and rectangles of the toolkit: 32-bit signed pixel coordinates, y grows downward.
// A rectangle spans left..right and top..bottom; which edges a drawing operation covers is
// the drawing operation's rule, not the rectangle's.
#pragma once

#include <algorithm>
#include <cstdint>

namespace gui {

struct CPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    CPoint() = default;
    CPoint(std::int32_t x_, std::int32_t y_) : x(x_), y(y_) {}

    CPoint& offset(std::int32_t dx, std::int32_t dy) { x += dx; y += dy; return *this; }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    CRect() = default;
    CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) : left(l), top(t), right(r), bottom(b) {}

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(std::int32_t dx, std::int32_t dy)
    {
        left += dx; right += dx; top += dy; bottom += dy;
        return *this;
    }
    CRect& moveTo(std::int32_t x, std::int32_t y) { return offset(x - left, y - top); }
    CRect& setWidth(std::int32_t w) { right = left + w; return *this; }
    CRect& setHeight(std::int32_t h) { bottom = top + h; return *this; }

    // Puts the edges in order so that left <= right and top <= bottom.
    CRect& normalize()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        return *this;
    }

    // Edges included, as the toolkit's hit tests want.
    bool pointInside(const CPoint& p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }

    // Overlap with edges included: touching rectangles count.
    bool touches(const CRect& o) const
    {
        return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
    }

    // Overlap by at least one pixel.
    bool overlaps(const CRect& o) const
    {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }

    // Intersection; an empty result keeps right >= left and bottom >= top.
    CRect& bound(const CRect& o)
    {
        left = std::max(left, o.left);
        top = std::max(top, o.top);
        right = std::min(right, o.right);
        bottom = std::min(bottom, o.bottom);
        if (right < left) right = left;
        if (bottom < top) bottom = top;
        return *this;
    }

    bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

} // namespace gui
