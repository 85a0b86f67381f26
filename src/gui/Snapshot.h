// Renders a frame, or any single view, into an image and writes it as a PNG file: offline
// pictures of the editor, golden images for tests, and a quick look at a view tree.
//
// Rendering draws the views into an image of their own (the frame's offscreen and window are
// not touched), and clears their dirty flags as any draw does.
// Thread: the thread that owns the views.
#pragma once

#include "gui/Pixels.h"

namespace gui {

class CFrame;
class CView;

class Snapshot {
public:
    // The whole frame, frame-sized, over black.
    static Pixels renderFrame(CFrame* frame);
    // One view, view-sized, over black (a transparent view shows black where it draws nothing).
    static Pixels renderView(CView* view);
    // Writes the picture; false (and no file) on failure.
    static bool writeFrame(CFrame* frame, const char* path);
    static bool writeView(CView* view, const char* path);
};

} // namespace gui
