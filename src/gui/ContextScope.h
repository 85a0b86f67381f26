// A draw context's offset and clip, held for one scope. Every step into or out of a container
// (drawing it, redrawing a part of it, updating it, handing it the mouse, the wheel or a drag)
// moves the context's offset by the container's top-left and often narrows its clip; the
// scope puts both back exactly as they were when it ends, on every way out, so no step of the
// view tree can leave its parent drawing at the wrong place.
//
// A null context is allowed (input routed without drawing): nothing happens then.
//
// Thread: the frame's window thread, like the context.
#pragma once

#include "gui/CDrawContext.h"

namespace gui {

class ContextScope {
public:
    explicit ContextScope(CDrawContext* context) : context_(context)
    {
        if (context_) {
            offset_ = context_->getOffset();
            context_->getClipRect(clip_);
        }
    }
    // Holds the context and steps into `container` (a rectangle in the context's current
    // coordinates), as enter() does.
    ContextScope(CDrawContext* context, const CRect& container) : ContextScope(context) { enter(container); }
    ~ContextScope()
    {
        if (!context_)
            return;
        // The clip was read under the first offset, so it goes back under that offset.
        context_->setOffset(offset_);
        if (clipped_)
            context_->setClipRect(clip_);
    }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

    // From a container's parent coordinates into the container's own: (0, 0) is then its
    // top-left.
    void enter(const CRect& container) { move(container.left, container.top); }
    // The way back: from a container's own coordinates into its parent's (a child asking its
    // parent to redraw a part of it).
    void leave(const CRect& container) { move(-container.left, -container.top); }
    // Puts the offset at `offset` outright (an image drawn from its own top-left).
    void setOffset(const CPoint& offset)
    {
        if (context_)
            context_->setOffset(offset);
    }
    // Narrows the clip to `rect` (current coordinates) within the clip the scope began with,
    // and answers the result (empty: nothing of rect can be drawn).
    CRect clip(const CRect& rect)
    {
        if (!context_)
            return rect;
        CRect within = clip_;
        within.offset(offset_.x - context_->getOffset().x, offset_.y - context_->getOffset().y);
        CRect r = rect;
        r.bound(within);
        context_->setClipRect(r);
        clipped_ = true;
        return r;
    }

private:
    void move(std::int32_t dx, std::int32_t dy)
    {
        if (context_) {
            const CPoint o = context_->getOffset();
            context_->setOffset(CPoint(o.x + dx, o.y + dy));
        }
    }

    CDrawContext* context_; // the context held, or null
    CPoint offset_;         // its offset when the scope began
    CRect clip_;            // its clip then, in the coordinates of that offset
    bool clipped_ = false;  // the clip was changed and goes back at the end
};

} // namespace gui
