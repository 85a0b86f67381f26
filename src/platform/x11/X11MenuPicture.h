// The picture of a popup menu level: its layout in columns that fit the screen, its items
// drawn into a top-down 0x00RRGGBB pixel block (fills, blended text from our text
// rasteriser, check marks, submenu arrows), and the copy of that block to a window whatever
// the server's visual.
#pragma once

#include "platform/Platform.h"
#include "platform/x11/X11Layer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {

constexpr std::int32_t kItemHeight = 20;      // rows per item
constexpr std::int32_t kSeparatorHeight = 7;  // rows per separator
constexpr std::int32_t kCheckMargin = 22;     // room for the check mark, left of the text
constexpr std::int32_t kArrowMargin = 20;     // room for a submenu arrow, right of the text
constexpr std::int32_t kMinColumnWidth = 60;  // narrowest column
constexpr std::int32_t kBorder = 1;           // frame around the menu

constexpr std::uint32_t kBackground = 0xF2F2F2;
constexpr std::uint32_t kFrame = 0x7A7A7A;
constexpr std::uint32_t kText = 0x101010;
constexpr std::uint32_t kGreyText = 0x9A9A9A;
constexpr std::uint32_t kHighlight = 0x3569C8;
constexpr std::uint32_t kHighlightText = 0xFFFFFF;
constexpr std::uint32_t kSeparator = 0xC4C4C4;


inline bool choosable(const MenuItem& item) { return !item.separator && !item.disabled && !item.greyed; }

// A top-down 0x00RRGGBB picture with the few drawing operations a menu needs.
struct Canvas {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;

    void resize(std::int32_t w, std::int32_t h, std::uint32_t background)
    {
        width = w;
        height = h;
        pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), background);
    }
    void fill(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::uint32_t colour)
    {
        const std::int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
        const std::int32_t x1 = std::min(x + w, width), y1 = std::min(y + h, height);
        for (std::int32_t row = y0; row < y1; ++row)
            std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(row) * width + x0, std::max(0, x1 - x0), colour);
    }
    void blend(std::int32_t x, std::int32_t y, std::uint32_t colour, unsigned alpha)
    {
        if (x < 0 || y < 0 || x >= width || y >= height || alpha == 0)
            return;
        std::uint32_t& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        std::uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const unsigned d = (p >> shift) & 0xFF, s = (colour >> shift) & 0xFF;
            out |= ((d * (255 - alpha) + s * alpha + 127) / 255) << shift;
        }
        p = out;
    }
    // Text inside a clip box, its line box's top-left at (x, y).
    void text(const Font* font, const std::string& text, std::int32_t x, std::int32_t y, std::int32_t clipRight,
              std::uint32_t colour)
    {
        TextMask mask;
        if (!renderText(font, text.c_str(), mask))
            return;
        for (std::int32_t row = 0; row < mask.height; ++row) {
            for (std::int32_t col = 0; col < mask.width; ++col) {
                const std::int32_t px = x + mask.originX + col;
                if (px >= clipRight)
                    break;
                blend(px, y + mask.originY + row, colour,
                      mask.alpha[static_cast<std::size_t>(row) * static_cast<std::size_t>(mask.width) + static_cast<std::size_t>(col)]);
            }
        }
    }
    // A two-pixel line, for the check mark.
    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t colour)
    {
        const std::int32_t steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (std::int32_t i = 0; i <= steps; ++i) {
            const std::int32_t x = x0 + (steps ? (x1 - x0) * i / steps : 0);
            const std::int32_t y = y0 + (steps ? (y1 - y0) * i / steps : 0);
            fill(x, y, 2, 2, colour);
        }
    }
};

// Places the items in columns (a new one at a column break or where the screen ends) and
// gives each its rectangle in the level's window, and the window's size; columns too wide
// together for the screen share its width.
void layOutMenu(const std::vector<MenuItem>& items, const Font* font, std::int32_t screenWidth,
                std::int32_t screenHeight, std::vector<Rect>& rects, std::int32_t& width, std::int32_t& height);

// Draws the whole level, the highlighted item (-1 for none) lit.
void drawMenu(Canvas& canvas, const std::vector<MenuItem>& items, const std::vector<Rect>& rects, int highlight,
              const Font* font);

// Copies the whole canvas to the window (same size).
void showCanvas(Display* display, ::Window window, GC gc, const Canvas& canvas);

} // namespace platform
