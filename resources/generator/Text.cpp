#include "Text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <vector>

namespace skin {

namespace {

FT_Library library = nullptr;
FT_Face faces[3] = {nullptr, nullptr, nullptr};

FT_Face faceFor(Face face, float pixelSize)
{
    FT_Face f = faces[static_cast<int>(face)];
    FT_Set_Char_Size(f, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * 64)), 72, 72);
    return f;
}

// Light hinting: glyphs keep their shapes and only snap vertically, which suits small caps.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_LIGHT;

// The characters of a UTF-8 string (the legends use one or two non-ASCII signs).
std::vector<FT_ULong> characters(const std::string& text)
{
    std::vector<FT_ULong> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            out.push_back(((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu));
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

bool Text::init(const std::string& fontDirectory)
{
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "cannot start FreeType\n");
        return false;
    }
    const char* files[3] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSerif-Bold.ttf"};
    for (int i = 0; i < 3; ++i) {
        const std::string path = fontDirectory + "/" + files[i];
        if (FT_New_Face(library, path.c_str(), 0, &faces[i]) != 0) {
            std::fprintf(stderr, "cannot load the font %s (Debian package fonts-dejavu-core)\n", path.c_str());
            return false;
        }
    }
    return true;
}

void Text::shutdown()
{
    for (FT_Face& f : faces)
        if (f != nullptr) {
            FT_Done_Face(f);
            f = nullptr;
        }
    if (library != nullptr) {
        FT_Done_FreeType(library);
        library = nullptr;
    }
}

float Text::width(Face face, float pixelSize, const std::string& text, float tracking)
{
    FT_Face f = faceFor(face, pixelSize);
    float w = 0;
    const std::vector<FT_ULong> chars = characters(text);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (FT_Load_Char(f, chars[i], kLoadFlags) != 0)
            continue;
        w += f->glyph->advance.x / 64.0f;
        if (i + 1 < chars.size())
            w += tracking;
    }
    return w;
}

void Text::draw(Image& image, Face face, float pixelSize, const std::string& text, float x, float baseline,
                const Paint& paint, float tracking)
{
    FT_Face f = faceFor(face, pixelSize);
    float pen = std::round(x);
    const int base = static_cast<int>(std::lround(baseline));
    for (FT_ULong ch : characters(text)) {
        if (FT_Load_Char(f, ch, kLoadFlags | FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot g = f->glyph;
        const FT_Bitmap& bm = g->bitmap;
        const int left = static_cast<int>(std::lround(pen)) + g->bitmap_left;
        const int top = base - g->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row)
            for (unsigned col = 0; col < bm.width; ++col) {
                const unsigned char c = bm.buffer[row * bm.pitch + col];
                if (c == 0)
                    continue;
                const int px = left + static_cast<int>(col), py = top + static_cast<int>(row);
                image.blend(px, py, paint(px + 0.5f, py + 0.5f), c / 255.0f);
            }
        pen += g->advance.x / 64.0f + tracking;
    }
}

void Text::drawCentred(Image& image, Face face, float pixelSize, const std::string& text, float centreX,
                       float baseline, const Paint& paint, float tracking)
{
    draw(image, face, pixelSize, text, centreX - width(face, pixelSize, text, tracking) / 2, baseline, paint,
         tracking);
}

void Text::legend(Image& image, Face face, float pixelSize, const std::string& text, float centreX, float baseline,
                  const Rgba& colour, float tracking)
{
    const float x = std::round(centreX - width(face, pixelSize, text, tracking) / 2);
    draw(image, face, pixelSize, text, x, baseline + 1, solid(Rgba{0, 0, 0, 0.85f}), tracking);
    draw(image, face, pixelSize, text, x, baseline, solid(colour), tracking);
}

} // namespace skin
