// Writes captured window pixels as a PNG file, for `orvex edit --screenshot` on every system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// `pixels` holds width x height opaque pixels row by row from the top, each 0x00RRGGBB (the
// top byte is ignored). Writes an 8-bit RGB PNG the way platform/OutputFile.h writes (a
// device, a FIFO or "-" in place); false with a reason on failure, in which case a file of
// that name keeps what it had.
bool writePngFile(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels,
                  std::string& error);

} // namespace cli
