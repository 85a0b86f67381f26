// Events of our windows: read from our connection on every idle (and, paints only, from
// tracking loops and modal loops) and handed to the windows' listeners.
#include "platform/x11/X11Layer.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

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

} // namespace platform
