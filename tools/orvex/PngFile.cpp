#include "PngFile.h"

#include "platform/OutputFile.h"

#include <png.h>

namespace cli {

bool writePngFile(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels,
                  std::string& error)
{
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        error = "no pixels to write";
        return false;
    }
    std::vector<unsigned char> rgb(pixels.size() * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        rgb[i * 3 + 0] = static_cast<unsigned char>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // Encoded in memory first: the file is then written in one go by the one writer that
    // knows devices, FIFOs and standard output from files.
    png_alloc_size_t size = 0;
    std::vector<unsigned char> encoded;
    if (png_image_write_get_memory_size(image, size, 0, rgb.data(), width * 3, nullptr)) {
        encoded.resize(size);
        if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), width * 3, nullptr))
            encoded.clear();
    }
    if (encoded.empty()) {
        error = "cannot encode the picture for " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return platform::writeOutputFile(path, encoded.data(), size, error);
}

} // namespace cli
