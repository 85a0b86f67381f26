// The frame's window and the host's windows around it: making and destroying its own, sizing
// it and the host's above it, where it sits, the cursor and the drop target.
#include "gui/CFrame.h"

#include "gui/CDropTarget.h"
#include "gui/CFrameEditor.h"

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

bool CFrame::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CFrame") == 0 || CViewContainer::isTypeOf(name));
}

CFrameEditor* CFrame::getEditor() const
{
    return editor;
}

} // namespace gui
