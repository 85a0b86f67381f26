#include "gui/PngWriter.h"

#include "platform/OutputFile.h"
#include "support/PngEncoder.h"

#include <string>

namespace gui {

namespace {

std::uint8_t unpremultiply(std::uint32_t c, std::uint32_t a)
{
    const std::uint32_t v = (c * 255 + a / 2) / a;
    return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

} // namespace

bool PngWriter::writeMemory(const Pixels& image, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (image.isEmpty())
        return false;
    const std::int32_t width = image.getWidth();
    const std::int32_t height = image.getHeight();
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u);
    std::uint8_t* d = rgba.data();
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint32_t* src = image.row(y);
        for (std::int32_t x = 0; x < width; ++x, d += 4) {
            const std::uint32_t p = src[x];
            const std::uint32_t a = Pixels::alpha(p);
            if (a == 0) {
                d[0] = d[1] = d[2] = d[3] = 0;
            } else {
                d[0] = unpremultiply(Pixels::red(p), a);
                d[1] = unpremultiply(Pixels::green(p), a);
                d[2] = unpremultiply(Pixels::blue(p), a);
                d[3] = static_cast<std::uint8_t>(a);
            }
        }
    }
    out = support::encodePng(width, height, rgba.data(), true);
    return !out.empty();
}

bool PngWriter::writeFile(const Pixels& image, const char* path)
{
    if (path == nullptr || *path == '\0')
        return false;
    std::vector<std::uint8_t> bytes;
    if (!writeMemory(image, bytes))
        return false;
    // Never removes or renames over what the name held (a host may hand us /dev/null).
    std::string error;
    return platform::writeOutputFile(path, bytes.data(), bytes.size(), error);
}

} // namespace gui
