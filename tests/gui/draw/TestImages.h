// Small pictures made in the tests themselves: PNG bytes of any colour type and depth
// (libpng, into memory), Windows bitmap bytes, and a PNG reader for golden files.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testimages {

struct PngRecipe {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int compression = -1;                       // zlib level; 0 stores rows uncompressed
    std::size_t chunkSize = 0;                  // IDAT chunk size (0: libpng's default)
    std::vector<png_color> palette;             // colour type 3
    std::vector<png_byte> trnsAlpha;            // tRNS for palette entries
    bool trnsColor = false;                     // tRNS single colour for grey / RGB
    png_color_16 trnsValue{};                   // that colour
    std::vector<std::vector<png_byte>> rows;    // packed rows in the PNG's own format
};

inline void appendBytes(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
inline void noFlush(png_structp) {}

inline std::vector<std::uint8_t> encodePng(const PngRecipe& recipe)
{
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, noFlush);
    if (recipe.compression >= 0)
        png_set_compression_level(png, recipe.compression);
    if (recipe.chunkSize > 0)
        png_set_compression_buffer_size(png, recipe.chunkSize);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!recipe.palette.empty())
        png_set_PLTE(png, info, recipe.palette.data(), static_cast<int>(recipe.palette.size()));
    if (!recipe.trnsAlpha.empty())
        png_set_tRNS(png, info, recipe.trnsAlpha.data(), static_cast<int>(recipe.trnsAlpha.size()), nullptr);
    if (recipe.trnsColor) {
        png_color_16 value = recipe.trnsValue;
        png_set_tRNS(png, info, nullptr, 0, &value);
    }
    png_write_info(png, info);
    if (recipe.compression == 0)
        png_set_filter(png, 0, PNG_FILTER_NONE);
    for (const auto& row : recipe.rows)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A Windows bitmap, 24 bits per pixel, bottom-up rows padded to 4 bytes. pixels: top row
// first, 0xRRGGBB. withFileHeader: a whole .bmp file; else a resource's bare DIB.
inline std::vector<std::uint8_t> encodeBmp24(std::int32_t width, std::int32_t height,
                                             const std::vector<std::uint32_t>& pixels, bool withFileHeader)
{
    auto put32 = [](std::vector<std::uint8_t>& v, std::uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    };
    auto put16 = [](std::vector<std::uint8_t>& v, std::uint16_t x) {
        v.push_back(static_cast<std::uint8_t>(x));
        v.push_back(static_cast<std::uint8_t>(x >> 8));
    };
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    std::vector<std::uint8_t> out;
    if (withFileHeader) {
        out.push_back('B');
        out.push_back('M');
        put32(out, 14 + 40 + stride * height);
        put32(out, 0);
        put32(out, 14 + 40);
    }
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, stride * height);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (std::int32_t y = height - 1; y >= 0; --y) {
        std::uint32_t written = 0;
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            out.push_back(static_cast<std::uint8_t>(p));
            out.push_back(static_cast<std::uint8_t>(p >> 8));
            out.push_back(static_cast<std::uint8_t>(p >> 16));
            written += 3;
        }
        for (; written < stride; ++written)
            out.push_back(0);
    }
    return out;
}

// Reads a PNG file as 8-bit RGBA (libpng's simplified interface); empty on failure.
struct Rgba {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bytes; // width * height * 4
};
inline Rgba readPngFile(const std::string& path)
{
    Rgba result;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return result;
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
        png_image_free(&image);
        return result;
    }
    result.width = image.width;
    result.height = image.height;
    result.bytes = std::move(bytes);
    return result;
}

} // namespace testimages
