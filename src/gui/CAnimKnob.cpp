#include "gui/CAnimKnob.h"

#include "gui/CBitmap.h"

#include <cstring>

namespace gui {

CAnimKnob::CAnimKnob(const CRect& rect, CControlListener* owner, std::int32_t controlTag, std::int32_t frames,
                     std::int32_t pictureHeight, CBitmap* bitmap, const CPoint& backgroundOffsetPoint)
    : CKnob(rect, owner, controlTag, bitmap, nullptr, backgroundOffsetPoint),
      frameCount(frames),
      frameHeight(pictureHeight)
{
    handleInset = 0;
}

CAnimKnob::~CAnimKnob() = default;

std::int32_t CAnimKnob::pictureTop() const
{
    if (value < 0.0f || frameHeight <= 0 || frameCount <= 1)
        return 0;
    const std::int32_t span = frameHeight * (frameCount - 1);
    const float position = reverseFrames ? (1.0f - value) * static_cast<float>(span)
                                         : value * static_cast<float>(span);
    // Truncate, keep within the strip (a value outside the range must not read past the
    // picture), then go down to the top of a picture.
    std::int32_t y = position <= 0.0f ? 0
                     : position >= static_cast<float>(span) ? span
                                                           : static_cast<std::int32_t>(position);
    return y - y % frameHeight;
}

void CAnimKnob::draw(CDrawContext* context)
{
    if (context && background) {
        const CPoint source(offset.x, offset.y + pictureTop());
        if (transparency)
            background->drawTransparent(context, size, source);
        else
            background->draw(context, size, source);
    }
    handlePointForValue(lastHandlePoint);
    setDirty(false);
}

bool CAnimKnob::isDirty() const
{
    if (!dirty) {
        CPoint handle;
        handlePointForValue(handle);
        if (handle == lastHandlePoint)
            return false;
    }
    return CKnob::isDirty();
}

bool CAnimKnob::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CAnimKnob") == 0 || CKnob::isTypeOf(name));
}

} // namespace gui
