#include "platform/x11/X11Layer.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace platform {

namespace {

// --- errors ------------------------------------------------------------------------------------

// The error handler is one per process, shared with the host. Ours notes errors about our
// own connection and passes every other one to the handler we replaced.
Display* ownDisplay = nullptr;                              // the connection whose errors are ours
int ownErrors = 0;                                          // errors of ours since the last check
XErrorHandler previousHandler = nullptr;                    // the host's (or Xlib's) handler

int onXError(Display* display, XErrorEvent* error)
{
    if (display == ownDisplay) {
        ++ownErrors;
        return 0;
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

::Window toXid(NativeHandle handle) { return static_cast<::Window>(reinterpret_cast<std::uintptr_t>(handle)); }
NativeHandle toHandle(::Window xid) { return reinterpret_cast<NativeHandle>(static_cast<std::uintptr_t>(xid)); }

X11Window* asX11(Window* w) { return static_cast<X11Window*>(w); }
const X11Window* asX11(const Window* w) { return static_cast<const X11Window*>(w); }

// --- keys --------------------------------------------------------------------------------------

// Virtual key codes of the host's key record for the keys that have one.
std::uint8_t virtualKeyOf(KeySym sym)
{
    switch (sym) {
    case XK_BackSpace: return 1;
    case XK_Tab: case XK_ISO_Left_Tab: return 2;
    case XK_Clear: return 3;
    case XK_Return: return 4;
    case XK_Pause: return 5;
    case XK_Escape: return 6;
    case XK_space: return 7;
    case XK_Next: return 8;
    case XK_End: return 9;
    case XK_Home: return 10;
    case XK_Left: return 11;
    case XK_Up: return 12;
    case XK_Right: return 13;
    case XK_Down: return 14;
    case XK_Page_Up: return 15;
    case XK_Select: return 17;
    case XK_Print: return 18;
    case XK_KP_Enter: return 19;
    case XK_Insert: return 21;
    case XK_Delete: return 22;
    case XK_Help: return 23;
    case XK_KP_Multiply: return 34;
    case XK_KP_Add: return 35;
    case XK_KP_Separator: return 36;
    case XK_KP_Subtract: return 37;
    case XK_KP_Decimal: return 38;
    case XK_KP_Divide: return 39;
    case XK_Num_Lock: return 52;
    case XK_Scroll_Lock: return 53;
    case XK_Shift_L: case XK_Shift_R: return 54;
    case XK_Control_L: case XK_Control_R: return 55;
    case XK_Alt_L: case XK_Alt_R: return 56;
    case XK_KP_Equal: return 57;
    default: break;
    }
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return static_cast<std::uint8_t>(24 + (sym - XK_KP_0));
    if (sym >= XK_F1 && sym <= XK_F12)
        return static_cast<std::uint8_t>(40 + (sym - XK_F1));
    return 0;
}

KeyEvent keyEventOf(XKeyEvent& event)
{
    KeyEvent key;
    char text[8] = {};
    KeySym sym = NoSymbol;
    const int length = XLookupString(&event, text, sizeof text - 1, &sym, nullptr);
    key.virtualKey = virtualKeyOf(sym);
    if (key.virtualKey == 0 && length == 1 && static_cast<unsigned char>(text[0]) >= 0x20)
        key.character = static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (event.state & ShiftMask)
        key.modifiers |= 1;
    if (event.state & Mod1Mask)
        key.modifiers |= 2;
    if (event.state & ControlMask)
        key.modifiers |= 8;
    return key;
}

// Counts onButtonDown calls in progress, also when one ends by an exception.
struct DepthGuard {
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    int& depth_;
};

} // namespace

X11Layer& x11Layer()
{
    static X11Layer layer;
    return layer;
}

WindowLayer& nativeLayer() { return x11Layer(); }

X11Layer::~X11Layer()
{
    // Windows still open at exit belong to frames that were never destroyed; the process
    // ends, and the server frees what the connection made.
}

// --- connection ----------------------------------------------------------------------------------

bool X11Layer::openDisplay()
{
    if (display_)
        return true;
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return false; // no server: windows are not made, the host carries on without an editor
    ownDisplay = display_;
    ownErrors = 0;
    previousHandler = XSetErrorHandler(onXError);
    // Shared memory only works with a server on this machine; XShmAttach tells us for sure.
    shmAvailable_ = XShmQueryExtension(display_) == True;
    return true;
}

void X11Layer::closeDisplayIfUnused()
{
    if (!display_ || !windows_.empty())
        return;
    for (auto& entry : cursors_)
        XFreeCursor(display_, entry.second);
    cursors_.clear();
    currentCursor_ = 0;
    // Errors that come back while closing are still ours, so the handler goes afterwards;
    // it is only put back when nobody replaced ours meanwhile.
    XCloseDisplay(display_);
    XErrorHandler current = XSetErrorHandler(previousHandler);
    if (current != onXError)
        XSetErrorHandler(current);
    ownDisplay = nullptr;
    display_ = nullptr;
}

bool X11Layer::syncAndCheck()
{
    if (!display_)
        return false;
    XSync(display_, False);
    const bool clean = ownErrors == 0;
    ownErrors = 0;
    return clean;
}

Atom X11Layer::atom(const char* name) { return display_ ? XInternAtom(display_, name, False) : None; }

X11Window* X11Layer::findWindow(::Window xid) const
{
    if (xid == 0)
        return nullptr;
    for (X11Window* w : windows_) {
        if (w->xid == xid)
            return w;
    }
    return nullptr;
}

// --- windows -------------------------------------------------------------------------------------

Window* X11Layer::createWindow(NativeHandle parent, std::int32_t width, std::int32_t height, WindowListener* listener)
{
    if (width <= 0 || height <= 0 || !openDisplay())
        return nullptr;
    const ::Window parentXid = toXid(parent);
    XWindowAttributes parentAttributes;
    syncAndCheck();
    if (!XGetWindowAttributes(display_, parentXid, &parentAttributes) || !syncAndCheck()) {
        closeDisplayIfUnused();
        return nullptr; // not a window of this display
    }
    Screen* screen = parentAttributes.screen;
    // Our own visual and colormap, whatever the parent's (a 32-bit ARGB host window would
    // not take our 24-bit pixels). No background: every pixel comes from the offscreen, so
    // the server never clears to a colour first and nothing flickers.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormapOfScreen(screen);
    attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    const ::Window xid =
        XCreateWindow(display_, parentXid, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                      DefaultDepthOfScreen(screen), InputOutput, DefaultVisualOfScreen(screen),
                      CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XMapWindow(display_, xid);
    if (!syncAndCheck()) {
        XDestroyWindow(display_, xid);
        syncAndCheck();
        closeDisplayIfUnused();
        return nullptr;
    }
    auto* w = new X11Window(this);
    w->xid = xid;
    w->listener = listener;
    w->width = width;
    w->height = height;
    w->gc = XCreateGC(display_, xid, 0, nullptr);
    windows_.push_back(w);
    if (currentCursor_ != 0)
        XDefineCursor(display_, xid, static_cast<Cursor>(currentCursor_));
    XFlush(display_);
    return w;
}

void X11Layer::destroyWindow(Window* window)
{
    X11Window* w = asX11(window);
    if (w->listener) {
        WindowListener* listener = w->listener;
        w->listener = nullptr;
        listener->onDestroy();
    }
    if (display_) {
        // The X window may be gone already (its parent was destroyed and we have not read
        // the notice yet): the request then fails with an error our handler swallows.
        if (w->xid)
            XDestroyWindow(display_, w->xid);
        releaseImage(*w);
        if (w->gc)
            XFreeGC(display_, w->gc);
        syncAndCheck();
    }
    windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
    delete w;
    closeDisplayIfUnused();
}

NativeHandle X11Layer::getNativeHandle(const Window* window) { return toHandle(asX11(window)->xid); }

void X11Layer::setWindowSize(Window* window, std::int32_t width, std::int32_t height)
{
    X11Window* w = asX11(window);
    if (!w->xid || width <= 0 || height <= 0)
        return;
    XResizeWindow(display_, w->xid, static_cast<unsigned>(width), static_cast<unsigned>(height));
    w->width = width;
    w->height = height;
    releaseImage(*w); // the next present makes one of the new size
    XFlush(display_);
}

Rect X11Layer::getWindowSize(const Window* window)
{
    const X11Window* w = asX11(window);
    return w->xid ? Rect{0, 0, w->width, w->height} : Rect{};
}

Point X11Layer::getWindowScreenOrigin(const Window* window)
{
    const X11Window* w = asX11(window);
    if (!w->xid)
        return Point{};
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, w->xid, &attributes) ||
        !XTranslateCoordinates(display_, w->xid, attributes.root, 0, 0, &x, &y, &child))
        return Point{};
    return Point{x, y};
}

void X11Layer::invalidateWindow(Window* window, const Rect& area)
{
    X11Window* w = asX11(window);
    const std::int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const std::int32_t right = std::min(area.right, w->width), bottom = std::min(area.bottom, w->height);
    if (!w->xid || right <= left || bottom <= top)
        return;
    // With no background, clearing only produces the Expose event.
    XClearArea(display_, w->xid, left, top, static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top),
               True);
    XFlush(display_);
}

// --- presenting ----------------------------------------------------------------------------------

void X11Layer::releaseImage(X11Window& w)
{
    if (!w.image)
        return;
    if (w.shared) {
        XShmDetach(display_, &w.shm);
        XSync(display_, False);
        XDestroyImage(w.image); // does not free shared memory
        shmdt(w.shm.shmaddr);
    } else {
        XDestroyImage(w.image); // frees the client-side data
    }
    w.image = nullptr;
    w.shared = false;
}

bool X11Layer::makeImage(X11Window& w)
{
    Screen* screen = DefaultScreenOfDisplay(display_);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, w.xid, &attributes))
        screen = attributes.screen;
    Visual* visual = DefaultVisualOfScreen(screen);
    const unsigned depth = static_cast<unsigned>(DefaultDepthOfScreen(screen));
    const unsigned width = static_cast<unsigned>(w.width);
    const unsigned height = static_cast<unsigned>(w.height);
    if (shmAvailable_) {
        w.image = XShmCreateImage(display_, visual, depth, ZPixmap, nullptr, &w.shm, width, height);
        if (w.image) {
            w.shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(w.image->bytes_per_line) * height, IPC_CREAT | 0600);
            w.shm.shmaddr = w.shm.shmid >= 0 ? static_cast<char*>(shmat(w.shm.shmid, nullptr, 0)) : reinterpret_cast<char*>(-1);
            if (w.shm.shmaddr != reinterpret_cast<char*>(-1)) {
                w.image->data = w.shm.shmaddr;
                w.shm.readOnly = False;
                syncAndCheck();
                const bool attached = XShmAttach(display_, &w.shm) && syncAndCheck();
                // Marked for removal now: it goes when both sides have detached.
                shmctl(w.shm.shmid, IPC_RMID, nullptr);
                if (attached) {
                    w.shared = true;
                    return true;
                }
                shmdt(w.shm.shmaddr);
            } else if (w.shm.shmid >= 0) {
                shmctl(w.shm.shmid, IPC_RMID, nullptr);
            }
            w.image->data = nullptr;
            XDestroyImage(w.image);
            w.image = nullptr;
        }
        // A remote server (or one that refuses the segment): plain images from now on.
        shmAvailable_ = false;
    }
    const int pad = 32;
    w.image = XCreateImage(display_, visual, depth, ZPixmap, 0, nullptr, width, height, pad, 0);
    if (!w.image)
        return false;
    w.image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(w.image->bytes_per_line) * height));
    if (!w.image->data) {
        XDestroyImage(w.image);
        w.image = nullptr;
        return false;
    }
    return true;
}

void X11Layer::presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                             std::int32_t height, std::int32_t stride)
{
    X11Window* w = asX11(window);
    if (!w->xid || !display_)
        return;
    const std::int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const std::int32_t right = std::min({area.right, width, w->width});
    const std::int32_t bottom = std::min({area.bottom, height, w->height});
    if (right <= left || bottom <= top)
        return;
    if (!w->image && !makeImage(*w))
        return;
    XImage* image = w->image;
    // Our pixels are 0xAARRGGBB words; a 24/32-bit little-endian TrueColor image with the
    // usual masks holds exactly that, so whole rows are copied. Anything else goes pixel by
    // pixel through Xlib.
    const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                        image->blue_mask == 0xFF && image->byte_order == LSBFirst;
    for (std::int32_t y = top; y < bottom; ++y) {
        const std::uint32_t* source = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        if (direct) {
            std::memcpy(image->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_per_line) +
                            static_cast<std::size_t>(left) * 4,
                        source + left, static_cast<std::size_t>(right - left) * 4);
        } else {
            for (std::int32_t x = left; x < right; ++x) {
                const std::uint32_t p = source[x];
                const unsigned long r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                auto scale = [](unsigned long value, unsigned long mask) {
                    if (mask == 0)
                        return 0UL;
                    int shift = 0;
                    while (((mask >> shift) & 1) == 0)
                        ++shift;
                    return ((value * (mask >> shift) + 127) / 255) << shift;
                };
                XPutPixel(image, x, y, scale(r, image->red_mask) | scale(g, image->green_mask) | scale(b, image->blue_mask));
            }
        }
    }
    const unsigned cw = static_cast<unsigned>(right - left), ch = static_cast<unsigned>(bottom - top);
    if (w->shared) {
        XShmPutImage(display_, w->xid, w->gc, image, left, top, left, top, cw, ch, False);
        // The segment is written again at the next present: wait until the server read it.
        XSync(display_, False);
    } else {
        XPutImage(display_, w->xid, w->gc, image, left, top, left, top, cw, ch);
        XFlush(display_);
    }
}

// --- events --------------------------------------------------------------------------------------

void X11Layer::deliverExpose(X11Window& w)
{
    if (!w.hasExposed || !w.listener)
        return;
    w.hasExposed = false;
    w.listener->onPaint(w.exposed);
}

void X11Layer::handleEvent(XEvent& event, bool paintsOnly)
{
    X11Window* w = findWindow(event.xany.window);
    if (event.type == DestroyNotify) {
        w = findWindow(event.xdestroywindow.window);
        if (!w)
            return;
        // The host destroyed its window (and ours with it) before closing the editor.
        w->xid = 0;
        w->dragSource = 0;
        if (WindowListener* listener = w->listener) {
            w->listener = nullptr;
            listener->onDestroy();
        }
        return;
    }
    if (!w || !w->listener)
        return;
    switch (event.type) {
    case Expose: {
        const Rect r{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                     event.xexpose.y + event.xexpose.height};
        if (!w->hasExposed) {
            w->exposed = r;
            w->hasExposed = true;
        } else {
            w->exposed.left = std::min(w->exposed.left, r.left);
            w->exposed.top = std::min(w->exposed.top, r.top);
            w->exposed.right = std::max(w->exposed.right, r.right);
            w->exposed.bottom = std::max(w->exposed.bottom, r.bottom);
        }
        // One paint for a whole series of rectangles.
        if (event.xexpose.count == 0)
            deliverExpose(*w);
        break;
    }
    case ConfigureNotify:
        if (event.xconfigure.width != w->width || event.xconfigure.height != w->height) {
            w->width = event.xconfigure.width;
            w->height = event.xconfigure.height;
            releaseImage(*w);
        }
        break;
    case ButtonPress: {
        if (paintsOnly)
            break;
        const Point where{event.xbutton.x, event.xbutton.y};
        const unsigned button = event.xbutton.button;
        if (button >= 1 && button <= 3) {
            // The state at the press: the buttons held before it, this one, the modifiers.
            const unsigned state = event.xbutton.state;
            std::int32_t buttons = button == 1 ? kLeftButton : button == 2 ? kMiddleButton : kRightButton;
            if (state & Button1Mask)
                buttons |= kLeftButton;
            if (state & Button2Mask)
                buttons |= kMiddleButton;
            if (state & Button3Mask)
                buttons |= kRightButton;
            if (state & ShiftMask)
                buttons |= kShift;
            if (state & ControlMask)
                buttons |= kControl;
            if (state & Mod1Mask)
                buttons |= kAlt;
            DepthGuard guard(buttonDepth_);
            w->listener->onButtonPress(where, buttons);
        } else if (button == 4 || button == 5) {
            w->listener->onWheel(where, button == 4 ? 1.0f : -1.0f);
        } else if (button == 6 || button == 7) {
            w->listener->onHorizontalWheel(where, button == 7 ? 1.0f : -1.0f);
        }
        break;
    }
    case KeyPress:
    case KeyRelease:
        if (!paintsOnly)
            w->listener->onKey(keyEventOf(event.xkey), event.type == KeyPress);
        break;
    case ClientMessage:
        if (!paintsOnly)
            handleClientMessage(*w, event.xclient);
        break;
    default:
        break;
    }
}

void X11Layer::dispatchWindowEvents(Window* /*window*/)
{
    if (!display_)
        return;
    // Every window of ours is served, whichever frame asked: two editors in one host share
    // the connection. Inside a tracking loop only paints and destruction are taken, so
    // that no second press starts a gesture inside the first.
    if (buttonDepth_ > 0)
        return dispatchPaints();
    XEvent event;
    while (display_ && XPending(display_) > 0) {
        XNextEvent(display_, &event);
        handleEvent(event, false);
    }
}

void X11Layer::dispatchPaints()
{
    auto wanted = [](Display*, XEvent* e, XPointer) -> Bool {
        return e->type == Expose || e->type == DestroyNotify || e->type == ConfigureNotify;
    };
    XEvent event;
    while (display_ && XCheckIfEvent(display_, &event, wanted, nullptr))
        handleEvent(event, true);
}

void X11Layer::dispatchPendingPaint() { dispatchPaints(); }

// --- handles of any window -------------------------------------------------------------------------

NativeHandle X11Layer::getParentHandle(NativeHandle handle)
{
    if (!display_)
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
    if (!display_)
        return Rect{};
    XWindowAttributes a;
    syncAndCheck();
    if (!XGetWindowAttributes(display_, toXid(handle), &a) || !syncAndCheck())
        return Rect{};
    return Rect{a.x, a.y, a.x + a.width, a.y + a.height};
}

bool X11Layer::setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height)
{
    if (!display_ || width <= 0 || height <= 0)
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
    if (!display_)
        return;
    XClassHint hint{};
    syncAndCheck();
    if (XGetClassHint(display_, toXid(handle), &hint) && syncAndCheck()) {
        if (hint.res_class)
            std::strncpy(buffer, hint.res_class, size - 1);
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

bool X11Layer::showOpenFileDialog(OpenFileRequest& request) { return runX11FileDialog(*this, request); }

// The effect disables the host's top-level window while its dialog runs, as on Windows. Here
// the dialog is another program's window and the host's windows are not ours to disable:
// there is no owner, and our own windows ignore input meanwhile (X11FileDialog.cpp).
NativeHandle X11Layer::getForegroundRootOwner() { return nullptr; }
bool X11Layer::enableWindow(NativeHandle, bool) { return false; }

// Drag and drop needs no per-thread set-up on X11.
bool X11Layer::initializeOle() { return true; }
void X11Layer::uninitializeOle() {}

} // namespace platform
