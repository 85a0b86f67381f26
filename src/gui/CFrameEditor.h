// What a frame needs from the editor that owns it: edit gestures and idle work passed on to
// the host, and the host's window sizing. The editor implements this; the toolkit never sees
// effect or editor headers.
//
// Thread: the editor window's thread.
#pragma once

#include "platform/WindowLayer.h"

#include <cstdint>

namespace gui {

class CFrameEditor {
public:
    virtual ~CFrameEditor() = default;

    // A control starts or ends a user gesture on the parameter `tag`.
    virtual void beginEdit(std::int32_t tag) = 0;
    virtual void endEdit(std::int32_t tag) = 0;
    // Keeps the host alive during long mouse gestures (paints, host idle).
    virtual void doIdleStuff() = 0;
    // The effect's canHostDo(text): true when the host reports it can (e.g. "sizeWindow").
    virtual bool canHostDo(const char* text) = 0;
    // Asks the host to resize the editor window; true when the host accepted.
    virtual bool sizeWindow(std::int32_t width, std::int32_t height) = 0;
    // The window layer the frame is made on and keeps to the end: the process's default,
    // unless the editor draws somewhere else (a snapshot draws on the headless layer while
    // another editor of the same process is on the screen).
    virtual platform::WindowLayer& windowLayer() { return platform::defaultLayer(); }
};

} // namespace gui
