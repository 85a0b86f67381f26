// A value label in a cab's display strip. The strip's labels overlap, each lying over the end
// of the label before it, and they all show the same plate, which is alike in every column.
// So a strip label paints its plate only where the label before it does not lie: a text that
// reaches into that end ("220 smp", "12.0 kHz") stays whole instead of vanishing under its
// neighbour's plate. Its own text is drawn over its whole rectangle, as any label's is.
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CTextLabel.h"

namespace editor {

class StripLabel : public gui::CTextLabel {
public:
    // `shared`: columns at the left that the label before it covers (0 for the first).
    StripLabel(const gui::CRect& size, const char* text, gui::CBitmap* background, std::int32_t shared);

    void draw(gui::CDrawContext* context) override;

private:
    std::int32_t shared_; // left columns whose plate the label before paints
};

} // namespace editor
