// Text on POSIX systems: faces matched by fontconfig, glyphs rendered by FreeType into
// coverage masks that the toolkit blends in its own colour. A face that fontconfig cannot
// give (or FreeType cannot open) falls back to DejaVu Sans from fonts-dejavu-core, so text
// always has some ink. Bold and italic are synthesised when the matched face lacks them.
#include "platform/Platform.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

struct Font {
    FT_Face face = nullptr;                              // sized face, owned
    std::shared_ptr<const std::vector<FT_Byte>> bytes;   // the font file, kept alive for face
    bool synthBold = false;   // embolden outlines (the face is not bold itself)
    bool synthItalic = false; // slant outlines (the face is upright)
    bool underline = false;   // draw an underline
    std::int32_t ascent = 0;  // pixels above the baseline
    std::int32_t descent = 0; // pixels below the baseline
    std::int32_t underlineTop = 0;    // first underline row, from the line box top
    std::int32_t underlineHeight = 1; // underline rows
};

namespace {

const char* const kFallbackRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kFallbackBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Process-wide FreeType state, shared by every instance of the plug-in in the process. Their
// editors may draw on different threads (one on the screen, another into a snapshot), so
// faces are made and freed, and the caches read and filled, under the lock; a face once
// made belongs to its one font and is used without it.
struct TextState {
    std::mutex lock;                                                              // guards all below
    FT_Library library = nullptr;                                                 // FreeType instance
    FcConfig* fontconfig = nullptr;                                               // our own configuration
    std::map<std::string, std::shared_ptr<const std::vector<FT_Byte>>> files;     // font files read
    std::map<std::string, std::pair<std::string, int>> matches;                   // request -> file, index

    TextState()
    {
        if (FT_Init_FreeType(&library) != 0)
            library = nullptr;
        // A private configuration rather than the process-wide one: a host may use
        // fontconfig itself, and tearing down the shared one when the plug-in unloads
        // would pull it from under the host.
        fontconfig = FcInitLoadConfigAndFonts();
    }
    ~TextState()
    {
        if (fontconfig != nullptr)
            FcConfigDestroy(fontconfig);
        if (library != nullptr)
            FT_Done_FreeType(library);
    }
};

TextState& textState()
{
    static TextState state;
    return state;
}

std::shared_ptr<const std::vector<FT_Byte>> readFile(const std::string& path)
{
    TextState& s = textState();
    auto it = s.files.find(path);
    if (it != s.files.end())
        return it->second;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return nullptr;
    auto bytes = std::make_shared<std::vector<FT_Byte>>((std::istreambuf_iterator<char>(in)),
                                                        std::istreambuf_iterator<char>());
    if (bytes->empty())
        return nullptr;
    s.files[path] = bytes;
    return bytes;
}

// fontconfig's best file for a face name and style; empty when it has no answer.
std::pair<std::string, int> matchFace(const FontRequest& request)
{
    TextState& s = textState();
    std::string key = std::string(request.face != nullptr ? request.face : "") + (request.bold ? "|b" : "|r")
                      + (request.italic ? "i" : "u");
    auto it = s.matches.find(key);
    if (it != s.matches.end())
        return it->second;
    std::pair<std::string, int> found{std::string(), 0};
    if (s.fontconfig != nullptr) {
        FcPattern* pattern = FcPatternCreate();
        if (request.face != nullptr && *request.face != '\0')
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.face));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(s.fontconfig, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(s.fontconfig, pattern, &result);
        if (match != nullptr) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                found = {reinterpret_cast<const char*>(file), index};
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    s.matches[key] = found;
    return found;
}

FT_Face openFace(const std::string& path, int index, std::shared_ptr<const std::vector<FT_Byte>>& bytes)
{
    TextState& s = textState();
    if (s.library == nullptr || path.empty())
        return nullptr;
    bytes = readFile(path);
    if (!bytes)
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(s.library, bytes->data(), static_cast<FT_Long>(bytes->size()), index, &face) != 0)
        return nullptr;
    return face;
}

// The toolkit's texts are ANSI (Windows-1252); bytes 0x80..0x9F differ from Latin-1.
FT_ULong toUnicode(unsigned char c)
{
    static const std::uint16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return (c >= 0x80 && c < 0xA0) ? high[c - 0x80] : c;
}

FT_UInt glyphIndex(FT_Face face, unsigned char c)
{
    FT_UInt index = FT_Get_Char_Index(face, toUnicode(c));
    if (index == 0 && face->charmap != nullptr && face->charmap->encoding == FT_ENCODING_MS_SYMBOL)
        index = FT_Get_Char_Index(face, 0xF000u | c); // symbol fonts map their codes high
    return index;
}

// Loads (and styles) one glyph into the face's slot; false when it has none.
bool loadGlyph(const Font& font, unsigned char c, bool render)
{
    FT_UInt index = glyphIndex(font.face, c);
    if (FT_Load_Glyph(font.face, index, FT_LOAD_DEFAULT) != 0)
        return false;
    FT_GlyphSlot slot = font.face->glyph;
    if (font.synthItalic && slot->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_GlyphSlot_Oblique(slot);
    if (font.synthBold)
        FT_GlyphSlot_Embolden(slot);
    if (render && slot->format != FT_GLYPH_FORMAT_BITMAP)
        return FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0;
    return true;
}

std::int32_t advanceOf(const FT_GlyphSlot slot) { return static_cast<std::int32_t>((slot->advance.x + 32) >> 6); }

} // namespace

Font* createFont(const FontRequest& request)
{
    if (request.pixelHeight <= 0)
        return nullptr;
    auto font = std::make_unique<Font>();
    std::lock_guard<std::mutex> guard(textState().lock);
    std::pair<std::string, int> match = matchFace(request);
    font->face = openFace(match.first, match.second, font->bytes);
    if (font->face == nullptr)
        font->face = openFace(request.bold ? kFallbackBold : kFallbackRegular, 0, font->bytes);
    if (font->face == nullptr)
        return nullptr;
    FT_Face face = font->face;
    if (!FT_IS_SCALABLE(face) || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(request.pixelHeight)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    if (request.decorative)
        FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL); // keeps the Unicode map if there is none
    font->synthBold = request.bold && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    font->synthItalic = request.italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    font->underline = request.underline;
    const FT_Size_Metrics& m = face->size->metrics;
    font->ascent = static_cast<std::int32_t>((m.ascender + 63) >> 6);
    font->descent = static_cast<std::int32_t>((-m.descender + 63) >> 6);
    std::int32_t position = static_cast<std::int32_t>((FT_MulFix(-face->underline_position, m.y_scale) + 32) >> 6);
    std::int32_t thickness = static_cast<std::int32_t>((FT_MulFix(face->underline_thickness, m.y_scale) + 32) >> 6);
    font->underlineTop = font->ascent + std::max(1, position) - 1;
    font->underlineHeight = std::max(1, thickness);
    return font.release();
}

void destroyFont(Font* font)
{
    if (font == nullptr)
        return;
    if (font->face != nullptr) {
        std::lock_guard<std::mutex> guard(textState().lock);
        FT_Done_Face(font->face);
    }
    delete font;
}

TextExtent measureText(const Font* font, const char* text)
{
    TextExtent extent;
    if (font == nullptr || text == nullptr)
        return extent;
    extent.ascent = font->ascent;
    extent.height = font->ascent + font->descent;
    for (const char* p = text; *p != '\0'; ++p)
        if (loadGlyph(*font, static_cast<unsigned char>(*p), false))
            extent.width += advanceOf(font->face->glyph);
    return extent;
}

bool renderText(const Font* font, const char* text, TextMask& mask)
{
    mask = TextMask{};
    if (font == nullptr || text == nullptr)
        return false;
    struct Placed {
        std::int32_t x = 0, y = 0, width = 0, height = 0; // bitmap place in line-box coordinates
        std::vector<std::uint8_t> coverage;               // width * height
    };
    std::vector<Placed> glyphs;
    std::int32_t pen = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = font->ascent + font->descent; // start: line box
    for (const char* p = text; *p != '\0'; ++p) {
        if (!loadGlyph(*font, static_cast<unsigned char>(*p), true))
            continue;
        FT_GlyphSlot slot = font->face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Placed g;
        g.x = pen + slot->bitmap_left;
        g.y = font->ascent - slot->bitmap_top;
        g.width = static_cast<std::int32_t>(bitmap.width);
        g.height = static_cast<std::int32_t>(bitmap.rows);
        g.coverage.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height), 0);
        for (std::int32_t y = 0; y < g.height; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            for (std::int32_t x = 0; x < g.width; ++x) {
                std::uint8_t v = 0;
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                    v = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
                else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                    v = bitmap.num_grays == 256 ? row[x]
                                                : static_cast<std::uint8_t>(row[x] * 255 / std::max(1, bitmap.num_grays - 1));
                g.coverage[static_cast<std::size_t>(y) * g.width + x] = v;
            }
        }
        pen += advanceOf(slot);
        if (g.width > 0 && g.height > 0) {
            left = std::min(left, g.x);
            top = std::min(top, g.y);
            right = std::max(right, g.x + g.width);
            bottom = std::max(bottom, g.y + g.height);
            glyphs.push_back(std::move(g));
        }
    }
    right = std::max(right, pen);
    mask.originX = left;
    mask.originY = top;
    mask.width = right - left;
    mask.height = bottom - top;
    mask.alpha.assign(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height), 0);
    for (const Placed& g : glyphs) {
        for (std::int32_t y = 0; y < g.height; ++y) {
            std::uint8_t* dst = mask.alpha.data() + static_cast<std::size_t>(g.y + y - top) * mask.width + (g.x - left);
            const std::uint8_t* src = g.coverage.data() + static_cast<std::size_t>(y) * g.width;
            for (std::int32_t x = 0; x < g.width; ++x)
                dst[x] = std::max(dst[x], src[x]); // overlapping glyphs: the darker ink wins
        }
    }
    if (font->underline && pen > 0) {
        for (std::int32_t y = font->underlineTop; y < font->underlineTop + font->underlineHeight; ++y) {
            if (y - top < 0 || y - top >= mask.height)
                continue;
            std::uint8_t* row = mask.alpha.data() + static_cast<std::size_t>(y - top) * mask.width;
            for (std::int32_t x = 0; x < pen; ++x)
                row[x - left] = 255;
        }
    }
    return true;
}

} // namespace platform
