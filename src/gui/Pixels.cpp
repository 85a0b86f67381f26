#include "gui/Pixels.h"

#include <algorithm>

namespace gui {

void Pixels::create(std::int32_t width, std::int32_t height, std::uint32_t fill)
{
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    if (width_ == 0 || height_ == 0)
        width_ = height_ = 0;
    data_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill);
}

void Pixels::clear()
{
    width_ = height_ = 0;
    std::vector<std::uint32_t>().swap(data_);
}

std::uint32_t Pixels::getPixel(std::int32_t x, std::int32_t y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return row(y)[x];
}

void Pixels::setPixel(std::int32_t x, std::int32_t y, std::uint32_t value)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    row(y)[x] = value;
}

} // namespace gui
