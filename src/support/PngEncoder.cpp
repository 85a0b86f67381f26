#include "support/PngEncoder.h"

#include "platform/OutputFile.h"

#include <zlib.h>

#include <cstdlib>

namespace support {

namespace {

void put32be(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
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


std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* rgba, bool alpha)
{
    if (width <= 0 || height <= 0 || rgba == nullptr)
        return {};
    const int bpp = alpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bpp;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> raw, filtered;
    raw.reserve(rowBytes * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < pixels * 4; i += 4)
        raw.insert(raw.end(), rgba + i, rgba + i + bpp);
    for (int y = 0; y < height; ++y)
        filterRow(raw.data() + y * rowBytes, y > 0 ? raw.data() + (y - 1) * rowBytes : nullptr, rowBytes, bpp,
                  filtered);

    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put32be(header, static_cast<std::uint32_t>(width));
    put32be(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(alpha ? 6 : 2), 0, 0, 0});
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    return out;
}

bool writePngFile(const std::string& path, int width, int height, const std::uint8_t* rgba, bool alpha,
                  std::string& error)
{
    const std::vector<std::uint8_t> bytes = encodePng(width, height, rgba, alpha);
    if (bytes.empty()) {
        error = "cannot encode a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        return false;
    }
    return platform::writeOutputFile(path, bytes.data(), bytes.size(), error);
}

} // namespace support
