// The platform layer: everything the toolkit, the file side and the editor need from the
// operating system, behind one set of plain functions. Nothing outside src/platform includes
// <windows.h>, X11 or FreeType.
//
// Three groups with different ways of choosing the implementation:
// - The window layer (windows, mouse and modifier state, cursors, popup menus, the open-file
//   dialog, window enabling, drop-target registration, OLE set-up, ticks and sleeping) comes
//   from a backend chosen at run time: each frame has its own (WindowLayer.h), and
//   setBackend() chooses the default. The headless backend (in-memory windows, scripted
//   mouse, scripted answers, fake clock; see platform/Headless.h) exists on every system and is what tests and offline rendering use; the native backend is Win32 on
//   Windows and X11 elsewhere (its own display connection, opened with the first window; with
//   no display to open, windows are simply not made).
// - Text (glyph rendering and measuring) and resources are always the operating system's:
//   FreeType + fontconfig on Linux, GDI and the module's resources on Windows.
// - Directory listing and thread identity are always the operating system's.
//
// Threads: everything here is called from the thread that owns the editor window, except
// ticks(), sleepMs(), currentThreadId(), openRegularFile() and the semaphores, which any
// thread may call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// A window handle of the operating system (HWND on Windows), or a fake handle that the
// headless backend hands out. Never dereferenced by callers.
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
// Backend selection
// ---------------------------------------------------------------------------------------

enum class Backend {
    native,   // the operating system's windows and input (Win32, X11)
    headless, // in-memory windows, scripted input and answers, fake clock
};

// Selects the process's default window layer: the one frames are made on unless their
// editor gives them another (WindowLayer.h), and the one the functions below without a Window
// ask. A frame and its window keep their layer whatever is selected later, so switching never
// reaches into an editor that is open; it is meant for the start of a program or a test.
void setBackend(Backend backend);
Backend getBackend();

// ---------------------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------------------

// Events of one window. Called on the window's thread, from the platform's message
// dispatch (native) or from the headless send*() helpers (tests).
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

class WindowListener {
public:
    virtual ~WindowListener() = default;
    // Part of the window needs repainting: draw it and present() the pixels.
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

struct Window; // opaque; one per frame

// Delivers the events waiting for the plug-in's windows (paints, presses, wheel, keys,
// drags, destruction) without waiting for more. Where the host's own message loop delivers
// them (Windows) and headless, nothing happens. The frame calls it on every idle and from
// the toolkit's mouse-tracking loops; inside a tracking loop (an onButtonDown still
// running) only paints and destruction are delivered, the rest waits for the next idle.
void dispatchWindowEvents(Window* window);

// A visible child window of `parent` at (0, 0) with the given size. Null on failure or when
// parent is null. The listener must outlive the window.
Window* createWindow(NativeHandle parent, std::int32_t width, std::int32_t height, WindowListener* listener);
// Destroys a window made by createWindow (onDestroy is delivered first if it is still alive).
void destroyWindow(Window* window);
NativeHandle getNativeHandle(const Window* window);
void setWindowSize(Window* window, std::int32_t width, std::int32_t height);
// Client size of the window; (0, 0, w, h).
Rect getWindowSize(const Window* window);
// Screen position of the window's top-left client pixel.
Point getWindowScreenOrigin(const Window* window);
// Asks for an onPaint of this part of the window later.
void invalidateWindow(Window* window, const Rect& area);
// Copies `area` of a top-down BGRA pixel block (premultiplied alpha; `width` x `height`
// pixels, `stride` pixels per row) to the same place in the window. `area` is clipped to
// both the block and the window.
void presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                   std::int32_t height, std::int32_t stride);

// Handle-level queries on any window, ours or the host's (used to walk up the host's window
// chain when the editor resizes). Unknown handles answer null / empty / false.
NativeHandle getParentHandle(NativeHandle handle);
// The window's rectangle in the client coordinates of its parent (screen for top-level).
Rect getHandleRectInParent(NativeHandle handle);
bool setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height);
// Class name into a fixed buffer (always terminated); empty when unknown.
void getHandleClassName(NativeHandle handle, char* buffer, std::size_t size);
bool handleHasCaption(NativeHandle handle);
// Height of a dialog frame border in pixels (system metric).
std::int32_t getDialogFrameHeight();

// ---------------------------------------------------------------------------------------
// Mouse, modifiers, cursor
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

// Current buttons (mapped to left/right according to the system's swapped-buttons setting)
// and modifier keys. Headless: each call consumes the next scripted mouse state.
std::int32_t getMouseButtons();
// Cursor position in screen coordinates (headless: the position of the current state).
Point getCursorPosition();

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
CursorId getSystemCursor(CursorShape shape);
CursorId getCurrentCursor();
void setCurrentCursor(CursorId cursor);

// ---------------------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------------------

// Milliseconds since some start (wraps like GetTickCount). Headless: a fake clock that
// advances by its step on every read.
std::uint32_t getTicks();
// Sleeps (headless: advances the fake clock by ms instead).
void sleepMs(std::uint32_t ms);
// Takes one pending paint request of the calling thread's windows from the system's queue
// and handles it now, so a window keeps repainting while a control runs its own mouse
// tracking loop (Win32: PeekMessage for WM_PAINT only, then DispatchMessage). Headless has
// no queue: the call is only counted (Headless.h: paintDispatchCount).
void dispatchPendingPaint();

// ---------------------------------------------------------------------------------------
// Popup menu
// ---------------------------------------------------------------------------------------

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

// Shows a modal popup at a screen point and returns the chosen item's number, or -1 when
// the menu was dismissed. `trackRight`: the right button chooses too (menu opened by a right
// click). `owner` may be null.
std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                           bool trackRight);

// ---------------------------------------------------------------------------------------
// Open-file dialog and the owner window
// ---------------------------------------------------------------------------------------

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
// Modal; true when a file was chosen and its path fitted the buffer (the name part is then
// in fileTitleBuffer, truncated if that is too small). False on cancel or any failure; the
// buffers are then left as they were.
bool showOpenFileDialog(OpenFileRequest& request);

// The root owner of the foreground window (GetForegroundWindow + GA_ROOTOWNER).
NativeHandle getForegroundRootOwner();
// Enables or disables mouse and keyboard input to a window; returns whether it was disabled
// before (as EnableWindow does). Null handles are ignored (false).
bool enableWindow(NativeHandle handle, bool enable);

// ---------------------------------------------------------------------------------------
// Drag and drop, OLE
// ---------------------------------------------------------------------------------------

// Registers an OLE drop target (an IDropTarget* on Windows, opaque here) for a window.
bool registerDropTarget(Window* window, void* dropTarget);
bool revokeDropTarget(Window* window);
// Per-thread OLE set-up and tear-down; calls must pair. True when initialised.
bool initializeOle();
void uninitializeOle();

// ---------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------

struct FontRequest {
    const char* face = "";           // face name, matched by the system (fallback: a sans face)
    std::int32_t pixelHeight = 12;   // character height in pixels (the em size)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool decorative = false;         // decorative family (symbol fonts)
};

struct Font; // opaque

// Null on failure.
Font* createFont(const FontRequest& request);
void destroyFont(Font* font);

struct TextExtent {
    std::int32_t width = 0;  // advance width of the whole text, pixels
    std::int32_t height = 0; // line height (ascent + descent), pixels
    std::int32_t ascent = 0; // baseline distance from the top of the line
};
// Measures one line of ANSI text (no prefix processing). Null font or text: all zero.
TextExtent measureText(const Font* font, const char* text);

// Ink of one line of text as coverage: `alpha` holds width x height bytes (0 no ink, 255 full
// ink), row by row from the top. Its top-left pixel lies at (originX, originY) relative to the
// top-left of the text's line box (the box measureText describes); ink may spill past the box.
struct TextMask {
    std::int32_t originX = 0;        // mask left relative to the line box
    std::int32_t originY = 0;        // mask top relative to the line box
    std::int32_t width = 0;          // columns
    std::int32_t height = 0;         // rows
    std::vector<std::uint8_t> alpha; // coverage, width * height
};
// False (and an empty mask) for a null font, null text or a failure.
bool renderText(const Font* font, const char* text, TextMask& mask);

// ---------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------

// Resource types the product uses. "BITMAP" is a Windows device-independent bitmap
// (RT_BITMAP on Windows: a BITMAPINFOHEADER and its pixels; a registered resource of this
// type may also be a whole .bmp file with its "BM" header).
inline constexpr const char* kPngResourceType = "PNG";
inline constexpr const char* kBitmapResourceType = "BITMAP";

struct ResourceBytes {
    const std::uint8_t* data = nullptr; // null when not found
    std::size_t size = 0;               // bytes
};

// Adds a resource to the in-process table (tests register their own). The Linux build's
// generated table either calls this from a static initialiser or defines
// `extern "C" void orvex_register_resources()`, which the first lookup that finds nothing
// calls once; either way its object must be linked into the final binary directly, not
// from an archive. The bytes are not copied and must stay alive. A later
// registration of the same type and id replaces the earlier one. Returns true.
bool registerResource(const char* type, std::int32_t id, const std::uint8_t* bytes, std::size_t size);
// Removes a registration (tests); true when there was one.
bool unregisterResource(const char* type, std::int32_t id);
// Looks in the in-process table first, then (Windows) in the module that contains this code.
ResourceBytes findResource(const char* type, std::int32_t id);

// ---------------------------------------------------------------------------------------
// Files and threads
// ---------------------------------------------------------------------------------------

struct DirectoryEntry {
    std::string name;         // name without folder
    bool isDirectory = false; // a sub-folder whose name matched
};
// Lists the entries matching a wildcard pattern such as "C:\\IRs\\*.wav" (the folder part up to
// the last separator, the mask after it; '*' and '?' wildcards, letter case not distinguished),
// in the order the system returns them. "." and ".." are never listed. A missing folder gives
// an empty list. On POSIX systems a backslash in the folder part counts as a separator.
std::vector<DirectoryEntry> listDirectory(const char* pattern);

// Opens a file for reading raw bytes, but only a regular file, and without ever waiting
// on the opening: a FIFO, a device, a directory or a pipe is refused (null), since a saved
// state or a folder may name one and opening it could block the host's thread for good.
// The caller closes the result with fclose.
std::FILE* openRegularFile(const char* path);

// What tells a file's contents apart without opening it: its size, its last-write time and,
// where the system keeps one, its status-change time (0 elsewhere), each time at the finest
// resolution the system records. A rewrite of the file changes at least one of them.
struct FileStamp {
    std::int64_t size = 0;    // bytes
    std::int64_t written = 0; // last write: ns since the epoch (POSIX), 100 ns ticks (Windows)
    std::int64_t changed = 0; // status change, ns since the epoch (POSIX); 0 on Windows
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && written == o.written && changed == o.changed;
    }
};
// The stamp of a regular file; false, leaving stamp alone, for a missing path or anything
// that is not a regular file (a folder, a FIFO, a device). Never opens the file.
bool regularFileStamp(const char* path, FileStamp& stamp);

// Every call above that reaches the file system (listDirectory, openRegularFile,
// regularFileStamp) is reported, on the calling thread, to the observer set here, if any:
// the suites use it to prove which threads touch the disk. One observer per process; null
// removes it. The observer must be safe to call from any thread.
enum class FileSystemCall { listFolder, openFile, fileStatus };
using FileSystemObserver = void (*)(FileSystemCall call, const char* path);
void setFileSystemObserver(FileSystemObserver observer);
// For the backends: reports one call to the observer.
void noteFileSystemCall(FileSystemCall call, const char* path);

// An identifier of the calling thread, equal for calls from the same thread.
std::uint64_t currentThreadId();

// Lowers the calling thread's scheduling priority below normal, for a worker that a thread
// with a deadline wakes: the woken worker must not take the processor from its waker.
void lowerCurrentThreadPriority();

// A counting semaphore that wakes a worker thread from a thread that must never wait (the
// host's audio thread): posting never blocks and never allocates. Null on failure.
struct Semaphore; // opaque
Semaphore* createSemaphore();
void destroySemaphore(Semaphore* semaphore);
void postSemaphore(Semaphore* semaphore);
// Waits until the count is above zero and takes one, or until timeoutMs have passed
// (kWaitForever: no time limit); true when it took one.
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;
bool waitSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs);

} // namespace platform
