#include "gui/COffscreenContext.h"

#include <cstdlib>

namespace gui {

namespace {

// Largest side of an offscreen image. A larger (or absurd) size makes an empty image that
// draws nothing, instead of an allocation that cannot succeed.
constexpr std::int64_t kMaxSide = 32768;

// A negative size counts by its magnitude, as the clip rectangle is normalised.
std::int32_t magnitude(std::int32_t size)
{
    const std::int64_t m = std::llabs(static_cast<std::int64_t>(size));
    return m > kMaxSide ? 0 : static_cast<std::int32_t>(m);
}

} // namespace

COffscreenContext::COffscreenContext(CFrame* frame, std::int32_t width, std::int32_t height, const CColor& background)
    : CDrawContext(frame, nullptr, nullptr),
      width_(magnitude(width)),
      height_(magnitude(height)),
      background_(background)
{
    // The whole image starts in the background colour. (Filling and outlining the whole
    // rectangle, the classic way, leaves 1-pixel-wide images unfilled: a zero-length
    // outline draws nothing.)
    image_.create(width_, height_, Pixels::pack(background.blue, background.green, background.red, 255));
    attachTarget(&image_);
    setFillColor(background);
    setFrameColor(background);
}

COffscreenContext::~COffscreenContext() = default;

void COffscreenContext::copyFrom(CDrawContext* destination, const CRect& destRect, const CPoint& sourcePoint)
{
    if (destination == nullptr)
        return;
    destination->blitCopy(image_, destRect, sourcePoint);
    destination->flush();
}

} // namespace gui
