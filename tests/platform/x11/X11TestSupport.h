// Shared pieces of the X11 suites: a host of our own on its own display connection (as a
// Linux VST host has), xdotool for real pointer and keyboard input, and waiting while the
// frame idles as the host's editor idle would make it.
#pragma once

// gtest and the toolkit first: Xlib's macros (None, Bool, Status) would break their headers.
#include <gtest/gtest.h>

#include "gui/CFrame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <string>

namespace x11test {

// A test on the X display the runner gives (scripts/with-xvfb.sh); skipped without one.
class X11Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A mapped top-level window of the "host" at (hostX, hostY) on the screen.
    ::Window makeHostWindow(int width, int height);
    void* handleOf(::Window window) const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

    // Idles the frame (and gives the server time) until `done` holds or `ms` pass.
    bool idleUntil(gui::CFrame* frame, const std::function<bool()>& done, int ms = 3000);

    // The host's view of a part of the screen: 0x00RRGGBB per pixel.
    std::vector<std::uint32_t> capture(::Window window, int x, int y, int width, int height);

    Display* host = nullptr;                 // the host's connection
    ::Window hostWindow = 0;                 // its window, 0 when none
    static constexpr int hostX = 40;         // where the host window sits on the screen
    static constexpr int hostY = 30;
};

// Runs xdotool with the arguments (shell words); waits unless `background`.
int xdotool(const std::string& args, bool background = false);

} // namespace x11test
