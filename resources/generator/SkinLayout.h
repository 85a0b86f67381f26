// Where the editor puts its pictures: the resource table (size, frames, alpha channel) and
// the rectangle of every view that shows one, worked out from the cab-1 rectangles and the
// rule that places the other five cabs. The background is painted around these rectangles,
// so a legend or a plate always lands under the control it belongs to.
#pragma once

#include <vector>

namespace skin {

// One picture resource.
struct Resource {
    int id;
    int width, height; // of the whole picture
    int frames;        // sub-images stacked vertically
    bool alpha;        // RGBA (true) or RGB
};
const std::vector<Resource>& resources();
const Resource& resource(int id);

// What a view is, for drawing purposes.
enum class Kind {
    Knob, OnOff, Channel, Phase, Bypass, Link, Blend, Solo, Load, Previous, Next,
    FolderLabel, FileMenu, ValueLabel, LatencyMenu
};

struct Placed {
    Kind kind;
    int cab;    // 1..6, 0 for the global controls
    int bitmap; // 0: the view draws no picture (the latency menu)
    int x, y, w, h;
    const char* legend; // engraved name under a value label, or nullptr
};

// Every view with a picture or a plate, in the order the editor adds them.
std::vector<Placed> layout();

constexpr int kWidth = 850, kHeight = 520;
constexpr int kColumnStep = 437, kRowStep = 123;

} // namespace skin
