// The toolkit's eight standard fonts. Index 0 is always drawn bold; an index outside the
// table falls back to 0 (CDrawContext::setFont applies both rules).
#pragma once

#include <cstdint>

namespace gui {

enum CFontIndex : std::int32_t {
    kSystemFont = 0,      // "Lucida Sans Unicode" 12, always bold
    kVeryBigFont = 1,     // "Lucida Sans Unicode" 18
    kBigFont = 2,         // "Lucida Sans Unicode" 14
    kCourierFont = 3,     // "Courier New" 14, the default font of text views
    kSmallFont = 4,       // "Lucida Sans Unicode" 11
    kSmallerFont = 5,     // "Lucida Sans Unicode" 10, the editor's labels
    kVerySmallFont = 6,   // "Lucida Sans Unicode" 9
    kSymbolFont = 7,      // "Symbol" 13, decorative family
    kNumStandardFonts = 8,
};

// Style bits of a font request.
enum CTxtFace : std::int32_t {
    kNormalFace = 0,
    kBoldFace = 1,
    kItalicFace = 2,
    kUnderlineFace = 4,
};

struct CFontDesc {
    const char* face;          // face name
    std::int32_t size;         // character height in pixels
    bool alwaysBold;           // drawn bold whatever the style asks
    bool decorative;           // decorative family, default pitch
};

class CFontTable {
public:
    // The entry for index, with out-of-range indices mapped to 0.
    static const CFontDesc& get(std::int32_t index);
    // Index with out-of-range values mapped to 0.
    static std::int32_t normalise(std::int32_t index);
};

} // namespace gui
