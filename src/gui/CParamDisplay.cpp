#include "gui/CParamDisplay.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

#include <cstdio>
#include <cstring>

namespace gui {

CParamDisplay::CParamDisplay(const CRect& rect, CBitmap* bitmap, std::int32_t displayStyle)
    : CControl(rect, nullptr, 0, bitmap), style(displayStyle)
{
    if (style & kNoDrawStyle)
        setDirty(false);
}

CParamDisplay::~CParamDisplay() = default;

void CParamDisplay::setFontIndex(std::int32_t index)
{
    if (index != fontIndex) {
        fontIndex = index;
        setDirty(true);
    }
}

void CParamDisplay::setFontColor(const CColor& color)
{
    if (color != fontColor) {
        fontColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setBackgroundColor(const CColor& color)
{
    if (color != backColor) {
        backColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setFrameColor(const CColor& color)
{
    if (color != frameColor) {
        frameColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setShadowColor(const CColor& color)
{
    if (color != shadowColor) {
        shadowColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setTextAlignment(std::int32_t alignment)
{
    if (alignment != horizontalAlignment) {
        horizontalAlignment = alignment;
        setDirty(true);
    }
}

void CParamDisplay::setStringConvert(CValueToStringProc proc)
{
    stringConvert = proc;
    stringConvertUser = nullptr;
    stringConvertData = nullptr;
}

void CParamDisplay::setStringConvert(CValueToStringUserProc proc, void* userData)
{
    stringConvertUser = proc;
    stringConvertData = userData;
    stringConvert = nullptr;
}

void CParamDisplay::setString2FloatConvert(CStringToValueProc proc)
{
    string2FloatConvert = proc;
}

void CParamDisplay::setStyle(std::int32_t newStyle)
{
    if (newStyle != style) {
        style = newStyle;
        setDirty(true);
    }
}

void CParamDisplay::setFontFace(std::int32_t face)
{
    if (face != fontFace) {
        fontFace = face;
        setDirty(true);
    }
}

void CParamDisplay::setTextTransparency(bool flag)
{
    if (flag != textTransparent) {
        textTransparent = flag;
        setDirty(true);
    }
}

void CParamDisplay::draw(CDrawContext* context)
{
    char text[kTextBufferSize] = {};
    if (stringConvert)
        stringConvert(value, text);
    else if (stringConvertUser)
        stringConvertUser(value, text, stringConvertData);
    else
        std::snprintf(text, sizeof text, "%2.2f", static_cast<double>(value));
    text[sizeof text - 1] = '\0';
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text)
{
    setDirty(false);
    if ((style & kNoDrawStyle) || !context)
        return;

    if (background) {
        if (transparency)
            background->drawTransparent(context, size, backgroundOffset);
        else
            background->draw(context, size, backgroundOffset);
    } else if (!transparency) {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!(style & (kNoFrame | k3DIn | k3DOut))) {
            context->setFrameColor(frameColor);
            context->drawRect(size);
        }
    }

    if (style & (k3DIn | k3DOut)) {
        // Sunken: light above and left, dark below and right; raised the other way round.
        const bool sunken = (style & k3DIn) != 0;
        context->setLineWidth(1);
        context->setFrameColor(sunken ? backColor : frameColor);
        context->moveTo(CPoint(size.left, size.bottom - 1));
        context->lineTo(CPoint(size.left, size.top + 1));
        context->lineTo(CPoint(size.right - 1, size.top + 1));
        context->setFrameColor(sunken ? frameColor : backColor);
        context->lineTo(CPoint(size.right - 1, size.bottom - 1));
        context->lineTo(CPoint(size.left, size.bottom - 1));
    }

    if ((style & kNoTextStyle) || !text)
        return;

    CRect oldClip;
    context->getClipRect(oldClip);
    CRect clip = size;
    clip.bound(oldClip);
    context->setClipRect(clip);
    context->setFont(fontIndex, fontFace);
    const auto align = static_cast<CHoriTxtAlign>(horizontalAlignment);
    if (style & kShadowedStyle) {
        CRect shadowRect = size;
        shadowRect.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(text, shadowRect, false, align);
    }
    context->setFontColor(fontColor);
    if (!textTransparent)
        context->setFillColor(backColor);
    context->drawString(text, size, !textTransparent, align);
    context->setClipRect(oldClip);
}

bool CParamDisplay::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CParamDisplay") == 0 || CControl::isTypeOf(name));
}

} // namespace gui
