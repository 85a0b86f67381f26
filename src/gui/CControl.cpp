#include "gui/CControl.h"

#include "gui/CControlListener.h"
#include "gui/CFrame.h"

#include <cmath>
#include <cstring>

namespace gui {

CControl::CControl(const CRect& rect, CControlListener* owner, std::int32_t controlTag, CBitmap* bitmap)
    : CView(rect), listener(owner), tag(controlTag)
{
    if (bitmap)
        setBackground(bitmap);
    setDirty(true);
}

CControl::~CControl() = default;

void CControl::doIdleStuff()
{
    if (parentFrame)
        parentFrame->doIdleStuff();
}

void CControl::setValue(float newValue)
{
    // A NaN would never compare equal to the drawn value and keep the control dirty forever.
    if (std::isnan(newValue))
        return;
    value = newValue;
}

float CControl::getValue() const
{
    return value;
}

void CControl::setMinValue(float newValue)
{
    minValue = newValue;
}

float CControl::getMinValue() const
{
    return minValue;
}

void CControl::setMaxValue(float newValue)
{
    maxValue = newValue;
}

float CControl::getMaxValue() const
{
    return maxValue;
}

void CControl::setDrawnValue(float newValue)
{
    drawnValue = newValue;
}

float CControl::getDrawnValue() const
{
    return drawnValue;
}

void CControl::setDefaultValue(float newValue)
{
    defaultValue = newValue;
}

float CControl::getDefaultValue() const
{
    return defaultValue;
}

void CControl::setTag(std::int32_t newTag)
{
    tag = newTag;
}

std::int32_t CControl::getTag() const
{
    return tag;
}

void CControl::beginEdit()
{
    if (parentFrame) {
        parentFrame->setFocusView(this);
        parentFrame->beginEdit(tag);
    }
}

void CControl::endEdit()
{
    if (parentFrame)
        parentFrame->endEdit(tag);
}

void CControl::setBackgroundOffset(const CPoint& offset)
{
    backgroundOffset = offset;
}

void CControl::takeBackgroundOffset()
{
    backgroundOffset = CPoint(size.left, size.top);
}

void CControl::setWheelStep(float step)
{
    wheelStep = step;
}

float CControl::getWheelStep() const
{
    return wheelStep;
}

void CControl::clampValue()
{
    if (value > maxValue)
        value = maxValue;
    else if (value < minValue)
        value = minValue;
}

bool CControl::checkDefaultReset(CDrawContext* context, std::int32_t buttons)
{
    if (buttons != (kLButton | kControl))
        return false;
    beginEdit();
    value = defaultValue;
    if (isDirty())
        notifyListener(context);
    endEdit();
    return true;
}

bool CControl::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CControl") == 0 || CView::isTypeOf(name));
}

bool CControl::isDirty() const
{
    return value != drawnValue || CView::isDirty();
}

void CControl::setDirty(bool flag)
{
    CView::setDirty(flag);
    if (!flag)
        drawnValue = value;
    else
        drawnValue = value == -1.0f ? 0.0f : -1.0f;
}

void CControl::notifyListener(CDrawContext* context)
{
    if (listener)
        listener->valueChanged(context, this);
}

bool CControl::beginLeftClick(CDrawContext* context, std::int32_t& buttons)
{
    if (!mouseEnabled)
        return false;
    if (buttons == -1)
        buttons = readMouseButtons(context);
    if (!(buttons & kLButton))
        return false;
    if (listener && (buttons & kAnyModifier)) {
        if (listener->controlModifierClicked(context, this, buttons) != 0)
            return false;
    }
    return true;
}

} // namespace gui
