#include "X11TestSupport.h"

#include "platform/WindowLayer.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace x11test {

void X11Test::SetUp()
{
    platform::setBackend(platform::Backend::native);
    host = XOpenDisplay(nullptr);
    if (!host)
        GTEST_SKIP() << "no X display (run through scripts/with-xvfb.sh)";
}

void X11Test::TearDown()
{
    if (host) {
        if (hostWindow)
            XDestroyWindow(host, hostWindow);
        XCloseDisplay(host);
    }
}

::Window X11Test::makeHostWindow(int width, int height)
{
    const int screen = DefaultScreen(host);
    hostWindow = XCreateSimpleWindow(host, RootWindow(host, screen), hostX, hostY, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, BlackPixel(host, screen),
                                     WhitePixel(host, screen));
    XSelectInput(host, hostWindow, StructureNotifyMask);
    XMapWindow(host, hostWindow);
    XEvent event;
    do {
        XWindowEvent(host, hostWindow, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
    return hostWindow;
}

bool X11Test::idleUntil(gui::CFrame* frame, const std::function<bool()>& done, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (frame)
            frame->idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::uint32_t> X11Test::capture(::Window window, int x, int y, int width, int height)
{
    XSync(host, False);
    std::vector<std::uint32_t> pixels;
    XImage* image = XGetImage(host, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, row)) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

int xdotool(const std::string& args, bool background)
{
    const std::string command = "timeout 30 xdotool " + args + (background ? " >/dev/null 2>&1 &" : " >/dev/null 2>&1");
    return std::system(command.c_str());
}

} // namespace x11test
