// Engraved legends: glyphs from the DejaVu fonts rasterised by FreeType into a coverage mask,
// laid onto an image with a colour or a paint. The font files are named by full path, so
// the generator never depends on what a font configuration happens to pick.
#pragma once

#include "Canvas.h"

#include <string>

namespace skin {

enum class Face { Sans, SansBold, SerifBold };

class Text {
public:
    // Loads the faces; false (with a message on stderr) when FreeType or a font is missing.
    static bool init(const std::string& fontDirectory);
    static void shutdown();

    // Width in pixels of a line of text at a pixel size, with extra spacing between letters.
    static float width(Face face, float pixelSize, const std::string& text, float tracking = 0);
    // Coverage of a line of text whose baseline starts at (x, baseline), rounded to whole
    // pixels so that hinted stems stay crisp.
    static void draw(Image& image, Face face, float pixelSize, const std::string& text, float x, float baseline,
                     const Paint& paint, float tracking = 0);
    static void drawCentred(Image& image, Face face, float pixelSize, const std::string& text, float centreX,
                            float baseline, const Paint& paint, float tracking = 0);
    // Silk-screened legend as a panel maker prints it: the letters in `colour` over a dark
    // shadow one pixel lower, so they sit cut into the metal.
    static void legend(Image& image, Face face, float pixelSize, const std::string& text, float centreX,
                       float baseline, const Rgba& colour, float tracking = 1);
};

} // namespace skin
