// The root of the view tree and the toolkit's link to the platform: owns one child window
// inside a host-supplied parent window on the window layer its editor gives it, double-buffers
// its whole area in one offscreen image (FrameImage), and keeps the focus view, the modal
// view, the cursor and the drop target.
//
// Redraw cycle: changes only mark views dirty; the editor's idle calls idle(), which redraws
// the dirty views into the image and copies the rectangles it drew, and only those, to the
// window. Nothing is drawn on idle before the window has been painted once. A paint of a
// damaged rectangle redraws just that part from the views.
//
// The frame's work is split by what it is about: CFrame.cpp its window and the host's windows
// (life, sizing, position, cursor, drop target), CFrameInput.cpp the routing of input (clicks,
// wheel, keys, focus, the modal view), CFrameDrawing.cpp drawing into the image and copying it
// to the window, CFrameWindowEvents.cpp what the window layer reports.
//
// Thread: everything runs on the thread that owns the frame's window (window events, the
// host's idle and key calls through the editor). No locks.
#pragma once

#include "gui/CDragData.h"
#include "gui/CViewContainer.h"
#include "gui/FrameImage.h"
#include "platform/WindowLayer.h"

#include <cstdint>
#include <memory>

namespace gui {

class CDropTarget;
class CFrameEditor;
class COffscreenContext;

// Cursor types of setCursor.
enum CCursorType : std::int32_t {
    kCursorDefault = 0,
    kCursorWait,
    kCursorHSize,
    kCursorVSize,
    kCursorSizeAll,
    kCursorNESWSize,
    kCursorNWSESize,
    kCursorCopy,
    kCursorNotAllowed,
    kCursorHand,
};

class CFrame : public CViewContainer {
public:
    // Creates the frame's window inside parentWindow when one is given (and registers the
    // drop target for it), on the editor's window layer (the process's default without an
    // editor); every later call about the window, the mouse, cursors and time goes to that
    // layer too. editor may be null (no gestures, idle work or host sizing).
    CFrame(const CRect& size, platform::NativeHandle parentWindow, CFrameEditor* editor);
    ~CFrame() override;

    // --- frame operations ----------------------------------------------------------------------
    // Only for frames owning a top-level window, which this system never makes: false.
    virtual bool open(CPoint* where = nullptr);
    virtual bool close();
    virtual bool isOpen() const;
    // Reads the window's events where the plug-in must (X11), redraws the dirty views into
    // the image and copies what it drew to the window.
    virtual void idle();
    virtual void doIdleStuff();
    // Milliseconds of the system tick counter while an editor is set, else 0.
    virtual std::uint32_t getTicks() const;
    virtual std::int32_t getKnobMode() const;
    virtual bool setPosition(std::int32_t x, std::int32_t y);
    virtual bool getPosition(std::int32_t& x, std::int32_t& y) const;
    virtual bool setSize(std::int32_t width, std::int32_t height);
    virtual bool getSize(CRect* rect) const;
    virtual bool getSize(CRect& rect) const;
    // 0 (refused) while a modal view exists and view is not null; else 1.
    virtual std::int32_t setModalView(CView* view);
    virtual CView* getModalView() const;
    virtual void beginEdit(std::int32_t tag);
    virtual void endEdit(std::int32_t tag);
    // Cursor position in frame (window) coordinates.
    virtual bool getCurrentLocation(CPoint& where);
    virtual void setCursor(std::int32_t type);
    virtual void setFocusView(CView* view);
    virtual CView* getFocusView() const;
    virtual bool setDropActive(bool flag);
    virtual bool isDropActive() const;
    virtual void setOpenFlag(bool flag);
    virtual bool getOpenFlag() const;
    // Marks dirty every child whose rectangle touches rect.
    virtual void invalidate(const CRect& rect);
    // Sets the flag; answers the previous value.
    virtual bool updatesDisabled(bool state);
    virtual bool updatesDisabled() const;
    // Draws one view of this frame (or the whole frame for any other view) at once, over
    // what lies beneath it, into the frame's image, and copies that part to the window.
    virtual void draw(CView* view);

    // A context for drawing now: the offscreen during an update (one more reference),
    // otherwise a new context for the window. The caller forgets it.
    CDrawContext* createDrawContext();

    // --- CView / CViewContainer ----------------------------------------------------------------
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    std::int32_t onKeyDown(CKeyCode& keyCode) override;
    std::int32_t onKeyUp(CKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    // Redraws what is dirty into the frame's image, where it waits for the window (the next
    // idle or paint copies it); a context other than the image gets a copy of the whole image.
    void update(CDrawContext* context) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* name) const override;
    CFrameEditor* getEditor() const override;
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;
    void removeView(CView* view, bool withForget = true) override;
    // With a modal view, that view alone (when the point is on it); else as any container.
    CView* childAt(const CPoint& where, std::int32_t buttons = -1) const override;

    // --- accessors -------------------------------------------------------------------------------
    platform::NativeHandle getParentWindow() const { return parentWindow; }
    platform::Window* getWindow() const { return window; }
    platform::WindowLayer& getWindowLayer() const { return layer; }
    // The frame's offscreen image, or null before its first use.
    COffscreenContext* getOffscreen() const { return frameImage.existing(); }
    bool isFirstDraw() const { return firstDraw; }
    CDropTarget* getDropTarget() const { return dropTarget; }

    // The toolkit's knob mode, one value for the whole process (the editor sets it).
    static void setGlobalKnobMode(std::int32_t mode);
    static std::int32_t getGlobalKnobMode();

private:
    // Receives the window's events and hands them to the frame.
    class WindowEvents : public platform::WindowListener {
    public:
        explicit WindowEvents(CFrame& owner) : frame(owner) {}
        void onPaint(const platform::Rect& damaged) override;
        void onButtonDown(const platform::Point& where) override;
        void onButtonPress(const platform::Point& where, std::int32_t buttons) override;
        void onWheel(const platform::Point& where, float distance) override;
        void onDestroy() override;
        void onKey(const platform::KeyEvent& key, bool down) override;
        void onHorizontalWheel(const platform::Point& where, float distance) override;
        std::uint32_t onDrag(platform::DragPhase phase, const platform::Point& screenPos,
                             const platform::DragOffer& offer) override;

    private:
        CFrame& frame;                     // the frame the window belongs to
        std::unique_ptr<CDragData> drag;   // what a drag from another program offers, while it lasts
    };

    void paintWindow(const CRect& damaged);
    void windowDestroyed();
    COffscreenContext* ensureOffscreen();
    void releaseFrameOffscreen();
    // Notes what a drawing into `context` covered when that is the frame's image.
    void noteDrawn(CDrawContext* context);
    // Copies what was drawn into the image since the last copy to the window.
    void presentDrawn();
    void revokeDropTarget();
    // Resizes the frame's window and the host's windows above it to fit the new size.
    bool sizeAncestorWindows(std::int32_t width, std::int32_t height);

    CFrameEditor* editor = nullptr;                 // owner of the frame, not owned
    platform::WindowLayer& layer;                   // the layer of the frame's window, input and time
    platform::NativeHandle parentWindow = nullptr;  // host's parent window; cleared when ours goes
    CView* modalView = nullptr;                     // the modal view (a child), or null
    CView* focusView = nullptr;                     // the view with the keyboard focus, or null
    bool firstDraw = true;                          // not painted yet: idle draws nothing
    bool openFlag = true;                           // false once the window is destroyed
    bool dropActive = false;                        // a drop target is registered
    bool updatesOff = false;                        // updates disabled
    bool destroying = false;                        // in the destructor: window events ignored
    bool oleInitialized = false;                    // this frame initialised OLE for the thread
    platform::Window* window = nullptr;             // the frame's own child window; null once destroyed
    platform::Window* createdWindow = nullptr;      // the window as made, freed with the frame
    WindowEvents windowEvents;                      // listener registered with the window
    CDropTarget* dropTarget = nullptr;              // registered drop target, one reference held
    FrameImage frameImage;                          // frame-sized image and what awaits the window
    CDrawContext* defaultContext = nullptr;         // the image while an update runs
    platform::CursorId savedCursor = 0;             // cursor before the first setCursor
    bool cursorSaved = false;                       // savedCursor is valid
};

} // namespace gui
