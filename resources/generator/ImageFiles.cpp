#include "ImageFiles.h"

#include "platform/OutputFile.h"
#include "support/PngEncoder.h"

namespace skin {

namespace {

void put32le(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put16le(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace

std::vector<std::uint8_t> encodePng(const Image& image, bool alpha)
{
    const std::vector<std::uint8_t> rgba = image.rgba8();
    return support::encodePng(image.width(), image.height(), rgba.data(), alpha);
}

std::vector<std::uint8_t> encodeBmp(const Image& image)
{
    const std::uint32_t stride = (static_cast<std::uint32_t>(image.width()) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.height());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32le(out, 14 + 40 + pixelBytes);
    put32le(out, 0);
    put32le(out, 14 + 40);
    put32le(out, 40);
    put32le(out, static_cast<std::uint32_t>(image.width()));
    put32le(out, static_cast<std::uint32_t>(image.height())); // positive: bottom-up rows
    put16le(out, 1);
    put16le(out, 24);
    put32le(out, 0); // BI_RGB
    put32le(out, pixelBytes);
    put32le(out, 2835); // 72 dpi
    put32le(out, 2835);
    put32le(out, 0);
    put32le(out, 0);
    const std::vector<std::uint8_t> rgba = image.rgba8();
    for (int y = image.height() - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < image.width(); ++x) {
            const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * image.width() + x) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        out.resize(start + stride, 0);
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::string error;
    return platform::writeOutputFile(path, bytes.data(), bytes.size(), error);
}

} // namespace skin
