#include "PngFile.h"

#include "support/PngEncoder.h"

namespace cli {

bool writePngFile(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels,
                  std::string& error)
{
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        error = "no pixels to write";
        return false;
    }
    std::vector<unsigned char> rgba(pixels.size() * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        rgba[i * 4 + 0] = static_cast<unsigned char>(pixels[i] >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(pixels[i]);
        rgba[i * 4 + 3] = 0xFF;
    }
    return support::writePngFile(path, width, height, rgba.data(), false, error);
}

} // namespace cli
