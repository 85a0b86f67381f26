// The orvex host's top-level window on Windows: an ordinary captioned window whose client
// area is the editor's size, the thread's message pump, resizing on the plug-in's request and
// a capture of the client area as the screen shows it (the plug-in's child window included).
#include "HostWindow.h"
#include "PngFile.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace cli {

namespace {

const char* const kClassName = "OrvexHostWindow";
const DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
const DWORD kExStyle = 0;

// One class for the process, registered with the first window. Hosts keep theirs for the
// process's life too; the class goes when the program ends.
bool registerHostClass(WNDPROC procedure)
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

class HostWindowWin32 : public HostWindow {
public:
    ~HostWindowWin32() override { destroy(); }

    bool open(const std::string& title, int width, int height, std::string& error)
    {
        if (!registerHostClass(&HostWindowWin32::procedure)) {
            error = "cannot register the host window class";
            return false;
        }
        RECT outer = outerRect(width, height);
        // A fixed place near the top-left corner, so that scripted pointer input on a bare X
        // display (no window manager) knows where to find the editor.
        hwnd_ = CreateWindowExA(kExStyle, kClassName, title.c_str(), kStyle, 0, 0, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), this);
        if (hwnd_ == nullptr) {
            error = "cannot create the host window (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        UpdateWindow(hwnd_);
        SetForegroundWindow(hwnd_);
        return true;
    }

    void* nativeHandle() const override { return hwnd_; }

    bool resizeClient(int width, int height) override
    {
        if (hwnd_ == nullptr || width <= 0 || height <= 0)
            return false;
        RECT outer = outerRect(width, height);
        return SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
    }

    bool moveTo(int x, int y) override
    {
        return hwnd_ != nullptr &&
               SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
    }

    bool pumpEvents(int timeoutMs) override
    {
        if (hwnd_ != nullptr && timeoutMs > 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeoutMs), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Not ours to swallow: whoever runs the program's loop asked to stop.
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return hwnd_ != nullptr;
    }

    bool captureClient(const std::string& pngPath, std::string& error) override
    {
        if (hwnd_ == nullptr) {
            error = "the host window is gone";
            return false;
        }
        // Whatever is pending is drawn first, children included.
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT client{};
        GetClientRect(hwnd_, &client);
        const int width = client.right - client.left, height = client.bottom - client.top;
        if (width <= 0 || height <= 0) {
            error = "the host window has no client area";
            return false;
        }
        POINT origin{0, 0};
        ClientToScreen(hwnd_, &origin);
        // A copy from the screen over the client rectangle: what the user sees, the plug-in's
        // child window included (a copy from our own window's context would leave the child
        // out, since the window clips its children).
        std::vector<std::uint32_t> pixels;
        if (!copyScreen(origin.x, origin.y, width, height, pixels)) {
            error = "cannot copy the window's pixels from the screen";
            return false;
        }
        return writePngFile(pngPath, width, height, pixels, error);
    }

    void destroy() override
    {
        if (hwnd_ != nullptr)
            DestroyWindow(hwnd_); // WM_DESTROY clears hwnd_
        hwnd_ = nullptr;
    }

private:
    static RECT outerRect(int width, int height)
    {
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
        return r;
    }

    // Copies a screen rectangle into top-down 0x00RRGGBB pixels (a 32-bit DIB's layout).
    static bool copyScreen(int x, int y, int width, int height, std::vector<std::uint32_t>& out)
    {
        HDC screen = GetDC(nullptr);
        if (screen == nullptr)
            return false;
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP dib = memory != nullptr ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
        bool ok = false;
        if (dib != nullptr && bits != nullptr) {
            HGDIOBJ old = SelectObject(memory, dib);
            ok = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY) != 0;
            GdiFlush();
            if (ok) {
                const auto* p = static_cast<const std::uint32_t*>(bits);
                out.assign(p, p + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
            }
            SelectObject(memory, old);
        }
        if (dib != nullptr)
            DeleteObject(dib);
        if (memory != nullptr)
            DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return ok;
    }

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<HostWindowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (message == WM_DESTROY && self != nullptr) {
            // The close box, or destroy(): the plug-in's child window is gone with ours.
            self->hwnd_ = nullptr;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr; // the top-level window; null once destroyed
};

} // namespace

std::unique_ptr<HostWindow> HostWindow::create(const std::string& title, int width, int height, std::string& error)
{
    auto window = std::make_unique<HostWindowWin32>();
    if (!window->open(title, width, height, error))
        return nullptr;
    return window;
}

} // namespace cli
