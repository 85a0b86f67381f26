// The rest of the X11 layer: questions about any window (the host's included), the pointer,
// cursors, time, and the entries to the popup menu and the file dialog.
#include "platform/x11/X11Layer.h"

#include <X11/cursorfont.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace platform {

// --- handles of any window -------------------------------------------------------------------------

NativeHandle X11Layer::getParentHandle(NativeHandle handle)
{
    if (!display_ || !handle)
        return nullptr;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    syncAndCheck();
    if (!XQueryTree(display_, toXid(handle), &root, &parent, &children, &count) || !syncAndCheck())
        return nullptr;
    if (children)
        XFree(children);
    // The root is nobody's window to resize: the walk up the host's windows ends below it.
    return parent != root ? toHandle(parent) : nullptr;
}

Rect X11Layer::getHandleRectInParent(NativeHandle handle)
{
    if (!display_ || !handle)
        return Rect{};
    XWindowAttributes a;
    syncAndCheck();
    if (!XGetWindowAttributes(display_, toXid(handle), &a) || !syncAndCheck())
        return Rect{};
    return Rect{a.x, a.y, a.x + a.width, a.y + a.height};
}

bool X11Layer::setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height)
{
    if (!display_ || !handle || width <= 0 || height <= 0)
        return false;
    XResizeWindow(display_, toXid(handle), static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (X11Window* w = findWindow(toXid(handle))) {
        w->width = width;
        w->height = height;
        releaseImage(*w);
    }
    return syncAndCheck();
}

void X11Layer::getHandleClassName(NativeHandle handle, char* buffer, std::size_t size)
{
    buffer[0] = '\0';
    if (!display_ || !handle)
        return;
    XClassHint hint{};
    syncAndCheck();
    if (XGetClassHint(display_, toXid(handle), &hint) && syncAndCheck()) {
        if (hint.res_class)
            std::strncpy(buffer, hint.res_class, size - 1);
        buffer[size - 1] = '\0';
    }
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
}

// X11 windows have no caption of their own (the window manager draws it on a frame window).
bool X11Layer::handleHasCaption(NativeHandle) { return false; }

// No dialog frames either: the resize walk then stops right above the host's window.
std::int32_t X11Layer::getDialogFrameHeight() { return 0; }

// --- mouse, cursor, time -----------------------------------------------------------------------------

std::int32_t X11Layer::getMouseButtons()
{
    if (!display_)
        return 0;
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    // The server applies the user's button mapping (left-handed swap) before reporting.
    if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &mask))
        return 0;
    std::int32_t bits = 0;
    if (mask & Button1Mask)
        bits |= kLeftButton;
    if (mask & Button2Mask)
        bits |= kMiddleButton;
    if (mask & Button3Mask)
        bits |= kRightButton;
    if (mask & ShiftMask)
        bits |= kShift;
    if (mask & ControlMask)
        bits |= kControl;
    if (mask & Mod1Mask)
        bits |= kAlt;
    return bits;
}

Point X11Layer::getCursorPosition()
{
    if (!display_)
        return Point{};
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return Point{rootX, rootY};
}

CursorId X11Layer::getSystemCursor(CursorShape shape)
{
    if (!display_)
        return 0;
    unsigned glyph = XC_left_ptr;
    switch (shape) {
    case CursorShape::wait: glyph = XC_watch; break;
    case CursorShape::hResize: glyph = XC_sb_h_double_arrow; break;
    case CursorShape::vResize: glyph = XC_sb_v_double_arrow; break;
    case CursorShape::move: glyph = XC_fleur; break;
    case CursorShape::neswResize: glyph = XC_bottom_left_corner; break;
    case CursorShape::nwseResize: glyph = XC_bottom_right_corner; break;
    case CursorShape::notAllowed: glyph = XC_X_cursor; break;
    case CursorShape::hand: glyph = XC_hand2; break;
    case CursorShape::copy: // the cursor font has no copy arrow
    case CursorShape::arrow:
    default: break;
    }
    for (const auto& entry : cursors_) {
        if (entry.first == static_cast<int>(glyph))
            return static_cast<CursorId>(entry.second);
    }
    const Cursor cursor = XCreateFontCursor(display_, glyph);
    cursors_.emplace_back(static_cast<int>(glyph), cursor);
    return static_cast<CursorId>(cursor);
}

CursorId X11Layer::getCurrentCursor() { return currentCursor_; }

void X11Layer::setCurrentCursor(CursorId cursor)
{
    if (!display_)
        return;
    currentCursor_ = cursor;
    // X cursors belong to windows: every window of ours shows the current one; 0 gives the
    // host's cursor back (ours inherit the parent's).
    for (X11Window* w : windows_) {
        if (!w->xid)
            continue;
        if (cursor == 0)
            XUndefineCursor(display_, w->xid);
        else
            XDefineCursor(display_, w->xid, static_cast<Cursor>(cursor));
    }
    XFlush(display_);
}

std::uint32_t X11Layer::getTicks()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void X11Layer::sleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// --- popups, dialogs, owners ---------------------------------------------------------------------------

std::int32_t X11Layer::showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                                     bool trackRight)
{
    if (!display_ || items.empty())
        return -1; // no window of ours is open, so there is nothing to show a popup over
    return runX11PopupMenu(*this, owner ? asX11(owner) : nullptr, screenPos, items, trackRight);
}

bool X11Layer::showOpenFileDialog(OpenFileRequest& request)
{
    if (!request.fileBuffer || request.fileBufferSize == 0)
        return false;
    return runX11FileDialog(*this, request);
}

// The effect disables the host's top-level window while its dialog runs, as on Windows. Here
// the dialog is another program's window and the host's windows are not ours to disable:
// there is no owner, and our own windows ignore input meanwhile (X11FileDialog.cpp).
NativeHandle X11Layer::getForegroundRootOwner() { return nullptr; }
bool X11Layer::enableWindow(NativeHandle, bool) { return false; }

// Drag and drop needs no per-thread set-up on X11.
bool X11Layer::initializeOle() { return true; }
void X11Layer::uninitializeOle() {}

} // namespace platform
