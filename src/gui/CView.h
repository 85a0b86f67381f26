// Any rectangular element of the toolkit's view tree: draws itself into a CDrawContext and
// takes mouse, wheel, key and drag input. Views live inside a CViewContainer (ultimately the
// CFrame), which draws them in z-order and routes input to them.
//
// Coordinates: a view's `size` is in the coordinates of its parent container. Every point a
// view receives (mouse, wheel, drags) is in those same coordinates, and the context it gets
// has its offset at the parent's origin, so drawing at `size` lands in the right place.
//
// Thread: the thread that owns the frame's window. Reference counted: created with one
// reference; a container that holds the view keeps its own (see CViewContainer::addView).
#pragma once

#include "gui/CGeometry.h"
#include "gui/CReferenceCounter.h"
#include "vst/VstAbi.h"

#include <cstdint>

namespace platform {
class WindowLayer;
}

namespace gui {

class CBitmap;
class CDrawContext;
class CDragContainer;
class CFrame;
class CFrameEditor;
class CViewContainer;

// Mouse buttons and modifiers as one bit set, as CDrawContext::getMouseButtons reads them.
enum CButton : std::int32_t {
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
    kApple = 64,
    kAnyModifier = 0x78, // shift, control, alt or apple
};

// Virtual key codes and modifier bits of the host's key record (VstKeyCode::virt/modifier).
enum CVirtualKey : std::int32_t {
    kVKeyBack = 1,
    kVKeyTab = 2,
    kVKeyReturn = 4,
    kVKeyEscape = 6,
    kVKeySpace = 7,
    kVKeyLeft = 11,
    kVKeyUp = 12,
    kVKeyRight = 13,
    kVKeyDown = 14,
};
enum CKeyModifier : std::int32_t {
    kModifierShift = 1,
    kModifierAlternate = 2,
    kModifierCommand = 4,
    kModifierControl = 8,
};

enum CMouseWheelAxis : std::int32_t {
    kMouseWheelAxisX = 0,
    kMouseWheelAxisY = 1,
};

// Answer of notify() for a message the receiver understood.
inline constexpr std::int32_t kMessageNotified = 1;
inline constexpr std::int32_t kMessageUnknown = 0;
// The message containers answer with kMessageNotified; plain views do not.
inline constexpr const char* kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

using CKeyCode = vst::VstKeyCode;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    // --- drawing ---------------------------------------------------------------------------
    // Draws the background bitmap (if any) over `size`, then clears the dirty flag.
    virtual void draw(CDrawContext* context);
    // Draws the part of the view inside updateRect (parent coordinates); plain views draw all.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    // Whether updateRect touches the view (edges included).
    virtual bool checkUpdate(const CRect& updateRect) const;

    // --- input -----------------------------------------------------------------------------
    // buttons: CButton bits, or -1 to read the current state.
    virtual void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1);
    virtual void setBackground(CBitmap* background);
    virtual CBitmap* getBackground() const;
    // Key handlers answer -1 when they did not handle the key.
    virtual std::int32_t onKeyDown(CKeyCode& keyCode);
    virtual std::int32_t onKeyUp(CKeyCode& keyCode);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void looseFocus(CDrawContext* context = nullptr);
    virtual void takeFocus(CDrawContext* context = nullptr);

    // --- state -----------------------------------------------------------------------------
    virtual bool isDirty() const;
    virtual void setDirty(bool flag = true);
    virtual void setMouseEnabled(bool flag);
    virtual bool getMouseEnabled() const;
    virtual void setMouseableArea(const CRect& rect);
    virtual CRect& getMouseableArea(CRect& rect) const;
    // Whether the point (parent coordinates) lies in the mouseable area, edges included.
    virtual bool hitTest(const CPoint& where, std::int32_t buttons = -1);
    virtual void setTransparency(bool flag);
    virtual bool getTransparency() const;
    // Sets `size` (not the mouseable area) and marks the view dirty.
    virtual void setViewSize(const CRect& rect);
    virtual CRect& getViewSize(CRect& rect) const;
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);
    // The cursor position in the view's parent coordinates.
    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    // Conversions between frame coordinates and the view's parent coordinates.
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    virtual CFrameEditor* getEditor() const;
    virtual std::int32_t notify(CView* sender, const char* message);
    // Asks the parent container (or the frame) to redraw rect, given in the view's parent
    // coordinates, with the context's offset at the parent's origin.
    virtual void redrawRect(CDrawContext* context, const CRect& rect);
    virtual bool wantsFocus() const;
    virtual void setWantsFocus(bool flag);
    virtual bool isTypeOf(const char* name) const;
    // Redraws the view if it is dirty, then clears the flag.
    virtual void update(CDrawContext* context);

    // --- plain accessors ---------------------------------------------------------------------
    const CRect& getViewSize() const { return size; }
    const CRect& getMouseableArea() const { return mouseableArea; }
    CFrame* getFrame() const { return parentFrame; }
    CViewContainer* getParentView() const { return parentView; }
    // Set by the container that adds the view; not for general use.
    void setParentFrame(CFrame* frame) { parentFrame = frame; }
    void setParentView(CViewContainer* view) { parentView = view; }

    // Reads the buttons from the context, or from the view's window layer when there is none.
    std::int32_t readMouseButtons(CDrawContext* context) const;
    // The window layer to ask about the mouse: the frame's, or the process's default for a
    // view in no frame.
    platform::WindowLayer& windowLayer() const;

protected:
    CRect size;                           // the view's rectangle, parent coordinates
    CRect mouseableArea;                  // the part that accepts mouse input
    CFrame* parentFrame = nullptr;        // the frame the view belongs to, not owned
    CViewContainer* parentView = nullptr; // the container that holds the view, not owned
    bool dirty = false;                   // needs redrawing
    bool mouseEnabled = true;             // takes mouse input
    bool transparency = false;            // draw the background bitmap with its key colour
    bool wantsFocusFlag = false;          // takes the keyboard focus
    CBitmap* background = nullptr;        // background picture, remembered while set
};

} // namespace gui
