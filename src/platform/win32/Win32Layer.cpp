#include "platform/win32/Win32Layer.h"

#include <windows.h>
#include <commdlg.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

HMODULE ownModule(); // Win32System.cpp

namespace {

struct Win32Window : Window {
    explicit Win32Window(WindowLayer* owner) : Window(owner) {}
    HWND hwnd = nullptr;                // the child window; null once destroyed
    WindowListener* listener = nullptr; // event receiver; null once destroyed
    HDC paintDc = nullptr;              // the paint surface while WM_PAINT runs
    bool dropRegistered = false;        // RegisterDragDrop succeeded
};

Win32Window* asWin32(Window* w) { return static_cast<Win32Window*>(w); }
const Win32Window* asWin32(const Window* w) { return static_cast<const Win32Window*>(w); }

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* w = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (w == nullptr || w->listener == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT: {
        RECT update;
        if (GetUpdateRect(hwnd, &update, FALSE)) {
            PAINTSTRUCT ps;
            w->paintDc = BeginPaint(hwnd, &ps);
            w->listener->onPaint(Rect{update.left, update.top, update.right, update.bottom});
            w->paintDc = nullptr;
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        auto* layer = static_cast<Win32Layer*>(w->layer);
        layer->notePress(static_cast<std::uint32_t>(wParam));
        w->listener->onButtonDown(Point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        layer->notePress(0);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(hwnd, &p);
        const float distance = static_cast<float>(static_cast<short>(HIWORD(wParam))) / WHEEL_DELTA;
        w->listener->onWheel(Point{p.x, p.y}, distance);
        break; // then default processing
    }
    case WM_ERASEBKGND:
        return 1; // the paint that follows covers every pixel: erasing first would flicker
    case WM_SETCURSOR:
        // Over our client area the shape the frame chose stays (the class cursor otherwise).
        if (LOWORD(lParam) == HTCLIENT && w->layer != nullptr) {
            if (auto shown = static_cast<HCURSOR>(static_cast<Win32Layer*>(w->layer)->shownCursor())) {
                SetCursor(shown);
                return TRUE;
            }
        }
        break;
    case WM_DESTROY: {
        // Usually the host destroying its own window (ours goes with it) before the editor is
        // closed. The drop target is revoked while the handle is still valid: afterwards OLE
        // would keep it, with its reference to a frame that is about to go.
        if (w->dropRegistered) {
            RevokeDragDrop(hwnd);
            w->dropRegistered = false;
        }
        WindowListener* listener = w->listener;
        w->listener = nullptr;
        w->hwnd = nullptr;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        listener->onDestroy();
        break;
    }
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

UINT menuFlags(const MenuItem& item)
{
    UINT flags = item.separator ? MF_SEPARATOR : MF_STRING;
    if (item.checked)
        flags |= MF_CHECKED;
    if (item.greyed)
        flags |= MF_GRAYED;
    else if (item.disabled)
        flags |= MF_DISABLED;
    if (item.columnBreak)
        flags |= MF_MENUBARBREAK;
    return flags;
}

// Builds a (sub)menu; command IDs are item numbers + 1, since 0 means "nothing chosen".
HMENU buildMenu(const std::vector<MenuItem>& items)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    for (const MenuItem& item : items) {
        if (!item.submenu.empty()) {
            HMENU sub = buildMenu(item.submenu);
            if (sub != nullptr)
                AppendMenuA(menu, menuFlags(item) | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item.text.c_str());
        } else if (item.separator) {
            AppendMenuA(menu, menuFlags(item), 0, nullptr);
        } else {
            const UINT_PTR id = item.number >= 0 ? static_cast<UINT_PTR>(item.number) + 1 : 0;
            AppendMenuA(menu, menuFlags(item), id, item.text.c_str());
        }
    }
    return menu;
}

} // namespace

Win32Layer::Win32Layer() = default;
Win32Layer::~Win32Layer() = default;

bool Win32Layer::registerClass()
{
    if (classUsers_ == 0) {
        // One class per loaded module, so two copies of the plug-in in one host never share it.
        std::snprintf(className_, sizeof className_, "OrvexPlugin%p", static_cast<void*>(ownModule()));
        WNDCLASSA wc{};
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = ownModule();
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className_;
        if (RegisterClassA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return false;
        swapButtons_ = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    }
    ++classUsers_;
    return true;
}

void Win32Layer::releaseClass()
{
    if (classUsers_ > 0 && --classUsers_ == 0)
        UnregisterClassA(className_, ownModule());
}

Window* Win32Layer::createWindow(NativeHandle parent, std::int32_t width, std::int32_t height, WindowListener* listener)
{
    if (parent == nullptr || listener == nullptr || !registerClass())
        return nullptr;
    auto* w = new Win32Window(this);
    w->listener = listener;
    w->hwnd = CreateWindowExA(0, className_, "Window", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                              width, height, static_cast<HWND>(parent), nullptr, ownModule(), nullptr);
    if (w->hwnd == nullptr) {
        delete w;
        releaseClass();
        return nullptr;
    }
    SetWindowLongPtrA(w->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    return w;
}

void Win32Layer::destroyWindow(Window* window)
{
    Win32Window* w = asWin32(window);
    // The window is ours to destroy only while the host has not destroyed it already (its
    // WM_DESTROY cleared hwnd and revoked the drop target then).
    if (w->hwnd != nullptr)
        DestroyWindow(w->hwnd); // delivers WM_DESTROY: drop target revoked, then onDestroy
    delete w;
    releaseClass();
}

NativeHandle Win32Layer::getNativeHandle(const Window* window) { return asWin32(window)->hwnd; }

void Win32Layer::setWindowSize(Window* window, std::int32_t width, std::int32_t height)
{
    if (HWND h = asWin32(window)->hwnd)
        SetWindowPos(h, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Win32Layer::getWindowSize(const Window* window)
{
    RECT r{};
    if (HWND h = asWin32(window)->hwnd)
        GetClientRect(h, &r);
    return Rect{0, 0, r.right - r.left, r.bottom - r.top};
}

Point Win32Layer::getWindowScreenOrigin(const Window* window)
{
    POINT p{0, 0};
    if (HWND h = asWin32(window)->hwnd)
        ClientToScreen(h, &p);
    return Point{p.x, p.y};
}

void Win32Layer::invalidateWindow(Window* window, const Rect& area)
{
    if (HWND h = asWin32(window)->hwnd) {
        RECT r{area.left, area.top, area.right, area.bottom};
        InvalidateRect(h, &r, FALSE);
    }
}

void Win32Layer::presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                               std::int32_t height, std::int32_t stride)
{
    Win32Window* w = asWin32(window);
    if (w->hwnd == nullptr)
        return;
    const Rect client = getWindowSize(window);
    const std::int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const std::int32_t right = std::min({area.right, width, client.right});
    const std::int32_t bottom = std::min({area.bottom, height, client.bottom});
    if (right <= left || bottom <= top)
        return;
    const std::int32_t cw = right - left, ch = bottom - top;
    // The area as one top-down block, so the DIB call needs no source offsets.
    std::vector<std::uint32_t> block(static_cast<std::size_t>(cw) * static_cast<std::size_t>(ch));
    for (std::int32_t y = 0; y < ch; ++y)
        std::memcpy(block.data() + static_cast<std::size_t>(y) * cw,
                    pixels + static_cast<std::size_t>(top + y) * stride + left, static_cast<std::size_t>(cw) * 4);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cw;
    info.bmiHeader.biHeight = -ch; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = w->paintDc != nullptr ? w->paintDc : GetDC(w->hwnd);
    if (dc == nullptr)
        return;
    SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(cw), static_cast<DWORD>(ch), 0, 0, 0, static_cast<UINT>(ch),
                      block.data(), &info, DIB_RGB_COLORS);
    if (dc != w->paintDc)
        ReleaseDC(w->hwnd, dc);
}

bool Win32Layer::registerDropTarget(Window* window, void* dropTarget)
{
    Win32Window* w = asWin32(window);
    if (w->hwnd == nullptr || w->dropRegistered)
        return false;
    w->dropRegistered = RegisterDragDrop(w->hwnd, static_cast<IDropTarget*>(dropTarget)) == S_OK;
    return w->dropRegistered;
}

bool Win32Layer::revokeDropTarget(Window* window)
{
    Win32Window* w = asWin32(window);
    if (w->hwnd == nullptr || !w->dropRegistered)
        return false;
    w->dropRegistered = false;
    return RevokeDragDrop(w->hwnd) == S_OK;
}

NativeHandle Win32Layer::getParentHandle(NativeHandle handle)
{
    return handle != nullptr ? GetParent(static_cast<HWND>(handle)) : nullptr;
}

Rect Win32Layer::getHandleRectInParent(NativeHandle handle)
{
    HWND h = static_cast<HWND>(handle);
    RECT r{};
    if (!IsWindow(h) || !GetWindowRect(h, &r))
        return Rect{};
    HWND parent = GetParent(h);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return Rect{r.left, r.top, r.right, r.bottom};
}

bool Win32Layer::setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height)
{
    HWND h = static_cast<HWND>(handle);
    return IsWindow(h) && SetWindowPos(h, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

void Win32Layer::getHandleClassName(NativeHandle handle, char* buffer, std::size_t size)
{
    buffer[0] = '\0';
    HWND h = static_cast<HWND>(handle);
    if (h != nullptr && IsWindow(h))
        GetClassNameA(h, buffer, static_cast<int>(std::min<std::size_t>(size, 0x7FFFFFFF)));
    buffer[size - 1] = '\0';
}

bool Win32Layer::handleHasCaption(NativeHandle handle)
{
    HWND h = static_cast<HWND>(handle);
    return IsWindow(h) && (GetWindowLongA(h, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

std::int32_t Win32Layer::getDialogFrameHeight() { return GetSystemMetrics(SM_CYDLGFRAME); }

void Win32Layer::notePress(std::uint32_t keys)
{
    pressBits_ = 0;
    if (keys & MK_LBUTTON)
        pressBits_ |= kLeftButton;
    if (keys & MK_RBUTTON)
        pressBits_ |= kRightButton;
    if (keys & MK_MBUTTON)
        pressBits_ |= kMiddleButton;
}

std::int32_t Win32Layer::getMouseButtons()
{
    auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    // GetAsyncKeyState reports the physical buttons; the system's swap setting maps them to
    // the logical left and right buttons.
    const bool swap = classUsers_ > 0 ? swapButtons_ : GetSystemMetrics(SM_SWAPBUTTON) != 0;
    std::int32_t bits = 0;
    if (down(VK_LBUTTON))
        bits |= swap ? kRightButton : kLeftButton;
    if (down(VK_RBUTTON))
        bits |= swap ? kLeftButton : kRightButton;
    if (down(VK_MBUTTON))
        bits |= kMiddleButton;
    if (down(VK_SHIFT))
        bits |= kShift;
    if (down(VK_CONTROL))
        bits |= kControl;
    if (down(VK_MENU))
        bits |= kAlt;
    // A short click is often over before its button-down message is handled, and the live
    // state then says "up": the press that is being handled counts for the first read.
    bits |= pressBits_;
    pressBits_ = 0;
    return bits;
}

Point Win32Layer::getCursorPosition()
{
    POINT p{0, 0};
    GetCursorPos(&p);
    return Point{p.x, p.y};
}

CursorId Win32Layer::getSystemCursor(CursorShape shape)
{
    LPCSTR id = IDC_ARROW;
    switch (shape) {
    case CursorShape::wait: id = IDC_WAIT; break;
    case CursorShape::hResize: id = IDC_SIZEWE; break;
    case CursorShape::vResize: id = IDC_SIZENS; break;
    case CursorShape::move: id = IDC_SIZEALL; break;
    case CursorShape::neswResize: id = IDC_SIZENESW; break;
    case CursorShape::nwseResize: id = IDC_SIZENWSE; break;
    case CursorShape::notAllowed: id = IDC_NO; break;
    case CursorShape::hand: id = IDC_HAND; break;
    case CursorShape::copy: // the system has no copy cursor of its own
    case CursorShape::arrow:
    default: break;
    }
    return reinterpret_cast<CursorId>(LoadCursorA(nullptr, id));
}

CursorId Win32Layer::getCurrentCursor() { return reinterpret_cast<CursorId>(GetCursor()); }

void Win32Layer::setCurrentCursor(CursorId cursor)
{
    // Remembered as well, because the next mouse move over the window asks for the cursor
    // again (WM_SETCURSOR) and would otherwise bring back the class's arrow.
    shownCursor_ = reinterpret_cast<void*>(cursor);
    SetCursor(reinterpret_cast<HCURSOR>(cursor));
}

std::uint32_t Win32Layer::getTicks() { return GetTickCount(); }
void Win32Layer::sleepMs(std::uint32_t ms) { Sleep(ms); }

// The host's message loop delivers our windows' messages; there is nothing to read here.
void Win32Layer::dispatchWindowEvents(Window*) {}

void Win32Layer::dispatchPendingPaint()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageA(&message);
}

std::int32_t Win32Layer::showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items,
                                       bool trackRight)
{
    HWND hwnd = owner != nullptr ? asWin32(owner)->hwnd : GetForegroundWindow();
    HMENU menu = buildMenu(items);
    if (menu == nullptr)
        return -1;
    const UINT flags = TPM_LEFTALIGN | TPM_RETURNCMD | TPM_NONOTIFY | (trackRight ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
    const BOOL chosen = TrackPopupMenu(menu, flags, screenPos.x, screenPos.y, 0, hwnd, nullptr);
    DestroyMenu(menu); // destroys the submenus too
    return chosen > 0 ? static_cast<std::int32_t>(chosen - 1) : -1;
}

bool Win32Layer::showOpenFileDialog(OpenFileRequest& request)
{
    if (request.fileBuffer == nullptr || request.fileBufferSize == 0)
        return false;
    // The dialog writes into a copy, so that a cancel or failure leaves the caller's buffers
    // exactly as they were.
    std::vector<char> file(request.fileBuffer, request.fileBuffer + request.fileBufferSize);
    file.back() = '\0';
    std::vector<char> title(std::max<std::size_t>(request.fileTitleSize, 1), '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = static_cast<HWND>(request.owner);
    ofn.lpstrFilter = request.filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(std::min<std::size_t>(file.size(), 0x7FFFFFFF));
    ofn.lpstrFileTitle = request.fileTitleBuffer != nullptr ? title.data() : nullptr;
    ofn.nMaxFileTitle = static_cast<DWORD>(request.fileTitleBuffer != nullptr ? title.size() : 0);
    ofn.lpstrInitialDir = request.initialDir;
    ofn.lpstrTitle = request.title;
    ofn.Flags = request.flags;
    if (!GetOpenFileNameA(&ofn))
        return false;
    std::memcpy(request.fileBuffer, file.data(), file.size());
    if (request.fileTitleBuffer != nullptr) {
        std::memcpy(request.fileTitleBuffer, title.data(), request.fileTitleSize);
        request.fileTitleBuffer[request.fileTitleSize - 1] = '\0';
    }
    return true;
}

NativeHandle Win32Layer::getForegroundRootOwner()
{
    HWND foreground = GetForegroundWindow();
    return foreground != nullptr ? GetAncestor(foreground, GA_ROOTOWNER) : nullptr;
}

bool Win32Layer::enableWindow(NativeHandle handle, bool enable)
{
    return handle != nullptr && EnableWindow(static_cast<HWND>(handle), enable ? TRUE : FALSE) != 0;
}

bool Win32Layer::initializeOle() { return SUCCEEDED(OleInitialize(nullptr)); }
void Win32Layer::uninitializeOle() { OleUninitialize(); }

} // namespace platform
