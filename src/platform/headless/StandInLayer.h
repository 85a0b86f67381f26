// The native window layer of a system that has no window layer of ours yet (Linux, until
// its X11 layer exists): the headless layer's in-memory windows, without its test
// controls. There is no open-file dialog (it answers "no dialog") and nothing is recorded,
// so a host that presses a load button a million times does not grow by a byte. Tests
// that need scripted answers and records select the headless backend instead.
#pragma once

#include "platform/headless/HeadlessLayer.h"

namespace platform {

class StandInLayer : public HeadlessLayer {
public:
    // No dialog: false at once, the caller's buffers untouched, nothing kept.
    bool showOpenFileDialog(OpenFileRequest& request) override;
    // The only windows are fake ones that nobody can click: nothing to enable or record.
    bool enableWindow(NativeHandle handle, bool enable) override;
};

} // namespace platform
