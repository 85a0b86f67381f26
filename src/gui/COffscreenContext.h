// A drawing context on an image of its own, which it owns: the frame draws everything into
// one and copies it to the window, containers with their own offscreen image do the same.
// The whole image starts in the background colour.
#pragma once

#include "gui/CDrawContext.h"

namespace gui {

class COffscreenContext : public CDrawContext {
public:
    // A negative width or height counts by its magnitude (the clip is normalised); a side
    // above 32768 pixels makes an empty image that draws nothing.
    COffscreenContext(CFrame* frame, std::int32_t width, std::int32_t height,
                      const CColor& background = kBlackCColor);
    ~COffscreenContext() override;

    // Copies a block of destRect's size from this image at sourcePoint to destRect of the
    // destination context (its offset added, its clip respected).
    void copyFrom(CDrawContext* destination, const CRect& destRect, const CPoint& sourcePoint = CPoint(0, 0));

    std::int32_t getWidth() const { return width_; }
    std::int32_t getHeight() const { return height_; }
    const CColor& getBackgroundColor() const { return background_; }
    // The image (top-down, premultiplied BGRA), e.g. for writing a snapshot with PngWriter.
    const Pixels& getPixels() const { return image_; }
    Pixels& getPixels() { return image_; }

private:
    std::int32_t width_ = 0;  // columns of the image
    std::int32_t height_ = 0; // rows of the image
    CColor background_;       // colour the image started in
    Pixels image_;            // the image drawn into, owned
};

} // namespace gui
