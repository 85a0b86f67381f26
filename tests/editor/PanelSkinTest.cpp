// The panel table drives the editor and its skin at once: a knob moved in a copy of the table
// moves the editor's views and the art the skin generator paints for them (the value plate
// beneath the knob's label and the knob's legend) by the same offset.
#include "EditorTestSupport.h"

#include "Pictures.h"
#include "Text.h"

#include "editor/PanelLayout.h"
#include "effect/ParameterTable.h"
#include "gui/CTextLabel.h"

#include <algorithm>
#include <climits>

using namespace editortest;

namespace {

struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN; // inclusive; empty while x0 > x1

    bool operator==(const Box& o) const { return x0 == o.x0 && y0 == o.y0 && x1 == o.x1 && y1 == o.y1; }
    Box moved(int dx, int dy) const { return Box{x0 + dx, y0 + dy, x1 + dx, y1 + dy}; }
};

std::ostream& operator<<(std::ostream& out, const Box& b)
{
    return out << b.x0 << "," << b.y0 << " .. " << b.x1 << "," << b.y1;
}

// The pixels in which two paintings of the panel differ.
Box differing(const skin::Image& a, const skin::Image& b)
{
    const std::vector<std::uint8_t> pa = a.rgba8(), pb = b.rgba8();
    Box box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * a.width() + x) * 4;
            if (!std::equal(pa.begin() + at, pa.begin() + at + 4, pb.begin() + at))
                box = Box{std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
        }
    return box;
}

// Where the background paints the art of one view: its plate, or its legend.
struct Art {
    Box plate, legend;
};

Art artOf(const panel::Views& views, std::size_t plateView, std::size_t legendView)
{
    panel::Views withoutPlate = views, withoutLegend = views;
    withoutPlate[plateView].plate = panel::Plate::None;
    withoutLegend[legendView].legendAt = panel::LegendAt::None;
    const skin::Image full = skin::background(views);
    return Art{differing(full, skin::background(withoutPlate)), differing(full, skin::background(withoutLegend))};
}

std::size_t indexOf(const panel::Views& views, panel::Kind kind, int param)
{
    return static_cast<std::size_t>(std::find_if(views.begin(), views.end(), [&](const panel::View& v) {
                                        return v.kind == kind && v.param == param;
                                    }) - views.begin());
}

class PanelSkinTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        ASSERT_TRUE(skin::Text::init(ORVEX_SKIN_FONTS));
    }
    void TearDown() override
    {
        EditorTest::TearDown(); // closes the editor built from `moved` before it goes
        skin::Text::shutdown();
    }

    panel::Views moved = panel::kViews; // the changed copy of the table
};

} // namespace

TEST_F(PanelSkinTest, AKnobMovedInTheTableMovesItsViewsAndTheirArtTogether)
{
    // The output knob and its value label, moved left and down into the free header.
    const int dx = -150, dy = 6;
    const std::size_t knob = indexOf(moved, panel::Kind::Knob, orvex::kOutput);
    const std::size_t label = indexOf(moved, panel::Kind::ValueLabel, orvex::kOutput);
    ASSERT_LT(label, moved.size());
    for (std::size_t i : {knob, label}) {
        moved[i].rect.x += dx;
        moved[i].rect.y += dy;
    }

    openEditor();
    const gui::CRect knobBefore = editor->control(orvex::kOutput)->getViewSize();
    const gui::CRect labelBefore = editor->valueLabel(orvex::kOutput)->getViewSize();
    closeEditor();
    editor->usePanel(moved.data(), static_cast<int>(moved.size()));
    openEditor();
    EXPECT_EQ(editor->control(orvex::kOutput)->getViewSize(), gui::CRect(knobBefore).offset(dx, dy));
    EXPECT_EQ(editor->valueLabel(orvex::kOutput)->getViewSize(), gui::CRect(labelBefore).offset(dx, dy));

    const Art before = artOf(panel::kViews, label, knob);
    const Art after = artOf(moved, label, knob);
    ASSERT_LE(before.plate.x0, before.plate.x1) << "the label has a plate";
    ASSERT_LE(before.legend.x0, before.legend.x1) << "the knob has a legend";
    EXPECT_EQ(after.plate, before.plate.moved(dx, dy));
    // The header's legends stay on their line: the knob's follows it across.
    EXPECT_EQ(after.legend, before.legend.moved(dx, 0));
}
