// The headless backend as tests and offline rendering use it: the mouse script, the fake
// clock, popups, the open-file dialog, window enabling, in-memory windows and their events.
#include "platform/Headless.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace platform;

namespace {

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setBackend(Backend::headless);
        headless::reset();
    }
    void TearDown() override { headless::reset(); }
};

// Records every event a window receives.
struct Recorder : WindowListener {
    std::string log;
    void onPaint(const Rect& r) override
    {
        log += "paint " + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + ","
               + std::to_string(r.bottom) + ";";
    }
    void onButtonDown(const Point& p) override { log += "down " + std::to_string(p.x) + "," + std::to_string(p.y) + ";"; }
    void onWheel(const Point& p, float d) override
    {
        log += "wheel " + std::to_string(p.x) + "," + std::to_string(p.y) + " " + std::to_string(static_cast<int>(d)) + ";";
    }
    void onDestroy() override { log += "destroy;"; }
};

} // namespace

TEST_F(HeadlessTest, MouseScriptIsConsumedByButtonReadsThenReadsReleased)
{
    EXPECT_EQ(getBackend(), Backend::headless);
    headless::queueMouse({{Point{5, 6}, kLeftButton}, {Point{7, 8}, kLeftButton | kControl}, {Point{9, 9}, kRightButton | kAlt}});
    EXPECT_EQ(headless::pendingMouseStates(), 3u);
    EXPECT_EQ(getMouseButtons(), 1);
    EXPECT_EQ(getCursorPosition().x, 5);
    EXPECT_EQ(getCursorPosition().y, 6); // position reads do not advance the script
    EXPECT_EQ(getMouseButtons(), 17);
    EXPECT_EQ(getCursorPosition().x, 7);
    EXPECT_EQ(getMouseButtons(), 36);
    // Exhausted: buttons released, the cursor stays where it was.
    EXPECT_EQ(getMouseButtons(), 0);
    EXPECT_EQ(getMouseButtons(), 0);
    EXPECT_EQ(getCursorPosition().x, 9);
    headless::setMouse({Point{1, 2}, kMiddleButton});
    EXPECT_EQ(getCursorPosition().y, 2);
}

TEST_F(HeadlessTest, FakeClockAdvancesByItsStepPerReadAndBySleeps)
{
    EXPECT_EQ(getTicks(), 0u);
    headless::setTicks(1000);
    headless::setTickStep(10);
    EXPECT_EQ(getTicks(), 1010u);
    EXPECT_EQ(getTicks(), 1020u);
    sleepMs(50);
    EXPECT_EQ(headless::peekTicks(), 1070u);
    EXPECT_EQ(getTicks(), 1080u);
    headless::setTicks(0xFFFFFFFFu); // wraps like the system counter
    EXPECT_EQ(getTicks(), 9u);
}

TEST_F(HeadlessTest, CursorsAndPopupAnswers)
{
    EXPECT_EQ(headless::currentCursorShape(), CursorShape::arrow);
    const CursorId before = getCurrentCursor();
    setCurrentCursor(getSystemCursor(CursorShape::hResize));
    EXPECT_EQ(headless::currentCursorShape(), CursorShape::hResize);
    EXPECT_NE(getSystemCursor(CursorShape::hand), getSystemCursor(CursorShape::copy));
    setCurrentCursor(before);
    EXPECT_EQ(headless::currentCursorShape(), CursorShape::arrow);

    std::vector<MenuItem> items(3);
    items[0].text = "64";
    items[0].number = 0;
    items[1].separator = true;
    items[2].text = "More";
    items[2].submenu.resize(1);
    items[2].submenu[0].text = "512";
    items[2].submenu[0].number = 7;
    items[2].submenu[0].checked = true;
    EXPECT_EQ(showPopupMenu(nullptr, Point{30, 40}, items, false), -1); // nothing queued: dismissed
    headless::queuePopupAnswer(7);
    EXPECT_EQ(showPopupMenu(nullptr, Point{31, 41}, items, true), 7);
    EXPECT_EQ(headless::popupCount(), 2u);
    EXPECT_EQ(headless::lastPopupPosition().x, 31);
    ASSERT_EQ(headless::lastPopupItems().size(), 3u);
    EXPECT_TRUE(headless::lastPopupItems()[2].submenu[0].checked);
}

TEST_F(HeadlessTest, OpenFileDialogTakesQueuedAnswersAndRespectsTheBuffer)
{
    NativeHandle owner = getForegroundRootOwner();
    ASSERT_NE(owner, nullptr);
    char path[32] = "untouched";
    char name[6] = "name";
    OpenFileRequest request;
    request.owner = owner;
    request.title = "Test for open file selector";
    request.filter = "Wave File (.wav)\0*.wav\0Any Type (*.*)\0*.*\0";
    request.initialDir = "C:\\IRs\\";
    request.flags = 0x1808;
    request.fileBuffer = path;
    request.fileBufferSize = sizeof path;
    request.fileTitleBuffer = name;
    request.fileTitleSize = sizeof name;

    EXPECT_FALSE(showOpenFileDialog(request)); // nothing queued: cancelled
    headless::queueDialogCancel();
    EXPECT_FALSE(showOpenFileDialog(request));
    EXPECT_STREQ(path, "untouched");

    // A path one byte too long for the buffer fails and leaves the buffers as they were.
    headless::queueDialogChoose(std::string("C:\\") + std::string(28, 'a') + ".");
    EXPECT_FALSE(showOpenFileDialog(request));
    EXPECT_STREQ(path, "untouched");

    enableWindow(owner, false);
    headless::queueDialogChoose("C:\\IRs\\cabinet.wav");
    EXPECT_TRUE(showOpenFileDialog(request));
    enableWindow(owner, true);
    EXPECT_STREQ(path, "C:\\IRs\\cabinet.wav");
    EXPECT_STREQ(name, "cabin"); // the name part, cut to its 6-byte buffer
    ASSERT_EQ(headless::dialogRecords().size(), 4u);
    const headless::DialogRecord& last = headless::dialogRecords().back();
    EXPECT_EQ(last.title, "Test for open file selector");
    EXPECT_EQ(last.filter, (std::vector<std::string>{"Wave File (.wav)", "*.wav", "Any Type (*.*)", "*.*"}));
    EXPECT_EQ(last.initialDir, "C:\\IRs\\");
    EXPECT_EQ(last.flags, 0x1808u);
    EXPECT_FALSE(last.ownerEnabled);
    EXPECT_TRUE(headless::isEnabled(owner));

    // EnableWindow answers whether the window was disabled before, as the system call does.
    ASSERT_EQ(headless::enableRecords().size(), 2u);
    EXPECT_FALSE(headless::enableRecords()[0].enable);
    EXPECT_FALSE(enableWindow(owner, false));
    EXPECT_TRUE(enableWindow(owner, true));
    EXPECT_FALSE(enableWindow(nullptr, true));

    OpenFileRequest noBuffer;
    headless::queueDialogChoose("C:\\x.wav");
    EXPECT_FALSE(showOpenFileDialog(noBuffer));
}

TEST_F(HeadlessTest, WindowsKeepPresentedPixelsAndDeliverEvents)
{
    NativeHandle host = headless::createHostWindow(300, 200, nullptr, "MDIClient");
    Recorder events;
    EXPECT_EQ(createWindow(nullptr, 10, 10, &events), nullptr); // no parent: no window
    Window* w = createWindow(host, 4, 3, &events);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(headless::lastWindow(), w);
    EXPECT_EQ(getWindowSize(w).right, 4);
    EXPECT_EQ(getParentHandle(getNativeHandle(w)), host);
    char cls[16];
    getHandleClassName(host, cls, sizeof cls);
    EXPECT_STREQ(cls, "MDIClient");
    char tiny[4];
    getHandleClassName(host, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "MDI");
    EXPECT_EQ(getHandleRectInParent(host).right, 300);
    EXPECT_TRUE(setHandleSize(host, 320, 210));
    EXPECT_EQ(getHandleRectInParent(host).bottom, 210);
    EXPECT_EQ(getParentHandle(reinterpret_cast<NativeHandle>(0x1234)), nullptr);

    // Presenting copies the area only, clipped to both the block and the window.
    std::vector<std::uint32_t> block(6 * 5, 0xFF112233u);
    presentPixels(w, Rect{1, 1, 10, 10}, block.data(), 6, 5, 6);
    headless::Snapshot shot = headless::snapshot(w);
    ASSERT_EQ(shot.pixels.size(), 12u);
    EXPECT_EQ(shot.pixels[0], 0u);
    EXPECT_EQ(shot.pixels[1 * 4 + 1], 0xFF112233u);
    EXPECT_EQ(shot.pixels[2 * 4 + 3], 0xFF112233u);
    EXPECT_EQ(headless::presentCount(w), 1u);

    invalidateWindow(w, Rect{0, 0, 2, 2});
    invalidateWindow(w, Rect{1, 1, 3, 3});
    Rect dirty = headless::takeInvalidArea(w);
    EXPECT_EQ(dirty.right, 3);
    EXPECT_EQ(headless::takeInvalidArea(w).right, 0);

    headless::setWindowScreenOrigin(w, Point{100, 50});
    EXPECT_EQ(getWindowScreenOrigin(w).x, 100);
    headless::sendPaint(w, Rect{0, 0, 4, 3});
    headless::sendButtonDown(w, Point{2, 1});
    headless::sendWheel(w, Point{103, 52}, 1.0f); // screen point -> window (3, 2)
    EXPECT_EQ(events.log, "paint 0,0,4,3;down 2,1;wheel 3,2 1;");

    int marker = 0;
    EXPECT_TRUE(registerDropTarget(w, &marker));
    EXPECT_FALSE(registerDropTarget(w, &marker)); // one target per window
    EXPECT_EQ(headless::registeredDropTarget(w), &marker);
    EXPECT_TRUE(revokeDropTarget(w));
    EXPECT_FALSE(revokeDropTarget(w));

    // The host destroying its window destroys ours first: one onDestroy, then silence.
    events.log.clear();
    headless::destroyHostWindow(host);
    headless::sendButtonDown(w, Point{0, 0});
    EXPECT_EQ(events.log, "destroy;");
    destroyWindow(w); // the owner still releases it; no second onDestroy
    EXPECT_EQ(events.log, "destroy;");
    EXPECT_EQ(headless::lastWindow(), nullptr);
}

TEST_F(HeadlessTest, OleInitialisationsPair)
{
    EXPECT_TRUE(initializeOle());
    EXPECT_TRUE(initializeOle());
    EXPECT_EQ(headless::oleInitCount(), 2);
    uninitializeOle();
    uninitializeOle();
    uninitializeOle(); // an extra one does not go below zero
    EXPECT_EQ(headless::oleInitCount(), 0);
}
