// Controls of the headless backend, for tests and offline rendering: scripted mouse states,
// scripted popup and dialog answers, a fake clock, in-memory windows whose last presented
// pixels can be read back, and records of the calls that have no visible effect.
// Everything here acts on the headless backend whether or not it is the selected one; select
// it with platform::setBackend(platform::Backend::headless).
#pragma once

#include "platform/WindowLayer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::headless {

// Forgets every script, answer, record and fake host window, sets the clock to 0 with step 0,
// the mouse to (0, 0) without buttons and the cursor to the arrow. Windows still open stay.
void reset();

// --- mouse ------------------------------------------------------------------------------
struct MouseState {
    Point position;          // screen coordinates
    std::int32_t buttons = 0; // MouseBits
};
// Appends states; each getMouseButtons() makes the next one current and returns its buttons.
// When the script is exhausted the buttons read 0 and the position stays where it was.
void queueMouse(const MouseState& state);
void queueMouse(const std::vector<MouseState>& states);
// Sets the current state directly (drops nothing from the queue).
void setMouse(const MouseState& state);
std::size_t pendingMouseStates();

// --- clock -------------------------------------------------------------------------------
void setTicks(std::uint32_t now);
// Every getTicks() first advances the clock by this many ms, then returns it.
void setTickStep(std::uint32_t step);
std::uint32_t peekTicks(); // reads without advancing
// How many times dispatchPendingPaint() was called since the last reset().
std::size_t paintDispatchCount();

// --- cursor ------------------------------------------------------------------------------
// The shape whose cursor is current (arrow after reset).
CursorShape currentCursorShape();

// --- popup menus -------------------------------------------------------------------------
// Answers for the next showPopupMenu calls, first in first out; with none queued the popup
// is dismissed (-1).
void queuePopupAnswer(std::int32_t number);
// The items and position of the last popup shown.
const std::vector<MenuItem>& lastPopupItems();
Point lastPopupPosition();
std::size_t popupCount();

// --- open-file dialog ---------------------------------------------------------------------
void queueDialogChoose(const std::string& path);
void queueDialogCancel();
// The next dialog is not shown, as on a system without any dialog program: the request's
// `unavailable` gets this text (which must stay alive).
void queueDialogUnavailable(const char* text);
struct DialogRecord {
    NativeHandle owner = nullptr; // the owner the request gave
    std::string title;            // its caption
    std::vector<std::string> filter; // the filter texts, in order
    std::string initialDir;       // its starting folder
    std::uint32_t flags = 0;      // its flags
    bool ownerEnabled = true;     // whether the owner was enabled while the dialog was shown
};
const std::vector<DialogRecord>& dialogRecords();

// --- owner windows, enabling --------------------------------------------------------------
// A fake host window: a handle that createWindow accepts as parent and that the handle
// queries answer for. `parent` may be another fake window or null.
NativeHandle createHostWindow(std::int32_t width, std::int32_t height, NativeHandle parent = nullptr,
                              const char* className = "HostWindow", bool hasCaption = false);
// Destroys a fake host window and, first, every window below it (their listeners get
// onDestroy), as a real parent would.
void destroyHostWindow(NativeHandle handle);
void setForegroundRootOwner(NativeHandle handle);
struct EnableRecord {
    NativeHandle handle = nullptr; // the window
    bool enable = false;           // the state asked for
};
const std::vector<EnableRecord>& enableRecords();
// Whether a handle is currently enabled (true unless disabled by enableWindow).
bool isEnabled(NativeHandle handle);

// --- windows ------------------------------------------------------------------------------
// The pixels last presented to a window (top-down BGRA, window-sized, 0 where nothing was
// presented yet); empty for an unknown window.
struct Snapshot {
    std::int32_t width = 0;            // columns
    std::int32_t height = 0;           // rows
    std::vector<std::uint32_t> pixels; // width * height, 0xAARRGGBB
};
Snapshot snapshot(const Window* window);
std::size_t presentCount(const Window* window);
// The area of the window invalidated since the last call (empty when none), then cleared.
Rect takeInvalidArea(Window* window);
// Event injection, as the native message loop would deliver them.
void sendPaint(Window* window, const Rect& damaged);
void sendButtonDown(Window* window, const Point& where);
// Wheel at a screen point: converted to window coordinates like the native backend does.
void sendWheel(Window* window, const Point& screenPos, float distance);
// Moves a window's screen origin (for cursor-to-window conversions).
void setWindowScreenOrigin(Window* window, const Point& origin);
// The window most recently created (null when none is open).
Window* lastWindow();

// --- drop targets, OLE ----------------------------------------------------------------------
void* registeredDropTarget(const Window* window); // null when none
std::int32_t oleInitCount();                      // initialisations not yet undone

} // namespace platform::headless
