#include "platform/x11/X11MenuPicture.h"

namespace platform {

namespace {

// The image's pixel value for an 0x00RRGGBB colour, whatever its visual's masks.
unsigned long pixelValue(const XImage* image, std::uint32_t colour)
{
    auto scale = [](unsigned long value, unsigned long mask) -> unsigned long {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        return ((value * (mask >> shift) + 127) / 255) << shift;
    };
    return scale((colour >> 16) & 0xFF, image->red_mask) | scale((colour >> 8) & 0xFF, image->green_mask) |
           scale(colour & 0xFF, image->blue_mask);
}

} // namespace

void layOutMenu(const std::vector<MenuItem>& items, const Font* font, std::int32_t screenWidth,
                std::int32_t screenHeight, std::vector<Rect>& rects, std::int32_t& width, std::int32_t& height)
{
    const std::int32_t maxColumnHeight = std::max(kItemHeight, screenHeight - 2 * kBorder - 4);
    std::vector<std::vector<std::size_t>> columns(1);
    std::int32_t columnHeight = 0;
    std::int32_t tallest = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::int32_t h = items[i].separator ? kSeparatorHeight : kItemHeight;
        if (!columns.back().empty() && (items[i].columnBreak || columnHeight + h > maxColumnHeight)) {
            columns.emplace_back();
            columnHeight = 0;
        }
        columns.back().push_back(i);
        columnHeight += h;
        tallest = std::max(tallest, columnHeight);
    }
    std::vector<std::int32_t> widths;
    for (const auto& column : columns) {
        std::int32_t widest = 0;
        for (std::size_t i : column)
            widest = std::max(widest, measureText(font, items[i].text.c_str()).width);
        widths.push_back(std::max(kMinColumnWidth, kCheckMargin + widest + kArrowMargin));
    }
    std::int32_t total = 0;
    for (std::int32_t w : widths)
        total += w;
    // Too wide for the screen: every column gets its share and long names are cut.
    const std::int32_t room = screenWidth - 2 * kBorder;
    if (total > room) {
        const std::int32_t share = std::max<std::int32_t>(kMinColumnWidth / 2, room / static_cast<std::int32_t>(widths.size()));
        total = 0;
        for (std::int32_t& w : widths) {
            w = share;
            total += w;
        }
    }
    rects.assign(items.size(), Rect{});
    std::int32_t x = kBorder;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        std::int32_t y = kBorder;
        for (std::size_t i : columns[c]) {
            const std::int32_t h = items[i].separator ? kSeparatorHeight : kItemHeight;
            rects[i] = Rect{x, y, x + widths[c], y + h};
            y += h;
        }
        x += widths[c];
    }
    width = total + 2 * kBorder;
    height = tallest + 2 * kBorder;
}

void drawMenu(Canvas& canvas, const std::vector<MenuItem>& items, const std::vector<Rect>& rects, int highlight,
              const Font* font)
{
    Canvas& c = canvas;
    c.fill(0, 0, c.width, c.height, kFrame);
    c.fill(kBorder, kBorder, c.width - 2 * kBorder, c.height - 2 * kBorder, kBackground);
    const TextExtent lineBox = measureText(font, "Ag");
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        const Rect& r = rects[i];
        if (item.separator) {
            c.fill(r.left + 4, (r.top + r.bottom) / 2, r.right - r.left - 8, 1, kSeparator);
            continue;
        }
        const bool lit = static_cast<int>(i) == highlight && (choosable(item) || !item.submenu.empty());
        if (lit)
            c.fill(r.left, r.top, r.right - r.left, r.bottom - r.top, kHighlight);
        const std::uint32_t ink = lit ? kHighlightText : item.greyed ? kGreyText : kText;
        const std::int32_t textTop = r.top + (kItemHeight - lineBox.height) / 2;
        c.text(font, item.text, r.left + kCheckMargin, textTop, r.right - (item.submenu.empty() ? 2 : kArrowMargin), ink);
        const std::int32_t mid = (r.top + r.bottom) / 2;
        if (item.checked) {
            c.line(r.left + 5, mid, r.left + 8, mid + 3, ink);
            c.line(r.left + 8, mid + 3, r.left + 14, mid - 4, ink);
        }
        if (!item.submenu.empty()) {
            for (std::int32_t k = 0; k < 4; ++k)
                c.fill(r.right - 12 + k, mid - 4 + k, 1, 9 - 2 * k, ink);
        }
    }
}

void showCanvas(Display* display, ::Window window, GC gc, const Canvas& canvas)
{
    const int screen = DefaultScreen(display);
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), static_cast<unsigned>(DefaultDepth(display, screen)),
                                 ZPixmap, 0, nullptr, static_cast<unsigned>(canvas.width),
                                 static_cast<unsigned>(canvas.height), 32, 0);
    if (!image)
        return;
    image->data = static_cast<char*>(
        std::malloc(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(canvas.height)));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    for (std::int32_t y = 0; y < canvas.height; ++y)
        for (std::int32_t x = 0; x < canvas.width; ++x)
            XPutPixel(image, x, y,
                      pixelValue(image, canvas.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) +
                                                      static_cast<std::size_t>(x)]));
    XPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(canvas.width),
              static_cast<unsigned>(canvas.height));
    XDestroyImage(image); // frees the data too
    XFlush(display);
}

} // namespace platform
