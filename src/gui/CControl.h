// A view with a value: a float in [minValue, maxValue] (the editor's controls use 0..1), a
// default, a tag (the parameter it drives) and a listener told of every change the user makes.
// The control knows when it needs redrawing by comparing its value with the value it last drew.
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CView.h"

#include <cstdint>

namespace gui {

class CControlListener;

class CControl : public CView {
public:
    // The control remembers the background bitmap (may be null) and starts dirty.
    CControl(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = 0,
             CBitmap* background = nullptr);
    ~CControl() override;

    // Runs the frame's idle work (keeps the host alive during long mouse tracking).
    virtual void doIdleStuff();
    virtual void setValue(float value);
    virtual float getValue() const;
    virtual void setMinValue(float value);
    virtual float getMinValue() const;
    virtual void setMaxValue(float value);
    virtual float getMaxValue() const;
    virtual void setDrawnValue(float value);
    virtual float getDrawnValue() const;
    virtual void setDefaultValue(float value);
    virtual float getDefaultValue() const;
    virtual void setTag(std::int32_t tag);
    virtual std::int32_t getTag() const;
    // Start / end of a user gesture: the control becomes the focus view and the frame passes
    // the tag on to the editor and the host.
    virtual void beginEdit();
    virtual void endEdit();
    virtual void setBackgroundOffset(const CPoint& offset);
    // Takes the control's own position as its offset into the background picture.
    virtual void takeBackgroundOffset();
    virtual void setWheelStep(float step);
    virtual float getWheelStep() const;
    // Brings value back into [minValue, maxValue].
    virtual void clampValue();
    // Left button plus control (exactly): value back to the default, listener told. True when
    // the click was such a reset.
    virtual bool checkDefaultReset(CDrawContext* context, std::int32_t buttons);

    bool isTypeOf(const char* name) const override;
    // Dirty when flagged or when the value differs from the value last drawn.
    bool isDirty() const override;
    // Clearing records the value as drawn; setting makes the drawn value differ from it.
    void setDirty(bool flag = true) override;
    void draw(CDrawContext* context) override = 0;

    CControlListener* getListener() const { return listener; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    const CPoint& getBackgroundOffset() const { return backgroundOffset; }

protected:
    // Tells the listener (if any) that the value changed.
    void notifyListener(CDrawContext* context);

    // The start of every control's click: reads the buttons when given as -1, refuses a
    // disabled control or a click without the left button, and offers a click with a
    // modifier to the listener first. True when the control should go on with the click.
    bool beginLeftClick(CDrawContext* context, std::int32_t& buttons);

    CControlListener* listener = nullptr; // told of changes, not owned
    std::int32_t tag = 0;                 // the parameter index the control drives
    float drawnValue = 1.0f;              // value at the last draw
    float defaultValue = 0.5f;            // value of a control-click reset
    float value = 0.0f;                   // current value
    float minValue = 0.0f;                // lower end of the range
    float maxValue = 1.0f;                // upper end of the range
    float wheelStep = 0.1f;               // change per wheel notch or arrow key
    CPoint backgroundOffset;              // offset into the background picture
};

} // namespace gui
