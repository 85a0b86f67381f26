// The frame's drawing: every redraw goes into the frame's image (FrameImage) and notes what it
// covered there; the window then gets those rectangles and nothing else, at the end of the
// idle, paint or single-view draw that drew them.
#include "gui/CFrame.h"

#include "gui/CDrawContext.h"
#include "gui/COffscreenContext.h"
#include "gui/ContextScope.h"

namespace gui {

// --- the image and the window ----------------------------------------------------------------------

COffscreenContext* CFrame::ensureOffscreen()
{
    return frameImage.get(this, size.width(), size.height());
}

void CFrame::releaseFrameOffscreen()
{
    if (defaultContext && defaultContext == frameImage.existing())
        defaultContext = nullptr;
    frameImage.release();
}

void CFrame::noteDrawn(CDrawContext* context)
{
    if (context && context == frameImage.existing())
        frameImage.drawn(context->getAbsoluteClipRect());
}

void CFrame::presentDrawn()
{
    frameImage.present(layer, window);
}

CDrawContext* CFrame::createDrawContext()
{
    if (defaultContext) {
        defaultContext->remember();
        return defaultContext;
    }
    // Without a window the context draws nowhere, but input reads still work through it.
    return new CDrawContext(this, nullptr, window);
}

// --- redraw cycle ----------------------------------------------------------------------------------

void CFrame::idle()
{
    // Where the plug-in reads its window's events itself (X11), the host's idle is when.
    if (window && !destroying)
        layer.dispatchWindowEvents(window);
    if (!openFlag || !window || firstDraw)
        return;
    if (isDirty())
        update(nullptr);
    presentDrawn();
}

void CFrame::update(CDrawContext* context)
{
    if (!openFlag || updatesOff)
        return;
    COffscreenContext* image = ensureOffscreen();
    CDrawContext* savedDefault = defaultContext;
    defaultContext = image;
    image->setOffset(CPoint(0, 0));
    if (dirty) {
        draw(image);
        setDirty(false);
    } else {
        if (modalView && modalView->isDirty())
            modalView->update(image);
        std::vector<CView*> list = children;
        for (CView* child : list)
            child->remember();
        for (CView* child : list) {
            ContextScope scope(image);
            scope.clip(child->getViewSize());
            child->update(image);
        }
        for (CView* child : list)
            child->forget();
    }
    if (context && context != image)
        image->copyFrom(context, CRect(0, 0, size.width(), size.height()), CPoint(0, 0));
    defaultContext = savedDefault;
}

void CFrame::invalidate(const CRect& rect)
{
    for (CView* child : children) {
        if (child->getViewSize().touches(rect))
            child->setDirty(true);
    }
}

// --- drawing -------------------------------------------------------------------------------------

void CFrame::draw(CDrawContext* context)
{
    firstDraw = false;
    if (!context)
        context = defaultContext;
    if (context) {
        CViewContainer::draw(context);
        noteDrawn(context);
    }
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect)
{
    firstDraw = false;
    bool own = false;
    if (!context) {
        context = createDrawContext();
        own = true;
    }
    if (!context)
        return;
    {
        ContextScope scope(context);
        const CRect clip = scope.clip(updateRect);
        if (!clip.isEmpty()) {
            CViewContainer::drawRect(context, clip);
            noteDrawn(context);
        }
    }
    if (own)
        context->forget();
}

void CFrame::redrawRect(CDrawContext* context, const CRect& rect)
{
    drawRect(context, rect);
}

void CFrame::draw(CView* view)
{
    // A view is painted over what lies beneath it: its rectangle is redrawn into the frame's
    // image from the background up (the views below it, the view, the views above it), and
    // only that part is copied to the window. Drawing the view alone would leave whatever
    // the image held there before (a knob's earlier picture) under its transparent pixels.
    CRect area(0, 0, size.width(), size.height());
    if (view && view != this && view->getFrame() == this) {
        CRect r = view->getViewSize();
        CPoint origin(r.left, r.top);
        view->localToFrame(origin);
        r.moveTo(origin.x, origin.y);
        area.bound(r);
    }
    if (area.isEmpty())
        return;
    COffscreenContext* image = ensureOffscreen();
    {
        ContextScope scope(image);
        scope.setOffset(CPoint(0, 0));
        drawRect(image, area);
    }
    presentDrawn();
}

void CFrame::paintWindow(const CRect& damaged)
{
    if (destroying || !window || damaged.isEmpty())
        return;
    COffscreenContext* image = ensureOffscreen();
    image->setOffset(CPoint(0, 0));
    drawRect(image, damaged);
    presentDrawn();
}

} // namespace gui
