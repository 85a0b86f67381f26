// The X11 layer's connection and windows: opening and closing our display connection with
// its error handler, and making, sizing and destroying the child windows.
#include "platform/x11/X11Layer.h"

#include <algorithm>

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
    if (!parent || !listener || width <= 0 || height <= 0 || !openDisplay())
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

} // namespace platform
