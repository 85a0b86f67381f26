// The editor's panel as data, read by the editor (SDEditorLayout.cpp builds its views from
// it) and by the skin generator (resources/generator paints plates and legends from it), so
// that a view and the art beneath it can only move together.
//
// Two tables: the pictures (resource id, size, frames) and the panel's rows. A row is a view:
// what kind of view, the parameter it drives or shows, its top-left corner, its picture (cabs
// 2, 4 and 6 may have their own), what the background paints beneath it and its engraved
// legend. A view with a picture is exactly one frame of it in size. The rows of one cab are
// written once, for cab 1; cab k lies (k - 1) % 2 columns and (k - 1) / 2 rows further on.
// The panel's rows are in adding order, which is the drawing order and the reverse of the
// mouse order; markers in it say where each cab's views and the six file menus go.
//
// Plain constexpr data and no toolkit types: the generator includes it without the toolkit.
#pragma once

#include "effect/ParameterTable.h"

#include <array>
#include <cstddef>

namespace panel {

constexpr int kWidth = 850; // the editor's size, and its background's
constexpr int kHeight = 520;
constexpr int kBackgroundId = 128; // the background bitmap ("BITMAP"); the pictures are "PNG"
constexpr int kCabs = 6;

// --- pictures ---------------------------------------------------------------------------------

struct Picture {
    int id;     // resource id
    int width;  // pixels
    int height; // pixels, all frames
    int frames; // sub-pictures stacked vertically, frame 0 on top
    bool alpha; // an RGBA file (else RGB)
};

// 17, 18 and 19 are drawn and shipped but shown by no view; 21 is a copy of 15.
constexpr Picture kPictures[] = {
    {1, 17, 17, 1, true},     // load button (held down: the panel beneath shows it)
    {2, 17, 17, 1, true},     // previous file
    {3, 17, 17, 1, true},     // next file
    {4, 40, 8040, 201, true}, // knob, 201 angles
    {5, 27, 54, 2, true},     // input channel, left / right
    {6, 24, 64, 2, true},     // on/off lamp
    {7, 58, 86, 2, true},     // bypass, cabs 1, 3, 5
    {8, 22, 70, 2, true},     // phase, cabs 1, 3, 5
    {9, 58, 86, 2, true},     // bypass, cabs 2, 4, 6 (mirrored)
    {10, 22, 70, 2, true},    // phase, cabs 2, 4, 6
    {11, 57, 98, 2, true},    // link 1-2
    {12, 57, 98, 2, true},    // link 3-4
    {13, 57, 98, 2, true},    // link 5-6
    {14, 232, 17, 1, true},   // folder label, cabs 2, 4, 6: the left part of the folder plate
    {15, 232, 17, 1, true},   // file menu
    {16, 45, 15, 1, true},    // value label
    {17, 289, 36, 1, false},
    {18, 289, 36, 1, false},
    {19, 289, 36, 1, false},
    {20, 267, 17, 1, false},  // folder label, cabs 1, 3, 5: the whole folder plate
    {21, 232, 17, 1, true},
    {22, 17, 34, 2, true},    // solo
    {23, 17, 34, 2, true},    // blend
};

constexpr int kPictureCount = static_cast<int>(sizeof kPictures / sizeof kPictures[0]);

// The picture of a resource id; a zero-sized one for an id that has none.
constexpr Picture picture(int id)
{
    for (const Picture& p : kPictures)
        if (p.id == id)
            return p;
    return Picture{id, 0, 0, 1, false};
}

// --- views ------------------------------------------------------------------------------------

enum class Kind {
    Knob,        // an animated knob over the 201-angle strip
    Switch,      // an on/off button: frame 0 off, frame 1 on
    Load,        // a push button; a click opens the file dialog
    Step,        // a push button through the cab's folder; usable once the cab has one
    FolderLabel, // the cab's folder (or a notice), left-aligned
    FileMenu,    // the WAV files of the cab's folder; lies above every other view
    ValueLabel,  // a parameter's display text, centred
    LatencyMenu, // the four hop sizes; the toolkit draws it (no picture)
    // Markers in the panel's rows, expanded into views.
    Cab,         // the views of one cab, but its file menu
    FileMenus,   // every cab's file menu
};

// What the background paints beneath a view.
enum class Plate {
    None,    // nothing: the view's picture stands on the panel
    Own,     // a recessed plate in a bezel
    Strip,   // a share of the cab's display strip, one plate under all its strip views
    Pressed, // the view's picture held down: a held push button draws nothing at all
    Well,    // a black well around the view
};

// Where a view's engraved legend lies.
enum class LegendAt {
    None,
    Below,  // centred under the view
    Header, // centred over the view, on the header's legend line
    Foot,   // centred in the foot of the view's own picture, below its cap
    Left,   // beside the view, to its left
    Right,  // beside the view, to its right
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;

    constexpr int right() const { return x + w; }
    constexpr int bottom() const { return y + h; }
};

constexpr bool operator==(const Rect& a, const Rect& b)
{
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

// Cab rows: how far the second column and the next row of cabs lie. Two buttons keep a
// column step of their own: a pair's bypass buttons face each other across the link button,
// and the phase button of cabs 2, 4, 6 stands 2 pixels left of the rule (its picture draws
// the cap 2 pixels further right).
constexpr int kColumnStep = 437;
constexpr int kRowStep = 123;
constexpr int kBypassColumnStep = 75;
constexpr int kPhaseColumnStep = 435;

// A row of the tables below.
struct Row {
    Kind kind = Kind::Knob;
    int param = -1;         // the parameter it drives or shows (cab rows: cab 1's), -1 none;
                            // for a Cab marker, the cab (0..5)
    int x = 0, y = 0;       // top-left corner (cab rows: cab 1's)
    int picture = 0;        // resource id (cab rows: cabs 1, 3, 5), 0 for none
    int evenPicture = 0;    // cab rows: the picture of cabs 2, 4, 6
    Plate plate = Plate::None;
    LegendAt legendAt = LegendAt::None;
    const char* legend = nullptr;
    int w = 0, h = 0;       // the size of a view without a picture
    int plateWidth = 0;     // a plate wider than the view (0: the view's width)
    int columnStep = kColumnStep; // cab rows: x shift from one column of cabs to the next
};

// The views of cab 1, in adding order (the file menu is added later, with the others).
constexpr Row kCabRows[] = {
    // kind             parameter         x    y    odd even  plate           legend
    {Kind::Load,        orvex::kLoad,     63,  124, 1,  1,    Plate::Pressed},
    {Kind::Switch,      orvex::kSolo,     63,  143, 22, 22},
    {Kind::Step,        orvex::kPrevious, 81,  143, 2,  2,    Plate::Pressed},
    {Kind::Step,        orvex::kNext,     335, 143, 3,  3,    Plate::Pressed},
    // Every cab's folder plate is 267 pixels wide: cabs 2, 4, 6 show their folder on its
    // left 232.
    {Kind::FolderLabel, -1,               83,  124, 20, 14,   Plate::Own,     LegendAt::None, nullptr, 0, 0, 267},
    {Kind::FileMenu,    orvex::kFileMenu, 101, 143, 15, 15,   Plate::Own},
    {Kind::Switch,      orvex::kBypass,   360, 115, 7,  9,    Plate::None,    LegendAt::None, nullptr, 0, 0, 0, kBypassColumnStep},
    {Kind::Switch,      orvex::kChannel,  68,  164, 5,  5},
    {Kind::Switch,      orvex::kPhase,    111, 167, 8,  10,   Plate::None,    LegendAt::None, nullptr, 0, 0, 0, kPhaseColumnStep},
    {Kind::Knob,        orvex::kDelay,    139, 158, 4,  4},
    {Kind::Knob,        orvex::kFreqHp,   181, 158, 4,  4},
    {Kind::Knob,        orvex::kFreqLp,   224, 158, 4,  4},
    {Kind::Knob,        orvex::kPan,      266, 158, 4,  4},
    {Kind::Knob,        orvex::kVolume,   309, 158, 4,  4},
    {Kind::ValueLabel,  orvex::kChannel,  59,  196, 16, 16,   Plate::Strip,   LegendAt::Below, "INPUT"},
    {Kind::ValueLabel,  orvex::kPhase,    96,  196, 16, 16,   Plate::Strip,   LegendAt::Below, "PHASE"},
    {Kind::ValueLabel,  orvex::kDelay,    139, 196, 16, 16,   Plate::Strip,   LegendAt::Below, "DELAY"},
    {Kind::ValueLabel,  orvex::kFreqHp,   181, 196, 16, 16,   Plate::Strip,   LegendAt::Below, "HP"},
    {Kind::ValueLabel,  orvex::kFreqLp,   224, 196, 16, 16,   Plate::Strip,   LegendAt::Below, "LP"},
    {Kind::ValueLabel,  orvex::kPan,      264, 196, 16, 16,   Plate::Strip,   LegendAt::Below, "PAN"},
    {Kind::ValueLabel,  orvex::kVolume,   308, 196, 16, 16,   Plate::Strip,   LegendAt::Below, "VOL"},
};

constexpr Row cab(int k) // marker: cab k's views (1..6)
{
    Row r;
    r.kind = Kind::Cab;
    r.param = k - 1;
    return r;
}

constexpr Row fileMenus() // marker: the six file menus, cab 1 first
{
    Row r;
    r.kind = Kind::FileMenus;
    return r;
}

// The panel in adding order.
constexpr Row kPanelRows[] = {
    // kind             parameter         x    y    picture  plate          legend
    {Kind::Switch,      orvex::kOnOff,    743, 26,  6,  0,   Plate::None,   LegendAt::Header, "ON"},
    {Kind::ValueLabel,  orvex::kOnOff,    731, 61,  16, 0,   Plate::Own},
    {Kind::Switch,      orvex::kLink12,   401, 149, 11, 0,   Plate::None,   LegendAt::Foot, "LINK 1-2"},
    {Kind::Switch,      orvex::kBlend13,  362, 224, 23, 0,   Plate::None,   LegendAt::Left, "BLEND 1-3"},
    cab(1),
    {Kind::Switch,      orvex::kBlend24,  471, 224, 23, 0,   Plate::None,   LegendAt::Right, "BLEND 2-4"},
    cab(2),
    {Kind::Switch,      orvex::kLink34,   401, 272, 12, 0,   Plate::None,   LegendAt::Foot, "LINK 3-4"},
    cab(3),
    cab(4),
    {Kind::Switch,      orvex::kLink56,   401, 395, 13, 0,   Plate::None,   LegendAt::Foot, "LINK 5-6"},
    cab(5),
    cab(6),
    {Kind::Knob,        orvex::kOutput,   686, 21,  4,  0,   Plate::None,   LegendAt::Header, "OUTPUT"},
    {Kind::ValueLabel,  orvex::kOutput,   684, 61,  16, 0,   Plate::Own},
    // The file menus lie above every other view, so that nothing covers their popups.
    fileMenus(),
    // The latency menu is drawn by the toolkit, 30 x 25.
    {Kind::LatencyMenu, orvex::kLatency,  639, 27,  0,  0,   Plate::Well,   LegendAt::Header, "LATENCY", 30, 25},
    {Kind::ValueLabel,  orvex::kLatency,  633, 61,  16, 0,   Plate::Own},
};

// --- the views, expanded ------------------------------------------------------------------------

struct View {
    Kind kind = Kind::Knob;
    int param = -1;      // the parameter it drives or shows, -1 none
    int cab = -1;        // 0..5 for a cab's views, -1 for the panel's own
    Rect rect;           // one frame of its picture, or its own size
    int picture = 0;     // resource id, 0 for none
    int frames = 1;      // frames of that picture
    Plate plate = Plate::None;
    int plateWidth = 0;  // width of the plate beneath
    LegendAt legendAt = LegendAt::None;
    const char* legend = nullptr;
};

// The view a panel row (cab < 0) or a cab row (cab 0..5) makes.
constexpr View viewOf(const Row& row, int cab)
{
    const int column = cab < 0 ? 0 : cab % 2;
    const int line = cab < 0 ? 0 : cab / 2;
    View v;
    v.kind = row.kind;
    v.param = row.param < 0 || cab < 0 ? row.param : row.param + cab;
    v.cab = cab;
    v.picture = column == 1 ? row.evenPicture : row.picture;
    const Picture art = picture(v.picture);
    v.frames = art.frames;
    v.rect = Rect{row.x + column * row.columnStep, row.y + line * kRowStep, v.picture ? art.width : row.w,
                  v.picture ? art.height / art.frames : row.h};
    v.plate = row.plate;
    v.plateWidth = row.plateWidth ? row.plateWidth : v.rect.w;
    v.legendAt = row.legendAt;
    v.legend = row.legend;
    return v;
}

constexpr int viewCount()
{
    int menus = 0; // file menus among a cab's rows
    for (const Row& c : kCabRows)
        menus += c.kind == Kind::FileMenu;
    const int cabRows = static_cast<int>(sizeof kCabRows / sizeof kCabRows[0]);
    int n = 0;
    for (const Row& r : kPanelRows)
        n += r.kind == Kind::Cab ? cabRows - menus : r.kind == Kind::FileMenus ? kCabs * menus : 1;
    return n;
}

constexpr int kViewCount = viewCount();
using Views = std::array<View, kViewCount>;

constexpr Views expand()
{
    Views out{};
    std::size_t n = 0;
    for (const Row& r : kPanelRows) {
        if (r.kind == Kind::Cab) {
            for (const Row& c : kCabRows)
                if (c.kind != Kind::FileMenu)
                    out[n++] = viewOf(c, r.param);
        } else if (r.kind == Kind::FileMenus) {
            for (int k = 0; k < kCabs; ++k)
                for (const Row& c : kCabRows)
                    if (c.kind == Kind::FileMenu)
                        out[n++] = viewOf(c, k);
        } else {
            out[n++] = viewOf(r, -1);
        }
    }
    return out;
}

// Every view of the panel, in adding order.
constexpr Views kViews = expand();

} // namespace panel
