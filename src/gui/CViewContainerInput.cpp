// A container's input: which child is under a point (the one hit-testing rule of the
// toolkit, see childAt in the header), and the routing of clicks, the wheel, drags and keys
// to its children, each step into a child container made with a ContextScope.
#include "gui/CViewContainer.h"

#include "gui/CFrame.h"
#include "gui/ContextScope.h"

namespace gui {

// --- hit-testing -------------------------------------------------------------------------------

bool CViewContainer::takesInputAt(CView* view, const CPoint& local, std::int32_t buttons)
{
    return view->getMouseEnabled() && view->hitTest(local, buttons);
}

CView* CViewContainer::childAt(const CPoint& where, std::int32_t buttons) const
{
    const CPoint local = toLocal(where);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (takesInputAt(*it, local, buttons))
            return *it;
    }
    return nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    CView* child = childAt(where);
    if (deep && child) {
        if (auto* container = dynamic_cast<CViewContainer*>(child)) {
            CView* inner = container->getViewAt(toLocal(where), true);
            return inner ? inner : child;
        }
    }
    return child;
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

// --- clicks, wheel, keys -----------------------------------------------------------------------

void CViewContainer::mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons)
{
    if (buttons == -1)
        buttons = readMouseButtons(context);
    CView* child = childAt(where, buttons);
    if (!child)
        return;
    // The child may remove itself while it tracks the mouse.
    child->remember();
    {
        ContextScope inside(context, size);
        child->mouse(context, toLocal(where), buttons);
    }
    child->forget();
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance)
{
    CView* view = childAt(where);
    if (!view)
        return false;
    view->remember();
    bool result = false;
    {
        ContextScope inside(context, size);
        result = view->onWheel(context, toLocal(where), axis, distance);
    }
    view->forget();
    return result;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kMouseWheelAxisY, distance);
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

// --- drags from other programs -----------------------------------------------------------------

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
    CView* view = childAt(where);
    setCurrentDragView(view);
    if (view) {
        ContextScope inside(context, size);
        view->onDragEnter(context, drag, toLocal(where));
    }
}

void CViewContainer::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    if (currentDragView) {
        CView* view = currentDragView;
        view->remember();
        {
            ContextScope inside(context, size);
            view->onDragLeave(context, drag, toLocal(where));
        }
        view->forget();
    }
    setCurrentDragView(nullptr);
}

void CViewContainer::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    CView* view = childAt(where);
    const CPoint local = toLocal(where);
    ContextScope inside(context, size);
    if (view != currentDragView) {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        setCurrentDragView(view);
        if (view)
            view->onDragEnter(context, drag, local);
    } else if (view) {
        view->onDragMove(context, drag, local);
    }
}

bool CViewContainer::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return false;
    CView* view = childAt(where);
    const CPoint local = toLocal(where);
    ContextScope inside(context, size);
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
    return result;
}

} // namespace gui
