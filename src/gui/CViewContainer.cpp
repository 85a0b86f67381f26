#include "gui/CViewContainer.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "gui/ContextScope.h"

#include <algorithm>
#include <cstring>

namespace gui {

CViewContainer::CViewContainer(const CRect& rect, CFrame* frame, CBitmap* bitmap) : CView(rect)
{
    parentFrame = frame;
    if (bitmap)
        setBackground(bitmap);
    setDirty(true);
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
    setCurrentDragView(nullptr);
    releaseOffscreen();
}

// --- children --------------------------------------------------------------------------------

void CViewContainer::addView(CView* view, const CRect& area, bool enabled)
{
    if (!view)
        return;
    view->setMouseableArea(area);
    view->setMouseEnabled(enabled);
    addView(view);
}

void CViewContainer::addView(CView* view)
{
    // A view already held here keeps its place: adding it twice would make the container
    // answer for references it was never given.
    if (!view || isChild(view))
        return;
    children.push_back(view);
    view->remember();
    view->setParentFrame(parentFrame);
    view->setParentView(this);
    if (auto* container = dynamic_cast<CViewContainer*>(view))
        container->propagateFrame(parentFrame);
    view->attached(this);
    view->setDirty(true);
}

void CViewContainer::removeView(CView* view, bool withForget)
{
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end())
        return;
    if (parentFrame && parentFrame->getFocusView() == view)
        parentFrame->setFocusView(nullptr);
    if (currentDragView == view)
        setCurrentDragView(nullptr);
    children.erase(it);
    view->removed(this);
    view->setParentView(nullptr);
    view->setParentFrame(nullptr);
    if (withForget)
        view->forget();
    view->forget();
}

void CViewContainer::removeAll(bool withForget)
{
    while (!children.empty())
        removeView(children.front(), withForget);
}

bool CViewContainer::isChild(CView* view) const
{
    return view && std::find(children.begin(), children.end(), view) != children.end();
}

std::int32_t CViewContainer::getNbViews() const
{
    return static_cast<std::int32_t>(children.size());
}

CView* CViewContainer::getView(std::int32_t index) const
{
    if (index < 0 || index >= getNbViews())
        return nullptr;
    return children[static_cast<std::size_t>(index)];
}

void CViewContainer::setBackgroundColor(const CColor& color)
{
    backgroundColor = color;
    setDirty(true);
}

CColor CViewContainer::getBackgroundColor() const
{
    return backgroundColor;
}

void CViewContainer::setBackgroundOffset(const CPoint& offset)
{
    backgroundOffset = offset;
}

const CPoint& CViewContainer::getBackgroundOffset() const
{
    return backgroundOffset;
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect)
{
    if (!context)
        return;
    ContextScope scope(context);
    scope.clip(rect);
    if (background) {
        CRect area = clientArea();
        if (transparency)
            background->drawTransparent(context, area, backgroundOffset);
        else
            background->draw(context, area, backgroundOffset);
    } else if (!transparency) {
        context->setFillColor(backgroundColor);
        // fillRect leaves the rectangle's left column and top row alone (the drawing
        // context's edge rule); the background must cover the whole area, so the filled
        // rectangle starts one pixel earlier and the clip keeps it inside rect.
        context->fillRect(CRect(rect.left - 1, rect.top - 1, rect.right, rect.bottom));
    }
}

void CViewContainer::setMode(std::int32_t newMode)
{
    mode = newMode;
}

std::int32_t CViewContainer::getMode() const
{
    return mode;
}

void CViewContainer::useOffscreen(bool flag)
{
    drawInOffscreen = flag;
    if (!flag)
        releaseOffscreen();
}

// --- drawing ---------------------------------------------------------------------------------

CRect CViewContainer::clientArea() const
{
    return CRect(0, 0, size.width(), size.height());
}

void CViewContainer::drawContent(CDrawContext* context, const CRect& clientRect, bool wholeContainer)
{
    CRect clip = clientRect;
    clip.bound(clientArea());
    CRect current;
    clip.bound(context->getClipRect(current));
    if (clip.isEmpty())
        return;
    ContextScope scope(context);
    scope.clip(clip);
    drawBackgroundRect(context, clip);

    const bool scrollContainer = isTypeOf("CScrollContainer");
    // A child may be removed or resized while drawing; hold the list as it was.
    std::vector<CView*> list = children;
    for (CView* child : list)
        child->remember();
    for (CView* child : list) {
        if (!wholeContainer && !child->checkUpdate(clip))
            continue;
        CRect childClip = child->getViewSize();
        childClip.bound(clip);
        if (childClip.isEmpty())
            continue;
        const bool wasDirty = child->isDirty();
        const CRect before = child->getViewSize();
        CRect visible = before;
        visible.bound(clientArea());
        scope.clip(childClip);
        if (wholeContainer)
            child->draw(context);
        else
            child->drawRect(context, clip);
        // A view that changed its size while drawing has more to show at its new place.
        if (wasDirty && !scrollContainer && child->getViewSize() != before)
            child->setDirty(true);
        // Drawing clears a view's dirty flag, but a dirty view drawn only in part (it
        // overlaps the area being redrawn) still shows its old state elsewhere: it stays
        // dirty so that the next update draws the rest.
        else if (wasDirty && childClip != visible)
            child->setDirty(true);
    }
    for (CView* child : list)
        child->forget();
}

void CViewContainer::drawThroughOffscreen(CDrawContext* context, const CRect& parentRect, bool wholeContainer)
{
    if (!offscreen)
        offscreen = new COffscreenContext(parentFrame, size.width(), size.height(), kBlackCColor);
    const CPoint source(parentRect.left - size.left, parentRect.top - size.top);
    if (transparency) {
        // What lies under a transparent container shows through its image.
        context->copyTo(offscreen, parentRect, source);
    }
    offscreen->setOffset(CPoint(0, 0));
    offscreen->resetClipRect();
    CRect client = parentRect;
    client.offset(-size.left, -size.top);
    drawContent(offscreen, client, wholeContainer);
    offscreen->copyFrom(context, parentRect, source);
}

void CViewContainer::releaseOffscreen()
{
    if (offscreen) {
        offscreen->forget();
        offscreen = nullptr;
    }
}

void CViewContainer::draw(CDrawContext* context)
{
    if (context) {
        if (drawInOffscreen) {
            drawThroughOffscreen(context, size, true);
        } else {
            ContextScope inside(context, size);
            drawContent(context, clientArea(), true);
        }
    }
    setDirty(false);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    if (context) {
        CRect rect = updateRect;
        rect.bound(size);
        if (!rect.isEmpty()) {
            if (drawInOffscreen) {
                drawThroughOffscreen(context, rect, false);
            } else {
                ContextScope inside(context, size);
                CRect client = rect;
                client.offset(-size.left, -size.top);
                drawContent(context, client, false);
            }
        }
        // Only a redraw of the whole area settles the container's own dirty flag; a part
        // (a paint of a damaged rectangle, a neighbour's redraw) leaves the rest pending.
        if (rect == size)
            setDirty(false);
        return;
    }
    setDirty(false);
}

void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect)
{
    // rect arrives in this container's coordinates with the context at this container's
    // origin; the parent wants its own coordinates and offset.
    CRect parentRect = rect;
    parentRect.offset(size.left, size.top);
    ContextScope outside(context);
    outside.leave(size);
    if (parentView)
        parentView->redrawRect(context, parentRect);
    else if (parentFrame && static_cast<CView*>(parentFrame) != this)
        parentFrame->drawRect(context, parentRect);
    else
        drawRect(context, parentRect);
}

bool CViewContainer::isDirty() const
{
    if (dirty)
        return true;
    const CRect client = clientArea();
    for (CView* child : children) {
        if (child->isDirty() && child->getViewSize().overlaps(client))
            return true;
    }
    return false;
}

void CViewContainer::update(CDrawContext* context)
{
    switch (mode) {
    case kNormalUpdate:
        if (isDirty())
            CView::redrawRect(context, size);
        break;
    case kOnlyDirtyUpdate:
        if (dirty) {
            CView::redrawRect(context, size);
        } else {
            const CRect client = clientArea();
            ContextScope inside(context, size);
            std::vector<CView*> list = children;
            for (CView* child : list)
                child->remember();
            for (CView* child : list) {
                if (!child->isDirty() || !child->getViewSize().overlaps(client))
                    continue;
                if (auto* container = dynamic_cast<CViewContainer*>(child)) {
                    container->update(context);
                } else {
                    CRect r = child->getViewSize();
                    r.bound(client);
                    child->redrawRect(context, r);
                }
            }
            for (CView* child : list)
                child->forget();
        }
        break;
    default:
        break;
    }
    setDirty(false);
}

// --- view life -------------------------------------------------------------------------------

void CViewContainer::setViewSize(const CRect& rect)
{
    CView::setViewSize(rect);
    if (offscreen) {
        releaseOffscreen();
        offscreen = new COffscreenContext(parentFrame, size.width(), size.height(), kBlackCColor);
    }
}

bool CViewContainer::attached(CView* parent)
{
    if (drawInOffscreen && !offscreen)
        offscreen = new COffscreenContext(parentFrame, size.width(), size.height(), kBlackCColor);
    return CView::attached(parent);
}

bool CViewContainer::removed(CView* parent)
{
    releaseOffscreen();
    return CView::removed(parent);
}

std::int32_t CViewContainer::notify(CView* /*sender*/, const char* message)
{
    if (message && std::strcmp(message, kMsgCheckIfViewContainer) == 0)
        return kMessageNotified;
    return kMessageUnknown;
}

bool CViewContainer::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CViewContainer") == 0 || CView::isTypeOf(name));
}

void CViewContainer::propagateFrame(CFrame* frame)
{
    for (CView* child : children) {
        child->setParentFrame(frame);
        if (auto* container = dynamic_cast<CViewContainer*>(child))
            container->propagateFrame(frame);
    }
}

} // namespace gui
