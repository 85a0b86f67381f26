// A knob drawn from a vertical strip of pictures (201 in this system): picture
// floor(value * (frames - 1)) is shown, so value 1 shows the last one. It only asks to be
// redrawn when its handle point moves by a pixel (or it is flagged dirty).
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CKnob.h"

namespace gui {

class CAnimKnob : public CKnob {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, std::int32_t tag, std::int32_t frameCount,
              std::int32_t frameHeight, CBitmap* background, const CPoint& offset = CPoint(0, 0));
    ~CAnimKnob() override;

    void draw(CDrawContext* context) override;
    bool isDirty() const override;
    bool isTypeOf(const char* name) const override;

    void setReverseFrames(bool flag) { reverseFrames = flag; }
    bool getReverseFrames() const { return reverseFrames; }
    std::int32_t getFrameCount() const { return frameCount; }
    std::int32_t getFrameHeight() const { return frameHeight; }
    // The top row, in the strip, of the picture the current value shows.
    std::int32_t pictureTop() const;

protected:
    std::int32_t frameCount = 0;  // pictures in the strip
    std::int32_t frameHeight = 0; // height of one picture, pixels
    bool reverseFrames = false;   // the strip runs from the maximum to the minimum
    CPoint lastHandlePoint;       // handle point at the last draw
};

} // namespace gui
