// Writes the generated pictures as files. PNG through the one encoder of support/ (its bytes
// depend only on the pixels and on zlib, not on libpng's version or its defaults).
#pragma once

#include "Canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace skin {

// An 8-bit PNG: colour type 6 (RGBA) or, with `alpha` false, 2 (RGB; the alpha is dropped,
// so the picture must be opaque).
std::vector<std::uint8_t> encodePng(const Image& image, bool alpha);
// A 24-bit bottom-up Windows bitmap file ("BM" header, BITMAPINFOHEADER, rows padded to 4).
std::vector<std::uint8_t> encodeBmp(const Image& image);

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace skin
