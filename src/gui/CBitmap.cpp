#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"
#include "platform/Platform.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace gui {

namespace {

// Largest picture accepted, so that a corrupt or hostile header cannot ask for gigabytes:
// each side at most 32768 pixels and at most 16M pixels in all (the editor's largest picture,
// a 40 x 8040 strip, is far below).
constexpr std::uint32_t kMaxSide = 32768;
constexpr std::uint64_t kMaxPixels = 16u * 1024u * 1024u;

bool sizeAcceptable(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

// --- PNG -----------------------------------------------------------------------------------

// The resource bytes libpng reads from. A request that runs past the end copies nothing and
// raises libpng's error, which ends the decoding (libpng has no other way to learn that the
// data ran out, and would otherwise decode whatever its buffer held).
struct PngSource {
    const std::uint8_t* bytes = nullptr; // resource bytes
    std::size_t size = 0;                // their count
    std::size_t cursor = 0;              // next byte to hand out
};

void readFromMemory(png_structp png, png_bytep destination, png_size_t count)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->cursor)
        png_error(png, "read past the end of the picture");
    std::memcpy(destination, source->bytes + source->cursor, count);
    source->cursor += count;
}

// libpng's default handlers print to stderr; a plug-in has no console, so errors only end
// the decoding and warnings are dropped.
[[noreturn]] void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// What the decoding has produced so far; lives outside the setjmp frame.
struct PngResult {
    // Volatile: written after setjmp and read after the error's long jump.
    volatile std::uint32_t width = 0;  // picture columns, once the header is read
    volatile std::uint32_t height = 0; // picture rows, once the header is read
    std::vector<png_byte> rows;      // height rows of width * 4 bytes: blue, green, red, alpha
    std::vector<png_bytep> rowPointers; // into rows
};

// Returns true when the whole picture was decoded. On an error, `result` keeps the header
// and whatever rows were decoded before it. Nothing with a destructor lives in this frame,
// so the error's long jump back into it skips no clean-up.
bool decodePngRows(png_structp png, png_infop info, PngResult& result)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (!sizeAcceptable(width, height))
        return false;

    // Conversions to 8-bit blue, green, red, alpha.
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS) != 0)
        png_set_tRNS_to_alpha(png);
    else
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER); // no effect where an alpha channel exists
    if (bitDepth == 16) {
        png_set_swap(png);
        png_set_strip_16(png);
    }
    // Blue-green-red order for every colour type, palette pictures included (their entries
    // are red, green, blue too; without the swap their red and blue would trade places).
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4u)
        return false;

    const std::size_t stride = static_cast<std::size_t>(width) * 4u;
    result.rows.assign(stride * height, 0);
    result.rowPointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        result.rowPointers[y] = result.rows.data() + stride * y;
    result.width = width;
    result.height = height;
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, result.rowPointers[y], nullptr);
    png_read_end(png, nullptr);
    return true;
}

// --- BMP -----------------------------------------------------------------------------------

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
           | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

bool CBitmap::decodePng(const std::uint8_t* bytes, std::size_t size, Pixels& out)
{
    out.clear();
    if (bytes == nullptr || size < 8)
        return false;
    // Debian ships libpng 1.6; the structures are created for the version this code was
    // compiled against (PNG_LIBPNG_VER_STRING) rather than the 1.2 series the pictures were
    // first made with: the PNG format and the conversions used here are the same.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngSource source{bytes, size, 0};
    png_set_read_fn(png, &source, readFromMemory);
    PngResult result;
    decodePngRows(png, info, result); // a corrupt picture keeps the rows read before the error
    png_destroy_read_struct(&png, &info, nullptr);
    if (result.width == 0 || result.height == 0)
        return false; // nothing usable: not even the header

    // Premultiply: c' = (c * a) >> 8, and all four bytes 0 where a = 0. Rows never reached
    // by a broken decoding stay all zero.
    const std::uint32_t width = result.width, height = result.height;
    out.create(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    for (std::uint32_t y = 0; y < height; ++y) {
        const png_byte* src = result.rowPointers[y];
        std::uint32_t* dst = out.row(static_cast<std::int32_t>(y));
        for (std::uint32_t x = 0; x < width; ++x, src += 4) {
            const std::uint32_t a = src[3];
            dst[x] = a == 0 ? 0u
                            : Pixels::pack(static_cast<std::uint8_t>((src[0] * a) >> 8),
                                           static_cast<std::uint8_t>((src[1] * a) >> 8),
                                           static_cast<std::uint8_t>((src[2] * a) >> 8), static_cast<std::uint8_t>(a));
        }
    }
    return true;
}

bool CBitmap::decodeBmp(const std::uint8_t* bytes, std::size_t size, Pixels& out)
{
    out.clear();
    if (bytes == nullptr)
        return false;
    std::size_t header = 0;        // start of the BITMAPINFOHEADER
    std::size_t pixelOffset = 0;   // start of the pixels; 0: right after header and colour table
    if (size >= 14 && bytes[0] == 'B' && bytes[1] == 'M') {
        header = 14;
        pixelOffset = le32(bytes + 10);
    }
    if (size < header + 40)
        return false;
    const std::uint8_t* h = bytes + header;
    const std::uint32_t headerSize = le32(h);
    const std::int32_t width = static_cast<std::int32_t>(le32(h + 4));
    const std::int32_t rawHeight = static_cast<std::int32_t>(le32(h + 8));
    const std::uint16_t planes = le16(h + 12);
    const std::uint16_t bitCount = le16(h + 14);
    const std::uint32_t compression = le32(h + 16);
    const std::uint32_t colorsUsed = le32(h + 32);
    if (headerSize < 40 || headerSize > size - header || planes != 1 || compression != 0 /* BI_RGB */
        || (bitCount != 24 && bitCount != 32) || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        return false;
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (!sizeAcceptable(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
        return false;
    if (pixelOffset == 0)
        pixelOffset = header + headerSize + static_cast<std::size_t>(std::min<std::uint32_t>(colorsUsed, 256)) * 4;
    const std::size_t bytesPerPixel = bitCount / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~static_cast<std::size_t>(3);
    if (pixelOffset > size || stride * static_cast<std::size_t>(height) > size - pixelOffset)
        return false;
    out.create(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        // Rows are stored bottom-up unless the height is negative.
        const std::uint8_t* src = bytes + pixelOffset + stride * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        std::uint32_t* dst = out.row(y);
        for (std::int32_t x = 0; x < width; ++x, src += bytesPerPixel)
            dst[x] = Pixels::pack(src[0], src[1], src[2], 255);
    }
    return true;
}

CBitmap::CBitmap(std::int32_t resourceID) : resourceID_(resourceID)
{
    noAlpha_ = true;
    loadFromResource(resourceID); // a missing picture just stays empty
    transparentColor_ = kTransparentCColor;
}

CBitmap::CBitmap(const Pixels& pixels, bool noAlpha) : noAlpha_(noAlpha)
{
    if (!pixels.isEmpty()) {
        image_ = std::make_unique<Pixels>(pixels);
        width_ = pixels.getWidth();
        height_ = pixels.getHeight();
    }
}

CBitmap::~CBitmap() { dispose(); }

void CBitmap::dispose()
{
    image_.reset();
    mask_.reset();
    width_ = 0;
    height_ = 0;
    noAlpha_ = false;
}

bool CBitmap::loadFromResource(std::int32_t resourceID)
{
    dispose();
    platform::ResourceBytes png = platform::findResource(platform::kPngResourceType, resourceID);
    if (png.data != nullptr) {
        // A PNG resource that cannot be decoded at all (not even its header) counts as a
        // failed load rather than as a done one: the bitmap stays empty either way, and the
        // caller learns the truth.
        auto image = std::make_unique<Pixels>();
        if (!decodePng(png.data, png.size, *image))
            return false;
        width_ = image->getWidth();
        height_ = image->getHeight();
        image_ = std::move(image);
        noAlpha_ = false;
        return true;
    }
    // The background is a Windows bitmap resource. On every system it is decoded by the
    // same reader (on Windows from the module's RT_BITMAP resource), so both builds draw
    // the same pixels.
    platform::ResourceBytes bmp = platform::findResource(platform::kBitmapResourceType, resourceID);
    if (bmp.data == nullptr)
        return false;
    auto image = std::make_unique<Pixels>();
    if (!decodeBmp(bmp.data, bmp.size, *image))
        return false;
    width_ = image->getWidth();
    height_ = image->getHeight();
    image_ = std::move(image);
    noAlpha_ = true;
    return true;
}

bool CBitmap::loadFromPath(const void*)
{
    dispose();
    return false;
}

void CBitmap::setMask(const Pixels* mask)
{
    if (mask == nullptr || mask->isEmpty())
        mask_.reset();
    else
        mask_ = std::make_unique<Pixels>(*mask);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    if (context == nullptr || !image_)
        return;
    if (!noAlpha_)
        drawAlphaBlend(context, rect, offset, 255);
    else
        context->blitCopy(*image_, rect, offset);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    if (context == nullptr || !image_)
        return;
    if (!noAlpha_)
        drawAlphaBlend(context, rect, offset, 255);
    else if (mask_)
        context->blitMasked(*image_, *mask_, rect, offset);
    else
        context->blitKeyed(*image_, rect, offset, transparentColor_);
}

// The blend is the toolkit's own (CDrawContext::blitAlphaBlend), so it is available on every
// system: there is no blending library that could be missing.
void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset, std::uint8_t alpha)
{
    if (context == nullptr || !image_)
        return;
    context->blitAlphaBlend(*image_, rect, offset, alpha, !noAlpha_);
}

} // namespace gui
