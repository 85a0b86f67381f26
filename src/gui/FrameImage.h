// The frame's picture: one offscreen image of the frame's size that every redraw of the frame
// draws into (made black on first use), and the rectangles of it drawn since they were last
// copied to the window. The window gets only those rectangles: copying the whole 850 x 520
// image at every idle cost as much as drawing the change itself.
//
// Thread: the frame's window thread.
#pragma once

#include "gui/CGeometry.h"

#include <cstdint>
#include <vector>

namespace platform {
class WindowLayer;
struct Window;
} // namespace platform

namespace gui {

class CFrame;
class COffscreenContext;

class FrameImage {
public:
    FrameImage() = default;
    ~FrameImage();
    FrameImage(const FrameImage&) = delete;
    FrameImage& operator=(const FrameImage&) = delete;

    // The image, made for `frame` at width x height on first use.
    COffscreenContext* get(CFrame* frame, std::int32_t width, std::int32_t height);
    // The image, or null before its first use.
    COffscreenContext* existing() const { return image_; }
    // Frees the image (it is made again at the next get, at the frame's new size) and forgets
    // what was drawn into it.
    void release();

    // `area` of the image (image coordinates) was drawn and differs from the window now.
    void drawn(const CRect& area);
    // Copies the waiting rectangles to the window (when there is one) and forgets them.
    void present(platform::WindowLayer& layer, platform::Window* window);

private:
    COffscreenContext* image_ = nullptr; // the frame's image, owned; null before first use
    std::vector<CRect> waiting_;         // drawn, not yet on the window; none touches another
};

} // namespace gui
