// Popup menus on X11, drawn by our own code (the same text rasteriser as the editor) into
// override-redirect windows, so that they look alike on every desktop and need no toolkit.
//
// One window per open level (the menu, then each open submenu). The menu is modal: it grabs
// the pointer and the keyboard and runs its own event loop until an item is chosen or the
// menu is dismissed (a press outside it, Escape). Our other windows keep being painted.
//
// Long menus (a folder of hundreds of files) are laid out in columns that fit the screen;
// an item marked as a column break starts a new column too.
//
// Mouse: moving highlights, a release over an item chooses it (the left button, and the
// right one for a menu opened with it); the release of the click that opened the menu does
// not choose. Keys: Up/Down, Left/Right (columns, submenus), Home/End, Return or Space to
// choose, Escape to close a level, a letter jumps to the next item starting with it.
#include "platform/x11/X11Layer.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

namespace platform {

namespace {

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

bool choosable(const MenuItem& item) { return !item.separator && !item.disabled && !item.greyed; }

// A top-down 0x00RRGGBB picture with the few drawing operations a menu needs.
struct Canvas {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;

    void resize(std::int32_t w, std::int32_t h)
    {
        width = w;
        height = h;
        pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), kBackground);
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

// One open level: a menu or submenu in its own window.
struct Level {
    const std::vector<MenuItem>* items = nullptr; // what it shows
    std::vector<Rect> itemRects;                  // per item, in the level's window
    Rect bounds;                                  // the window on the screen
    ::Window xid = 0;                             // its window
    GC gc = nullptr;                              // for XPutImage
    Canvas canvas;                                // its picture
    int highlight = -1;                           // highlighted item, -1 for none
};

class PopupSession {
public:
    PopupSession(X11Layer& layer, X11Window* owner, bool trackRight)
        : layer_(layer), display_(layer.display()), owner_(owner), trackRight_(trackRight)
    {
        FontRequest request;
        request.face = "DejaVu Sans";
        request.pixelHeight = 13;
        font_ = createFont(request);
        const int screen = DefaultScreen(display_);
        screenWidth_ = DisplayWidth(display_, screen);
        screenHeight_ = DisplayHeight(display_, screen);
    }

    ~PopupSession()
    {
        while (!levels_.empty())
            closeLevel();
        destroyFont(font_);
    }

    std::int32_t run(const Point& where, const std::vector<MenuItem>& items)
    {
        openLevel(items, where, Rect{where.x, where.y, where.x, where.y});
        XSync(display_, False);
        if (!grab()) {
            // Without the grab a press elsewhere would never reach us and the menu could not
            // be dismissed: better no menu than a stuck one.
            return -1;
        }
        while (!done_) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
        }
        XUngrabPointer(display_, CurrentTime);
        XUngrabKeyboard(display_, CurrentTime);
        while (!levels_.empty())
            closeLevel();
        // Repaint what the menu covered right away rather than at the next idle.
        XSync(display_, False);
        while (layer_.display() && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            layer_.handleEvent(event, true);
        }
        return result_;
    }

private:
    bool grab()
    {
        const ::Window window = levels_.front().xid;
        const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        // Another program may hold a grab for a moment (a window manager's own menu).
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (XGrabPointer(display_, window, False, mask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) ==
                GrabSuccess) {
                for (int k = 0; k < 50; ++k) {
                    if (XGrabKeyboard(display_, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess)
                        return true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                XUngrabPointer(display_, CurrentTime);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Lays a level out in columns and places it: at `where` for the menu, beside the parent
    // item (`anchor`, screen coordinates) for a submenu, always inside the screen.
    void openLevel(const std::vector<MenuItem>& items, const Point& where, const Rect& anchor)
    {
        levels_.emplace_back();
        Level& level = levels_.back();
        level.items = &items;
        const std::int32_t maxColumnHeight = std::max(kItemHeight, screenHeight_ - 2 * kBorder - 4);
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
                widest = std::max(widest, measureText(font_, items[i].text.c_str()).width);
            widths.push_back(std::max(kMinColumnWidth, kCheckMargin + widest + kArrowMargin));
        }
        std::int32_t total = 0;
        for (std::int32_t w : widths)
            total += w;
        // Too wide for the screen: every column gets its share and long names are cut.
        const std::int32_t room = screenWidth_ - 2 * kBorder;
        if (total > room) {
            const std::int32_t share = std::max<std::int32_t>(kMinColumnWidth / 2, room / static_cast<std::int32_t>(widths.size()));
            total = 0;
            for (std::int32_t& w : widths) {
                w = share;
                total += w;
            }
        }
        level.itemRects.assign(items.size(), Rect{});
        std::int32_t x = kBorder;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            std::int32_t y = kBorder;
            for (std::size_t i : columns[c]) {
                const std::int32_t h = items[i].separator ? kSeparatorHeight : kItemHeight;
                level.itemRects[i] = Rect{x, y, x + widths[c], y + h};
                y += h;
            }
            x += widths[c];
        }
        const std::int32_t width = total + 2 * kBorder;
        const std::int32_t height = tallest + 2 * kBorder;
        std::int32_t left = where.x;
        std::int32_t top = where.y;
        if (levels_.size() > 1) {
            left = anchor.right;
            top = anchor.top - kBorder;
            if (left + width > screenWidth_)
                left = anchor.left - width; // no room on the right: open to the left
        }
        left = std::max(0, std::min(left, screenWidth_ - width));
        top = std::max(0, std::min(top, screenHeight_ - height));
        level.bounds = Rect{left, top, left + width, top + height};
        level.canvas.resize(width, height);

        XSetWindowAttributes attributes{};
        attributes.override_redirect = True; // no window manager frame, no focus change
        attributes.save_under = True;
        attributes.background_pixmap = None;
        attributes.border_pixel = 0;
        attributes.event_mask = ExposureMask;
        const int screen = DefaultScreen(display_);
        level.xid = XCreateWindow(display_, RootWindow(display_, screen), left, top, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, DefaultDepth(display_, screen), InputOutput,
                                  DefaultVisual(display_, screen),
                                  CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWBorderPixel | CWEventMask,
                                  &attributes);
        level.gc = XCreateGC(display_, level.xid, 0, nullptr);
        XMapRaised(display_, level.xid);
        paint(level);
    }

    void closeLevel()
    {
        Level& level = levels_.back();
        XFreeGC(display_, level.gc);
        XDestroyWindow(display_, level.xid);
        levels_.pop_back();
        if (!levels_.empty())
            paint(levels_.back());
        XFlush(display_);
    }

    void paint(Level& level)
    {
        Canvas& c = level.canvas;
        c.fill(0, 0, c.width, c.height, kFrame);
        c.fill(kBorder, kBorder, c.width - 2 * kBorder, c.height - 2 * kBorder, kBackground);
        const TextExtent lineBox = measureText(font_, "Ag");
        for (std::size_t i = 0; i < level.items->size(); ++i) {
            const MenuItem& item = (*level.items)[i];
            const Rect& r = level.itemRects[i];
            if (item.separator) {
                c.fill(r.left + 4, (r.top + r.bottom) / 2, r.right - r.left - 8, 1, kSeparator);
                continue;
            }
            const bool lit = static_cast<int>(i) == level.highlight && (choosable(item) || !item.submenu.empty());
            if (lit)
                c.fill(r.left, r.top, r.right - r.left, r.bottom - r.top, kHighlight);
            const std::uint32_t ink = lit ? kHighlightText : item.greyed ? kGreyText : kText;
            const std::int32_t textTop = r.top + (kItemHeight - lineBox.height) / 2;
            c.text(font_, item.text, r.left + kCheckMargin, textTop, r.right - (item.submenu.empty() ? 2 : kArrowMargin), ink);
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
        present(level);
    }

    void present(Level& level)
    {
        const int screen = DefaultScreen(display_);
        XImage* image = XCreateImage(display_, DefaultVisual(display_, screen),
                                     static_cast<unsigned>(DefaultDepth(display_, screen)), ZPixmap, 0, nullptr,
                                     static_cast<unsigned>(level.canvas.width), static_cast<unsigned>(level.canvas.height),
                                     32, 0);
        if (!image)
            return;
        image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                     static_cast<std::size_t>(level.canvas.height)));
        if (!image->data) {
            XDestroyImage(image);
            return;
        }
        for (std::int32_t y = 0; y < level.canvas.height; ++y)
            for (std::int32_t x = 0; x < level.canvas.width; ++x)
                XPutPixel(image, x, y,
                          pixelValue(image, level.canvas.pixels[static_cast<std::size_t>(y) *
                                                                     static_cast<std::size_t>(level.canvas.width) +
                                                                 static_cast<std::size_t>(x)]));
        XPutImage(display_, level.xid, level.gc, image, 0, 0, 0, 0, static_cast<unsigned>(level.canvas.width),
                  static_cast<unsigned>(level.canvas.height));
        XDestroyImage(image);
        XFlush(display_);
    }

    // The deepest level and item under a screen point; false when it is over no menu.
    bool itemAt(std::int32_t x, std::int32_t y, std::size_t& levelIndex, int& item) const
    {
        for (std::size_t l = levels_.size(); l-- > 0;) {
            const Level& level = levels_[l];
            if (x < level.bounds.left || x >= level.bounds.right || y < level.bounds.top || y >= level.bounds.bottom)
                continue;
            levelIndex = l;
            item = -1;
            const std::int32_t lx = x - level.bounds.left, ly = y - level.bounds.top;
            for (std::size_t i = 0; i < level.itemRects.size(); ++i) {
                const Rect& r = level.itemRects[i];
                if (lx >= r.left && lx < r.right && ly >= r.top && ly < r.bottom)
                    item = static_cast<int>(i);
            }
            return true;
        }
        return false;
    }

    void setHighlight(std::size_t levelIndex, int item)
    {
        while (levels_.size() > levelIndex + 1 && levels_[levelIndex].highlight != item)
            closeLevel();
        Level& level = levels_[levelIndex];
        if (level.highlight == item)
            return;
        level.highlight = item;
        paint(level);
        if (item >= 0) {
            const MenuItem& entry = (*level.items)[static_cast<std::size_t>(item)];
            if (!entry.submenu.empty() && choosableParent(entry))
                openSubmenu(levelIndex, item);
        }
    }

    static bool choosableParent(const MenuItem& item) { return !item.disabled && !item.greyed; }

    void openSubmenu(std::size_t levelIndex, int item)
    {
        const Level& level = levels_[levelIndex];
        const Rect& r = level.itemRects[static_cast<std::size_t>(item)];
        const Rect anchor{level.bounds.left + r.left, level.bounds.top + r.top, level.bounds.left + r.right,
                          level.bounds.top + r.bottom};
        openLevel((*level.items)[static_cast<std::size_t>(item)].submenu, Point{anchor.right, anchor.top}, anchor);
    }

    void choose(const Level& level, int item)
    {
        const MenuItem& entry = (*level.items)[static_cast<std::size_t>(item)];
        if (!choosable(entry) || !entry.submenu.empty())
            return;
        result_ = entry.number;
        done_ = true;
    }

    // Next item of the deepest level that can be highlighted, stepping by `step`.
    void moveHighlight(int step)
    {
        Level& level = levels_.back();
        const int count = static_cast<int>(level.items->size());
        int i = level.highlight;
        for (int n = 0; n < count; ++n) {
            i = i < 0 ? (step > 0 ? 0 : count - 1) : (i + step + count) % count;
            const MenuItem& entry = (*level.items)[static_cast<std::size_t>(i)];
            if (choosable(entry) || (!entry.submenu.empty() && choosableParent(entry))) {
                level.highlight = i;
                paint(level);
                return;
            }
        }
    }

    // The item in the next or previous column nearest to the highlighted one's row.
    void moveColumn(int direction)
    {
        Level& level = levels_.back();
        if (level.highlight < 0)
            return moveHighlight(1);
        const Rect& from = level.itemRects[static_cast<std::size_t>(level.highlight)];
        int best = -1;
        std::int32_t bestDistance = 0;
        for (std::size_t i = 0; i < level.itemRects.size(); ++i) {
            const Rect& r = level.itemRects[i];
            const MenuItem& entry = (*level.items)[i];
            const bool sideways = direction > 0 ? r.left >= from.right : r.right <= from.left;
            if (!sideways || !(choosable(entry) || !entry.submenu.empty()))
                continue;
            const std::int32_t distance = std::abs(r.left - from.left) * 4 + std::abs(r.top - from.top);
            if (best < 0 || distance < bestDistance) {
                best = static_cast<int>(i);
                bestDistance = distance;
            }
        }
        if (best >= 0) {
            level.highlight = best;
            paint(level);
        }
    }

    void jumpToLetter(char letter)
    {
        Level& level = levels_.back();
        const int count = static_cast<int>(level.items->size());
        for (int n = 1; n <= count; ++n) {
            const int i = ((level.highlight < 0 ? -1 : level.highlight) + n + count) % count;
            const MenuItem& entry = (*level.items)[static_cast<std::size_t>(i)];
            if (choosable(entry) && !entry.text.empty() &&
                std::tolower(static_cast<unsigned char>(entry.text[0])) == std::tolower(static_cast<unsigned char>(letter))) {
                level.highlight = i;
                paint(level);
                return;
            }
        }
    }

    void handleKey(XKeyEvent& key)
    {
        char text[8] = {};
        KeySym sym = NoSymbol;
        const int length = XLookupString(&key, text, sizeof text - 1, &sym, nullptr);
        Level& level = levels_.back();
        const MenuItem* lit =
            level.highlight >= 0 ? &(*level.items)[static_cast<std::size_t>(level.highlight)] : nullptr;
        switch (sym) {
        case XK_Escape:
            if (levels_.size() > 1)
                closeLevel();
            else
                done_ = true;
            return;
        case XK_Up: moveHighlight(-1); return;
        case XK_Down: moveHighlight(1); return;
        case XK_Home: level.highlight = -1; moveHighlight(1); return;
        case XK_End: level.highlight = -1; moveHighlight(-1); return;
        case XK_Right:
            if (lit && !lit->submenu.empty() && choosableParent(*lit)) {
                openSubmenu(levels_.size() - 1, level.highlight);
                moveHighlight(1);
            } else {
                moveColumn(1);
            }
            return;
        case XK_Left:
            if (levels_.size() > 1 && levels_.back().highlight >= 0 &&
                levels_.back().itemRects[static_cast<std::size_t>(levels_.back().highlight)].left > kBorder)
                moveColumn(-1);
            else if (levels_.size() > 1)
                closeLevel();
            else
                moveColumn(-1);
            return;
        case XK_Return:
        case XK_KP_Enter:
        case XK_space:
            if (lit && !lit->submenu.empty() && choosableParent(*lit)) {
                openSubmenu(levels_.size() - 1, level.highlight);
                moveHighlight(1);
            } else if (lit) {
                choose(level, level.highlight);
            }
            return;
        default:
            break;
        }
        if (length == 1 && std::isalnum(static_cast<unsigned char>(text[0])))
            jumpToLetter(text[0]);
    }

    void handle(XEvent& event)
    {
        switch (event.type) {
        case Expose:
            for (Level& level : levels_) {
                if (level.xid == event.xexpose.window) {
                    if (event.xexpose.count == 0)
                        present(level);
                    return;
                }
            }
            layer_.handleEvent(event, true);
            return;
        case MotionNotify: {
            std::size_t l = 0;
            int item = -1;
            // Motion events pile up while we paint; only the newest position matters.
            while (XCheckTypedEvent(display_, MotionNotify, &event)) {
            }
            if (itemAt(event.xmotion.x_root, event.xmotion.y_root, l, item)) {
                const MenuItem* entry = item >= 0 ? &(*levels_[l].items)[static_cast<std::size_t>(item)] : nullptr;
                if (entry && (choosable(*entry) || (!entry->submenu.empty() && choosableParent(*entry)))) {
                    if (levels_[l].highlight != item)
                        engaged_ = true;
                    setHighlight(l, item);
                }
            }
            return;
        }
        case ButtonPress: {
            std::size_t l = 0;
            int item = -1;
            if (event.xbutton.button > 3)
                return; // the wheel neither chooses nor dismisses
            if (!itemAt(event.xbutton.x_root, event.xbutton.y_root, l, item)) {
                done_ = true; // a press outside dismisses the menu
                return;
            }
            engaged_ = true;
            return;
        }
        case ButtonRelease: {
            const unsigned button = event.xbutton.button;
            if (!(button == 1 || (button == 3 && trackRight_)) || !engaged_)
                return;
            std::size_t l = 0;
            int item = -1;
            if (itemAt(event.xbutton.x_root, event.xbutton.y_root, l, item) && item >= 0)
                choose(levels_[l], item);
            return;
        }
        case KeyPress:
            handleKey(event.xkey);
            return;
        case DestroyNotify:
            layer_.handleEvent(event, true);
            // The host took the editor away under the menu: nothing is left to choose for.
            if (owner_ && owner_->xid == 0)
                done_ = true;
            return;
        default:
            layer_.handleEvent(event, true);
            return;
        }
    }

    X11Layer& layer_;             // whose connection and windows we use
    Display* display_;            // that connection
    X11Window* owner_;            // the editor window the menu belongs to, or null
    bool trackRight_;             // the right button chooses too
    Font* font_ = nullptr;        // item text
    std::int32_t screenWidth_ = 0;  // the screen the menu must fit
    std::int32_t screenHeight_ = 0;
    std::deque<Level> levels_;    // open levels, the menu first (stable while more open)
    bool engaged_ = false;        // the user moved over an item or pressed in the menu
    bool done_ = false;           // the loop ends
    std::int32_t result_ = -1;    // the chosen item's number
};

} // namespace

std::int32_t runX11PopupMenu(X11Layer& layer, X11Window* owner, const Point& screenPos,
                             const std::vector<MenuItem>& items, bool trackRight)
{
    PopupSession session(layer, owner, trackRight);
    return session.run(screenPos, items);
}

} // namespace platform
