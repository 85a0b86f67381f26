#include "gui/CViewContainer.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"

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
    CRect oldClip;
    context->getClipRect(oldClip);
    CRect clip = rect;
    clip.bound(oldClip);
    context->setClipRect(clip);
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
    context->setClipRect(oldClip);
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

CView* CViewContainer::getCurrentView() const
{
    CPoint where;
    if (parentFrame)
        parentFrame->getCurrentLocation(where);
    // Frame coordinates to this container's parent coordinates.
    frameToLocal(where);
    return getViewAt(where, false);
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    CPoint local(where.x - size.left, where.y - size.top);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (!child->getMouseableArea().pointInside(local))
            continue;
        if (deep) {
            if (auto* container = dynamic_cast<CViewContainer*>(child)) {
                CView* inner = container->getViewAt(local, true);
                return inner ? inner : child;
            }
        }
        return child;
    }
    return nullptr;
}

bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    if (!parentFrame)
        return false;
    bool foundOld = oldFocus == nullptr;
    const std::int32_t count = getNbViews();
    for (std::int32_t n = 0; n < count; ++n) {
        CView* child = children[static_cast<std::size_t>(reverse ? count - 1 - n : n)];
        if (!foundOld) {
            foundOld = child == oldFocus;
            continue;
        }
        if (child->wantsFocus()) {
            parentFrame->setFocusView(child);
            return true;
        }
        if (auto* container = dynamic_cast<CViewContainer*>(child)) {
            if (container->advanceNextFocusView(nullptr, reverse))
                return true;
        }
    }
    return false;
}

// --- drawing ---------------------------------------------------------------------------------

CRect CViewContainer::clientArea() const
{
    return CRect(0, 0, size.width(), size.height());
}

CPoint CViewContainer::enterContext(CDrawContext* context) const
{
    if (!context)
        return CPoint();
    CPoint saved = context->getOffset();
    context->setOffset(CPoint(saved.x + size.left, saved.y + size.top));
    return saved;
}

void CViewContainer::leaveContext(CDrawContext* context, const CPoint& saved)
{
    if (context)
        context->setOffset(saved);
}

void CViewContainer::drawContent(CDrawContext* context, const CRect& clientRect, bool wholeContainer)
{
    CRect oldClip;
    context->getClipRect(oldClip);
    CRect clip = clientRect;
    clip.bound(clientArea());
    clip.bound(oldClip);
    if (clip.isEmpty())
        return;
    context->setClipRect(clip);
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
        context->setClipRect(childClip);
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
    context->setClipRect(oldClip);
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
            CPoint saved = enterContext(context);
            drawContent(context, clientArea(), true);
            leaveContext(context, saved);
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
                CPoint saved = enterContext(context);
                CRect client = rect;
                client.offset(-size.left, -size.top);
                drawContent(context, client, false);
                leaveContext(context, saved);
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
    CPoint saved;
    if (context) {
        saved = context->getOffset();
        context->setOffset(CPoint(saved.x - size.left, saved.y - size.top));
    }
    if (parentView)
        parentView->redrawRect(context, parentRect);
    else if (parentFrame && static_cast<CView*>(parentFrame) != this)
        parentFrame->drawRect(context, parentRect);
    else
        drawRect(context, parentRect);
    if (context)
        context->setOffset(saved);
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
            CPoint saved = enterContext(context);
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
            leaveContext(context, saved);
        }
        break;
    default:
        break;
    }
    setDirty(false);
}

// --- input -----------------------------------------------------------------------------------

void CViewContainer::mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons)
{
    CPoint local(where.x - size.left, where.y - size.top);
    if (buttons == -1)
        buttons = readMouseButtons(context);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (!child->getMouseEnabled() || !child->hitTest(local, buttons))
            continue;
        // The child may remove itself while it tracks the mouse.
        child->remember();
        CPoint saved = enterContext(context);
        child->mouse(context, local, buttons);
        leaveContext(context, saved);
        child->forget();
        return;
    }
}

std::int32_t CViewContainer::onKeyDown(CKeyCode& keyCode)
{
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        std::int32_t result = (*it)->onKeyDown(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

std::int32_t CViewContainer::onKeyUp(CKeyCode& keyCode)
{
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        std::int32_t result = (*it)->onKeyUp(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance)
{
    CView* view = getViewAt(where, false);
    if (!view)
        return false;
    CPoint local(where.x - size.left, where.y - size.top);
    view->remember();
    CPoint saved = enterContext(context);
    bool result = view->onWheel(context, local, axis, distance);
    leaveContext(context, saved);
    view->forget();
    return result;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kMouseWheelAxisY, distance);
}

void CViewContainer::setCurrentDragView(CView* view)
{
    if (view)
        view->remember();
    if (currentDragView)
        currentDragView->forget();
    currentDragView = view;
}

void CViewContainer::onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    CView* view = getViewAt(where, false);
    setCurrentDragView(view);
    if (view) {
        CPoint local(where.x - size.left, where.y - size.top);
        CPoint saved = enterContext(context);
        view->onDragEnter(context, drag, local);
        leaveContext(context, saved);
    }
}

void CViewContainer::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    if (currentDragView) {
        CView* view = currentDragView;
        view->remember();
        CPoint local(where.x - size.left, where.y - size.top);
        CPoint saved = enterContext(context);
        view->onDragLeave(context, drag, local);
        leaveContext(context, saved);
        view->forget();
    }
    setCurrentDragView(nullptr);
}

void CViewContainer::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    CView* view = getViewAt(where, false);
    CPoint local(where.x - size.left, where.y - size.top);
    CPoint saved = enterContext(context);
    if (view != currentDragView) {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        setCurrentDragView(view);
        if (view)
            view->onDragEnter(context, drag, local);
    } else if (view) {
        view->onDragMove(context, drag, local);
    }
    leaveContext(context, saved);
}

bool CViewContainer::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return false;
    CView* view = getViewAt(where, false);
    CPoint local(where.x - size.left, where.y - size.top);
    CPoint saved = enterContext(context);
    if (currentDragView && currentDragView != view)
        currentDragView->onDragLeave(context, drag, local);
    bool result = false;
    if (view) {
        view->remember();
        result = view->onDrop(context, drag, local);
        view->onDragLeave(context, drag, local);
        view->forget();
    }
    setCurrentDragView(nullptr);
    leaveContext(context, saved);
    return result;
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
