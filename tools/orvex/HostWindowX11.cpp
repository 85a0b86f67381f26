// The host window of `orvex edit` on X11: a top-level window on a display connection of the
// host's own (the plug-in opens its own connection, as plug-ins in Linux hosts do), closed
// through the window manager's delete protocol, captured with XGetImage.
#include "HostWindow.h"
#include "PngFile.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <cstdint>
#include <vector>

namespace cli {

namespace {

// A channel of an XImage pixel, scaled to 8 bits, from its mask.
unsigned channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    const unsigned long bits = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<unsigned>(value * 255 / bits);
}

class HostWindowX11 : public HostWindow {
public:
    ~HostWindowX11() override
    {
        destroy();
        if (display_)
            XCloseDisplay(display_);
    }

    bool open(const std::string& title, int width, int height, std::string& error)
    {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            error = "cannot open the X display (is DISPLAY set?)";
            return false;
        }
        const int screen = DefaultScreen(display_);
        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                      BlackPixel(display_, screen));
        width_ = width;
        height_ = height;
        XStoreName(display_, window_, title.c_str());
        protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &deleteWindow_, 1);
        XSelectInput(display_, window_, StructureNotifyMask);
        XMapWindow(display_, window_);
        // The editor's child window is only visible once ours is mapped.
        XEvent event;
        do {
            XWindowEvent(display_, window_, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
        return true;
    }

    void* nativeHandle() const override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }

    bool resizeClient(int width, int height) override
    {
        if (!window_ || width <= 0 || height <= 0)
            return false;
        XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XSync(display_, False);
        width_ = width;
        height_ = height;
        return true;
    }

    bool moveTo(int x, int y) override
    {
        if (!window_)
            return false;
        XMoveWindow(display_, window_, x, y);
        XSync(display_, False);
        return true;
    }

    bool pumpEvents(int timeoutMs) override
    {
        if (!window_)
            return false;
        if (XPending(display_) == 0 && timeoutMs > 0) {
            pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
            poll(&descriptor, 1, timeoutMs);
        }
        while (window_ && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == ClientMessage && event.xclient.message_type == protocols_ &&
                static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_)
                closeRequested_ = true;
            else if (event.type == DestroyNotify && event.xdestroywindow.window == window_)
                window_ = 0;
            else if (event.type == ConfigureNotify && event.xconfigure.window == window_) {
                width_ = event.xconfigure.width;
                height_ = event.xconfigure.height;
            }
        }
        return window_ != 0 && !closeRequested_;
    }

    bool captureClient(const std::string& pngPath, std::string& error) override
    {
        if (!window_) {
            error = "the window is gone";
            return false;
        }
        // What the server shows now, the plug-in's child window included: its connection
        // has flushed its drawing, ours waits for everything queued before the capture.
        XSync(display_, False);
        XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width_),
                                  static_cast<unsigned>(height_), AllPlanes, ZPixmap);
        if (!image) {
            error = "XGetImage failed";
            return false;
        }
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] =
                    (channel(p, image->red_mask) << 16) | (channel(p, image->green_mask) << 8) |
                    channel(p, image->blue_mask);
            }
        }
        XDestroyImage(image);
        return writePngFile(pngPath, width_, height_, pixels, error);
    }

    void destroy() override
    {
        if (window_) {
            XDestroyWindow(display_, window_);
            XSync(display_, False);
            window_ = 0;
        }
    }

private:
    Display* display_ = nullptr; // our own connection
    ::Window window_ = 0;        // the top-level window; 0 once destroyed
    int width_ = 0;              // client columns
    int height_ = 0;             // client rows
    Atom protocols_ = 0;         // WM_PROTOCOLS
    Atom deleteWindow_ = 0;      // WM_DELETE_WINDOW: the user closed the window
    bool closeRequested_ = false; // the window manager asked us to close
};

} // namespace

std::unique_ptr<HostWindow> HostWindow::create(const std::string& title, int width, int height, std::string& error)
{
    auto window = std::make_unique<HostWindowX11>();
    if (!window->open(title, width, height, error))
        return nullptr;
    return window;
}

} // namespace cli
