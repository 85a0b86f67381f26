// Pictures of the editor without a window system: the `orvex snapshot` command asks the
// loaded plug-in for one through a vendor-specific dispatcher call (SnapshotRequest.h).
#pragma once

namespace editor {

class SDEditor;

// Opens the editor on the headless window layer inside a fake host window, paints it once,
// lets one idle run and writes the frame's image as a PNG file (a device, a FIFO or "-", the
// host process's standard output, in place: see platform/OutputFile.h). Refused (false) while
// the editor is open in a real window. Only this editor's frame is put on the headless layer:
// the process's default layer is never switched, so other instances' editors open on the
// screen meanwhile are not disturbed. Snapshots of several instances are taken one at a time.
// Thread: the host's thread that calls the dispatcher for this instance.
bool writeEditorSnapshot(SDEditor& editor, const char* pngPath);

} // namespace editor
