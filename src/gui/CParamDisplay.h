// The base of the toolkit's text views: draws a background (bitmap, or a fill with an
// outline), an optional bevel and one line of text clipped to the view. On its own it shows
// its value as text ("%2.2f" or a converter's text).
//
// Thread: the editor window's thread.
#pragma once

#include "gui/CColor.h"
#include "gui/CControl.h"

#include <cstddef>

namespace gui {

// Style bits of text views (option menus use the popup and check bits).
enum CParamDisplayStyle : std::int32_t {
    kMultipleCheckStyle = 0x1, // popup: per-entry check marks
    kShadowedStyle = 0x4,      // text with a shadow one pixel right and down
    k3DIn = 0x80,              // sunken bevel
    k3DOut = 0x100,            // raised bevel
    kPopupStyle = 0x200,       // popup opens at the top edge instead of the bottom
    kCheckStyle = 0x400,       // popup: check mark at the current entry
    kNoTextStyle = 0x800,      // background only
    kNoDrawStyle = 0x1000,     // nothing drawn
    kNoFrame = 0x4000,         // no outline
};

using CValueToStringProc = void (*)(float value, char* text);
using CValueToStringUserProc = void (*)(float value, char* text, void* userData);
using CStringToValueProc = void (*)(const char* text, float& value, void* userData);

class CParamDisplay : public CControl {
public:
    // Size of the text buffer a value converter writes into (terminator included).
    static constexpr std::size_t kTextBufferSize = 256;

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, std::int32_t style = 0);
    ~CParamDisplay() override;

    virtual void setFontIndex(std::int32_t index);
    virtual void setFontColor(const CColor& color);
    virtual void setBackgroundColor(const CColor& color);
    virtual void setFrameColor(const CColor& color);
    virtual void setShadowColor(const CColor& color);
    // 0 left, 1 centred, 2 right (the draw context's text alignment).
    virtual void setTextAlignment(std::int32_t alignment);
    virtual void setStringConvert(CValueToStringProc proc);
    virtual void setStringConvert(CValueToStringUserProc proc, void* userData);
    virtual void setString2FloatConvert(CStringToValueProc proc);
    virtual void setStyle(std::int32_t style);
    virtual void setFontFace(std::int32_t face);
    virtual void setTextTransparency(bool flag);

    std::int32_t getFontIndex() const { return fontIndex; }
    const CColor& getFontColor() const { return fontColor; }
    const CColor& getBackgroundColor() const { return backColor; }
    const CColor& getFrameColor() const { return frameColor; }
    const CColor& getShadowColor() const { return shadowColor; }
    std::int32_t getTextAlignment() const { return horizontalAlignment; }
    std::int32_t getStyle() const { return style; }
    std::int32_t getFontFace() const { return fontFace; }
    bool getTextTransparency() const { return textTransparent; }

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

protected:
    // Background, bevel and one line of text (null: none), as every text view draws.
    void drawText(CDrawContext* context, const char* text);

    std::int32_t style = 0;                      // CParamDisplayStyle bits
    std::int32_t horizontalAlignment = 1;        // text alignment, centred
    std::int32_t fontIndex = 3;                  // standard font table index
    std::int32_t fontFace = 0;                   // font style bits
    CColor fontColor = kWhiteCColor;             // text colour
    CColor backColor = kBlackCColor;             // fill and bevel colour
    CColor frameColor = kBlackCColor;            // outline and bevel colour
    CColor shadowColor = kRedCColor;             // text shadow colour
    bool textTransparent = true;                 // text drawn without filling behind it
    CValueToStringProc stringConvert = nullptr;        // value to text, or null
    CValueToStringUserProc stringConvertUser = nullptr; // value to text with user data, or null
    void* stringConvertData = nullptr;                 // user data of stringConvertUser
    CStringToValueProc string2FloatConvert = nullptr;  // text to value, or null
};

} // namespace gui
