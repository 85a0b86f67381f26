// Writes a premultiplied BGRA image (a frame's offscreen, a bitmap) as an 8-bit RGBA PNG
// file, un-premultiplying each pixel: c = min(255, (c' * 255 + a / 2) / a), so opaque pixels
// come out exactly as stored.
#pragma once

#include "gui/Pixels.h"

#include <cstdint>
#include <vector>

namespace gui {

class PngWriter {
public:
    // False on any failure or an empty image. Written as platform/OutputFile.h writes: a file
    // is replaced only once complete (a failure leaves what the name held), a device, a FIFO
    // or "-" (standard output) is written in place.
    static bool writeFile(const Pixels& image, const char* path);
    static bool writeMemory(const Pixels& image, std::vector<std::uint8_t>& out);
};

} // namespace gui
