// A view that holds other views in z-order (first added lowest), draws them over its
// background and routes input to them: clicks, the wheel and drags to the child under the
// point (childAt: one rule for all three), keys from the highest child down until one
// handles them. Drags are tracked with enter and leave.
//
// Children's rectangles are in the container's coordinates, with (0, 0) at its top-left.
// While drawing or routing input the container moves the context's offset by its own
// top-left so that children draw and think in those coordinates, and restores it after
// (ContextScope).
//
// Drawing, the children and the view's life are in CViewContainer.cpp; hit-testing and the
// routing of input in CViewContainerInput.cpp.
//
// Thread: the frame's window thread. Reference counted like every view; the container keeps
// one reference to each child and releases it when the child is removed.
#pragma once

#include "gui/CColor.h"
#include "gui/CView.h"

#include <vector>

namespace gui {

class COffscreenContext;

// Update modes (see update()).
enum CViewContainerMode : std::int32_t {
    kNormalUpdate = 0,   // redraw the whole container when anything in it is dirty
    kOnlyDirtyUpdate = 1 // redraw only the dirty children
};

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    // --- children ----------------------------------------------------------------------------
    // Sets the child's mouseable area and mouse flag, then adds it as addView(view) does.
    virtual void addView(CView* view, const CRect& mouseableArea, bool mouseEnabled = true);
    // Puts the view on top of the z-order. The container takes one reference of its own and
    // answers for the creator's as well (removeView/removeAll with forget release both).
    // A null view is ignored.
    virtual void addView(CView* view);
    // Unlinks the view (clearing the frame's focus first if it has it); releases the
    // container's reference and, with withForget, the creator's as well.
    virtual void removeView(CView* view, bool withForget = true);
    virtual void removeAll(bool withForget = true);
    virtual bool isChild(CView* view) const;
    virtual std::int32_t getNbViews() const;
    // index 0 is the lowest child; null when out of range.
    virtual CView* getView(std::int32_t index) const;
    virtual void setBackgroundColor(const CColor& color);
    virtual CColor getBackgroundColor() const;
    virtual void setBackgroundOffset(const CPoint& offset);
    virtual const CPoint& getBackgroundOffset() const;
    // Draws the background over rect (container coordinates, offset at the container's origin).
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    virtual void setMode(std::int32_t mode);
    virtual std::int32_t getMode() const;
    virtual void useOffscreen(bool flag);

    // --- hit-testing ---------------------------------------------------------------------------
    // Which child is under a point, the one rule for every input that has a point (clicks,
    // the wheel, drags from other programs): the children are tried from the last added
    // (drawn on top; no view of this toolkit is ever hidden) to the first, and the first that
    // is mouse-enabled and whose hitTest() accepts the point (by default: the point lies in
    // its mouseable area, edges included) is the one; null when none is. `where` is in this container's parent coordinates, as every input
    // method receives it. Input then descends into that child when it is a container, by the
    // same rule in the child's coordinates; a container with nothing under the point keeps
    // the input (nothing beneath it is tried), and a view is reached only through its
    // container, so no part of it outside its container's mouseable area is ever hit. While
    // a frame has a modal view, that view is the only child of the frame the rule can give.
    virtual CView* childAt(const CPoint& where, std::int32_t buttons = -1) const;
    // The view under a point (parent coordinates) by that rule: the child; with deep, the
    // innermost view the descent reaches (a child container itself when nothing inside it is
    // under the point).
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
    // The view under the current mouse position (not deep).
    virtual CView* getCurrentView() const;
    // Moves the focus to the next view after oldFocus that wants focus, in z-order (reverse:
    // downwards), descending into containers. True when a view took the focus.
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    // --- CView -------------------------------------------------------------------------------
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    std::int32_t onKeyDown(CKeyCode& keyCode) override;
    std::int32_t onKeyUp(CKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    bool isDirty() const override;
    void setViewSize(const CRect& rect) override;
    bool removed(CView* parent) override;
    bool attached(CView* parent) override;
    std::int32_t notify(CView* sender, const char* message) override;
    // rect is in this container's coordinates (a child asks for a part of itself).
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* name) const override;
    void update(CDrawContext* context) override;

    // The view currently under a drag (tests and the drop path).
    CView* getCurrentDragView() const { return currentDragView; }
    // Gives the frame to the container's descendants (when it is added to a frame late).
    void propagateFrame(CFrame* frame);

protected:
    // The part of the rule about one view: it takes input at `local` (its parent's
    // coordinates).
    static bool takesInputAt(CView* view, const CPoint& local, std::int32_t buttons);
    // A point of this container's parent coordinates in its own.
    CPoint toLocal(const CPoint& where) const { return CPoint(where.x - size.left, where.y - size.top); }
    // Draws background and children into `context`, whose offset is at the container's
    // origin, limited to clientRect (container coordinates).
    void drawContent(CDrawContext* context, const CRect& clientRect, bool wholeContainer);
    // Draws through the container's own offscreen image when it has one.
    void drawThroughOffscreen(CDrawContext* context, const CRect& parentRect, bool wholeContainer);
    void releaseOffscreen();
    void setCurrentDragView(CView* view);
    // Child area in container coordinates: (0, 0, width, height).
    CRect clientArea() const;

    std::vector<CView*> children;          // z-order, first lowest; one reference each
    CColor backgroundColor = kBlackCColor; // fill without a background bitmap
    CPoint backgroundOffset;               // where in the bitmap drawing starts
    std::int32_t mode = kOnlyDirtyUpdate;  // update mode
    bool drawInOffscreen = false;          // draw through an image of its own
    COffscreenContext* offscreen = nullptr; // that image, while attached; owned
    CView* currentDragView = nullptr;      // child under the current drag, remembered
};

} // namespace gui
