// The native window layer on X11 (Linux and other POSIX desktops).
//
// The plug-in keeps a display connection of its own, as Linux VST hosts expect: the host
// hands effEditOpen the X id of its window, the frame makes a child window in it on our
// connection, and nothing of the host's connection or event loop is touched. Our events
// arrive only when we read them, so the frame pumps them on every effEditIdle and from the
// toolkit's tracking loops (dispatchWindowEvents).
//
// The connection is opened with the first window and closed with the last one. Errors on it
// never end the host: an error handler of ours records them (a host that destroys its window
// before effEditClose makes every later request about our child window fail with BadWindow)
// and hands errors of other connections to the handler that was there before.
//
// Thread: the thread that opens and idles the editor (the host's UI thread).
#pragma once

#include "platform/WindowLayer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

// X.h names a constant of XQueryBestSize (unused here) like our cursor shape type.
#undef CursorShape

#include <cstdint>
#include <vector>

namespace platform {

// One child window of ours.
struct X11Window : Window {
    explicit X11Window(WindowLayer* owner) : Window(owner) {}
    ::Window xid = 0;                   // the X window; 0 once destroyed
    WindowListener* listener = nullptr; // event receiver; null once destroyed
    std::int32_t width = 0;             // client columns
    std::int32_t height = 0;            // client rows
    GC gc = nullptr;                    // for XPutImage
    XImage* image = nullptr;            // window-sized transfer image (shared memory or client)
    XShmSegmentInfo shm{};              // the shared segment when image lives in one
    bool shared = false;                // image is a MIT-SHM image
    Rect exposed;                       // union of Expose rectangles not yet painted
    bool hasExposed = false;            // exposed is valid
    void* dropTarget = nullptr;         // registered drop target (XdndAware set)
    ::Window dragSource = 0;            // XDND source window of the drag over us, or 0
    DragOffer dragOffer;                // what that drag offers
    std::uint32_t dragEffect = 0;       // last effect answered to it
    bool dragEntered = false;           // the listener has heard of that drag
    Point dragPoint;                    // its last position, screen coordinates
};

class X11Layer : public WindowLayer {
public:
    X11Layer() = default;
    ~X11Layer() override;

    Window* createWindow(NativeHandle parent, std::int32_t width, std::int32_t height,
                         WindowListener* listener) override;
    void destroyWindow(Window* window) override;
    NativeHandle getNativeHandle(const Window* window) override;
    void setWindowSize(Window* window, std::int32_t width, std::int32_t height) override;
    Rect getWindowSize(const Window* window) override;
    Point getWindowScreenOrigin(const Window* window) override;
    void invalidateWindow(Window* window, const Rect& area) override;
    void presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                       std::int32_t height, std::int32_t stride) override;
    bool registerDropTarget(Window* window, void* dropTarget) override;
    bool revokeDropTarget(Window* window) override;

    NativeHandle getParentHandle(NativeHandle handle) override;
    Rect getHandleRectInParent(NativeHandle handle) override;
    bool setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height) override;
    void getHandleClassName(NativeHandle handle, char* buffer, std::size_t size) override;
    bool handleHasCaption(NativeHandle handle) override;
    std::int32_t getDialogFrameHeight() override;

    std::int32_t getMouseButtons() override;
    Point getCursorPosition() override;
    CursorId getSystemCursor(CursorShape shape) override;
    CursorId getCurrentCursor() override;
    void setCurrentCursor(CursorId cursor) override;

    std::uint32_t getTicks() override;
    void sleepMs(std::uint32_t ms) override;

    std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                               bool trackRight) override;
    bool showOpenFileDialog(OpenFileRequest& request) override;
    NativeHandle getForegroundRootOwner() override;
    bool enableWindow(NativeHandle handle, bool enable) override;
    bool initializeOle() override;
    void uninitializeOle() override;

    void dispatchWindowEvents(Window* window) override;
    // Paints (and destruction) only, for the editor's idle during a tracking loop.
    void dispatchPendingPaint() override;

    // --- shared with the popup menu, the file dialog and drag and drop ---------------------------
    Display* display() const { return display_; }
    // Handles one event of our connection. With `paintsOnly`, presses, keys and drags are
    // dropped instead (a modal popup or dialog owns the input meanwhile).
    void handleEvent(XEvent& event, bool paintsOnly);
    X11Window* findWindow(::Window xid) const;
    // Sends everything queued and waits until the server has handled it; true when no error
    // of ours arrived since the last call.
    bool syncAndCheck();
    // Handles the waiting paints and destruction notices of our windows, nothing else.
    void dispatchPaints();
    Atom atom(const char* name);

private:
    bool openDisplay();
    void closeDisplayIfUnused();
    void releaseImage(X11Window& w);
    bool makeImage(X11Window& w);
    void deliverExpose(X11Window& w);
    void handleClientMessage(X11Window& w, const XClientMessageEvent& message);

    Display* display_ = nullptr;            // our connection; null while no window exists
    std::vector<X11Window*> windows_;       // windows made and not yet destroyed
    bool shmAvailable_ = false;             // the server offers MIT-SHM (and it worked once)
    int buttonDepth_ = 0;                   // onButtonDown calls running (tracking loops)
    CursorId currentCursor_ = 0;            // cursor defined on our windows, 0 for the parent's
    std::vector<std::pair<int, Cursor>> cursors_; // font cursors made, by shape
};

X11Layer& x11Layer();

// Our handles are X window ids; these convert and cast.
inline ::Window toXid(NativeHandle handle) { return static_cast<::Window>(reinterpret_cast<std::uintptr_t>(handle)); }
inline NativeHandle toHandle(::Window xid) { return reinterpret_cast<NativeHandle>(static_cast<std::uintptr_t>(xid)); }
inline X11Window* asX11(Window* w) { return static_cast<X11Window*>(w); }
inline const X11Window* asX11(const Window* w) { return static_cast<const X11Window*>(w); }

// The popup menu and the open-file dialog (X11PopupMenu.cpp, X11FileDialog.cpp).
std::int32_t runX11PopupMenu(X11Layer& layer, X11Window* owner, const Point& screenPos,
                             const std::vector<MenuItem>& items, bool trackRight);
bool runX11FileDialog(X11Layer& layer, OpenFileRequest& request);

} // namespace platform
