// Whoever wants to hear from a control (in this system the editor): told after the user
// changed a control's value, and offered clicks made with a modifier key first.
//
// Thread: the editor window's thread.
#pragma once

#include <cstdint>

namespace gui {

class CControl;
class CDrawContext;

class CControlListener {
public:
    virtual ~CControlListener() = default;

    // The control's value was changed by the user. context may be null (keyboard changes).
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // A click with shift, control, alt or apple held; nonzero when the listener handled it
    // (the control then does nothing more with the click).
    virtual std::int32_t controlModifierClicked(CDrawContext* /*context*/, CControl* /*control*/,
                                                std::int32_t /*buttons*/)
    {
        return 0;
    }
};

} // namespace gui
