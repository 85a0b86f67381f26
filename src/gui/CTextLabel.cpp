#include "gui/CTextLabel.h"

#include <cstring>

namespace gui {

CTextLabel::CTextLabel(const CRect& rect, const char* initialText, CBitmap* bitmap, std::int32_t labelStyle)
    : CParamDisplay(rect, bitmap, labelStyle)
{
    setText(initialText);
}

CTextLabel::~CTextLabel() = default;

void CTextLabel::setText(const char* newText)
{
    if (newText) {
        text.assign(newText);
        hasText = true;
    } else {
        text.clear();
        hasText = false;
    }
}

const char* CTextLabel::getText() const
{
    return hasText ? text.c_str() : nullptr;
}

void CTextLabel::draw(CDrawContext* context)
{
    drawText(context, getText());
}

bool CTextLabel::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "CTextLabel") == 0 || CParamDisplay::isTypeOf(name));
}

} // namespace gui
