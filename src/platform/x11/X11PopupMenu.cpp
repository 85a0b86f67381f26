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
#include "platform/x11/X11MenuPicture.h"

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
        std::int32_t width = 0;
        std::int32_t height = 0;
        layOutMenu(items, font_, screenWidth_, screenHeight_, level.itemRects, width, height);
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
        level.canvas.resize(width, height, kBackground);

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
        drawMenu(level.canvas, *level.items, level.itemRects, level.highlight, font_);
        present(level);
    }

    void present(Level& level)
    {
        showCanvas(display_, level.xid, level.gc, level.canvas);
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
