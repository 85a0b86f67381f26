// The editor's panel: a black tolex header with the product name and the global controls'
// legends, and below it brushed dark metal with one recessed bay per cab. Everything that
// belongs to a view (plates, legends, link and blend marks) is placed from the view's own
// rectangle in the panel table, the one the editor lays its views out with.
#include "Pictures.h"

#include "Palette.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace skin {

namespace pal = palette;

using panel::kHeight;
using panel::kRowStep;
using panel::kWidth;
using panel::LegendAt;
using panel::Plate;
using panel::View;

namespace {

constexpr int kHeaderBottom = 86;
constexpr float kHeaderLegendLine = 17; // baseline of the legends above the header's controls

// Bay of a cab (0..5): the recessed area that holds its controls.
Box bay(int cab)
{
    const int column = cab % 2, row = cab / 2;
    const int x0 = column == 0 ? 8 : 428, x1 = column == 0 ? 423 : 842;
    return Box{x0, 109 + row * kRowStep, x1, 226 + row * kRowStep};
}

Rgba brushedMetal(float x, float y)
{
    // Long horizontal streaks (noise stretched along x) over a fine grain.
    const float streak = valueNoise(x / 90.0f, y / 1.3f, 11) - 0.5f;
    const float fine = valueNoise(x / 9.0f, y / 0.8f, 12) - 0.5f;
    const float grain = hash01(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 13) - 0.5f;
    const float v = 0.030f * streak + 0.014f * fine + 0.010f * grain;
    // A broad sheen across the panel, lighter towards the top left.
    const float sheen = 0.018f * (1.0f - (x / kWidth) * 0.6f - (y / kHeight) * 0.4f);
    const Rgba& b = pal::panel;
    return Rgba{clamp01(b.r + v + sheen), clamp01(b.g + v + sheen), clamp01(b.b + v * 1.1f + sheen), 1};
}

Rgba grilleCloth(float x, float y)
{
    // Basketweave: 3-pixel cells whose threads run across and down in turn; each thread a
    // little lighter or darker, and now and then a light fleck (salt and pepper).
    const int cx = static_cast<int>(std::floor(x / 3)), cy = static_cast<int>(std::floor(y / 3));
    const float fx = x / 3 - cx, fy = y / 3 - cy;
    const bool across = ((cx + cy) & 1) == 0;
    const float shade = std::sin(kPi * (across ? fy : fx));
    const float thread = hash01(across ? cy : cx, across ? cx / 2 : cy / 2, 31);
    const Rgba dark = rgb(14, 12, 11), light = rgb(92, 78, 62);
    Rgba c = mix(dark, light, clamp01(shade * (0.35f + 0.35f * thread)));
    if (hash01(cx, cy, 32) > 0.965f)
        c = mix(c, rgb(170, 160, 140), 0.3f * shade);
    return c;
}

Rgba tolex(float x, float y)
{
    // Pebbled vinyl: small bumps lit from above.
    const float bumps = valueNoise(x / 1.7f, y / 1.7f, 21);
    const float above = valueNoise(x / 1.7f, (y - 0.8f) / 1.7f, 21);
    const float relief = (bumps - above) * 0.05f;
    const float grain = (hash01(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), 22) - 0.5f) * 0.012f;
    const float v = pal::header.r + relief + grain + 0.006f * (valueNoise(x / 30, y / 30, 23) - 0.5f);
    return Rgba{clamp01(v), clamp01(v), clamp01(v * 1.04f), 1};
}

void drawScrew(Image& image, float cx, float cy)
{
    const Box box{static_cast<int>(cx) - 8, static_cast<int>(cy) - 8, static_cast<int>(cx) + 9, static_cast<int>(cy) + 9};
    image.glow(circle(cx, cy + 1, 4.2f), Rgba{0, 0, 0, 0.6f}, 2.0f, box);
    image.fill(circle(cx, cy, 4.5f), vertical(cy - 4.5f, rgb(150, 152, 156), cy + 4.5f, rgb(50, 51, 54)), box);
    image.fill(circle(cx, cy, 3.6f), radial(cx - 1.2f, cy - 1.5f, 5.0f, rgb(130, 132, 136), rgb(62, 63, 67)), box);
    image.fill(segment(cx - 2.6f, cy - 1.2f, cx + 2.6f, cy + 1.2f, 0.55f), rgb(28, 28, 30), box);
}

// The recessed bay: darker metal, shadowed under its upper edge, lit along its lower edge.
void drawBay(Image& image, const Box& b)
{
    const float x0 = static_cast<float>(b.x0), y0 = static_cast<float>(b.y0);
    const float x1 = static_cast<float>(b.x1), y1 = static_cast<float>(b.y1);
    const Box area{b.x0 - 2, b.y0 - 2, b.x1 + 2, b.y1 + 2};
    image.fill(roundRect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 7), Rgba{1, 1, 1, 0.06f}, area);
    image.fill(roundRect(x0, y0, x1, y1, 6), Rgba{0.02f, 0.02f, 0.025f, 0.55f}, area);
    image.fill(subtract(roundRect(x0, y0, x1, y1, 6), roundRect(x0, y0 + 2.5f, x1, y1, 6)), Rgba{0, 0, 0, 0.45f}, area);
}

// The bezel that a plate sits in: a dark cut with light below it.
void drawPlateBezel(Image& image, int x, int y, int w, int h)
{
    const Box box{x - 3, y - 3, x + w + 3, y + h + 3};
    image.fill(roundRect(x - 1.0f, y - 1.0f, x + w + 1.0f, y + h + 1.5f, 3.5f), Rgba{1, 1, 1, 0.09f}, box);
    image.fill(roundRect(x - 1.0f, y - 1.0f, x + w + 1.0f, y + h + 0.5f, 3.5f), Rgba{0, 0, 0, 0.8f}, box);
}

void drawHeader(Image& image)
{
    image.fill(Shape([](float, float y) { return y - kHeaderBottom; }), Paint(tolex), Box{0, 0, kWidth, kHeaderBottom});
    // A polished strip where the tolex meets the metal, and the tolex's shadow on it.
    image.fill(Shape([](float, float y) { return std::fabs(y - (kHeaderBottom + 1.5f)) - 1.5f; }),
               vertical(kHeaderBottom, rgb(150, 152, 157), kHeaderBottom + 3, rgb(60, 61, 65)),
               Box{0, kHeaderBottom, kWidth, kHeaderBottom + 3});
    image.fill(Shape([](float, float y) { return std::fabs(y - (kHeaderBottom + 4.5f)) - 1.5f; }),
               vertical(kHeaderBottom + 3, Rgba{0, 0, 0, 0.6f}, kHeaderBottom + 6, Rgba{0, 0, 0, 0}),
               Box{0, kHeaderBottom + 3, kWidth, kHeaderBottom + 6});

    // The front of an amp head: basketweave grille cloth with cream piping, the name on it.
    const float gx0 = 26, gy0 = 9, gx1 = 600, gy1 = 77;
    const Box grille{static_cast<int>(gx0) - 4, static_cast<int>(gy0) - 4, static_cast<int>(gx1) + 5,
                     static_cast<int>(gy1) + 5};
    image.glow(roundRect(gx0, gy0 + 1, gx1, gy1 + 1, 5), Rgba{0, 0, 0, 0.7f}, 3.0f, grille);
    image.fill(roundRect(gx0, gy0, gx1, gy1, 5), Paint(grilleCloth), grille);
    image.fill(subtract(roundRect(gx0, gy0, gx1, gy1, 5), roundRect(gx0 + 1.6f, gy0 + 1.6f, gx1 - 1.6f, gy1 - 1.6f, 3.6f)),
               vertical(gy0, rgb(236, 226, 200), gy1, rgb(150, 140, 118)), grille);
    // Shade the cloth towards the piping, as a stretched cloth falls into the frame.
    image.fill(roundRect(gx0 + 1.6f, gy0 + 1.6f, gx1 - 1.6f, gy1 - 1.6f, 3.6f), [=](float x, float y) {
        const float edge = std::min(std::min(x - gx0, gx1 - x), std::min(y - gy0, gy1 - y));
        return Rgba{0, 0, 0, 0.5f * clamp01(1 - edge / 9.0f)};
    }, grille);

    const float nameX = 52, nameBase = 50;
    Text::draw(image, Face::SerifBold, 38, "Orvex", nameX + 1, nameBase + 2, solid(Rgba{0, 0, 0, 0.85f}), 1);
    Text::draw(image, Face::SerifBold, 38, "Orvex", nameX, nameBase,
               vertical(nameBase - 27, rgb(252, 240, 210), nameBase, rgb(190, 142, 76)), 1);
    Text::draw(image, Face::SansBold, 8, "SIX-SLOT CABINET IMPULSE SIMULATOR", nameX + 3, nameBase + 16,
               solid(Rgba{0, 0, 0, 0.8f}), 1.6f);
    Text::draw(image, Face::SansBold, 8, "SIX-SLOT CABINET IMPULSE SIMULATOR", nameX + 2, nameBase + 15,
               solid(rgb(208, 198, 174)), 1.6f);

    // The control strip of the global controls: a metal plate screwed onto the tolex.
    const float px0 = 618, py0 = 6, px1 = 792, py1 = 81;
    const Box panelBox{static_cast<int>(px0) - 4, 0, static_cast<int>(px1) + 5, static_cast<int>(py1) + 5};
    image.glow(roundRect(px0, py0 + 1.5f, px1, py1 + 1.5f, 5), Rgba{0, 0, 0, 0.8f}, 3.5f, panelBox);
    image.fill(roundRect(px0, py0, px1, py1, 5), rgb(8, 8, 9), panelBox);
    image.fill(roundRect(px0 + 1, py0 + 1, px1 - 1, py1 - 1, 4), Paint(brushedMetal), panelBox);
    image.fill(subtract(roundRect(px0 + 1, py0 + 1, px1 - 1, py1 - 1, 4), roundRect(px0 + 1, py0 + 2, px1 - 1, py1 - 1, 4)),
               Rgba{1, 1, 1, 0.16f}, panelBox);
}

void drawFooter(Image& image)
{
    const float y = kHeight - 22.0f;
    Text::legend(image, Face::SansBold, 7, "LOAD A WAV IMPULSE RESPONSE INTO EACH CAB   \xc2\xb7   LINK PAIRS FOR STEREO   \xc2\xb7   BLEND 1-3 AND 2-4",
                 kWidth / 2.0f, y + 9, pal::legendDim, 1.2f);
}

// The plate in a bezel that a view's text sits on.
void drawOwnPlate(Image& image, int x, int y, int w, int h)
{
    drawPlateBezel(image, x, y, w, h);
    Image plate(w, h);
    drawPlate(plate, 0, 0, w, h, true, true);
    image.draw(plate, x, y);
}

// A view's legend, but those on the header's legend line.
void drawLegend(Image& image, const View& v)
{
    const panel::Rect& r = v.rect;
    const float cx = r.x + r.w / 2.0f;
    switch (v.legendAt) {
    case LegendAt::Below:
        Text::legend(image, Face::SansBold, 7.5f, v.legend, cx, r.y + r.h + 9.0f, pal::legend, 1.2f);
        break;
    case LegendAt::Foot:
        Text::legend(image, Face::SansBold, 7, v.legend, cx, r.bottom() - 3.0f, pal::legend, 1.0f);
        break;
    case LegendAt::Left:
    case LegendAt::Right: {
        // Read from outside the pair of bays: 4 pixels off the view, on its middle line.
        const float w = Text::width(Face::SansBold, 7, v.legend, 1.0f);
        const float at = v.legendAt == LegendAt::Left ? r.x - 4 - w / 2 : r.x + r.w + 4 + w / 2;
        Text::legend(image, Face::SansBold, 7, v.legend, at, r.y + 11.5f, pal::legend, 1.0f);
        break;
    }
    default:
        break;
    }
}

} // namespace

Image background(const panel::Views& views)
{
    Image image(kWidth, kHeight);
    image.fill(Shape([](float, float) { return -1.0f; }), Paint(brushedMetal));
    drawHeader(image);
    drawFooter(image);
    for (int cab = 0; cab < panel::kCabs; ++cab)
        drawBay(image, bay(cab));

    // A cab's value labels overlap one another: they sit in one long display strip.
    for (int cab = 0; cab < panel::kCabs; ++cab) {
        Box strip{kWidth, kHeight, 0, 0};
        for (const View& v : views)
            if (v.cab == cab && v.plate == Plate::Strip)
                strip = Box{std::min(strip.x0, v.rect.x), std::min(strip.y0, v.rect.y), std::max(strip.x1, v.rect.right()),
                            std::max(strip.y1, v.rect.bottom())};
        if (strip.x1 <= strip.x0)
            continue;
        drawPlateBezel(image, strip.x0, strip.y0, strip.x1 - strip.x0, strip.y1 - strip.y0);
        Image plate(strip.x1 - strip.x0, strip.y1 - strip.y0);
        drawPlate(plate, 0, 0, plate.width(), plate.height(), true, true);
        image.draw(plate, strip.x0, strip.y0);
    }

    for (const View& v : views) {
        const panel::Rect& r = v.rect;
        switch (v.plate) {
        case Plate::Own:
            drawOwnPlate(image, r.x, r.y, v.plateWidth, r.h);
            break;
        case Plate::Pressed:
            image.draw(pressedPicture(v.picture), r.x, r.y);
            break;
        case Plate::Well:
            image.fill(roundRect(r.x - 2.0f, r.y - 2.0f, r.x + r.w + 2.0f, r.y + r.h + 2.0f, 2), rgb(4, 4, 5));
            break;
        default:
            break;
        }
        drawLegend(image, v);
    }

    // Legends of the header controls, above them.
    for (const View& v : views)
        if (v.legendAt == LegendAt::Header)
            Text::legend(image, Face::SansBold, 7.5f, v.legend, v.rect.x + v.rect.w / 2.0f, kHeaderLegendLine, pal::legend,
                         1.2f);

    // Cab numbers in the outer margin of each bay.
    for (int cab = 0; cab < panel::kCabs; ++cab) {
        const Box b = bay(cab);
        const bool left = cab % 2 == 0;
        const float cx = left ? b.x0 + 27.0f : b.x1 - 26.0f;
        const float top = static_cast<float>(b.y0);
        Text::legend(image, Face::SansBold, 8, "CAB", cx, top + 38, pal::legendDim, 1.5f);
        const std::string number = std::to_string(cab + 1);
        Text::draw(image, Face::SansBold, 30, number, cx - Text::width(Face::SansBold, 30, number) / 2, top + 72,
                   solid(Rgba{0, 0, 0, 0.8f}));
        Text::drawCentred(image, Face::SansBold, 30, number, cx, top + 70,
                          vertical(top + 48, pal::legend, top + 70, rgb(170, 160, 140)));
    }

    drawScrew(image, 10, 10);
    drawScrew(image, kWidth - 10, 10);
    drawScrew(image, 10, kHeight - 10);
    drawScrew(image, kWidth - 10, kHeight - 10);
    return image;
}

} // namespace skin
