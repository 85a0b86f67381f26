#include "gui/FrameImage.h"

#include "gui/COffscreenContext.h"
#include "platform/WindowLayer.h"

#include <algorithm>

namespace gui {

namespace {

// More separate rectangles than this go to the window as the one that holds them all: past a
// handful (a program change redraws every view), one copy costs less than many.
constexpr std::size_t kMostRectangles = 8;

CRect unite(const CRect& a, const CRect& b)
{
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
}

} // namespace

FrameImage::~FrameImage()
{
    release();
}

COffscreenContext* FrameImage::get(CFrame* frame, std::int32_t width, std::int32_t height)
{
    if (!image_)
        image_ = new COffscreenContext(frame, width, height, kBlackCColor);
    return image_;
}

void FrameImage::release()
{
    if (image_) {
        image_->forget();
        image_ = nullptr;
    }
    waiting_.clear();
}

void FrameImage::drawn(const CRect& area)
{
    if (!image_)
        return;
    CRect r = area;
    r.bound(CRect(0, 0, image_->getWidth(), image_->getHeight()));
    if (r.isEmpty())
        return;
    // Rectangles that overlap or touch go as one (a view drawn twice, a knob beside its label):
    // after a merge the grown rectangle may reach others, so the search starts over.
    for (std::size_t i = 0; i < waiting_.size();) {
        if (waiting_[i].touches(r)) {
            r = unite(r, waiting_[i]);
            waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
            i = 0;
        } else {
            ++i;
        }
    }
    waiting_.push_back(r);
    if (waiting_.size() > kMostRectangles) {
        CRect all = waiting_.front();
        for (const CRect& w : waiting_)
            all = unite(all, w);
        waiting_.assign(1, all);
    }
}

void FrameImage::present(platform::WindowLayer& layer, platform::Window* window)
{
    if (window && image_) {
        const Pixels& pixels = image_->getPixels();
        for (const CRect& r : waiting_)
            layer.presentPixels(window, platform::Rect{r.left, r.top, r.right, r.bottom}, pixels.data(),
                                pixels.getWidth(), pixels.getHeight(), pixels.getWidth());
    }
    waiting_.clear();
}

} // namespace gui
