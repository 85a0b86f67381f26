#include "ImageFiles.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>

namespace skin {

namespace {

void put32be(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

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

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data)
{
    put32be(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    put32be(out, static_cast<std::uint32_t>(crc));
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// The usual heuristic: of the five filters, the one whose output has the smallest sum of
// absolute (signed) bytes.
void filterRow(const std::uint8_t* row, const std::uint8_t* previous, std::size_t length, int bpp,
               std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> best, trial(length);
    long bestScore = -1;
    for (int type = 0; type < 5; ++type) {
        long score = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
            const int b = previous != nullptr ? previous[i] : 0;
            const int c = (previous != nullptr && i >= static_cast<std::size_t>(bpp)) ? previous[i - bpp] : 0;
            int predicted = 0;
            switch (type) {
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: predicted = paeth(a, b, c); break;
            default: break;
            }
            const auto v = static_cast<std::uint8_t>(row[i] - predicted);
            trial[i] = v;
            score += v < 128 ? v : 256 - v;
        }
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = trial;
            best.insert(best.begin(), static_cast<std::uint8_t>(type));
        }
    }
    out.insert(out.end(), best.begin(), best.end());
}

} // namespace

std::vector<std::uint8_t> encodePng(const Image& image, bool alpha)
{
    const int bpp = alpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * bpp;
    const std::vector<std::uint8_t> rgba = image.rgba8();
    std::vector<std::uint8_t> raw, filtered;
    raw.reserve(rowBytes * image.height());
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        raw.insert(raw.end(), rgba.begin() + i, rgba.begin() + i + bpp);
    for (int y = 0; y < image.height(); ++y)
        filterRow(raw.data() + y * rowBytes, y > 0 ? raw.data() + (y - 1) * rowBytes : nullptr, rowBytes, bpp,
                  filtered);

    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put32be(header, static_cast<std::uint32_t>(image.width()));
    put32be(header, static_cast<std::uint32_t>(image.height()));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(alpha ? 6 : 2), 0, 0, 0});
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    return out;
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
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace skin
