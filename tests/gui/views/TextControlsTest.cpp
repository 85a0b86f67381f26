// Text views: the option menu's entries, current entry and popup; what text views draw
// (background, outline, bevels, text clipped to the view; text checked by where its ink lies,
// not by glyph pixels); labels keep their own copy of the text.
#include "ViewTestSupport.h"

#include "gui/CDrawContext.h"
#include "gui/COffscreenContext.h"
#include "gui/CViewContainer.h"
#include "gui/COptionMenu.h"
#include "gui/CParamDisplay.h"
#include "gui/CTextLabel.h"
#include "gui/Snapshot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

using namespace viewtest;
using gui::COptionMenu;
namespace headless = platform::headless;

namespace {

const CColor kGrey{90, 90, 90, 255};
const CColor kBlue{0, 0, 200, 255};
const CColor kWhite{255, 255, 255, 255};
const CColor kYellow{255, 255, 0, 255};
const CColor kBlack{0, 0, 0, 255};

class TextControlsTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        host = headless::createHostWindow(200, 100);
        frame = new gui::CFrame(CRect(0, 0, 200, 100), host, &editor);
        frame->setBackgroundColor(kGrey);
        headless::setWindowScreenOrigin(frame->getWindow(), platform::Point{100, 200});
    }
    void TearDown() override
    {
        frame->forget();
        headless::destroyHostWindow(host);
        HeadlessTest::TearDown();
    }
    COptionMenu* addLatencyMenu(const CRect& r, std::int32_t style = COptionMenu::kDefaultStyle)
    {
        auto* menu = new COptionMenu(r, &listener, 80, nullptr, style);
        for (const char* e : {"64", "128", "256", "512"})
            menu->appendEntry(e);
        menu->setCurrentIndex(2);
        frame->addView(menu);
        return menu;
    }
    void click(std::int32_t x, std::int32_t y, std::int32_t buttons = gui::kLButton)
    {
        queueMouse(100 + x, 200 + y, buttons);
        headless::sendButtonDown(frame->getWindow(), platform::Point{x, y});
    }
    // Bounding box of the pixels that differ from `background` inside area; empty if none.
    static CRect inkBox(const gui::Pixels& image, const CRect& area, std::uint32_t background)
    {
        CRect box(area.right, area.bottom, area.left, area.top);
        for (std::int32_t y = area.top; y < area.bottom; ++y)
            for (std::int32_t x = area.left; x < area.right; ++x)
                if (image.getPixel(x, y) != background) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    }

    platform::NativeHandle host = nullptr;
    gui::CFrame* frame = nullptr;
    EventLog log;
    FakeEditor editor{&log};
    RecordingListener listener{&log};
};

} // namespace

TEST_F(TextControlsTest, MenuEntriesAndTheCurrentEntry)
{
    COptionMenu menu(CRect(0, 0, 10, 10), nullptr, 0);
    char text[COptionMenu::kEntryBufferSize] = {};
    EXPECT_EQ(menu.getCurrentIndex(text), -1);
    EXPECT_TRUE(menu.appendEntry("64"));
    EXPECT_EQ(menu.getCurrentIndex(text), 0); // the first entry becomes current
    EXPECT_STREQ(text, "64");
    menu.appendEntry("128");
    menu.appendEntry("512");
    EXPECT_TRUE(menu.setCurrentIndex(2));
    EXPECT_TRUE(menu.appendEntry("256", 2)); // inserted before the current entry: it moves on
    EXPECT_EQ(menu.getCurrentIndex(text), 3);
    EXPECT_STREQ(text, "512");
    EXPECT_TRUE(menu.appendEntry("1024", 99)); // beyond the end: appended
    EXPECT_EQ(menu.getEntryCount(), 5);
    EXPECT_TRUE(menu.removeEntry(0));
    EXPECT_EQ(menu.getCurrentIndex(), 2);
    EXPECT_FALSE(menu.removeEntry(5));
    EXPECT_FALSE(menu.setCurrentIndex(4));
    EXPECT_FALSE(menu.setCurrentIndex(-1));
    EXPECT_TRUE(menu.getEntryText(1, text));
    EXPECT_STREQ(text, "256");
    EXPECT_FALSE(menu.getEntryText(7, text));

    // Removing the current first entry leaves the new first one current; empty: none.
    menu.setCurrentIndex(0);
    menu.removeEntry(0);
    EXPECT_EQ(menu.getCurrentIndex(), 0);
    menu.removeAllEntries();
    EXPECT_EQ(menu.getCurrentIndex(), -1);
    EXPECT_EQ(menu.getEntryCount(), 0);
    menu.appendEntry("again");
    EXPECT_EQ(menu.getCurrentIndex(), 0);

    // Separators are never current; findEntry distinguishes letter case.
    menu.appendEntry("-");
    menu.appendEntry("Marshall 4x12.wav");
    EXPECT_FALSE(menu.setCurrentIndex(1));
    EXPECT_EQ(menu.findEntry("Marshall 4x12.wav"), 2);
    EXPECT_EQ(menu.findEntry("marshall 4x12.wav"), -1);
    EXPECT_EQ(menu.findEntry(nullptr), -1);
    EXPECT_EQ(menu.findEntry(""), -1);

    // setValue: by integer part, only for a position that exists.
    menu.setValue(2.7f);
    EXPECT_EQ(menu.getCurrentIndex(), 2);
    EXPECT_FLOAT_EQ(menu.getValue(), 2.7f);
    menu.setValue(3.0f);
    menu.setValue(-1.5f);
    menu.setValue(std::nanf(""));
    EXPECT_EQ(menu.getCurrentIndex(), 2);
    menu.setValue(-0.5f); // truncates to 0
    EXPECT_EQ(menu.getCurrentIndex(), 0);
}

TEST_F(TextControlsTest, MenuTextsAreCutAndTheMenuIsBounded)
{
    COptionMenu menu(CRect(0, 0, 10, 10), nullptr, 0);
    const std::string longText(400, 'x');
    ASSERT_TRUE(menu.appendEntry(longText.c_str()));
    char text[COptionMenu::kEntryBufferSize];
    std::memset(text, '#', sizeof text);
    ASSERT_TRUE(menu.getEntryText(0, text));
    EXPECT_EQ(std::strlen(text), 255u);
    EXPECT_EQ(menu.findEntry(longText.c_str()), -1); // what is stored is the cut text
    char small[8];
    ASSERT_TRUE(menu.getEntryText(0, small, sizeof small));
    EXPECT_STREQ(small, "xxxxxxx");
    EXPECT_EQ(menu.getCurrentIndex(small, sizeof small), 0);
    EXPECT_STREQ(small, "xxxxxxx");

    for (int i = 1; i < COptionMenu::kMaxEntries; ++i)
        ASSERT_TRUE(menu.appendEntry(std::to_string(i).c_str()));
    EXPECT_FALSE(menu.appendEntry("one too many"));
    EXPECT_EQ(menu.getEntryCount(), COptionMenu::kMaxEntries);
    EXPECT_EQ(menu.findEntry("1023"), 1023);

    COptionMenu multi(CRect(0, 0, 10, 10), nullptr, 0, nullptr, gui::kMultipleCheckStyle);
    multi.appendEntry("a");
    multi.appendEntry("b");
    multi.setCurrentIndex(1);
    EXPECT_TRUE(multi.isEntryChecked(1));
    multi.setCurrentIndex(1);
    EXPECT_FALSE(multi.isEntryChecked(1));
    multi.checkOnlyEntry(0);
    EXPECT_TRUE(multi.isEntryChecked(0));
    EXPECT_FALSE(multi.isEntryChecked(1));
    EXPECT_FALSE(multi.setEntryChecked(5, true));
}

TEST_F(TextControlsTest, ChoosingFromThePopupReportsEvenTheSameEntry)
{
    COptionMenu* menu = addLatencyMenu(CRect(10, 20, 60, 40));
    headless::queuePopupAnswer(2); // the current entry again
    click(20, 30);
    ASSERT_EQ(headless::popupCount(), 1u);
    EXPECT_EQ(listener.values, (std::vector<float>{2.0f}));
    EXPECT_EQ(listener.controls.front(), menu);
    EXPECT_EQ(menu->getLastResult(), 2);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(log.front(), "begin 80");
    EXPECT_EQ(log.back(), "end 80");

    const auto& items = headless::lastPopupItems();
    ASSERT_EQ(items.size(), 4u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].number, static_cast<std::int32_t>(i));
        EXPECT_EQ(items[i].checked, i == 2) << i; // the current entry carries the check mark
    }
    EXPECT_EQ(items[3].text, "512");
    const platform::Point at = headless::lastPopupPosition();
    EXPECT_EQ(at.x, 100 + 10); // window origin + the view's left edge
    EXPECT_EQ(at.y, 200 + 40); // and its bottom edge

    headless::queuePopupAnswer(0);
    click(20, 30);
    EXPECT_EQ(menu->getCurrentIndex(), 0);
    EXPECT_EQ(listener.values.back(), 0.0f);

    // Dismissed: nothing chosen, nothing reported, the gesture still ends.
    log.clear();
    click(20, 30);
    EXPECT_EQ(listener.values.size(), 2u);
    EXPECT_EQ(log, (EventLog{"begin 80", "end 80"}));

    // The right button opens it too; the middle button alone does not; nor a disabled menu.
    click(20, 30, gui::kRButton);
    EXPECT_EQ(headless::popupCount(), 4u);
    EXPECT_EQ(menu->getLastButton(), gui::kRButton);
    click(20, 30, gui::kMButton);
    menu->setMouseEnabled(false);
    click(20, 30);
    EXPECT_EQ(headless::popupCount(), 4u);
}

TEST_F(TextControlsTest, PopupOpensAtTheTopWithStyle0x200AndCountsEnclosingContainers)
{
    auto* box = new gui::CViewContainer(CRect(30, 10, 190, 90), frame);
    frame->addView(box);
    auto* menu = new COptionMenu(CRect(5, 6, 50, 26), &listener, 1, nullptr, COptionMenu::kDefaultStyle | gui::kPopupStyle);
    menu->appendEntry("only");
    box->addView(menu);
    click(40, 20);
    ASSERT_EQ(headless::popupCount(), 1u);
    EXPECT_EQ(headless::lastPopupPosition().x, 100 + 30 + 5);
    EXPECT_EQ(headless::lastPopupPosition().y, 200 + 10 + 6);
}

TEST_F(TextControlsTest, PopupItemsNumberingSubmenusAndColumns)
{
    auto* menu = new COptionMenu(CRect(0, 0, 50, 20), &listener, 3, nullptr, gui::kMultipleCheckStyle);
    auto* sub = new COptionMenu(CRect(0, 0, 0, 0), nullptr, 0);
    sub->appendEntry("x");
    sub->appendEntry("y");
    menu->appendEntry("-TTitle");
    menu->appendEntry("a");
    menu->appendEntry("-");
    menu->appendEntry("-Ggrey");
    EXPECT_TRUE(menu->addSubmenuEntry(sub, "More"));
    menu->appendEntry("-Mno submenu");
    menu->appendEntry("b");
    menu->setEntryChecked(6, true);
    sub->forget(); // the menu keeps its own reference
    EXPECT_EQ(sub->getNbReference(), 1);
    frame->addView(menu);

    headless::queuePopupAnswer(7 + 1); // entries 0..6 of the menu, then the submenu's x, y
    click(10, 10);
    const auto& items = headless::lastPopupItems();
    ASSERT_EQ(items.size(), 6u); // the "-M" entry without a submenu is left out
    EXPECT_EQ(items[0].text, "Title");
    EXPECT_TRUE(items[0].disabled);
    EXPECT_EQ(items[1].number, 1);
    EXPECT_TRUE(items[2].separator);
    EXPECT_EQ(items[3].text, "grey");
    EXPECT_TRUE(items[3].greyed);
    EXPECT_EQ(items[4].text, "More");
    ASSERT_EQ(items[4].submenu.size(), 2u);
    EXPECT_EQ(items[4].submenu[0].number, 7);
    EXPECT_EQ(items[4].submenu[1].number, 8);
    EXPECT_EQ(items[5].text, "b");
    EXPECT_EQ(items[5].number, 6);
    EXPECT_TRUE(items[5].checked);

    // The choice belongs to the submenu: it is set there and reported with it.
    std::int32_t position = -1;
    EXPECT_EQ(menu->getLastItemMenu(position), sub);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(sub->getCurrentIndex(), 1);
    ASSERT_EQ(listener.controls.size(), 1u);
    EXPECT_EQ(listener.controls.front(), sub);

    // Column breaks every n entries, for menus shorter than 160 entries.
    menu->setItemsPerColumn(3);
    click(10, 10);
    const auto& columns = headless::lastPopupItems();
    for (const auto& item : columns)
        EXPECT_EQ(item.columnBreak, item.number == 3 || item.number == 6) << item.number;
}

TEST_F(TextControlsTest, LabelWithoutBitmapIsFilledAndOutlined)
{
    auto* label = new gui::CTextLabel(CRect(10, 10, 60, 30), nullptr, nullptr, 0);
    label->setBackgroundColor(kBlue);
    label->setFrameColor(kYellow);
    frame->addView(label);
    gui::Pixels image = gui::Snapshot::renderFrame(frame);
    EXPECT_EQ(image.getPixel(10, 10), pixelOf(kYellow));
    EXPECT_EQ(image.getPixel(59, 29), pixelOf(kYellow));
    EXPECT_EQ(image.getPixel(35, 20), pixelOf(kBlue));
    EXPECT_EQ(image.getPixel(60, 20), pixelOf(kGrey));

    // With a bitmap the bitmap is the background.
    gui::CBitmap* picture = makeSolidBitmap(50, 20, kWhite);
    label->setBackground(picture);
    picture->forget();
    image = gui::Snapshot::renderFrame(frame);
    EXPECT_EQ(image.getPixel(10, 10), pixelOf(kWhite));
    EXPECT_EQ(image.getPixel(35, 20), pixelOf(kWhite));

    // Style 0x1000: nothing at all, and the view starts clean.
    auto* hidden = new gui::CTextLabel(CRect(100, 10, 150, 30), "text", nullptr, gui::kNoDrawStyle);
    EXPECT_FALSE(hidden->isDirty());
    frame->addView(hidden);
    image = gui::Snapshot::renderFrame(frame);
    EXPECT_EQ(inkBox(image, CRect(95, 5, 155, 35), pixelOf(kGrey)).isEmpty(), true);
}

TEST_F(TextControlsTest, BevelsDrawTheirEdgesInBackgroundAndFrameColours)
{
    auto* sunken = new gui::CParamDisplay(CRect(10, 10, 40, 30), nullptr, gui::k3DIn | gui::kNoTextStyle);
    sunken->setBackgroundColor(kBlue);
    sunken->setFrameColor(kYellow);
    auto* raised = new gui::CParamDisplay(CRect(50, 10, 80, 30), nullptr, gui::k3DOut | gui::kNoTextStyle);
    raised->setBackgroundColor(kBlue);
    raised->setFrameColor(kYellow);
    frame->addView(sunken);
    frame->addView(raised);
    gui::Pixels image = gui::Snapshot::renderFrame(frame);

    // Sunken: the left edge (x = left) and the row below the top edge in the background
    // colour, the right edge (x = right - 1) and bottom edge (y = bottom - 1) in the frame colour.
    EXPECT_EQ(image.getPixel(10, 20), pixelOf(kBlue));
    EXPECT_EQ(image.getPixel(20, 11), pixelOf(kBlue));
    EXPECT_EQ(image.getPixel(39, 20), pixelOf(kYellow));
    EXPECT_EQ(image.getPixel(20, 29), pixelOf(kYellow));
    EXPECT_EQ(image.getPixel(25, 20), pixelOf(kBlue)); // the fill
    // Raised: the other way round.
    EXPECT_EQ(image.getPixel(50, 20), pixelOf(kYellow));
    EXPECT_EQ(image.getPixel(60, 11), pixelOf(kYellow));
    EXPECT_EQ(image.getPixel(79, 20), pixelOf(kBlue));
    EXPECT_EQ(image.getPixel(60, 29), pixelOf(kBlue));
}

TEST_F(TextControlsTest, TextStaysInsideTheViewAndFollowsTheAlignment)
{
    auto* wide = new gui::CTextLabel(CRect(20, 20, 60, 40), "WWWWWWWWWWWWWWWWWWWWWWWW", nullptr, gui::kNoFrame);
    wide->setBackgroundColor(kBlack);
    wide->setFontColor(kWhite);
    frame->addView(wide);
    auto* left = new gui::CTextLabel(CRect(70, 50, 190, 70), "Left", nullptr, 0);
    left->setTextAlignment(gui::kLeftText);
    frame->addView(left);
    auto* right = new gui::CTextLabel(CRect(70, 75, 190, 95), "Right", nullptr, 0);
    right->setTextAlignment(gui::kRightText);
    frame->addView(right);
    gui::Pixels image = gui::Snapshot::renderFrame(frame);

    // Everything outside the wide label is still the frame's background.
    const std::uint32_t grey = pixelOf(kGrey);
    EXPECT_TRUE(inkBox(image, CRect(0, 0, 200, 20), grey).isEmpty());
    EXPECT_TRUE(inkBox(image, CRect(0, 20, 20, 40), grey).isEmpty());
    EXPECT_TRUE(inkBox(image, CRect(60, 20, 200, 40), grey).isEmpty());
    EXPECT_TRUE(inkBox(image, CRect(0, 40, 70, 100), grey).isEmpty());
    const CRect ink = inkBox(image, CRect(21, 21, 60, 40), pixelOf(kBlack));
    EXPECT_FALSE(ink.isEmpty()); // and it does show text
    EXPECT_GE(ink.right, 55);    // running on to the right edge, where it is cut

    // Left text starts just inside the left edge; right text ends at the right edge.
    auto* probe = new gui::COffscreenContext(frame, 10, 10);
    probe->setFont(3, 0);
    const std::int32_t leftWidth = probe->getStringWidth("Left");
    probe->forget();
    const CRect leftInk = inkBox(image, CRect(71, 51, 189, 69), pixelOf(kBlack));
    ASSERT_FALSE(leftInk.isEmpty());
    EXPECT_GE(leftInk.left, 71);
    EXPECT_LE(leftInk.left, 71 + 3);
    EXPECT_LE(leftInk.right, 71 + leftWidth + 2);
    const CRect rightInk = inkBox(image, CRect(71, 76, 189, 94), pixelOf(kBlack));
    ASSERT_FALSE(rightInk.isEmpty());
    EXPECT_GE(rightInk.right, 189 - 3);
    EXPECT_GT(rightInk.left, 130);
}

TEST_F(TextControlsTest, LabelsKeepTheirOwnTextAndSettersMarkOnlyChanges)
{
    char source[16] = "folder";
    gui::CTextLabel label(CRect(0, 0, 40, 15), source);
    source[0] = 'X';
    EXPECT_STREQ(label.getText(), "folder");
    label.setDirty(false);
    label.setText("other");
    EXPECT_FALSE(label.isDirty()); // the caller decides when to redraw
    EXPECT_STREQ(label.getText(), "other");
    label.setText(nullptr);
    EXPECT_EQ(label.getText(), nullptr);

    label.setFontColor(gui::kWhiteCColor); // the default: no change
    label.setTextAlignment(gui::kCenterText);
    label.setFontIndex(3);
    EXPECT_FALSE(label.isDirty());
    label.setFontIndex(5);
    EXPECT_TRUE(label.isDirty());
    EXPECT_TRUE(label.isTypeOf("CTextLabel"));
    EXPECT_TRUE(label.isTypeOf("CParamDisplay"));
    EXPECT_FALSE(label.isTypeOf("COptionMenu"));
}

TEST_F(TextControlsTest, ParamDisplayShowsItsValueThroughAConverter)
{
    auto* display = new gui::CParamDisplay(CRect(10, 10, 110, 30));
    display->setBackgroundColor(kBlack);
    display->setStringConvert([](float value, char* text) {
        // Fills the whole buffer without a terminator: the view terminates it.
        std::memset(text, 'W', gui::CParamDisplay::kTextBufferSize);
        if (value > 0.5f)
            text[1] = '\0';
    });
    frame->addView(display);
    display->setValue(0.9f);
    gui::Pixels image = gui::Snapshot::renderFrame(frame);
    const CRect shortInk = inkBox(image, CRect(11, 11, 109, 29), pixelOf(kBlack));
    display->setValue(0.1f);
    image = gui::Snapshot::renderFrame(frame);
    const CRect longInk = inkBox(image, CRect(11, 11, 109, 29), pixelOf(kBlack));
    ASSERT_FALSE(shortInk.isEmpty());
    ASSERT_FALSE(longInk.isEmpty());
    EXPECT_GT(longInk.width(), shortInk.width());
}
