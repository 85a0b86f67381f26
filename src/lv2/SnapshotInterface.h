// The one extension of Orvex's LV2 UI that our own host uses: a picture of the editor,
// drawn headless (`orvex snapshot` of the LV2 build). extension_data(kSnapshotUri) answers a
// SnapshotInterface. Plain C types only: the host includes this without linking the UI.
#pragma once

namespace lv2wrap {

constexpr const char* kSnapshotUri = "urn:dumek:orvex#snapshot";

struct SnapshotInterface {
    // Draws the editor on the headless backend and writes it as a PNG file; 1 when written.
    // Only for a UI instantiated without ui:parent (whose editor has no window open).
    int (*write)(void* uiHandle, const char* pngPath);
};

} // namespace lv2wrap
