#include "gui/CFrame.h"

#include "gui/CDrawContext.h"
#include "gui/CDropTarget.h"
#include "gui/CFrameEditor.h"
#include "gui/COffscreenContext.h"
#include "gui/ContextScope.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace gui {

namespace {

std::int32_t globalKnobMode = 0; // the toolkit's knob mode; the editor sets it

} // namespace

void CFrame::setGlobalKnobMode(std::int32_t mode)
{
    globalKnobMode = mode;
}

std::int32_t CFrame::getGlobalKnobMode()
{
    return globalKnobMode;
}

CFrame::CFrame(const CRect& rect, platform::NativeHandle parent, CFrameEditor* owner)
    : CViewContainer(rect, this), editor(owner),
      layer(owner ? owner->windowLayer() : platform::defaultLayer()), parentWindow(parent), windowEvents(*this)
{
    // Drag and drop needs OLE on this thread; the call pairs with the one in the destructor.
    oleInitialized = layer.initializeOle();
    // The platform's image blending is part of the software rasteriser here, so there is no
    // blending library to load.
    if (parentWindow) {
        window = layer.createWindow(parentWindow, size.width(), size.height(), &windowEvents);
        createdWindow = window;
        if (window)
            setDropActive(true);
    }
}

CFrame::~CFrame()
{
    destroying = true;
    if (modalView) {
        CView* view = modalView;
        modalView = nullptr;
        CViewContainer::removeView(view, false);
    }
    setFocusView(nullptr);
    if (cursorSaved)
        layer.setCurrentCursor(savedCursor);
    revokeDropTarget();
    defaultContext = nullptr; // only ever the offscreen, released next
    releaseFrameOffscreen();
    // Also when the host destroyed it already: the platform still frees its record.
    if (createdWindow) {
        layer.destroyWindow(createdWindow);
        createdWindow = nullptr;
        window = nullptr;
    }
    if (oleInitialized) {
        layer.uninitializeOle();
        oleInitialized = false;
    }
    // The views go while this frame is still whole: removing them asks it about focus.
    removeAll(true);
}

// --- frame operations ------------------------------------------------------------------------

bool CFrame::open(CPoint* /*where*/)
{
    return false;
}

bool CFrame::close()
{
    return false;
}

bool CFrame::isOpen() const
{
    return openFlag;
}

void CFrame::idle()
{
    // Where the plug-in reads its window's events itself (X11), the host's idle is when.
    if (window && !destroying)
        layer.dispatchWindowEvents(window);
    if (!openFlag || !window || firstDraw || !isDirty())
        return;
    CDrawContext* context = createDrawContext();
    if (!context)
        return;
    update(context);
    context->forget();
}

void CFrame::doIdleStuff()
{
    // A control is tracking the mouse: keep the window painted (and notice its destruction).
    if (window && !destroying)
        layer.dispatchWindowEvents(window);
    if (editor)
        editor->doIdleStuff();
}

std::uint32_t CFrame::getTicks() const
{
    return editor ? layer.getTicks() : 0;
}

std::int32_t CFrame::getKnobMode() const
{
    return globalKnobMode;
}

bool CFrame::setPosition(std::int32_t /*x*/, std::int32_t /*y*/)
{
    return false;
}

bool CFrame::getPosition(std::int32_t& x, std::int32_t& y) const
{
    if (!openFlag || !window)
        return false;
    platform::NativeHandle handle = layer.getNativeHandle(window);
    while (handle) {
        platform::NativeHandle parent = layer.getParentHandle(handle);
        const platform::Rect r = layer.getHandleRectInParent(handle);
        bool found = !parent || layer.handleHasCaption(handle);
        if (!found) {
            const platform::Rect p = layer.getHandleRectInParent(parent);
            found = std::abs((p.right - p.left) - (r.right - r.left)) > 60
                    || std::abs((p.bottom - p.top) - (r.bottom - r.top)) > 60;
        }
        if (found) {
            x = r.left;
            y = r.top;
            return true;
        }
        handle = parent;
    }
    return false;
}

bool CFrame::setSize(std::int32_t width, std::int32_t height)
{
    if (!openFlag)
        return false;
    if (width == size.width() && height == size.height())
        return false;
    releaseFrameOffscreen();
    if (editor && editor->canHostDo("sizeWindow") && editor->sizeWindow(width, height)) {
        if (window)
            layer.setWindowSize(window, width, height);
        setViewSize(CRect(0, 0, width, height));
        return true;
    }
    size.right = size.left + width;
    size.bottom = size.top + height;
    if (!sizeAncestorWindows(width, height))
        return true; // the windows above belong to the host; it keeps their size
    setViewSize(CRect(0, 0, width, height));
    return true;
}

bool CFrame::sizeAncestorWindows(std::int32_t width, std::int32_t height)
{
    if (!window)
        return true;
    platform::NativeHandle handle = layer.getNativeHandle(window);
    const std::int32_t dialogFrame = 2 * layer.getDialogFrameHeight();
    std::int32_t extraWidth = 0;  // borders of the windows passed so far
    std::int32_t extraHeight = 0;
    while (handle) {
        platform::NativeHandle parent = layer.getParentHandle(handle);
        char className[256] = {};
        if (parent)
            layer.getHandleClassName(parent, className, sizeof className - 1); // stays terminated
        if (!parent || std::strcmp(className, "MDIClient") == 0) {
            layer.setHandleSize(handle, width + extraWidth, height + extraHeight);
            break;
        }
        // Border between this window and its parent, measured before either changes.
        const platform::Rect own = layer.getHandleRectInParent(handle);
        const platform::Rect outer = layer.getHandleRectInParent(parent);
        layer.setHandleSize(handle, width + extraWidth, height + extraHeight);
        extraWidth += std::max(0, (outer.right - outer.left) - (own.right - own.left));
        extraHeight += std::max(0, (outer.bottom - outer.top) - (own.bottom - own.top));
        if (extraWidth > 80 || extraHeight > 80)
            return false;
        handle = parent;
        if (extraWidth == dialogFrame) {
            // Reached the window with the dialog frame: it takes the size and the walk ends.
            layer.setHandleSize(handle, width + extraWidth, height + extraHeight);
            break;
        }
    }
    return true;
}

bool CFrame::getSize(CRect* rect) const
{
    return rect ? getSize(*rect) : false;
}

bool CFrame::getSize(CRect& rect) const
{
    if (!openFlag || !window)
        return false;
    // The host's window that holds the frame's, in the coordinates of the window that holds
    // it in turn: where the editor sits inside the host.
    const platform::NativeHandle handle = layer.getNativeHandle(window);
    const platform::NativeHandle parent = handle ? layer.getParentHandle(handle) : nullptr;
    if (!parent)
        return false;
    const platform::Rect r = layer.getHandleRectInParent(parent);
    rect = CRect(r.left, r.top, r.right, r.bottom);
    return true;
}

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

void CFrame::beginEdit(std::int32_t tag)
{
    if (editor)
        editor->beginEdit(tag);
}

void CFrame::endEdit(std::int32_t tag)
{
    if (editor)
        editor->endEdit(tag);
}

bool CFrame::getCurrentLocation(CPoint& where)
{
    platform::Point cursor = layer.getCursorPosition();
    where = CPoint(cursor.x, cursor.y);
    if (window) {
        platform::Point origin = layer.getWindowScreenOrigin(window);
        where.offset(-origin.x, -origin.y);
    }
    return true;
}

void CFrame::setCursor(std::int32_t type)
{
    if (!cursorSaved) {
        savedCursor = layer.getCurrentCursor();
        cursorSaved = true;
    }
    platform::CursorShape shape = platform::CursorShape::arrow;
    switch (type) {
    case kCursorWait: shape = platform::CursorShape::wait; break;
    case kCursorHSize: shape = platform::CursorShape::hResize; break;
    case kCursorVSize: shape = platform::CursorShape::vResize; break;
    case kCursorSizeAll: shape = platform::CursorShape::move; break;
    case kCursorNESWSize: shape = platform::CursorShape::neswResize; break;
    case kCursorNWSESize: shape = platform::CursorShape::nwseResize; break;
    case kCursorNotAllowed: shape = platform::CursorShape::notAllowed; break;
    case kCursorHand: shape = platform::CursorShape::hand; break;
    default:
        // The default and the copy cursor are the one the frame found.
        layer.setCurrentCursor(savedCursor);
        return;
    }
    layer.setCurrentCursor(layer.getSystemCursor(shape));
}

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

bool CFrame::setDropActive(bool flag)
{
    if (!flag && !dropActive)
        return true;
    if (!window)
        return false;
    revokeDropTarget();
    if (flag) {
        dropTarget = new CDropTarget(this);
        dropTarget->addRef(); // the frame's own reference, released at revoke
        layer.registerDropTarget(window, dropTarget);
    }
    dropActive = flag;
    return true;
}

void CFrame::revokeDropTarget()
{
    if (!dropTarget)
        return;
    if (window)
        layer.revokeDropTarget(window);
    dropTarget->frameGone();
    dropTarget->release();
    dropTarget = nullptr;
    dropActive = false;
}

bool CFrame::isDropActive() const
{
    return dropActive;
}

void CFrame::setOpenFlag(bool flag)
{
    openFlag = flag;
}

bool CFrame::getOpenFlag() const
{
    return openFlag;
}

void CFrame::invalidate(const CRect& rect)
{
    for (CView* child : children) {
        if (child->getViewSize().touches(rect))
            child->setDirty(true);
    }
}

bool CFrame::updatesDisabled(bool state)
{
    const bool previous = updatesOff;
    updatesOff = state;
    return previous;
}

bool CFrame::updatesDisabled() const
{
    return updatesOff;
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
    if (window) {
        const Pixels& pixels = image->getPixels();
        layer.presentPixels(window, platform::Rect{area.left, area.top, area.right, area.bottom}, pixels.data(),
                            pixels.getWidth(), pixels.getHeight(), pixels.getWidth());
    }
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

COffscreenContext* CFrame::ensureOffscreen()
{
    if (!frameOffscreen)
        frameOffscreen = new COffscreenContext(this, size.width(), size.height(), kBlackCColor);
    return frameOffscreen;
}

void CFrame::releaseFrameOffscreen()
{
    if (frameOffscreen) {
        if (defaultContext == frameOffscreen)
            defaultContext = nullptr;
        frameOffscreen->forget();
        frameOffscreen = nullptr;
    }
}

// --- drawing -----------------------------------------------------------------------------------

void CFrame::draw(CDrawContext* context)
{
    firstDraw = false;
    if (!context)
        context = defaultContext;
    if (context)
        CViewContainer::draw(context);
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
        if (!clip.isEmpty())
            CViewContainer::drawRect(context, clip);
    }
    if (own)
        context->forget();
}

void CFrame::redrawRect(CDrawContext* context, const CRect& rect)
{
    drawRect(context, rect);
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

// --- input -------------------------------------------------------------------------------------

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

void CFrame::removeView(CView* view, bool withForget)
{
    if (view && view == modalView)
        modalView = nullptr;
    CViewContainer::removeView(view, withForget);
}

bool CFrame::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CFrame") == 0 || CViewContainer::isTypeOf(name));
}

CFrameEditor* CFrame::getEditor() const
{
    return editor;
}

} // namespace gui
