// The frame's input: clicks and the wheel go down the view tree by the containers' one
// hit-testing rule (childAt), which the frame narrows to its modal view while it has one;
// keys go to the focus view, then to the modal view, and Tab moves the focus.
#include "gui/CFrame.h"

#include "gui/CDrawContext.h"

namespace gui {

// --- the view under a point, the modal view --------------------------------------------------------

CView* CFrame::childAt(const CPoint& where, std::int32_t buttons) const
{
    // A modal view takes the frame's input alone: nothing beside it or beneath it is hit.
    if (modalView)
        return takesInputAt(modalView, toLocal(where), buttons) ? modalView : nullptr;
    return CViewContainer::childAt(where, buttons);
}

std::int32_t CFrame::setModalView(CView* view)
{
    if (view && modalView)
        return 0;
    if (modalView) {
        CView* old = modalView;
        modalView = nullptr;
        CViewContainer::removeView(old, false);
    }
    modalView = view;
    if (view)
        addView(view);
    return 1;
}

CView* CFrame::getModalView() const
{
    return modalView;
}

void CFrame::removeView(CView* view, bool withForget)
{
    if (view && view == modalView)
        modalView = nullptr;
    CViewContainer::removeView(view, withForget);
}

// --- clicks, wheel, keys -----------------------------------------------------------------------------

void CFrame::mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons)
{
    bool own = false;
    if (!context)
        context = defaultContext;
    if (!context) {
        context = createDrawContext();
        own = true;
    }
    if (focusView)
        setFocusView(nullptr);
    if (buttons == -1)
        buttons = readMouseButtons(context);
    CViewContainer::mouse(context, where, buttons);
    if (own && context)
        context->forget();
}

std::int32_t CFrame::onKeyDown(CKeyCode& keyCode)
{
    std::int32_t result = -1;
    if (focusView)
        result = focusView->onKeyDown(keyCode);
    if (result == -1 && modalView)
        result = modalView->onKeyDown(keyCode);
    if (result == -1 && keyCode.virt == kVKeyTab)
        result = advanceNextFocusView(focusView, (keyCode.modifier & kModifierShift) != 0) ? 1 : -1;
    return result;
}

std::int32_t CFrame::onKeyUp(CKeyCode& keyCode)
{
    std::int32_t result = -1;
    if (focusView)
        result = focusView->onKeyUp(keyCode);
    if (result == -1 && modalView)
        result = modalView->onKeyUp(keyCode);
    return result;
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance)
{
    bool own = false;
    if (!context) {
        context = createDrawContext();
        own = true;
    }
    const bool result = CViewContainer::onWheel(context, where, axis, distance);
    if (own && context)
        context->forget();
    return result;
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kMouseWheelAxisY, distance);
}

// --- focus -------------------------------------------------------------------------------------------

void CFrame::setFocusView(CView* view)
{
    // Setting the focus it already has must not tell the view it lost it.
    if (view == focusView)
        return;
    CView* old = focusView;
    focusView = view;
    if (focusView && focusView->wantsFocus())
        focusView->setDirty(true);
    if (old) {
        old->looseFocus();
        if (old->wantsFocus())
            old->setDirty(true);
    }
}

CView* CFrame::getFocusView() const
{
    return focusView;
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    if (modalView) {
        if (auto* container = dynamic_cast<CViewContainer*>(modalView))
            return container->advanceNextFocusView(oldFocus, reverse);
        if (oldFocus != modalView && modalView->wantsFocus()) {
            setFocusView(modalView);
            return true;
        }
        return false;
    }
    if (!oldFocus)
        return CViewContainer::advanceNextFocusView(nullptr, reverse);
    if (isChild(oldFocus)) {
        if (CViewContainer::advanceNextFocusView(oldFocus, reverse))
            return true;
        // Past the last view: no focus, and the next tab starts over.
        setFocusView(nullptr);
        return false;
    }
    // A focus deep in the tree: look after it in its container, then after that container
    // in its parent, and so on up to the frame.
    CView* from = oldFocus;
    for (CViewContainer* container = oldFocus->getParentView(); container;
         container = container->getParentView()) {
        if (static_cast<CView*>(container) == this)
            break;
        if (container->advanceNextFocusView(from, reverse))
            return true;
        from = container;
    }
    if (CViewContainer::advanceNextFocusView(from, reverse))
        return true;
    setFocusView(nullptr);
    return false;
}

} // namespace gui
