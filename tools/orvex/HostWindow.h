// The orvex host's own top-level window, into which `orvex edit` opens a plug-in's editor.
// One implementation per system: HostWindowWin32.cpp (a real Win32 top-level window) and
// HostWindowX11.cpp (an X11 top-level window on the plug-in host's own display connection).
//
// Threads: everything runs on the thread that created the window, which is also the thread
// that calls the plug-in's editor opcodes (hosts open and idle editors on their UI thread).
#pragma once

#include <memory>
#include <string>

namespace cli {

class HostWindow {
public:
    virtual ~HostWindow() = default;

    // Opens a visible top-level window whose client area is width x height pixels. Null on
    // failure, with the reason in `error` (for example: no display).
    static std::unique_ptr<HostWindow> create(const std::string& title, int width, int height,
                                              std::string& error);

    // What effEditOpen receives: an HWND on Windows, an X11 Window id (cast) on Linux.
    virtual void* nativeHandle() const = 0;
    // Resizes the client area (the plug-in asked through audioMasterSizeWindow).
    virtual bool resizeClient(int width, int height) = 0;
    // Moves the window so that its top-left corner lies at this screen point (a host showing
    // several editors side by side).
    virtual bool moveTo(int x, int y) = 0;
    // Handles pending window messages, waiting at most timeoutMs for the first one. False
    // once the user closed the window or it was destroyed.
    virtual bool pumpEvents(int timeoutMs) = 0;
    // Writes the client area as the screen shows it (the plug-in's child window included)
    // to a PNG file.
    virtual bool captureClient(const std::string& pngPath, std::string& error) = 0;
    // Destroys the window now, even while an editor is still open in it (a host that tears
    // its window down before effEditClose).
    virtual void destroy() = 0;
};

} // namespace cli
