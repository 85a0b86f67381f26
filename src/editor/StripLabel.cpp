#include "editor/StripLabel.h"

#include "gui/CDrawContext.h"

namespace editor {

StripLabel::StripLabel(const gui::CRect& rect, const char* initialText, gui::CBitmap* bitmap, std::int32_t shared)
    : gui::CTextLabel(rect, initialText, bitmap, 0), shared_(shared)
{
}

void StripLabel::draw(gui::CDrawContext* context)
{
    gui::CRect saved;
    context->getClipRect(saved);
    gui::CRect plate = size;
    plate.left += shared_;
    plate.bound(saved);
    context->setClipRect(plate);
    drawText(context, nullptr); // the plate alone
    context->setClipRect(saved);

    const char* shown = getText();
    if (!shown)
        return;
    gui::CRect clip = size;
    clip.bound(saved);
    context->setClipRect(clip);
    context->setFont(fontIndex, fontFace);
    context->setFontColor(fontColor);
    context->drawString(shown, size, false, static_cast<gui::CHoriTxtAlign>(horizontalAlignment));
    context->setClipRect(saved);
}

} // namespace editor
