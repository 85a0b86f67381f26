// A 32-bit image in memory: one std::uint32_t per pixel, 0xAARRGGBB, so the bytes in memory
// are blue, green, red, alpha (the layout of a Windows 32-bit DIB). Colour channels are
// premultiplied by alpha. Rows are stored top-down (row 0 is the top of the picture): on
// Windows a DIB is bottom-up, but nothing outside this class sees the memory order, and the
// pixels drawn are the same.
// Set-up (create) allocates; every other operation works in place.
#pragma once

#include <cstdint>
#include <vector>

namespace gui {

class Pixels {
public:
    Pixels() = default;
    Pixels(std::int32_t width, std::int32_t height, std::uint32_t fill = 0) { create(width, height, fill); }

    // Re-sizes to width x height (negative sizes count as 0) and fills every pixel.
    void create(std::int32_t width, std::int32_t height, std::uint32_t fill = 0);
    void clear(); // 0 x 0, memory released

    std::int32_t getWidth() const { return width_; }
    std::int32_t getHeight() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }

    // Row pointers; y must be in 0..height-1.
    std::uint32_t* row(std::int32_t y) { return data_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }
    const std::uint32_t* row(std::int32_t y) const { return data_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }
    std::uint32_t* data() { return data_.data(); }
    const std::uint32_t* data() const { return data_.data(); }

    // Bounds-checked access: reads 0 outside, writes nothing outside.
    std::uint32_t getPixel(std::int32_t x, std::int32_t y) const;
    void setPixel(std::int32_t x, std::int32_t y, std::uint32_t value);

    // Packing helpers.
    static constexpr std::uint32_t pack(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
    {
        return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(r) << 16)
               | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
    }
    static constexpr std::uint8_t blue(std::uint32_t p) { return static_cast<std::uint8_t>(p); }
    static constexpr std::uint8_t green(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 8); }
    static constexpr std::uint8_t red(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 16); }
    static constexpr std::uint8_t alpha(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 24); }

private:
    std::int32_t width_ = 0;          // columns
    std::int32_t height_ = 0;         // rows
    std::vector<std::uint32_t> data_; // width_ * height_ pixels, top row first
};

} // namespace gui
