// The generator's drawing code: a floating-point RGBA image with premultiplied alpha and
// shapes given as signed distance functions, filled with 4 x 4 supersampling per pixel so
// that every edge comes out smooth. Everything here is plain arithmetic on floats (no
// random numbers, no clocks), so the same program always draws the same pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace skin {

// A colour with straight (not premultiplied) alpha, channels in [0, 1].
struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba rgb(int r, int g, int b, float a = 1.0f);
Rgba mix(const Rgba& a, const Rgba& b, float t);
Rgba withAlpha(Rgba c, float a);
Rgba scaled(Rgba c, float k); // brighter (k > 1) or darker (k < 1), alpha kept

// Signed distance in pixels from (x, y) to a shape's outline: negative inside.
using Shape = std::function<float(float x, float y)>;
// The colour a fill lays down at (x, y).
using Paint = std::function<Rgba(float x, float y)>;

// The pixel rectangle a fill visits (x0, y0 inclusive; x1, y1 exclusive).
struct Box {
    int x0, y0, x1, y1;
};

class Image {
public:
    Image() = default;
    Image(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // Source-over of colour c with the given coverage (0..1) onto pixel (x, y).
    void blend(int x, int y, const Rgba& c, float coverage);
    // Straight-alpha colour of a pixel.
    Rgba at(int x, int y) const;

    // Fills a shape, sampling it 16 times per pixel near its edge.
    void fill(const Shape& shape, const Paint& paint);
    void fill(const Shape& shape, const Rgba& colour);
    void fill(const Shape& shape, const Paint& paint, const Box& box);
    void fill(const Shape& shape, const Rgba& colour, const Box& box);
    // Lays a soft halo: alpha falls off with the distance outside the shape (and is full
    // inside it), over `radius` pixels.
    void glow(const Shape& shape, const Rgba& colour, float radius, const Box& box);

    // Source-over of another image with its top-left corner at (x, y).
    void draw(const Image& source, int x, int y, float opacity = 1.0f);
    // Multiplies the alpha of every pixel by the coverage of `mask` (a cut-out).
    void clipTo(const Shape& mask);
    Image crop(int x, int y, int width, int height) const;
    Image flippedHorizontally() const;

    // 8-bit straight-alpha RGBA rows, top row first, rounded to the nearest value.
    std::vector<std::uint8_t> rgba8() const;

private:
    int width_ = 0, height_ = 0;
    std::vector<float> pixels_; // premultiplied r, g, b, a per pixel, rows top first
};

// --- shapes ---------------------------------------------------------------------------------
Shape circle(float cx, float cy, float r);
Shape ring(float cx, float cy, float inner, float outer);
Shape roundRect(float x0, float y0, float x1, float y1, float radius);
Shape segment(float x0, float y0, float x1, float y1, float halfWidth); // round caps
// An arc of radius r and half width hw between two angles in degrees, measured clockwise
// from 12 o'clock, with round caps.
Shape arc(float cx, float cy, float r, float hw, float fromDeg, float toDeg);
Shape polygon(std::vector<float> xy); // x0, y0, x1, y1, ... (any winding)
Shape unite(Shape a, Shape b);
Shape intersect(Shape a, Shape b);
Shape subtract(Shape a, Shape b);
Shape offset(Shape a, float dx, float dy);
Shape grow(Shape a, float by); // positive: larger

// --- paints -----------------------------------------------------------------------------------
Paint solid(Rgba c);
Paint vertical(float y0, Rgba c0, float y1, Rgba c1);
Paint radial(float cx, float cy, float r, Rgba inner, Rgba outer);

// --- deterministic noise ----------------------------------------------------------------------
// A hash of integer coordinates to [0, 1).
float hash01(std::int32_t x, std::int32_t y, std::uint32_t seed);
// Smooth value noise at (x, y) in lattice units, in [0, 1).
float valueNoise(float x, float y, std::uint32_t seed);

constexpr float kPi = 3.14159265358979f;
float clamp01(float v);

} // namespace skin
