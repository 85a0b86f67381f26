// A text view that shows a text of its own (an owned copy). Changing the text does not mark
// the label dirty: whoever changes it decides when it is redrawn.
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CParamDisplay.h"

#include <string>

namespace gui {

class CTextLabel : public CParamDisplay {
public:
    CTextLabel(const CRect& size, const char* text = nullptr, CBitmap* background = nullptr,
               std::int32_t style = 0);
    ~CTextLabel() override;

    // Stores a copy (no text for null).
    virtual void setText(const char* text);
    // The stored text, or null when there is none.
    virtual const char* getText() const;

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

protected:
    std::string text;     // the label's own copy
    bool hasText = false; // a text is set (null means none)
};

} // namespace gui
