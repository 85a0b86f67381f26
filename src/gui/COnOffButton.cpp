#include "gui/COnOffButton.h"

#include "gui/CBitmap.h"
#include "gui/CControlListener.h"

#include <cstring>

namespace gui {

COnOffButton::COnOffButton(const CRect& rect, CControlListener* owner, std::int32_t controlTag, CBitmap* bitmap,
                           std::int32_t buttonStyle)
    : CControl(rect, owner, controlTag, bitmap), style(buttonStyle)
{
}

COnOffButton::~COnOffButton() = default;

void COnOffButton::draw(CDrawContext* context)
{
    if (context && background) {
        const CPoint source(0, value == 0.0f ? 0 : background->getHeight() / 2);
        if (transparency)
            background->drawTransparent(context, size, source);
        else
            background->draw(context, size, source);
    }
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, const CPoint& /*where*/, std::int32_t buttons)
{
    if (!beginLeftClick(context, buttons))
        return;
    value = static_cast<std::int32_t>(value) == 0 ? 1.0f : 0.0f;
    if (style == kPreListenerUpdate) {
        beginEdit();
        notifyListener(context);
        endEdit();
        doIdleStuff();
    } else {
        doIdleStuff();
        beginEdit();
        notifyListener(context);
        endEdit();
    }
}

bool COnOffButton::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "COnOffButton") == 0 || CControl::isTypeOf(name));
}

std::int32_t COnOffButton::getStyle() const
{
    return style;
}

void COnOffButton::setStyle(std::int32_t newStyle)
{
    style = newStyle;
}

} // namespace gui
