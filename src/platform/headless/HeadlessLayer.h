// The headless window layer: windows live in memory and keep the pixels last presented to
// them, the mouse plays a script, popups and dialogs take queued answers, the clock is fake,
// and calls without a visible effect (window enabling, drop targets, OLE) are recorded.
// Used by every test and by offline rendering; the controls are in platform/Headless.h.
// Single-threaded: driven from the thread that runs the test or the rendering.
#pragma once

#include "platform/Headless.h"
#include "platform/WindowLayer.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class HeadlessLayer : public WindowLayer {
public:
    // A window of ours.
    struct HeadlessWindow : Window {
        explicit HeadlessWindow(WindowLayer* owner) : Window(owner) {}
        WindowListener* listener = nullptr; // event receiver; null once destroyed
        NativeHandle parent = nullptr;      // the parent handle given at creation
        std::int32_t width = 0;             // client columns
        std::int32_t height = 0;            // client rows
        Point origin;                       // screen position of the client area
        std::vector<std::uint32_t> pixels;  // last presented pixels, width * height
        std::size_t presents = 0;           // presentPixels calls
        Rect invalid;                       // union of invalidated areas
        bool hasInvalid = false;            // invalid is valid
        void* dropTarget = nullptr;         // registered drop target
    };
    // A fake window of the host (a parent for ours).
    struct HostWindow {
        std::int32_t width = 0;         // columns
        std::int32_t height = 0;        // rows
        NativeHandle parent = nullptr;  // its own parent, or null
        std::string className;          // class name it answers
        bool caption = false;           // has a title bar
        bool enabled = true;            // EnableWindow state
    };

    HeadlessLayer();
    ~HeadlessLayer() override;

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
    void dispatchPendingPaint() override { ++paintDispatches; }

    std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                               bool trackRight) override;
    bool showOpenFileDialog(OpenFileRequest& request) override;
    NativeHandle getForegroundRootOwner() override;
    bool enableWindow(NativeHandle handle, bool enable) override;
    bool initializeOle() override;
    void uninitializeOle() override;

    // Script and record access for platform/Headless.h.
    void reset();
    HeadlessWindow* findWindow(const void* handle) const;
    HostWindow* findHost(const void* handle) const;
    NativeHandle createHost(std::int32_t width, std::int32_t height, NativeHandle parent, const char* className,
                            bool caption);
    void destroyHost(NativeHandle handle);

    std::deque<headless::MouseState> mouseScript;      // states not yet read
    headless::MouseState mouse;                        // current state
    std::uint32_t now = 0;                             // fake clock, ms
    std::uint32_t tickStep = 0;                        // advance per getTicks()
    std::size_t paintDispatches = 0;                   // dispatchPendingPaint calls
    CursorId cursor = 1;                               // current cursor (shape + 1)
    std::deque<std::int32_t> popupAnswers;             // queued popup choices
    std::vector<MenuItem> lastPopup;                   // items of the last popup
    Point lastPopupAt;                                 // where it was shown
    std::size_t popups = 0;                            // popups shown
    struct DialogAnswer {
        bool choose = false; // false: cancel
        std::string path;    // the chosen path
        const char* unavailable = nullptr; // not shown at all, for this reason
    };
    std::deque<DialogAnswer> dialogAnswers;            // queued dialog answers
    std::vector<headless::DialogRecord> dialogs;       // dialogs shown
    NativeHandle foreground = nullptr;                 // answer of getForegroundRootOwner (a fake host)
    std::vector<headless::EnableRecord> enables;       // enableWindow calls
    std::vector<NativeHandle> disabled;                // handles currently disabled
    std::int32_t oleCount = 0;                         // OLE initialisations not undone
    std::vector<std::unique_ptr<HeadlessWindow>> windows; // windows open (and destroyed by parent)
    std::vector<std::unique_ptr<HostWindow>> hosts;    // fake host windows
    HeadlessWindow* newest = nullptr;                  // last window created
};

} // namespace platform
