#include "gui/CKickButton.h"

#include "gui/CBitmap.h"
#include "gui/CControlListener.h"

#include <cstring>

namespace gui {

CKickButton::CKickButton(const CRect& rect, CControlListener* owner, std::int32_t controlTag,
                         std::int32_t pictureHeight, CBitmap* bitmap, const CPoint& backgroundOffsetPoint)
    : CControl(rect, owner, controlTag, bitmap), offset(backgroundOffsetPoint), frameHeight(pictureHeight)
{
}

CKickButton::~CKickButton() = default;

void CKickButton::draw(CDrawContext* context)
{
    clampValue();
    if (context && background) {
        CPoint source = offset;
        if (value != 0.0f)
            source.y += frameHeight;
        if (transparency)
            background->drawTransparent(context, size, source);
        else
            background->draw(context, size, source);
    }
    setDirty(false);
}

void CKickButton::mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons)
{
    if (!beginLeftClick(context, buttons))
        return;
    const float startValue = value;
    const float pressedValue = startValue == 0.0f ? 1.0f : 0.0f;
    beginEdit();
    if (readMouseButtons(context) == kLButton) {
        CPoint current = where;
        // Reported on each change only: until the button is redrawn it stays dirty, and
        // telling the listener "pressed" on every pass of this loop would repeat the
        // button's action for as long as it is held.
        float reported = startValue;
        do {
            value = size.pointInside(current) ? pressedValue : startValue;
            if (value != reported) {
                reported = value;
                notifyListener(context);
            }
            getMouseLocation(context, current);
            doIdleStuff();
        } while (readMouseButtons(context) == kLButton);
    } else {
        // Released before tracking began: still one press.
        value = value == 0.0f ? 1.0f : 0.0f;
        notifyListener(context);
    }
    value = 0.0f;
    notifyListener(context);
    endEdit();
}

bool CKickButton::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CKickButton") == 0 || CControl::isTypeOf(name));
}

} // namespace gui
