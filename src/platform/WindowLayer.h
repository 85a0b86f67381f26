// The run-time selectable half of the platform layer (windows, input, cursors, popups,
// dialogs, ticks): one abstract class, one implementation per backend.
//
// A frame is given the layer its window lives on and asks that layer, never the process's
// selection, for everything about its window, the mouse, cursors and time: two editors in one
// host may live on different layers at once (one on the screen, one being drawn offline for
// a snapshot), and neither may send the other's calls to the wrong system. The functions of
// Platform.h remain for code that has no frame at hand: those taking a Window go to the
// layer that made it, the others to the process's default layer.
#pragma once

#include "platform/Platform.h"

namespace platform {

class WindowLayer;

// Every window remembers the layer that made it, so it is always handled by that layer even
// if the selected backend changes while it is open.
struct Window {
    explicit Window(WindowLayer* owner) : layer(owner) {}
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowLayer* layer; // the layer that made this window
};

class WindowLayer {
public:
    virtual ~WindowLayer() = default;

    virtual Window* createWindow(NativeHandle parent, std::int32_t width, std::int32_t height,
                                 WindowListener* listener) = 0;
    virtual void destroyWindow(Window* window) = 0;
    virtual NativeHandle getNativeHandle(const Window* window) = 0;
    virtual void setWindowSize(Window* window, std::int32_t width, std::int32_t height) = 0;
    virtual Rect getWindowSize(const Window* window) = 0;
    virtual Point getWindowScreenOrigin(const Window* window) = 0;
    virtual void invalidateWindow(Window* window, const Rect& area) = 0;
    virtual void presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                               std::int32_t height, std::int32_t stride) = 0;
    virtual bool registerDropTarget(Window* window, void* dropTarget) = 0;
    virtual bool revokeDropTarget(Window* window) = 0;

    virtual NativeHandle getParentHandle(NativeHandle handle) = 0;
    virtual Rect getHandleRectInParent(NativeHandle handle) = 0;
    virtual bool setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height) = 0;
    virtual void getHandleClassName(NativeHandle handle, char* buffer, std::size_t size) = 0;
    virtual bool handleHasCaption(NativeHandle handle) = 0;
    virtual std::int32_t getDialogFrameHeight() = 0;

    virtual std::int32_t getMouseButtons() = 0;
    virtual Point getCursorPosition() = 0;
    virtual CursorId getSystemCursor(CursorShape shape) = 0;
    virtual CursorId getCurrentCursor() = 0;
    virtual void setCurrentCursor(CursorId cursor) = 0;

    virtual std::uint32_t getTicks() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
    // A layer without a message queue of its own has nothing to dispatch.
    virtual void dispatchPendingPaint() {}

    virtual std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                                       bool trackRight) = 0;
    virtual bool showOpenFileDialog(OpenFileRequest& request) = 0;
    virtual NativeHandle getForegroundRootOwner() = 0;
    virtual bool enableWindow(NativeHandle handle, bool enable) = 0;
    virtual bool initializeOle() = 0;
    virtual void uninitializeOle() = 0;

    // Only layers whose windows get their events from the plug-in itself need this.
    virtual void dispatchWindowEvents(Window* /*window*/) {}
};

// The layers that exist in this build: headless everywhere, native = Win32 or X11.
WindowLayer& headlessLayer();
WindowLayer& nativeLayer();
// The layer that setBackend() selected (native until then): what a frame made without a
// layer of its own uses, and what the plain functions of Platform.h ask.
WindowLayer& defaultLayer();

} // namespace platform
