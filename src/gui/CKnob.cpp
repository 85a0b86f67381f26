#include "gui/CKnob.h"

#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"

#include <cmath>
#include <cstring>

namespace gui {

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

CKnob::CKnob(const CRect& rect, CControlListener* owner, std::int32_t controlTag, CBitmap* bitmap,
             CBitmap* handle, const CPoint& backgroundOffsetPoint)
    : CControl(rect, owner, controlTag, bitmap), offset(backgroundOffsetPoint)
{
    if (handle) {
        handle->remember();
        handleBitmap = handle;
    }
    wantsFocusFlag = true;
    knobRadius = static_cast<float>(rect.width()) / 2.0f;
    startAngle = 3.9269907f; // 5/4 pi: the minimum at the lower left
    rangeAngle = -4.712389f; // -3/2 pi: clockwise to the lower right
    computeAngles();
}

CKnob::~CKnob()
{
    if (handleBitmap)
        handleBitmap->forget();
}

void CKnob::computeAngles()
{
    // A zero sweep would divide by zero; the knob then has a single handle position.
    angleScale = rangeAngle != 0.0f ? (maxValue - minValue) / rangeAngle : 0.0f;
    angleOffset = minValue - angleScale * startAngle;
    halfOutsideAngle = static_cast<float>((2.0 * kPi - std::fabs(rangeAngle)) / 2.0);
    setDirty(true);
}

void CKnob::setStartAngle(float angle)
{
    startAngle = angle;
    computeAngles();
}

float CKnob::getStartAngle() const
{
    return startAngle;
}

void CKnob::setRangeAngle(float angle)
{
    rangeAngle = angle;
    computeAngles();
}

float CKnob::getRangeAngle() const
{
    return rangeAngle;
}

void CKnob::setMinValue(float newValue)
{
    CControl::setMinValue(newValue);
    computeAngles();
}

void CKnob::setMaxValue(float newValue)
{
    CControl::setMaxValue(newValue);
    computeAngles();
}

void CKnob::handlePointForValue(CPoint& point) const
{
    const double alpha = angleScale != 0.0f ? (value - angleOffset) / angleScale : startAngle;
    const double reach = knobRadius - static_cast<float>(handleInset);
    point.x = static_cast<std::int32_t>(knobRadius + std::cos(alpha) * reach + 0.5);
    point.y = static_cast<std::int32_t>(knobRadius - std::sin(alpha) * reach + 0.5);
}

float CKnob::valueFromPoint(const CPoint& point) const
{
    if (rangeAngle == 0.0f)
        return minValue;
    // Angle of the point around the centre, measured like the handle's (y grows downward),
    // then the distance from startAngle in the sweep's direction, within one turn.
    const double alpha = std::atan2(knobRadius - point.y, point.x - knobRadius);
    const double sweep = std::fabs(rangeAngle);
    double along = (alpha - startAngle) * (rangeAngle < 0.0f ? -1.0 : 1.0);
    along -= std::floor(along / (2.0 * kPi)) * (2.0 * kPi);
    double fraction = 0.0;
    if (along <= sweep)
        fraction = along / sweep;
    else // in the gap outside the sweep: the nearer end
        fraction = (along - sweep) < (2.0 * kPi - along) ? 1.0 : 0.0;
    return static_cast<float>(minValue + fraction * (maxValue - minValue));
}

void CKnob::setHandleInset(std::int32_t inset)
{
    handleInset = inset;
    setDirty(true);
}

std::int32_t CKnob::getHandleInset() const
{
    return handleInset;
}

void CKnob::setShadowColor(const CColor& color)
{
    shadowColor = color;
    setDirty(true);
}

void CKnob::setHandleColor(const CColor& color)
{
    handleColor = color;
    setDirty(true);
}

void CKnob::setHandleBitmap(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->remember();
    if (handleBitmap)
        handleBitmap->forget();
    handleBitmap = bitmap;
    setDirty(true);
}

void CKnob::setFineDragFactor(float factor)
{
    fineDragFactor = factor;
}

float CKnob::getFineDragFactor() const
{
    return fineDragFactor;
}

void CKnob::draw(CDrawContext* context)
{
    if (context) {
        if (background) {
            if (transparency)
                background->drawTransparent(context, size, offset);
            else
                background->draw(context, size, offset);
        }
        drawHandle(context);
    }
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context)
{
    CPoint handle;
    handlePointForValue(handle);
    handle.offset(size.left, size.top);
    if (handleBitmap) {
        const std::int32_t w = handleBitmap->getWidth();
        const std::int32_t h = handleBitmap->getHeight();
        CRect r(handle.x - w / 2, handle.y - h / 2, handle.x - w / 2 + w, handle.y - h / 2 + h);
        handleBitmap->drawTransparent(context, r);
        return;
    }
    const CPoint centre(size.left + static_cast<std::int32_t>(knobRadius),
                        size.top + static_cast<std::int32_t>(knobRadius));
    context->setLineWidth(1);
    context->setFrameColor(shadowColor);
    context->moveTo(CPoint(centre.x + 1, centre.y + 1));
    context->lineTo(CPoint(handle.x + 1, handle.y + 1));
    context->setFrameColor(handleColor);
    context->moveTo(centre);
    context->lineTo(handle);
}

void CKnob::reportStep(CDrawContext* context)
{
    if (isDirty() && listener) {
        beginEdit();
        notifyListener(context);
        endEdit();
    }
}

void CKnob::mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons)
{
    if (!beginLeftClick(context, buttons))
        return;
    if (checkDefaultReset(context, buttons))
        return;

    // Linear drag: d = dx - dy, so moving right or up raises the value.
    bool fine = (buttons & kShift) != 0;
    float range = fine ? kDragRange * fineDragFactor : kDragRange;
    float startValue = value;
    CPoint start = where;
    CPoint current = where;
    CPoint last = where;
    // Only a value the drag really changed is reported: a click without a move (or a move
    // that lands on the same value) would otherwise reach the host as an automation event.
    float reported = value;
    beginEdit();
    do {
        buttons = readMouseButtons(context);
        if (current != last) {
            last = current;
            const float d = static_cast<float>((current.x - start.x) - (current.y - start.y));
            value = startValue + d * (maxValue - minValue) / range;
            clampValue();
            if (value != reported) {
                reported = value;
                notifyListener(context);
            }
        }
        // Shift changes the speed from here on: the movement so far keeps the speed it was
        // made at, so the value does not jump when shift goes down or up mid-drag.
        const bool nowFine = (buttons & kShift) != 0;
        if (nowFine != fine) {
            fine = nowFine;
            range = fine ? kDragRange * fineDragFactor : kDragRange;
            start = current;
            startValue = value;
        }
        getMouseLocation(context, current);
        doIdleStuff();
    } while (buttons & kLButton);
    endEdit();
}

bool CKnob::onWheel(CDrawContext* context, const CPoint& /*where*/, float distance)
{
    if (!mouseEnabled)
        return false;
    const bool fine = (readMouseButtons(context) & kShift) != 0;
    value += fine ? wheelStep * distance * 0.1f : wheelStep * distance;
    clampValue();
    reportStep(context);
    return true;
}

std::int32_t CKnob::onKeyDown(CKeyCode& keyCode)
{
    float step = 0.0f;
    switch (keyCode.virt) {
    case kVKeyUp:
    case kVKeyRight:
        step = 1.0f;
        break;
    case kVKeyDown:
    case kVKeyLeft:
        step = -1.0f;
        break;
    default:
        return -1;
    }
    float delta = wheelStep * step;
    if (keyCode.modifier & kModifierShift)
        delta *= 0.1f;
    value += delta;
    clampValue();
    reportStep(nullptr);
    return 1;
}

bool CKnob::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CKnob") == 0 || CControl::isTypeOf(name));
}

} // namespace gui
