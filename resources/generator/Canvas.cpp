#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace skin {

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

Rgba rgb(int r, int g, int b, float a) { return Rgba{r / 255.0f, g / 255.0f, b / 255.0f, a}; }

Rgba mix(const Rgba& a, const Rgba& b, float t)
{
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba withAlpha(Rgba c, float a)
{
    c.a = a;
    return c;
}

Rgba scaled(Rgba c, float k) { return Rgba{clamp01(c.r * k), clamp01(c.g * k), clamp01(c.b * k), c.a}; }

Image::Image(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 4, 0.0f)
{
}

void Image::blend(int x, int y, const Rgba& c, float coverage)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    const float a = clamp01(c.a * coverage);
    if (a <= 0)
        return;
    float* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    const float keep = 1 - a;
    p[0] = c.r * a + p[0] * keep;
    p[1] = c.g * a + p[1] * keep;
    p[2] = c.b * a + p[2] * keep;
    p[3] = a + p[3] * keep;
}

Rgba Image::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return {};
    const float* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    if (p[3] <= 0)
        return {};
    return Rgba{p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

namespace {

// Coverage of a pixel by a shape: whole or nothing away from the edge (a distance beyond
// half the pixel's diagonal), else the share of a 4 x 4 grid of samples inside.
float coverage(const Shape& shape, int x, int y)
{
    const float d = shape(x + 0.5f, y + 0.5f);
    if (d <= -0.75f)
        return 1.0f;
    if (d >= 0.75f)
        return 0.0f;
    int inside = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
            if (shape(x + (sx + 0.5f) / 4.0f, y + (sy + 0.5f) / 4.0f) < 0)
                ++inside;
    return inside / 16.0f;
}

} // namespace

void Image::fill(const Shape& shape, const Paint& paint, const Box& box)
{
    const int x0 = std::max(0, box.x0), y0 = std::max(0, box.y0);
    const int x1 = std::min(width_, box.x1), y1 = std::min(height_, box.y1);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const float c = coverage(shape, x, y);
            if (c > 0)
                blend(x, y, paint(x + 0.5f, y + 0.5f), c);
        }
}

void Image::fill(const Shape& shape, const Paint& paint) { fill(shape, paint, Box{0, 0, width_, height_}); }

void Image::fill(const Shape& shape, const Rgba& colour) { fill(shape, solid(colour)); }

void Image::fill(const Shape& shape, const Rgba& colour, const Box& box) { fill(shape, solid(colour), box); }

void Image::glow(const Shape& shape, const Rgba& colour, float radius, const Box& box)
{
    const int x0 = std::max(0, box.x0), y0 = std::max(0, box.y0);
    const int x1 = std::min(width_, box.x1), y1 = std::min(height_, box.y1);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const float d = std::max(0.0f, shape(x + 0.5f, y + 0.5f));
            const float t = clamp01(1 - d / radius);
            blend(x, y, colour, t * t);
        }
}

void Image::draw(const Image& source, int x, int y, float opacity)
{
    for (int sy = 0; sy < source.height_; ++sy)
        for (int sx = 0; sx < source.width_; ++sx) {
            const Rgba c = source.at(sx, sy);
            if (c.a > 0)
                blend(x + sx, y + sy, c, opacity);
        }
}

void Image::clipTo(const Shape& mask)
{
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const float c = coverage(mask, x, y);
            float* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
            for (int i = 0; i < 4; ++i)
                p[i] *= c;
        }
}

Image Image::crop(int x, int y, int width, int height) const
{
    Image out(width, height);
    for (int yy = 0; yy < height; ++yy)
        for (int xx = 0; xx < width; ++xx) {
            const int sx = x + xx, sy = y + yy;
            if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_)
                continue;
            for (int i = 0; i < 4; ++i)
                out.pixels_[(static_cast<std::size_t>(yy) * width + xx) * 4 + i]
                    = pixels_[(static_cast<std::size_t>(sy) * width_ + sx) * 4 + i];
        }
    return out;
}

Image Image::flippedHorizontally() const
{
    Image out(width_, height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            for (int i = 0; i < 4; ++i)
                out.pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4 + i]
                    = pixels_[(static_cast<std::size_t>(y) * width_ + (width_ - 1 - x)) * 4 + i];
    return out;
}

std::vector<std::uint8_t> Image::rgba8() const
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width_) * height_ * 4);
    auto byte = [](float v) { return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0f)); };
    for (std::size_t i = 0; i < out.size() / 4; ++i) {
        const float* p = &pixels_[i * 4];
        const std::uint8_t a = byte(p[3]);
        if (a == 0) {
            out[i * 4] = out[i * 4 + 1] = out[i * 4 + 2] = out[i * 4 + 3] = 0;
            continue;
        }
        out[i * 4] = byte(p[0] / p[3]);
        out[i * 4 + 1] = byte(p[1] / p[3]);
        out[i * 4 + 2] = byte(p[2] / p[3]);
        out[i * 4 + 3] = a;
    }
    return out;
}

// --- shapes ---------------------------------------------------------------------------------

Shape circle(float cx, float cy, float r)
{
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape ring(float cx, float cy, float inner, float outer)
{
    const float mid = (inner + outer) / 2, half = (outer - inner) / 2;
    return [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - mid) - half; };
}

Shape roundRect(float x0, float y0, float x1, float y1, float radius)
{
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](float x, float y) {
        const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Shape segment(float x0, float y0, float x1, float y1, float halfWidth)
{
    return [=](float x, float y) {
        const float dx = x1 - x0, dy = y1 - y0;
        const float len2 = dx * dx + dy * dy;
        float t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0;
        t = clamp01(t);
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - halfWidth;
    };
}

Shape arc(float cx, float cy, float r, float hw, float fromDeg, float toDeg)
{
    const float a0 = fromDeg * kPi / 180, a1 = toDeg * kPi / 180;
    const float ex0 = cx + r * std::sin(a0), ey0 = cy - r * std::cos(a0);
    const float ex1 = cx + r * std::sin(a1), ey1 = cy - r * std::cos(a1);
    return [=](float x, float y) {
        const float dx = x - cx, dy = y - cy;
        const float angle = std::atan2(dx, -dy); // clockwise from 12 o'clock
        if (angle >= a0 && angle <= a1)
            return std::fabs(std::hypot(dx, dy) - r) - hw;
        return std::min(std::hypot(x - ex0, y - ey0), std::hypot(x - ex1, y - ey1)) - hw;
    };
}

Shape polygon(std::vector<float> xy)
{
    return [xy = std::move(xy)](float x, float y) {
        const std::size_t n = xy.size() / 2;
        float best = 1e30f;
        bool inside = false;
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            const float ex = xj - xi, ey = yj - yi, wx = x - xi, wy = y - yi;
            const float len2 = ex * ex + ey * ey;
            const float t = len2 > 0 ? clamp01((wx * ex + wy * ey) / len2) : 0;
            best = std::min(best, std::hypot(wx - ex * t, wy - ey * t));
            if ((yi > y) != (yj > y) && x < xi + (y - yi) * (xj - xi) / (yj - yi))
                inside = !inside;
        }
        return inside ? -best : best;
    };
}

Shape unite(Shape a, Shape b)
{
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Shape intersect(Shape a, Shape b)
{
    return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Shape subtract(Shape a, Shape b)
{
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Shape offset(Shape a, float dx, float dy)
{
    return [=](float x, float y) { return a(x - dx, y - dy); };
}

Shape grow(Shape a, float by)
{
    return [=](float x, float y) { return a(x, y) - by; };
}

// --- paints -----------------------------------------------------------------------------------

Paint solid(Rgba c)
{
    return [=](float, float) { return c; };
}

Paint vertical(float y0, Rgba c0, float y1, Rgba c1)
{
    return [=](float, float y) { return mix(c0, c1, clamp01((y - y0) / (y1 - y0))); };
}

Paint radial(float cx, float cy, float r, Rgba inner, Rgba outer)
{
    return [=](float x, float y) { return mix(inner, outer, clamp01(std::hypot(x - cx, y - cy) / r)); };
}

// --- noise ------------------------------------------------------------------------------------

float hash01(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8da6b343u ^ static_cast<std::uint32_t>(y) * 0xd8163841u
                      ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return static_cast<float>(h >> 8) / 16777216.0f;
}

float valueNoise(float x, float y, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = hash01(ix, iy, seed), b = hash01(ix + 1, iy, seed);
    const float c = hash01(ix, iy + 1, seed), d = hash01(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

} // namespace skin
