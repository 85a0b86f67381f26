// The native window layer on Windows: a child window of the host's parent window whose
// messages become WindowListener events, GDI presentation of pixel blocks, the system's
// mouse state, cursors, popup menus, the common open-file dialog, window enabling, OLE and
// drop-target registration, GetTickCount and Sleep.
// Thread: the thread that created the window (its messages arrive on that thread).
#pragma once

#include "platform/WindowLayer.h"

namespace platform {

class Win32Layer : public WindowLayer {
public:
    Win32Layer();
    ~Win32Layer() override;

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
    void dispatchWindowEvents(Window* window) override;
    void dispatchPendingPaint() override;

    std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                               bool trackRight) override;
    bool showOpenFileDialog(OpenFileRequest& request) override;
    NativeHandle getForegroundRootOwner() override;
    bool enableWindow(NativeHandle handle, bool enable) override;
    bool initializeOle() override;
    void uninitializeOle() override;

    // A button-down message is being handled with these MK_* key flags (0: none is).
    void notePress(std::uint32_t keys);
    // The cursor last shown through setCurrentCursor (null: the class cursor).
    void* shownCursor() const { return shownCursor_; }

private:
    bool registerClass(); // first window: registers the class (counted per window)
    void releaseClass();  // last window gone: unregisters it

    int classUsers_ = 0;       // windows of ours alive that use the class
    char className_[64] = {};  // "OrvexPlugin%p" with the module handle
    bool swapButtons_ = false; // the system's swapped-buttons setting, read at registration
    std::int32_t pressBits_ = 0; // buttons of the press being handled, until the first read
    void* shownCursor_ = nullptr; // HCURSOR kept over our windows; null: the class cursor
};

} // namespace platform
