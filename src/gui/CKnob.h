// A rotary knob driven by linear mouse drags: 200 pixels right or up sweep the whole range
// (300 while shift is held, for fine adjustment), the wheel and the arrow keys step it by
// wheelStep. The value maps to an angle on an arc from startAngle over rangeAngle; the handle
// point on that arc is what the knob draws (a line or a handle bitmap), and CAnimKnob uses it
// to decide whether a change is visible.
//
// Behaviour (mouse, wheel, keys) is kept apart from the skin (draw / drawHandle).
// Thread: the editor window's thread.
#pragma once

#include "gui/CColor.h"
#include "gui/CControl.h"

namespace gui {

class CKnob : public CControl {
public:
    CKnob(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background,
          CBitmap* handle = nullptr, const CPoint& offset = CPoint(0, 0));
    ~CKnob() override;

    // --- skin and geometry -------------------------------------------------------------------
    virtual void drawHandle(CDrawContext* context);
    virtual void setStartAngle(float angle);
    virtual float getStartAngle() const;
    virtual void setRangeAngle(float angle);
    virtual float getRangeAngle() const;
    // The handle's position for the current value, in pixels from the view's top-left.
    virtual void handlePointForValue(CPoint& point) const;
    // The value whose handle lies in the direction of point (view pixels), within the range.
    virtual float valueFromPoint(const CPoint& point) const;
    virtual void setHandleInset(std::int32_t inset);
    virtual std::int32_t getHandleInset() const;
    virtual void setShadowColor(const CColor& color);
    virtual void setHandleColor(const CColor& color);
    virtual void setHandleBitmap(CBitmap* bitmap);
    virtual void setFineDragFactor(float factor);
    virtual float getFineDragFactor() const;
    // Derives the value-to-angle line from the angles and the range; marks the knob dirty.
    void computeAngles();

    // --- CControl / CView ------------------------------------------------------------------------
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    std::int32_t onKeyDown(CKeyCode& keyCode) override;
    using CControl::onWheel;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool isTypeOf(const char* name) const override;
    void setMinValue(float value) override;
    void setMaxValue(float value) override;

    // Pixels of drag for the whole range.
    static constexpr float kDragRange = 200.0f;

protected:
    // Tells the listener about a change made outside a drag, inside its own edit gesture.
    void reportStep(CDrawContext* context);

    CPoint offset;                       // offset into the background bitmap
    std::int32_t handleInset = 3;        // pixels between the edge and the handle circle
    float startAngle = 0.0f;             // angle of the minimum value, radians
    float rangeAngle = 0.0f;             // sweep to the maximum value (negative: clockwise)
    float halfOutsideAngle = 0.0f;       // half the angle outside the sweep
    float angleScale = 0.0f;             // value change per radian
    float angleOffset = 0.0f;            // value at angle 0
    float knobRadius = 0.0f;             // half the view width
    float fineDragFactor = 1.5f;         // drag range multiplier while shift is held
    CColor shadowColor = kGreyCColor;    // colour of the handle line's shadow
    CColor handleColor = kWhiteCColor;   // colour of the handle line
    CBitmap* handleBitmap = nullptr;     // handle picture drawn at the handle point, or null
};

} // namespace gui
