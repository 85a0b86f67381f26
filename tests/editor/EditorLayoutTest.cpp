// The panel as opened, by the properties a good layout has rather than by a copy of its
// coordinates (those live once, in the panel table): every view is its table row and one
// frame of its picture, the views lie on the panel, every parameter has one control, views
// overlap only where a rule says why, every value text shows in full; and what the views
// start with.
#include "EditorTestSupport.h"

#include "editor/PanelLayout.h"
#include "effect/ParameterTable.h"
#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/COffscreenContext.h"
#include "gui/COptionMenu.h"
#include "gui/CTextLabel.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <map>
#include <string>

using namespace editortest;
using namespace orvex;

namespace {

class EditorLayoutTest : public EditorTest {
protected:
    std::vector<gui::CView*> views() const
    {
        std::vector<gui::CView*> out;
        gui::CFrame* frame = editor->getFrame();
        for (std::int32_t i = 0; i < frame->getNbViews(); ++i)
            out.push_back(frame->getView(i));
        return out;
    }
};

// What a view is to the editor, found through the editor's own accessors.
struct Role {
    enum What { Control, ValueLabel, FolderLabel, FileMenu, Unknown } what = Unknown;
    int param = -1; // the parameter it drives or shows
    int cab = -1;   // its cab, -1 for the panel's own
    ParamKind kind = ParamKind::None;
};

Role roleOf(const editor::SDEditor& editor, gui::CView* view)
{
    Role role;
    for (int p = 0; p < kNumParams && role.what == Role::Unknown; ++p) {
        if (editor.control(p) == view)
            role.what = Role::Control;
        else if (editor.valueLabel(p) == view)
            role.what = Role::ValueLabel;
        else
            continue;
        role.param = p;
    }
    for (int cab = 0; cab < panel::kCabs && role.what == Role::Unknown; ++cab) {
        if (editor.fileMenu(cab) == view)
            role = Role{Role::FileMenu, kFileMenu + cab, cab, ParamKind::FileMenu};
        else if (editor.folderLabel(cab) == view)
            role = Role{Role::FolderLabel, -1, cab, ParamKind::None};
    }
    if (role.param >= 0 && role.what != Role::FileMenu) {
        const ParamInfo info = paramInfo(role.param);
        role.kind = info.kind;
        // Links and blends count their pair, not a cab.
        role.cab = info.kind == ParamKind::Link || info.kind == ParamKind::Blend ? -1 : info.cab;
    }
    return role;
}

bool isKnobOrSwitch(const gui::CView* view)
{
    return view->isTypeOf("CAnimKnob") || view->isTypeOf("COnOffButton");
}

// The overlaps the panel means to have: `below` was added first (it lies beneath and gets
// the mouse after `above`). Each is a sliver at most `deepest` pixels thick.
struct Overlap {
    const char* why;
    int deepest;
    std::function<bool(const Role& below, const gui::CView* belowView, const Role& above, const gui::CView* aboveView)> allows;
};

const Overlap kOverlaps[] = {
    {"a cab's value labels sit in one display strip, each over the end of the one before", 8,
     [](const Role& b, const gui::CView*, const Role& a, const gui::CView*) {
         return b.what == Role::ValueLabel && a.what == Role::ValueLabel && b.cab >= 0 && b.cab == a.cab;
     }},
    {"a value label covers the foot of its cab's knobs and switches above it", 6,
     [](const Role& b, const gui::CView* bv, const Role& a, const gui::CView* av) {
         return a.what == Role::ValueLabel && b.what == Role::Control && isKnobOrSwitch(bv) && b.cab >= 0 &&
                b.cab == a.cab && av->getViewSize().top > bv->getViewSize().top;
     }},
    {"a file menu covers the head of its cab's knobs below it", 2,
     [](const Role& b, const gui::CView* bv, const Role& a, const gui::CView* av) {
         return a.what == Role::FileMenu && bv->isTypeOf("CAnimKnob") && b.cab == a.cab &&
                av->getViewSize().top < bv->getViewSize().top;
     }},
    {"a knob covers the foot of its cab's next button above it", 2,
     [](const Role& b, const gui::CView* bv, const Role& a, const gui::CView* av) {
         return b.kind == ParamKind::Next && av->isTypeOf("CAnimKnob") && b.cab == a.cab &&
                av->getViewSize().top > bv->getViewSize().top;
     }},
    {"a bypass button's empty margin covers a corner of the link or blend button of its cab", 9,
     [](const Role& b, const gui::CView*, const Role& a, const gui::CView*) {
         if (a.kind != ParamKind::Bypass)
             return false;
         if (b.kind == ParamKind::Link)
             return paramInfo(b.param).cab == a.cab / 2; // pair k: cabs 2k and 2k + 1
         if (b.kind == ParamKind::Blend)
             return a.cab % 2 == paramInfo(b.param).cab && a.cab < 4; // 1-3 and 2-4
         return false;
     }},
};

const char* classOf(panel::Kind kind)
{
    switch (kind) {
    case panel::Kind::Knob: return "CAnimKnob";
    case panel::Kind::Switch: return "COnOffButton";
    case panel::Kind::Load:
    case panel::Kind::Step: return "CKickButton";
    case panel::Kind::FolderLabel:
    case panel::Kind::ValueLabel: return "CTextLabel";
    case panel::Kind::FileMenu:
    case panel::Kind::LatencyMenu: return "COptionMenu";
    default: return "?";
    }
}

// Ink of a text: pixels of half coverage or more. White text over the stand-in plates (whose
// green is 0) shows its coverage in the green channel, as it does drawn alone on black.
constexpr int kInk = 128;

// The ink of a text drawn alone, unclipped, in a font of the toolkit.
int inkOf(const char* text, std::int32_t font)
{
    gui::COffscreenContext context(nullptr, 200, 40);
    context.setFont(font);
    context.setFontColor(gui::kWhiteCColor);
    context.drawString(text, gui::CRect(0, 0, 200, 40));
    int ink = 0;
    const gui::Pixels& pixels = context.getPixels();
    for (int y = 0; y < pixels.getHeight(); ++y)
        for (int x = 0; x < pixels.getWidth(); ++x)
            ink += gui::Pixels::green(pixels.getPixel(x, y)) >= kInk;
    return ink;
}

// Green channel of the editor's window over a rectangle.
std::vector<int> greenOf(platform::Window* window, const gui::CRect& r)
{
    const platform::headless::Snapshot s = platform::headless::snapshot(window);
    std::vector<int> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            out.push_back(gui::Pixels::green(s.pixels[static_cast<std::size_t>(y * s.width + x)]));
    return out;
}

} // namespace

TEST_F(EditorLayoutTest, EveryViewIsItsTableRowAndOneFrameOfItsPicture)
{
    openEditor();
    const std::vector<gui::CView*> tree = views();
    ASSERT_EQ(tree.size(), panel::kViews.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const panel::View& row = panel::kViews[i];
        gui::CView* view = tree[i];
        SCOPED_TRACE("view " + std::to_string(i) + " of parameter " + std::to_string(row.param) + ", cab " +
                     std::to_string(row.cab));
        EXPECT_TRUE(view->isTypeOf(classOf(row.kind))) << classOf(row.kind);
        const gui::CRect r = view->getViewSize();
        EXPECT_EQ(r, gui::CRect(row.rect.x, row.rect.y, row.rect.right(), row.rect.bottom()));
        const bool label = row.kind == panel::Kind::ValueLabel || row.kind == panel::Kind::FolderLabel;
        EXPECT_EQ(static_cast<gui::CControl*>(view)->getTag(), label ? 0 : row.param);
        gui::CBitmap* picture = view->getBackground();
        ASSERT_EQ(picture ? picture->getResourceID() : 0, row.picture);
        if (picture) {
            EXPECT_EQ(r.width(), picture->getWidth());
            EXPECT_EQ(r.height() * row.frames, picture->getHeight());
        }
        if (auto* knob = dynamic_cast<gui::CAnimKnob*>(view)) {
            EXPECT_EQ(knob->getFrameCount(), row.frames);
        }
    }
}

TEST_F(EditorLayoutTest, EveryViewLiesOnThePanel)
{
    openEditor();
    const gui::CRect panelArea(0, 0, panel::kWidth, panel::kHeight);
    EXPECT_EQ(editor->getFrame()->getViewSize(), panelArea);
    for (gui::CView* view : views()) {
        const gui::CRect r = view->getViewSize();
        EXPECT_FALSE(r.isEmpty());
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= panelArea.right && r.bottom <= panelArea.bottom)
            << r.left << "," << r.top << " " << r.width() << " x " << r.height();
    }
}

TEST_F(EditorLayoutTest, EveryParameterHasOneControl)
{
    openEditor();
    const std::vector<gui::CView*> tree = views();
    for (int p = 0; p < kNumParams; ++p) {
        SCOPED_TRACE("parameter " + std::to_string(p));
        // Text labels carry no parameter (their tag is 0); every other view is a control.
        std::vector<gui::CView*> controls;
        std::copy_if(tree.begin(), tree.end(), std::back_inserter(controls), [&](gui::CView* v) {
            return !v->isTypeOf("CTextLabel") && static_cast<gui::CControl*>(v)->getTag() == p;
        });
        ASSERT_EQ(controls.size(), 1u);
        EXPECT_EQ(roleOf(*editor, controls[0]).param, p) << "the editor finds it by its parameter";
    }
}

TEST_F(EditorLayoutTest, ViewsOverlapOnlyWhereTheLayoutMeansThem)
{
    openEditor();
    const std::vector<gui::CView*> tree = views();
    int allowed[sizeof kOverlaps / sizeof kOverlaps[0]] = {};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (std::size_t j = i + 1; j < tree.size(); ++j) {
            gui::CRect both = tree[i]->getViewSize();
            both.bound(tree[j]->getViewSize());
            if (both.isEmpty())
                continue;
            const Role below = roleOf(*editor, tree[i]);
            const Role above = roleOf(*editor, tree[j]);
            const int depth = std::min(both.width(), both.height());
            bool explained = false;
            for (std::size_t k = 0; k < sizeof kOverlaps / sizeof kOverlaps[0] && !explained; ++k) {
                if (kOverlaps[k].allows(below, tree[i], above, tree[j]) && depth <= kOverlaps[k].deepest) {
                    explained = true;
                    ++allowed[k];
                }
            }
            EXPECT_TRUE(explained) << "views " << i << " (parameter " << below.param << ") and " << j << " (parameter "
                                   << above.param << ") overlap by " << both.width() << " x " << both.height()
                                   << " at " << both.left << "," << both.top;
        }
    }
    // Each rule describes something the panel has (a rule nothing needs is a hole).
    for (std::size_t k = 0; k < sizeof kOverlaps / sizeof kOverlaps[0]; ++k)
        EXPECT_GT(allowed[k], 0) << kOverlaps[k].why;
}

TEST_F(EditorLayoutTest, EveryValueTextShowsInFullAtItsExtremesAndWidest)
{
    // The texts a host shows are what the labels show: each parameter's display text at 0,
    // at 1 and at its widest over the range, all labels at once (so that neighbours in a
    // strip show their widest texts side by side). A text shows in full when the window holds
    // all of its ink, in the label's font: nothing clips it or lies over it.
    openEditor();
    std::vector<int> params;
    for (int p = 0; p < kNumParams; ++p)
        if (editor->valueLabel(p))
            params.push_back(p);
    const std::int32_t font = editor->valueLabel(params[0])->getFontIndex();
    closeEditor();

    gui::COffscreenContext measure(nullptr, 1, 1);
    measure.setFont(font);
    std::map<int, float> widest;
    for (int p : params) {
        int width = -1;
        for (int step = 0; step <= 200; ++step) {
            setParameter(p, step / 200.0f);
            const int w = measure.getStringWidth(display(p).c_str());
            if (w > width) {
                width = w;
                widest[p] = step / 200.0f;
            }
        }
    }

    for (const char* round : {"0", "1", "widest"}) {
        for (int p : params)
            setParameter(p, round[0] == '0' ? 0.0f : round[0] == '1' ? 1.0f : widest[p]);
        openEditor();
        idle();
        for (int p : params) {
            gui::CTextLabel* label = editor->valueLabel(p);
            const std::string text = label->getText();
            SCOPED_TRACE(std::string("values at ") + round + ": parameter " + std::to_string(p) + " shows \"" + text +
                         "\"");
            // The label's ink in the window: what its text adds to the picture without it.
            const gui::CRect r = label->getViewSize();
            const std::vector<int> with = greenOf(window(), r);
            label->setText("");
            label->setDirty(true);
            idle();
            const std::vector<int> without = greenOf(window(), r);
            label->setText(text.c_str());
            label->setDirty(true);
            idle();
            int shown = 0;
            for (std::size_t i = 0; i < with.size(); ++i)
                shown += std::abs(with[i] - without[i]) >= kInk;
            EXPECT_EQ(shown, inkOf(text.c_str(), font));
        }
        closeEditor();
    }
}

TEST_F(EditorLayoutTest, ViewsStartFromTheEffectAndTheirStyles)
{
    setParameter(kVolume + 2, 0.8f);
    setParameter(kPhase + 3, 1.0f);
    setParameter(kSolo + 4, 1.0f);
    setParameter(kLatency, 0.6f);
    openEditor();
    EXPECT_FLOAT_EQ(editor->control(kVolume + 2)->getValue(), 0.8f);
    EXPECT_STREQ(editor->valueLabel(kVolume + 2)->getText(), display(kVolume + 2).c_str());
    EXPECT_STREQ(editor->valueLabel(kPhase + 3)->getText(), "INVERT");
    EXPECT_FLOAT_EQ(editor->control(kPhase + 3)->getValue(), 1.0f);
    // A soloed cab shows its solo button on when the editor opens.
    EXPECT_FLOAT_EQ(editor->control(kSolo + 4)->getValue(), 1.0f);
    EXPECT_FLOAT_EQ(editor->control(kLoad)->getValue(), 0.0f);

    gui::COptionMenu* latency = editor->latencyMenu();
    ASSERT_EQ(latency->getEntryCount(), 4);
    const char* const entries[] = {"64", "128", "256", "512"};
    char text[256];
    for (int i = 0; i < 4; ++i) {
        latency->getEntryText(i, text);
        EXPECT_STREQ(text, entries[i]);
    }
    EXPECT_EQ(latency->getCurrentIndex(), 2);
    EXPECT_EQ(latency->getFontColor(), gui::kBlackCColor);
    EXPECT_EQ(latency->getBackgroundColor(), gui::kWhiteCColor);
    EXPECT_EQ(latency->getTextAlignment(), 1);

    for (int cab = 0; cab < 6; ++cab) {
        // No folder yet: menus empty and off, previous and next off, the label shows the
        // folder text as stored (empty).
        EXPECT_EQ(editor->fileMenu(cab)->getEntryCount(), 0);
        EXPECT_FALSE(editor->fileMenu(cab)->getMouseEnabled());
        EXPECT_FALSE(editor->control(kPrevious + cab)->getMouseEnabled());
        EXPECT_FALSE(editor->control(kNext + cab)->getMouseEnabled());
        EXPECT_TRUE(editor->control(kLoad + cab)->getMouseEnabled());
        EXPECT_STREQ(editor->folderLabel(cab)->getText(), "");
        EXPECT_EQ(editor->folderLabel(cab)->getTextAlignment(), 0);
        EXPECT_EQ(editor->fileMenu(cab)->getTextAlignment(), 0);
    }
    for (int index : {kOnOff, kOutput, kVolume, kLatency}) {
        gui::CTextLabel* label = editor->valueLabel(index);
        EXPECT_EQ(label->getFontIndex(), 5);
        EXPECT_EQ(label->getFontColor(), gui::kWhiteCColor);
        EXPECT_EQ(label->getTextAlignment(), 1);
    }
}
