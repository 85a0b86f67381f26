#include "gui/CView.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"
#include "platform/WindowLayer.h"

#include <cstring>

namespace gui {

CView::CView(const CRect& rect) : size(rect), mouseableArea(rect) {}

CView::~CView()
{
    if (background) {
        background->forget();
        background = nullptr;
    }
}

void CView::draw(CDrawContext* context)
{
    if (background && context) {
        if (transparency)
            background->drawTransparent(context, size, CPoint(0, 0));
        else
            background->draw(context, size, CPoint(0, 0));
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/)
{
    draw(context);
}

bool CView::checkUpdate(const CRect& updateRect) const
{
    return updateRect.touches(size);
}

void CView::mouse(CDrawContext* /*context*/, const CPoint& /*where*/, std::int32_t /*buttons*/) {}

void CView::setBackground(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->remember();
    if (background)
        background->forget();
    background = bitmap;
    setDirty(true);
}

CBitmap* CView::getBackground() const
{
    return background;
}

std::int32_t CView::onKeyDown(CKeyCode& /*keyCode*/)
{
    return -1;
}

std::int32_t CView::onKeyUp(CKeyCode& /*keyCode*/)
{
    return -1;
}

bool CView::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis /*axis*/, float distance)
{
    return onWheel(context, where, distance);
}

bool CView::onWheel(CDrawContext* /*context*/, const CPoint& /*where*/, float /*distance*/)
{
    return false;
}

bool CView::onDrop(CDrawContext* /*context*/, CDragContainer* /*drag*/, const CPoint& /*where*/)
{
    return false;
}

void CView::onDragEnter(CDrawContext* /*context*/, CDragContainer* /*drag*/, const CPoint& /*where*/) {}
void CView::onDragLeave(CDrawContext* /*context*/, CDragContainer* /*drag*/, const CPoint& /*where*/) {}
void CView::onDragMove(CDrawContext* /*context*/, CDragContainer* /*drag*/, const CPoint& /*where*/) {}
void CView::looseFocus(CDrawContext* /*context*/) {}
void CView::takeFocus(CDrawContext* /*context*/) {}

bool CView::isDirty() const
{
    return dirty;
}

void CView::setDirty(bool flag)
{
    dirty = flag;
}

void CView::setMouseEnabled(bool flag)
{
    mouseEnabled = flag;
}

bool CView::getMouseEnabled() const
{
    return mouseEnabled;
}

void CView::setMouseableArea(const CRect& rect)
{
    mouseableArea = rect;
}

CRect& CView::getMouseableArea(CRect& rect) const
{
    rect = mouseableArea;
    return rect;
}

bool CView::hitTest(const CPoint& where, std::int32_t /*buttons*/)
{
    return mouseableArea.pointInside(where);
}

void CView::setTransparency(bool flag)
{
    transparency = flag;
}

bool CView::getTransparency() const
{
    return transparency;
}

void CView::setViewSize(const CRect& rect)
{
    size = rect;
    setDirty(true);
}

CRect& CView::getViewSize(CRect& rect) const
{
    rect = size;
    return rect;
}

bool CView::removed(CView* /*parent*/)
{
    return true;
}

bool CView::attached(CView* /*parent*/)
{
    return true;
}

void CView::getMouseLocation(CDrawContext* context, CPoint& point)
{
    // The context answers in window (= frame) coordinates whatever its offset; the enclosing
    // containers' offsets turn that into this view's parent coordinates.
    if (context) {
        context->getMouseLocation(point);
    } else if (parentFrame) {
        parentFrame->getCurrentLocation(point);
    } else {
        platform::Point p = windowLayer().getCursorPosition();
        point = CPoint(p.x, p.y);
    }
    frameToLocal(point);
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    for (const CViewContainer* c = parentView; c && static_cast<const CView*>(c) != parentFrame;
         c = c->getParentView()) {
        point.offset(-c->getViewSize().left, -c->getViewSize().top);
    }
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    for (const CViewContainer* c = parentView; c && static_cast<const CView*>(c) != parentFrame;
         c = c->getParentView()) {
        point.offset(c->getViewSize().left, c->getViewSize().top);
    }
    return point;
}

CFrameEditor* CView::getEditor() const
{
    return parentFrame ? parentFrame->getEditor() : nullptr;
}

std::int32_t CView::notify(CView* /*sender*/, const char* /*message*/)
{
    return kMessageUnknown;
}

void CView::redrawRect(CDrawContext* context, const CRect& rect)
{
    if (parentView)
        parentView->redrawRect(context, rect);
    else if (parentFrame && static_cast<CView*>(parentFrame) != this)
        parentFrame->drawRect(context, rect);
}

bool CView::wantsFocus() const
{
    return wantsFocusFlag;
}

void CView::setWantsFocus(bool flag)
{
    wantsFocusFlag = flag;
}

bool CView::isTypeOf(const char* name) const
{
    return name && std::strcmp(name, "CView") == 0;
}

void CView::update(CDrawContext* context)
{
    if (isDirty()) {
        if (context)
            redrawRect(context, size);
        else if (parentFrame)
            parentFrame->draw(this);
        setDirty(false);
    }
}

std::int32_t CView::readMouseButtons(CDrawContext* context) const
{
    return context ? context->getMouseButtons() : windowLayer().getMouseButtons();
}

platform::WindowLayer& CView::windowLayer() const
{
    return parentFrame ? parentFrame->getWindowLayer() : platform::defaultLayer();
}

} // namespace gui
