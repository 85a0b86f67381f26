#include "Pictures.h"

#include "Palette.h"
#include "Text.h"

#include <cmath>

namespace skin {

namespace pal = palette;

void drawCap(Image& image, float x0, float y0, float x1, float y1, float radius, float brightness)
{
    const Box box{static_cast<int>(x0) - 3, static_cast<int>(y0) - 3, static_cast<int>(x1) + 4,
                  static_cast<int>(y1) + 4};
    image.glow(roundRect(x0, y0 + 1.5f, x1, y1 + 1.5f, radius), Rgba{0, 0, 0, 0.55f}, 2.5f, box);
    image.fill(roundRect(x0, y0, x1, y1, radius), rgb(8, 8, 9), box);
    image.fill(roundRect(x0 + 0.8f, y0 + 0.8f, x1 - 0.8f, y1 - 0.8f, radius - 0.6f),
               vertical(y0, scaled(pal::capTop, brightness), y1, scaled(pal::capBottom, brightness)), box);
    // A thin light rim on the upper edge of the cap.
    image.fill(subtract(roundRect(x0 + 0.8f, y0 + 0.8f, x1 - 0.8f, y1 - 0.8f, radius - 0.6f),
                        roundRect(x0 + 0.8f, y0 + 1.8f, x1 - 0.8f, y1 - 0.8f, radius - 0.6f)),
               Rgba{1, 1, 1, 0.18f * brightness}, box);
}

void drawLed(Image& image, float cx, float cy, float r, const Rgba& colour, bool lit, float glow)
{
    const Box box{static_cast<int>(cx - r - glow) - 1, static_cast<int>(cy - r - glow) - 1,
                  static_cast<int>(cx + r + glow) + 2, static_cast<int>(cy + r + glow) + 2};
    image.fill(circle(cx, cy, r + 0.9f), rgb(5, 5, 6), box);
    if (lit) {
        image.glow(circle(cx, cy, r), withAlpha(colour, 0.55f), glow, box);
        image.fill(circle(cx, cy, r), radial(cx - r * 0.25f, cy - r * 0.3f, r * 1.2f, pal::amberHot, colour), box);
        if (colour.r > 0.8f && colour.g < 0.3f) // a red lamp keeps a red-white core, not amber
            image.fill(circle(cx, cy, r), radial(cx - r * 0.25f, cy - r * 0.3f, r * 1.2f, rgb(255, 190, 170), colour), box);
    } else {
        image.fill(circle(cx, cy, r), radial(cx - r * 0.3f, cy - r * 0.35f, r * 1.3f, scaled(colour, 0.32f),
                                             scaled(colour, 0.10f)), box);
    }
    // The lens's specular spot.
    image.fill(circle(cx - r * 0.35f, cy - r * 0.4f, r * 0.3f), Rgba{1, 1, 1, lit ? 0.55f : 0.22f}, box);
}

void drawPlate(Image& image, int x0, int y0, int x1, int y1, bool roundLeft, bool roundRight)
{
    const float r = 2.5f;
    // Square ends where the plate continues (a picture that is the left part of a longer
    // plate), rounded elsewhere.
    Shape body = roundRect(x0 + (roundLeft ? 0.0f : -10.0f), static_cast<float>(y0),
                           x1 + (roundRight ? 0.0f : 10.0f), static_cast<float>(y1), r);
    image.fill(body, vertical(static_cast<float>(y0), rgb(4, 4, 5), static_cast<float>(y1), rgb(16, 16, 18)));
    // Inner shadow along the top edge and a faint lip of light along the bottom: the plate
    // sits below the panel surface.
    image.fill(intersect(body, Shape([=](float, float y) { return y - (y0 + 1.6f); })), Rgba{0, 0, 0, 0.8f});
    image.fill(intersect(body, Shape([=](float, float y) { return (y1 - 1.0f) - y; })),
               Rgba{1, 1, 1, 0.10f});
}

namespace {

// --- knob -------------------------------------------------------------------------------------

constexpr float kKnobFrom = -150, kKnobTo = 150; // 7 o'clock to 5 o'clock

void drawKnob(Image& image, float oy, float value)
{
    const float cx = 20, cy = oy + 20;
    const Box box{0, static_cast<int>(oy), 40, static_cast<int>(oy) + 40};
    // Value track and the lit arc up to the value.
    image.fill(arc(cx, cy, 17.2f, 1.8f, kKnobFrom, kKnobTo), rgb(5, 5, 6), box);
    image.fill(arc(cx, cy, 17.2f, 1.1f, kKnobFrom, kKnobTo), rgb(22, 22, 24), box);
    const float angle = kKnobFrom + (kKnobTo - kKnobFrom) * value;
    if (value > 0) {
        image.glow(arc(cx, cy, 17.2f, 0.9f, kKnobFrom, angle), withAlpha(pal::amber, 0.35f), 2.2f, box);
        image.fill(arc(cx, cy, 17.2f, 1.15f, kKnobFrom, angle), pal::amber, box);
    }
    // Shadow, skirt, cap.
    image.glow(circle(cx, cy + 1.5f, 12.5f), Rgba{0, 0, 0, 0.7f}, 3.0f, box);
    image.fill(circle(cx, cy, 13.0f), vertical(cy - 13, rgb(58, 59, 63), cy + 13, rgb(14, 14, 15)), box);
    image.fill(circle(cx, cy, 10.6f), rgb(10, 10, 11), box);
    image.fill(circle(cx, cy, 10.0f), [=](float x, float y) {
        // Spun aluminium: a conic sheen (two bright sectors, as a turned cap shows under one
        // lamp) over a soft light from the upper left.
        const float dx = x - cx, dy = y - cy;
        const float phi = std::atan2(dy, dx);
        const float conic = 0.5f + 0.5f * std::cos(2 * (phi + 0.8f));
        const float light = clamp01(0.55f - (dx * 0.5f + dy) / 26.0f);
        const float v = 0.13f + 0.10f * light + 0.13f * conic * conic;
        return Rgba{v, v * 1.01f, v * 1.05f, 1};
    }, box);
    image.fill(ring(cx, cy, 9.3f, 10.0f), Rgba{1, 1, 1, 0.07f}, box);
    // Pointer.
    const float a = angle * kPi / 180;
    const float sx = std::sin(a), sy = -std::cos(a);
    image.fill(segment(cx + sx * 3.5f, cy + sy * 3.5f, cx + sx * 11.5f, cy + sy * 11.5f, 1.05f), pal::legend, box);
}

Image knobStrip()
{
    Image image(40, 40 * 201);
    for (int k = 0; k <= 200; ++k)
        drawKnob(image, 40.0f * k, k / 200.0f);
    return image;
}

// --- buttons ------------------------------------------------------------------------------------

// A small square button with a glyph drawn by `glyph(image, colour, dy)`: raised with a
// cream icon, or pressed (sunk one pixel, darker, the icon lit).
template <typename Glyph>
Image smallButton(bool pressed, Glyph glyph)
{
    Image image(17, 17);
    const float dy = pressed ? 1.0f : 0.0f;
    drawCap(image, 1.5f, 1.0f + dy, 15.5f, 15.0f + dy, 2.5f, pressed ? 0.7f : 1.0f);
    if (pressed)
        image.glow(circle(8.5f, 8.5f, 3.0f), withAlpha(pal::amber, 0.25f), 5.0f, Box{0, 0, 17, 17});
    glyph(image, pressed ? pal::amberHot : pal::legend, dy);
    return image;
}

Image loadButton(bool pressed)
{
    return smallButton(pressed, [](Image& image, const Rgba& colour, float dy) {
        // A folder: its tab and its body.
        const Shape body = roundRect(4.0f, 6.0f + dy, 13.0f, 12.5f + dy, 0.8f);
        const Shape tab = roundRect(4.0f, 4.6f + dy, 8.2f, 7.0f + dy, 0.7f);
        image.fill(unite(body, tab), colour);
        image.fill(roundRect(4.0f, 7.4f + dy, 13.0f, 8.2f + dy, 0.2f), Rgba{0, 0, 0, 0.45f});
    });
}

Image arrowButton(bool next, bool pressed)
{
    return smallButton(pressed, [next](Image& image, const Rgba& colour, float dy) {
        const float tip = next ? 11.6f : 5.4f, back = next ? 6.2f : 10.8f;
        image.fill(polygon({back, 4.8f + dy, tip, 8.0f + dy, back, 11.2f + dy}), colour);
    });
}

// Two states stacked: frame 0 (off) on top, frame 1 (on) below.
template <typename Draw>
Image twoStates(int width, int frameHeight, Draw draw)
{
    Image image(width, frameHeight * 2);
    Image off(width, frameHeight), on(width, frameHeight);
    draw(off, false);
    draw(on, true);
    image.draw(off, 0, 0);
    image.draw(on, 0, frameHeight);
    return image;
}

Image soloButton()
{
    return twoStates(17, 17, [](Image& image, bool lit) {
        drawCap(image, 1.5f, 1.0f, 15.5f, 15.0f, 2.5f, lit ? 1.15f : 1.0f);
        if (lit)
            image.glow(circle(8.5f, 8.0f, 3.5f), withAlpha(pal::amber, 0.35f), 5.0f, Box{0, 0, 17, 17});
        Text::drawCentred(image, Face::SansBold, 9, "S", 8.5f, 11.5f, solid(lit ? pal::amberHot : pal::legendDim));
    });
}

Image blendButton()
{
    return twoStates(17, 17, [](Image& image, bool lit) { drawLed(image, 8.5f, 8.5f, 4.2f, pal::amber, lit, 4.0f); });
}

Image onOffSwitch()
{
    return twoStates(24, 32, [](Image& image, bool lit) {
        // A jewel pilot lamp in a chrome bezel.
        const Box box{0, 0, 24, 32};
        image.glow(circle(12, 17.5f, 10.5f), Rgba{0, 0, 0, 0.6f}, 2.5f, box);
        image.fill(circle(12, 16, 10.5f), vertical(5, rgb(200, 202, 206), 27, rgb(70, 72, 76)), box);
        image.fill(circle(12, 16, 8.6f), vertical(7, rgb(60, 62, 66), 25, rgb(190, 192, 196)), box);
        drawLed(image, 12, 16, 7.2f, pal::red, lit, 4.5f);
        if (lit) // facets catch the light
            image.fill(ring(12, 16, 3.5f, 4.2f), Rgba{1, 0.85f, 0.8f, 0.25f}, box);
    });
}

Image channelButton()
{
    return twoStates(27, 27, [](Image& image, bool right) {
        // A two-way selector: the pointer turns to the lit letter of the input in use.
        const Box box{0, 0, 27, 27};
        const float cx = 13.5f, cy = 15.5f;
        Text::drawCentred(image, Face::SansBold, 7, "L", 4.0f, 7.0f, solid(right ? pal::legendDim : pal::amber));
        Text::drawCentred(image, Face::SansBold, 7, "R", 23.0f, 7.0f, solid(right ? pal::amber : pal::legendDim));
        image.glow(circle(cx, cy + 1.5f, 8.5f), Rgba{0, 0, 0, 0.7f}, 2.5f, box);
        image.fill(circle(cx, cy, 8.8f), vertical(cy - 9, rgb(70, 72, 76), cy + 9, rgb(16, 16, 17)), box);
        const float a = (right ? 45.0f : -45.0f) * kPi / 180;
        image.fill(segment(cx + std::sin(a) * 2.0f, cy - std::cos(a) * 2.0f, cx + std::sin(a) * 7.2f,
                           cy - std::cos(a) * 7.2f, 1.1f),
                   pal::legend, box);
    });
}

Image phaseButton(bool even)
{
    // The even cabs' phase button stands 2 pixels further left than the rule would put it;
    // drawing its cap 2 pixels further right keeps it centred over its value label.
    const float shift = even ? 2.0f : 0.0f;
    return twoStates(22, 35, [shift](Image& image, bool lit) {
        const float x0 = 1.0f + shift, x1 = 15.0f + shift;
        drawCap(image, x0, 2.0f, x1, 27.0f, 3.0f, lit ? 1.1f : 1.0f);
        const float cx = (x0 + x1) / 2, cy = 11.0f;
        const Rgba c = lit ? pal::amber : pal::legendDim;
        if (lit)
            image.glow(circle(cx, cy, 3.5f), withAlpha(pal::amber, 0.3f), 4.0f, Box{0, 0, 22, 35});
        image.fill(ring(cx, cy, 2.6f, 3.7f), c);
        image.fill(segment(cx - 3.6f, cy + 4.2f, cx + 3.6f, cy - 4.2f, 0.6f), c);
        drawLed(image, cx, 21.5f, 1.8f, pal::amber, lit, 3.0f);
    });
}

Image bypassButton(bool even)
{
    Image odd = twoStates(58, 43, [](Image& image, bool lit) {
        drawCap(image, 3.0f, 4.0f, 55.0f, 31.0f, 3.5f, lit ? 1.08f : 1.0f);
        drawLed(image, 11.5f, 17.5f, 3.0f, pal::amber, lit, 5.0f);
        Text::drawCentred(image, Face::SansBold, 7.5f, "ACTIVE", 34.0f, 20.5f,
                          solid(lit ? pal::legend : pal::legendDim), 0.6f);
    });
    if (!even)
        return odd;
    // Mirrored so the LED faces its own cab; the text is drawn again the right way round.
    return twoStates(58, 43, [](Image& image, bool lit) {
        drawCap(image, 3.0f, 4.0f, 55.0f, 31.0f, 3.5f, lit ? 1.08f : 1.0f);
        drawLed(image, 46.5f, 17.5f, 3.0f, pal::amber, lit, 5.0f);
        Text::drawCentred(image, Face::SansBold, 7.5f, "ACTIVE", 24.0f, 20.5f,
                          solid(lit ? pal::legend : pal::legendDim), 0.6f);
    });
}

Image linkButton()
{
    return twoStates(57, 49, [](Image& image, bool lit) {
        drawCap(image, 6.0f, 12.0f, 51.0f, 37.0f, 4.0f, lit ? 1.08f : 1.0f);
        const Rgba c = lit ? pal::amber : pal::legendDim;
        const Box box{0, 0, 57, 49};
        if (lit)
            image.glow(roundRect(19, 21, 38, 28, 3.5f), withAlpha(pal::amber, 0.3f), 5.0f, box);
        // Two chain links.
        image.fill(subtract(roundRect(17.5f, 20.5f, 30.0f, 28.5f, 4.0f), roundRect(19.5f, 22.5f, 28.0f, 26.5f, 2.0f)), c, box);
        image.fill(subtract(roundRect(27.0f, 20.5f, 39.5f, 28.5f, 4.0f), roundRect(29.0f, 22.5f, 37.5f, 26.5f, 2.0f)), c, box);
    });
}

Image plate(int width, int height, bool alpha, bool roundLeft, bool roundRight)
{
    Image image(width, height);
    if (!alpha) // an RGB picture: opaque corners in the plate's own dark
        image.fill(roundRect(-1, -1, width + 1.0f, height + 1.0f, 0.1f), rgb(10, 10, 11));
    drawPlate(image, 0, 0, width, height, roundLeft, roundRight);
    return image;
}

Image menuPlate()
{
    Image image = plate(232, 17, true, true, true);
    image.fill(polygon({221.5f, 7.0f, 227.5f, 7.0f, 224.5f, 10.5f}), pal::legendDim);
    return image;
}

} // namespace

Image pressedPicture(int id)
{
    switch (id) {
    case 1: return loadButton(true);
    case 2: return arrowButton(false, true);
    case 3: return arrowButton(true, true);
    default: return Image();
    }
}

Image picture(int id)
{
    switch (id) {
    case 1: return loadButton(false);
    case 2: return arrowButton(false, false);
    case 3: return arrowButton(true, false);
    case 4: return knobStrip();
    case 5: return channelButton();
    case 6: return onOffSwitch();
    case 7: return bypassButton(false);
    case 8: return phaseButton(false);
    case 9: return bypassButton(true);
    case 10: return phaseButton(true);
    case 11: case 12: case 13: return linkButton();
    case 14: return plate(232, 17, true, true, false); // the left part of the 267-pixel folder plate
    case 15: case 21: return menuPlate();
    case 16: return plate(45, 15, true, false, false); // square: neighbouring value labels overlap
    case 17: case 18: case 19: return plate(289, 36, false, true, true);
    case 20: return plate(267, 17, false, true, true);
    case 22: return soloButton();
    case 23: return blendButton();
    default: return Image();
    }
}

} // namespace skin
