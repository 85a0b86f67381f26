// A momentary push button: pressed, it reports 1 (or 0 when it started non-zero) while the
// mouse stays inside it and its start value while outside; released, it always ends at 0.
// A plain click therefore delivers 1 and then 0 to the listener.
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CControl.h"

namespace gui {

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag, std::int32_t frameHeight,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));
    ~CKickButton() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    bool isTypeOf(const char* name) const override;

protected:
    CPoint offset;                // offset into the background picture (released state)
    std::int32_t frameHeight = 0; // the pressed picture lies this far below
};

} // namespace gui
