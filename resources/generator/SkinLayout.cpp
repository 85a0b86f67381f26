#include "SkinLayout.h"

namespace skin {

const std::vector<Resource>& resources()
{
    static const std::vector<Resource> table = {
        {1, 17, 17, 1, true},    {2, 17, 17, 1, true},    {3, 17, 17, 1, true},    {4, 40, 8040, 201, true},
        {5, 27, 54, 2, true},    {6, 24, 64, 2, true},    {7, 58, 86, 2, true},    {8, 22, 70, 2, true},
        {9, 58, 86, 2, true},    {10, 22, 70, 2, true},   {11, 57, 98, 2, true},   {12, 57, 98, 2, true},
        {13, 57, 98, 2, true},   {14, 232, 17, 1, true},  {15, 232, 17, 1, true},  {16, 45, 15, 1, true},
        {17, 289, 36, 1, false}, {18, 289, 36, 1, false}, {19, 289, 36, 1, false}, {20, 267, 17, 1, false},
        {21, 232, 17, 1, true},  {22, 17, 34, 2, true},   {23, 17, 34, 2, true},
    };
    return table;
}

const Resource& resource(int id) { return resources().at(static_cast<std::size_t>(id - 1)); }

namespace {

// The cab-1 views; the others follow by the placement rule.
struct CabView {
    Kind kind;
    int oddBitmap, evenBitmap;
    int x, y, w, h;
    const char* legend;
};

const CabView kCabViews[] = {
    {Kind::Load, 1, 1, 63, 124, 17, 17, nullptr},
    {Kind::Solo, 22, 22, 63, 143, 17, 17, nullptr},
    {Kind::Previous, 2, 2, 81, 143, 17, 17, nullptr},
    {Kind::Next, 3, 3, 335, 143, 17, 17, nullptr},
    {Kind::FolderLabel, 20, 14, 83, 124, 267, 17, nullptr},
    {Kind::FileMenu, 15, 15, 101, 143, 232, 17, nullptr},
    {Kind::Bypass, 7, 9, 360, 115, 58, 43, nullptr},
    {Kind::Channel, 5, 5, 68, 164, 27, 27, nullptr},
    {Kind::Phase, 8, 10, 111, 167, 22, 35, nullptr},
    {Kind::Knob, 4, 4, 139, 158, 40, 40, nullptr},
    {Kind::Knob, 4, 4, 181, 158, 40, 40, nullptr},
    {Kind::Knob, 4, 4, 224, 158, 40, 40, nullptr},
    {Kind::Knob, 4, 4, 266, 158, 40, 40, nullptr},
    {Kind::Knob, 4, 4, 309, 158, 40, 40, nullptr},
    {Kind::ValueLabel, 16, 16, 59, 196, 45, 15, "INPUT"},
    {Kind::ValueLabel, 16, 16, 96, 196, 45, 15, "PHASE"},
    {Kind::ValueLabel, 16, 16, 139, 196, 45, 15, "DELAY"},
    {Kind::ValueLabel, 16, 16, 181, 196, 45, 15, "HP"},
    {Kind::ValueLabel, 16, 16, 224, 196, 45, 15, "LP"},
    {Kind::ValueLabel, 16, 16, 264, 196, 45, 15, "PAN"},
    {Kind::ValueLabel, 16, 16, 308, 196, 45, 15, "VOL"},
};

// Column shift of a cab view: the bypass and phase buttons have their own.
int columnShift(Kind kind)
{
    if (kind == Kind::Bypass)
        return 75;
    if (kind == Kind::Phase)
        return 435;
    return kColumnStep;
}

} // namespace

std::vector<Placed> layout()
{
    std::vector<Placed> out;
    out.push_back({Kind::OnOff, 0, 6, 743, 26, 24, 32, nullptr});
    out.push_back({Kind::ValueLabel, 0, 16, 731, 61, 45, 15, nullptr});
    out.push_back({Kind::Link, 0, 11, 401, 149, 57, 49, nullptr});
    out.push_back({Kind::Blend, 0, 23, 362, 224, 17, 17, nullptr});
    for (int cab = 1; cab <= 6; ++cab) {
        const int column = (cab - 1) % 2, row = (cab - 1) / 2;
        if (cab == 2)
            out.push_back({Kind::Blend, 0, 23, 471, 224, 17, 17, nullptr});
        if (cab == 3)
            out.push_back({Kind::Link, 0, 12, 401, 272, 57, 49, nullptr});
        if (cab == 5)
            out.push_back({Kind::Link, 0, 13, 401, 395, 57, 49, nullptr});
        for (const CabView& v : kCabViews)
            out.push_back({v.kind, cab, column == 0 ? v.oddBitmap : v.evenBitmap,
                           v.x + column * columnShift(v.kind), v.y + row * kRowStep, v.w, v.h, v.legend});
    }
    out.push_back({Kind::Knob, 0, 4, 686, 21, 40, 40, nullptr});
    out.push_back({Kind::ValueLabel, 0, 16, 684, 61, 45, 15, nullptr});
    out.push_back({Kind::LatencyMenu, 0, 0, 639, 27, 30, 25, nullptr});
    out.push_back({Kind::ValueLabel, 0, 16, 633, 61, 45, 15, nullptr});
    return out;
}

} // namespace skin
