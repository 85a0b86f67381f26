// The panel as opened: every one of the 137 views in adding order against the layout
// tables (class, rectangle, tag, picture and its frame count, the parameter it belongs to),
// the two exceptions of the layout rule, and what the views start with.
#include "EditorTestSupport.h"

#include "effect/ParameterTable.h"
#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/COptionMenu.h"
#include "gui/CTextLabel.h"

using namespace editortest;
using namespace orvex;

namespace {

struct Row {
    const char* cls; // class of the view
    int left, top;   // position
    int width, height;
    int tag;         // control tag (0 for text labels)
    int bitmap;      // resource ID of its picture, 0 for none
    int frames;      // pictures stacked in that bitmap
    int shows;       // parameter whose control or value label it is, -1 for none
};

// Cab 1, in adding order (the file menu is added later, with the other menus).
// Tags and shown parameters of per-cab rows are cab 1's; odd/even pictures differ.
struct CabRow {
    Row row;
    int bitmapEven;  // picture of cabs 2, 4, 6
    int widthEven;   // width there (the folder plate of even cabs is narrower)
    int columnStep;  // x shift per column: 437, with the two exceptions
    bool perCabTag;  // tag is cab 1's + cab index
};

const CabRow kCab1[] = {
    {{"CKickButton", 63, 124, 17, 17, kLoad, 1, 1, kLoad}, 1, 17, 437, true},
    {{"COnOffButton", 63, 143, 17, 17, kSolo, 22, 2, kSolo}, 22, 17, 437, true},
    {{"CKickButton", 81, 143, 17, 17, kPrevious, 2, 1, kPrevious}, 2, 17, 437, true},
    {{"CKickButton", 335, 143, 17, 17, kNext, 3, 1, kNext}, 3, 17, 437, true},
    {{"CTextLabel", 83, 124, 267, 17, 0, 20, 1, -1}, 14, 232, 437, false},
    {{"COnOffButton", 360, 115, 58, 43, kBypass, 7, 2, kBypass}, 9, 58, 75, true},
    {{"COnOffButton", 68, 164, 27, 27, kChannel, 5, 2, kChannel}, 5, 27, 437, true},
    {{"COnOffButton", 111, 167, 22, 35, kPhase, 8, 2, kPhase}, 10, 22, 435, true},
    {{"CAnimKnob", 139, 158, 40, 40, kDelay, 4, 201, kDelay}, 4, 40, 437, true},
    {{"CAnimKnob", 181, 158, 40, 40, kFreqHp, 4, 201, kFreqHp}, 4, 40, 437, true},
    {{"CAnimKnob", 224, 158, 40, 40, kFreqLp, 4, 201, kFreqLp}, 4, 40, 437, true},
    {{"CAnimKnob", 266, 158, 40, 40, kPan, 4, 201, kPan}, 4, 40, 437, true},
    {{"CAnimKnob", 309, 158, 40, 40, kVolume, 4, 201, kVolume}, 4, 40, 437, true},
    {{"CTextLabel", 59, 196, 45, 15, 0, 16, 1, kChannel}, 16, 45, 437, false},
    {{"CTextLabel", 96, 196, 45, 15, 0, 16, 1, kPhase}, 16, 45, 437, false},
    {{"CTextLabel", 139, 196, 45, 15, 0, 16, 1, kDelay}, 16, 45, 437, false},
    {{"CTextLabel", 181, 196, 45, 15, 0, 16, 1, kFreqHp}, 16, 45, 437, false},
    {{"CTextLabel", 224, 196, 45, 15, 0, 16, 1, kFreqLp}, 16, 45, 437, false},
    {{"CTextLabel", 264, 196, 45, 15, 0, 16, 1, kPan}, 16, 45, 437, false},
    {{"CTextLabel", 308, 196, 45, 15, 0, 16, 1, kVolume}, 16, 45, 437, false},
};

void addCab(std::vector<Row>& rows, int cab)
{
    const int column = cab % 2;
    const int row = cab / 2;
    for (const CabRow& c : kCab1) {
        Row r = c.row;
        r.left += c.columnStep * column;
        r.top += 123 * row;
        if (column == 1) {
            r.bitmap = c.bitmapEven;
            r.width = c.widthEven;
        }
        if (c.perCabTag)
            r.tag += cab;
        if (r.shows >= 0)
            r.shows += cab;
        rows.push_back(r);
    }
}

std::vector<Row> expectedTree()
{
    std::vector<Row> rows = {
        {"COnOffButton", 743, 26, 24, 32, kOnOff, 6, 2, kOnOff},
        {"CTextLabel", 731, 61, 45, 15, 0, 16, 1, kOnOff},
        {"COnOffButton", 401, 149, 57, 49, kLink12, 11, 2, kLink12},
        {"COnOffButton", 362, 224, 17, 17, kBlend13, 23, 2, kBlend13},
    };
    addCab(rows, 0);
    rows.push_back({"COnOffButton", 471, 224, 17, 17, kBlend24, 23, 2, kBlend24});
    addCab(rows, 1);
    rows.push_back({"COnOffButton", 401, 272, 57, 49, kLink34, 12, 2, kLink34});
    addCab(rows, 2);
    addCab(rows, 3);
    rows.push_back({"COnOffButton", 401, 395, 57, 49, kLink56, 13, 2, kLink56});
    addCab(rows, 4);
    addCab(rows, 5);
    rows.push_back({"CAnimKnob", 686, 21, 40, 40, kOutput, 4, 201, kOutput});
    rows.push_back({"CTextLabel", 684, 61, 45, 15, 0, 16, 1, kOutput});
    for (int cab = 0; cab < 6; ++cab)
        rows.push_back({"COptionMenu", 101 + 437 * (cab % 2), 143 + 123 * (cab / 2), 232, 17, kFileMenu + cab, 15, 1, -1});
    rows.push_back({"COptionMenu", 639, 27, 30, 25, kLatency, 0, 0, -1});
    rows.push_back({"CTextLabel", 633, 61, 45, 15, 0, 16, 1, kLatency});
    return rows;
}

const char* classOf(gui::CView* view)
{
    for (const char* name : {"COptionMenu", "CTextLabel", "CAnimKnob", "CKickButton", "COnOffButton"})
        if (view->isTypeOf(name))
            return name;
    return "?";
}

class EditorLayoutTest : public EditorTest {};

} // namespace

TEST_F(EditorLayoutTest, EveryViewInAddingOrderMatchesTheTables)
{
    openEditor();
    gui::CFrame* frame = editor->getFrame();
    const std::vector<Row> rows = expectedTree();
    ASSERT_EQ(rows.size(), 137u);
    ASSERT_EQ(frame->getNbViews(), 137);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        gui::CView* view = frame->getView(static_cast<std::int32_t>(i));
        SCOPED_TRACE("view " + std::to_string(i) + ": " + r.cls + " at " + std::to_string(r.left) + "," +
                     std::to_string(r.top));
        ASSERT_NE(view, nullptr);
        EXPECT_STREQ(classOf(view), r.cls);
        EXPECT_EQ(view->getViewSize(), gui::CRect(r.left, r.top, r.left + r.width, r.top + r.height));
        auto* control = dynamic_cast<gui::CControl*>(view);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->getTag(), r.tag);
        gui::CBitmap* picture = view->getBackground();
        EXPECT_EQ(picture ? picture->getResourceID() : 0, r.bitmap);
        if (picture) {
            EXPECT_EQ(picture->getHeight(), r.height * r.frames);
        }
        if (auto* knob = dynamic_cast<gui::CAnimKnob*>(view)) {
            EXPECT_EQ(knob->getFrameCount(), r.frames);
        }
        // The editor finds the view again by the parameter it belongs to.
        if (r.shows >= 0) {
            gui::CView* found = std::string(r.cls) == "CTextLabel" ? static_cast<gui::CView*>(editor->valueLabel(r.shows))
                                                                   : editor->control(r.shows);
            EXPECT_EQ(found, view);
        }
    }
    const int cabStarts[6] = {4, 25, 46, 66, 87, 107}; // first view of each cab
    for (int cab = 0; cab < 6; ++cab) {
        EXPECT_EQ(editor->fileMenu(cab), frame->getView(129 + cab));
        EXPECT_EQ(editor->folderLabel(cab), frame->getView(cabStarts[cab] + 4));
    }
}

TEST_F(EditorLayoutTest, BypassAndPhaseButtonsKeepTheirOwnColumnSteps)
{
    openEditor();
    // Cab 2 lies one column right: its load button 437 pixels right of cab 1's, its
    // bypass only 75 and its phase button 435.
    EXPECT_EQ(editor->control(kLoad + 1)->getViewSize().left, 500);
    EXPECT_EQ(editor->control(kBypass + 1)->getViewSize().left, 435);
    EXPECT_EQ(editor->control(kPhase + 1)->getViewSize().left, 546);
    EXPECT_EQ(editor->control(kBypass + 5)->getViewSize(), gui::CRect(435, 361, 493, 404));
    EXPECT_EQ(editor->control(kPhase + 4)->getViewSize(), gui::CRect(111, 413, 133, 448));
    EXPECT_EQ(editor->valueLabel(kVolume + 5)->getViewSize(), gui::CRect(745, 442, 790, 457));
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
