// The window layer: everything about windows, the mouse, cursors, popup menus, the open-file
// dialog, window enabling, drop targets, OLE, ticks and sleeping, declared once as one abstract
// class with one implementation per system: headless (in-memory windows, scripted mouse and
// answers, fake clock; platform/Headless.h), Win32 and X11 (the native layer of the build).
// A new operation is a pure virtual here and an override in each backend; the compiler names
// any backend that lacks it.
//
// Who asks which layer: a frame is given the layer its window lives on and asks that layer,
// never the process's default, for everything about its window, the mouse, cursors and time
// (CFrame::getWindowLayer; its views and draw contexts ask their frame's). Two editors in one
// host may live on different layers at once (one on the screen, one being drawn offline for a
// snapshot), and neither may send the other's calls to the wrong system. Code with no frame at
// hand (the file selector, the effect disabling the host's window, tools and tests) asks
// defaultLayer(); a window knows the layer that made it (Window::layer).
//
// Arguments: a Window* is always one that the layer itself made and has not destroyed yet,
// never null. Handles (NativeHandle) may be anything, the host's windows included: unknown or
// null handles answer null, an empty rectangle, an empty name or false.
//
// Threads: everything here is called from the thread that owns the editor window, except
// getTicks() and sleepMs(), which any thread may call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A window handle of the operating system (HWND on Windows, an X window id on X11), or a fake
// handle that the headless backend hands out. Never dereferenced by callers.
using NativeHandle = void*;

struct Point {
    std::int32_t x = 0; // horizontal, grows to the right
    std::int32_t y = 0; // vertical, grows downward
};

struct Rect {
    std::int32_t left = 0;   // first column inside
    std::int32_t top = 0;    // first row inside
    std::int32_t right = 0;  // first column outside
    std::int32_t bottom = 0; // first row outside
};

// ---------------------------------------------------------------------------------------
// Events of a window
// ---------------------------------------------------------------------------------------

// A key as the host's key record describes it (VstKeyCode): the character for printable
// keys, else a virtual key code of that record, and its modifier bits.
struct KeyEvent {
    std::int32_t character = 0;  // lower-case character, 0 for a virtual key
    std::uint8_t virtualKey = 0; // the record's virtual key code, 0 for a character
    std::uint8_t modifiers = 0;  // 1 shift, 2 alternate, 4 command, 8 control
};

// Phases of a drag from another program, and what it offers.
enum class DragPhase { enter, over, leave, drop };
struct DragOffer {
    bool text = false;  // plain text
    bool files = false; // a list of files
};
// Effects of a drag (the OLE values).
enum DropEffect : std::uint32_t { kDropNone = 0, kDropCopy = 1, kDropMove = 2, kDropLink = 4 };

// Events of one window. Called on the window's thread, from the platform's message
// dispatch (native) or from the headless send*() helpers (tests).
class WindowListener {
public:
    virtual ~WindowListener() = default;
    // Part of the window needs repainting: draw it and present the pixels.
    virtual void onPaint(const Rect& damaged) = 0;
    // A mouse button went down at a point in window coordinates.
    virtual void onButtonDown(const Point& where) = 0;
    // The same, from a system that reports the press after the fact (X11: events are read at
    // the next idle, when a quick click may be over): `buttons` holds the buttons and
    // modifiers (MouseBits) as they were at the press. The default forgets them.
    virtual void onButtonPress(const Point& where, std::int32_t /*buttons*/) { onButtonDown(where); }
    // The wheel turned over a point in window coordinates; distance in notches (one notch
    // forward is +1.0, a Win32 delta of 120).
    virtual void onWheel(const Point& where, float distance) = 0;
    // The window is being destroyed (usually because its parent is); no more events follow.
    virtual void onDestroy() = 0;

    // The events below come only from systems that deliver them to the plug-in's window
    // itself (X11); on Windows the host forwards keys through the editor instead.

    // A key went down or up while the window had the keyboard focus.
    virtual void onKey(const KeyEvent& /*key*/, bool /*down*/) {}
    // A sideways wheel (or tilt) over a point in window coordinates; +1.0 per notch right.
    virtual void onHorizontalWheel(const Point& /*where*/, float /*distance*/) {}
    // A drag from another program over the window: its phase, the pointer in screen
    // coordinates and what it offers. Answers the effect to show (DropEffect bits, 0 for
    // none); the answer to `drop` is what the source is told happened.
    virtual std::uint32_t onDrag(DragPhase /*phase*/, const Point& /*screenPos*/, const DragOffer& /*offer*/)
    {
        return 0;
    }
};

class WindowLayer;

// A window of ours, one per frame. Every window remembers the layer that made it, so it is
// always handled by that layer whatever the process's default becomes while it is open.
struct Window {
    explicit Window(WindowLayer* owner) : layer(owner) {}
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowLayer* layer; // the layer that made this window
};

// ---------------------------------------------------------------------------------------
// Mouse, cursor, menus, dialogs
// ---------------------------------------------------------------------------------------

// Bits of the buttons-and-modifiers set.
enum MouseBits : std::int32_t {
    kLeftButton = 1,
    kMiddleButton = 2,
    kRightButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
};

enum class CursorShape {
    arrow,      // the default arrow
    wait,
    hResize,
    vResize,
    move,
    neswResize, // diagonal, north-east to south-west
    nwseResize, // diagonal, north-west to south-east
    copy,
    notAllowed,
    hand,
};
using CursorId = std::intptr_t; // a system cursor (HCURSOR on Windows); 0 for none

struct MenuItem {
    std::string text;              // shown text (ANSI)
    std::int32_t number = -1;      // returned when chosen
    bool checked = false;          // check mark
    bool disabled = false;         // not choosable, drawn normally (a title)
    bool greyed = false;           // not choosable, drawn grey
    bool separator = false;        // a separator line (text and number unused)
    bool columnBreak = false;      // starts a new column
    std::vector<MenuItem> submenu; // non-empty: this item opens a submenu
};

struct OpenFileRequest {
    NativeHandle owner = nullptr;      // dialog owner, may be null
    const char* title = nullptr;       // caption
    const char* filter = nullptr;      // pairs of zero-terminated texts, ends with an empty text
    const char* initialDir = nullptr;  // starting folder, may be null
    std::uint32_t flags = 0;           // Win32 OFN_* flags (headless: recorded only)
    char* fileBuffer = nullptr;        // receives the full path (in: initial file name)
    std::size_t fileBufferSize = 0;    // size of fileBuffer in bytes
    char* fileTitleBuffer = nullptr;   // receives the name part, may be null
    std::size_t fileTitleSize = 0;     // size of fileTitleBuffer in bytes
    // Out: set when the system has no dialog to show (nothing was shown): a short static
    // text for the user saying so; null otherwise.
    const char* unavailable = nullptr;
};

// ---------------------------------------------------------------------------------------
// The interface
// ---------------------------------------------------------------------------------------

class WindowLayer {
public:
    virtual ~WindowLayer() = default;

    // --- our windows -------------------------------------------------------------------------
    // A visible child window of `parent` at (0, 0) with the given size. Null on failure or
    // when parent or listener is null. The listener must outlive the window.
    virtual Window* createWindow(NativeHandle parent, std::int32_t width, std::int32_t height,
                                 WindowListener* listener) = 0;
    // Destroys a window made by createWindow (onDestroy is delivered first if it is still
    // alive) and frees it, also when the host destroyed the system's window already.
    virtual void destroyWindow(Window* window) = 0;
    // The system's handle of the window; null once the host destroyed it.
    virtual NativeHandle getNativeHandle(const Window* window) = 0;
    virtual void setWindowSize(Window* window, std::int32_t width, std::int32_t height) = 0;
    // Client size of the window; (0, 0, w, h).
    virtual Rect getWindowSize(const Window* window) = 0;
    // Screen position of the window's top-left client pixel.
    virtual Point getWindowScreenOrigin(const Window* window) = 0;
    // Asks for an onPaint of this part of the window later.
    virtual void invalidateWindow(Window* window, const Rect& area) = 0;
    // Copies `area` of a top-down BGRA pixel block (premultiplied alpha; `width` x `height`
    // pixels, `stride` >= width pixels per row, never null) to the same place in the window.
    // `area` is clipped to both the block and the window.
    virtual void presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                               std::int32_t height, std::int32_t stride) = 0;
    // Delivers the events waiting for the plug-in's windows (paints, presses, wheel, keys,
    // drags, destruction) without waiting for more. Where the host's own message loop
    // delivers them (Windows) and headless, nothing happens. The frame calls it on every idle
    // and from the toolkit's mouse-tracking loops; inside a tracking loop (an onButtonDown
    // still running) only paints and destruction are delivered, the rest waits for the next
    // idle.
    virtual void dispatchWindowEvents(Window* window) = 0;
    // Takes one pending paint request of the calling thread's windows from the system's queue
    // and handles it now, so a window keeps repainting while a control runs its own mouse
    // tracking loop (Win32: PeekMessage for WM_PAINT only, then DispatchMessage; X11: the
    // waiting paints). Headless has no queue: the call is only counted
    // (Headless.h: paintDispatchCount).
    virtual void dispatchPendingPaint() = 0;

    // --- drag and drop, OLE ------------------------------------------------------------------
    // Registers an OLE drop target (an IDropTarget* on Windows, opaque elsewhere; not null)
    // for a window; one per window. True when registered.
    virtual bool registerDropTarget(Window* window, void* dropTarget) = 0;
    // True when a registered target was revoked.
    virtual bool revokeDropTarget(Window* window) = 0;
    // Per-thread OLE set-up and tear-down; calls must pair. True when initialised.
    virtual bool initializeOle() = 0;
    virtual void uninitializeOle() = 0;

    // --- any window, the host's included -------------------------------------------------------
    // Used to walk up the host's window chain when the editor resizes.
    virtual NativeHandle getParentHandle(NativeHandle handle) = 0;
    // The window's rectangle in the client coordinates of its parent (screen for top-level).
    virtual Rect getHandleRectInParent(NativeHandle handle) = 0;
    virtual bool setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height) = 0;
    // Class name into a buffer of `size` bytes (> 0), always terminated; empty when unknown.
    virtual void getHandleClassName(NativeHandle handle, char* buffer, std::size_t size) = 0;
    virtual bool handleHasCaption(NativeHandle handle) = 0;
    // Height of a dialog frame border in pixels (system metric).
    virtual std::int32_t getDialogFrameHeight() = 0;
    // The root owner of the foreground window (GetForegroundWindow + GA_ROOTOWNER).
    virtual NativeHandle getForegroundRootOwner() = 0;
    // Enables or disables mouse and keyboard input to a window; returns whether it was
    // disabled before (as EnableWindow does). Null handles are ignored (false).
    virtual bool enableWindow(NativeHandle handle, bool enable) = 0;

    // --- mouse, cursor -------------------------------------------------------------------------
    // Current buttons (mapped to left/right according to the system's swapped-buttons
    // setting) and modifier keys (MouseBits). Headless: each call consumes the next scripted
    // mouse state.
    virtual std::int32_t getMouseButtons() = 0;
    // Cursor position in screen coordinates (headless: the position of the current state).
    virtual Point getCursorPosition() = 0;
    virtual CursorId getSystemCursor(CursorShape shape) = 0;
    virtual CursorId getCurrentCursor() = 0;
    virtual void setCurrentCursor(CursorId cursor) = 0;

    // --- time ----------------------------------------------------------------------------------
    // Milliseconds since some start (wraps like GetTickCount). Headless: a fake clock that
    // advances by its step on every read.
    virtual std::uint32_t getTicks() = 0;
    // Sleeps (headless: advances the fake clock by ms instead).
    virtual void sleepMs(std::uint32_t ms) = 0;

    // --- modal choices -------------------------------------------------------------------------
    // Shows a modal popup at a screen point and returns the chosen item's number, or -1 when
    // the menu was dismissed. `trackRight`: the right button chooses too (menu opened by a
    // right click). `owner` may be null.
    virtual std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                                       bool trackRight) = 0;
    // Modal; true when a file was chosen and its path fitted the buffer (the name part is then
    // in fileTitleBuffer, truncated if that is too small). False on cancel or any failure,
    // and without showing anything for a request without a file buffer; the buffers are then
    // left as they were.
    virtual bool showOpenFileDialog(OpenFileRequest& request) = 0;
};

// ---------------------------------------------------------------------------------------
// The layers of this build, and the process's default
// ---------------------------------------------------------------------------------------

// Headless everywhere; native = Win32 on Windows, X11 elsewhere (its own display connection,
// opened with the first window; with no display to open, windows are simply not made).
WindowLayer& headlessLayer();
WindowLayer& nativeLayer();

// The layer for code that has no frame at hand, and the one a frame is made on unless its
// editor gives it another (gui::CFrameEditor::windowLayer): the native layer until
// setBackend() chooses.
WindowLayer& defaultLayer();

enum class Backend {
    native,   // the operating system's windows and input (Win32, X11)
    headless, // in-memory windows, scripted input and answers, fake clock
};
// Chooses the default layer. A frame and its window keep their layer whatever is chosen
// later, so switching never reaches into an editor that is open; it is meant for the start
// of a program or a test.
void setBackend(Backend backend);
Backend getBackend();

} // namespace platform
