// The one way we write PNG pictures: the editor's snapshots, the orvex host's screenshots and
// the skin's committed pictures. Our own encoder over zlib, so that the same pixels give the
// same bytes on every system and with every libpng (the committed skin is checked byte for
// byte): each row gets the filter whose output has the smallest sum of absolute bytes, and
// the rows are deflated at level 9.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

// width x height pixels of 8-bit RGBA, row by row from the top; written as 8-bit RGBA
// (alpha) or RGB (the alpha bytes dropped). Empty on failure (no pixels, no memory).
std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* rgba, bool alpha);

// The same into a file, as platform/OutputFile.h writes (replaced only once complete; a
// device, a FIFO or "-" in place). False with a reason on failure.
bool writePngFile(const std::string& path, int width, int height, const std::uint8_t* rgba, bool alpha,
                  std::string& error);

} // namespace support
