// Drops from other programs on X11 (the XDND protocol, version 5 and below): the window
// announces itself with XdndAware, each XdndPosition is answered with an XdndStatus that
// carries the feedback the frame's drop target chose, and a drop is finished with the effect
// the drop target reported (none in this system: the source must not delete a dragged file).
// The dragged data itself is never fetched; no view of the editor reads it.
#include "platform/x11/X11Layer.h"

#include <X11/Xatom.h>

namespace platform {

namespace {

constexpr long kXdndVersion = 5; // the newest version we speak

} // namespace

bool X11Layer::registerDropTarget(Window* window, void* dropTarget)
{
    X11Window* w = static_cast<X11Window*>(window);
    if (!display_ || !w->xid || !dropTarget || w->dropTarget)
        return false;
    const long version = kXdndVersion;
    XChangeProperty(display_, w->xid, atom("XdndAware"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
    w->dropTarget = dropTarget;
    return syncAndCheck();
}

bool X11Layer::revokeDropTarget(Window* window)
{
    X11Window* w = static_cast<X11Window*>(window);
    if (!w->dropTarget)
        return false;
    w->dropTarget = nullptr;
    w->dragSource = 0;
    // A window the host destroyed has no property left to delete.
    if (display_ && w->xid) {
        XDeleteProperty(display_, w->xid, atom("XdndAware"));
        syncAndCheck();
    }
    return true;
}

void X11Layer::handleClientMessage(X11Window& w, const XClientMessageEvent& message)
{
    if (!w.dropTarget || message.format != 32)
        return;
    const Atom type = message.message_type;
    const ::Window source = static_cast<::Window>(message.data.l[0]);

    auto reply = [&](const char* name, long accepted, long action) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.display = display_;
        event.xclient.window = source;
        event.xclient.message_type = atom(name);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(w.xid);
        event.xclient.data.l[1] = accepted;
        if (name[4] == 'S') { // XdndStatus: ask for every move, with no rectangle to skip
            event.xclient.data.l[1] = accepted | 2;
            event.xclient.data.l[4] = action;
        } else { // XdndFinished
            event.xclient.data.l[2] = action;
        }
        XSendEvent(display_, source, False, NoEventMask, &event);
        XFlush(display_);
    };
    auto actionOf = [&](std::uint32_t effect) -> long {
        if (effect & kDropMove)
            return static_cast<long>(atom("XdndActionMove"));
        if (effect & kDropCopy)
            return static_cast<long>(atom("XdndActionCopy"));
        if (effect & kDropLink)
            return static_cast<long>(atom("XdndActionLink"));
        return None;
    };
    auto noteType = [&](Atom offered) {
        if (offered == atom("text/uri-list"))
            w.dragOffer.files = true;
        else if (offered == atom("text/plain") || offered == atom("UTF8_STRING") || offered == XA_STRING ||
                 offered == atom("text/plain;charset=utf-8"))
            w.dragOffer.text = true;
    };

    if (type == atom("XdndEnter")) {
        if ((message.data.l[1] >> 24) > kXdndVersion)
            return; // a newer protocol than ours: the source sees no target and moves on
        w.dragOffer = DragOffer{};
        w.dragEffect = 0;
        if (message.data.l[1] & 1) {
            // More than three types: the source lists them in a property of its window.
            Atom actual = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, source, atom("XdndTypeList"), 0, 64, False, XA_ATOM, &actual, &format,
                                   &count, &after, &data) == Success && data) {
                if (actual == XA_ATOM && format == 32) {
                    for (unsigned long i = 0; i < count; ++i)
                        noteType(static_cast<Atom>(reinterpret_cast<long*>(data)[i]));
                }
                XFree(data);
            }
            syncAndCheck(); // a source that vanished meanwhile is no error of the host's
        } else {
            for (int i = 2; i < 5; ++i)
                noteType(static_cast<Atom>(message.data.l[i]));
        }
        // The frame hears of the drag at its first position, which Enter does not carry.
        w.dragSource = source;
        w.dragEffect = 0;
        w.dragEntered = false;
    } else if (type == atom("XdndPosition")) {
        if (source != w.dragSource)
            return;
        const Point where{static_cast<std::int32_t>((message.data.l[2] >> 16) & 0xFFFF),
                          static_cast<std::int32_t>(message.data.l[2] & 0xFFFF)};
        const DragPhase phase = w.dragEntered ? DragPhase::over : DragPhase::enter;
        w.dragPoint = where;
        w.dragEntered = true;
        w.dragEffect = w.listener->onDrag(phase, where, w.dragOffer);
        reply("XdndStatus", w.dragEffect != 0 ? 1 : 0, actionOf(w.dragEffect));
    } else if (type == atom("XdndLeave")) {
        if (source != w.dragSource)
            return;
        if (w.dragEntered)
            w.listener->onDrag(DragPhase::leave, Point{}, w.dragOffer);
        w.dragSource = 0;
        w.dragEntered = false;
    } else if (type == atom("XdndDrop")) {
        if (source != w.dragSource)
            return;
        std::uint32_t effect = 0;
        if (w.dragEntered)
            effect = w.listener->onDrag(DragPhase::drop, w.dragPoint, w.dragOffer);
        w.dragSource = 0;
        w.dragEntered = false;
        reply("XdndFinished", effect != 0 ? 1 : 0, actionOf(effect));
    }
}

} // namespace platform
