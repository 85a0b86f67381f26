// Pictures of the editor without a window system: the `orvex snapshot` command asks the
// loaded plug-in for one through a vendor-specific dispatcher call (SnapshotRequest.h).
#pragma once

namespace editor {

class SDEditor;

// Opens the editor on the headless platform backend inside a fake host window, paints it
// once, lets one idle run and writes the frame's image as a PNG file (a device, a FIFO or
// "-", the host process's standard output, in place: see platform/OutputFile.h). Refused
// (false) while the editor is open in a real window. The selected backend is restored afterwards.
// Thread: the host's UI thread (the dispatcher's).
bool writeEditorSnapshot(SDEditor& editor, const char* pngPath);

} // namespace editor
