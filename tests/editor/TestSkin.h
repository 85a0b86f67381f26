// Stand-in pictures for the editor's resources, registered with the platform's resource
// table: every ID at the size and frame count the layout expects, each frame in its own
// flat colour, so that tests and pictures can tell the frames apart.
#pragma once

#include <cstdint>

namespace editortest {

struct SkinPicture {
    std::int32_t id;     // resource ID
    std::int32_t width;  // pixels
    std::int32_t height; // pixels, all frames
    std::int32_t frames; // pictures stacked vertically
};

// IDs 1..23 ("PNG") and 128 ("BITMAP"), in ID order.
const SkinPicture* skinPictures(int& count);
// Registers every picture (once per process; later calls do nothing).
void registerTestSkin();

} // namespace editortest
