// A two-state switch: every click toggles it (a value whose integer part is 0 becomes 1, any
// other becomes 0) and tells the listener, changed or not. Its bitmap holds the off picture
// above the on picture.
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CControl.h"

namespace gui {

// Styles: when the listener hears of the click relative to the frame's idle work.
enum COnOffButtonStyle : std::int32_t {
    kPostListenerUpdate = 0, // idle work first, then the listener
    kPreListenerUpdate = 1,  // the listener first, then the idle work
};

class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background,
                 std::int32_t style = kPostListenerUpdate);
    ~COnOffButton() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    bool isTypeOf(const char* name) const override;

    virtual std::int32_t getStyle() const;
    virtual void setStyle(std::int32_t style);

protected:
    std::int32_t style = kPostListenerUpdate; // order of listener and idle work
};

} // namespace gui
