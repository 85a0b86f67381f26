#include "gui/PngWriter.h"

#include "platform/OutputFile.h"

#include <png.h>

#include <cstring>
#include <string>

namespace gui {

namespace {

void appendToVector(png_structp png, png_bytep data, png_size_t count)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}

void flushNothing(png_structp) {}

[[noreturn]] void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

std::uint8_t unpremultiply(std::uint32_t c, std::uint32_t a)
{
    const std::uint32_t v = (c * 255 + a / 2) / a;
    return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

// Nothing with a destructor lives in this frame (the error jumps back into it).
bool encodeRows(png_structp png, png_infop info, const Pixels& image, std::vector<std::uint8_t>& out,
                std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &out, appendToVector, flushNothing);
    const auto width = static_cast<png_uint_32>(image.getWidth());
    const auto height = static_cast<png_uint_32>(image.getHeight());
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (png_uint_32 y = 0; y < height; ++y) {
        const std::uint32_t* src = image.row(static_cast<std::int32_t>(y));
        for (png_uint_32 x = 0; x < width; ++x) {
            const std::uint32_t p = src[x];
            const std::uint32_t a = Pixels::alpha(p);
            png_byte* d = row.data() + 4 * x;
            if (a == 0) {
                d[0] = d[1] = d[2] = d[3] = 0;
            } else {
                d[0] = unpremultiply(Pixels::red(p), a);
                d[1] = unpremultiply(Pixels::green(p), a);
                d[2] = unpremultiply(Pixels::blue(p), a);
                d[3] = static_cast<png_byte>(a);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool PngWriter::writeMemory(const Pixels& image, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (image.isEmpty())
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(image.getWidth()) * 4u);
    const bool ok = encodeRows(png, info, image, out, row);
    png_destroy_write_struct(&png, &info);
    if (!ok)
        out.clear();
    return ok;
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
