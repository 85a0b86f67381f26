// The headless backend as tests and offline rendering use it: the mouse script, the fake
// clock, popups, the open-file dialog, window enabling, in-memory windows and their events.
#include "platform/Headless.h"
#include "platform/WindowLayer.h"

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

    WindowLayer& layer = headlessLayer(); // the layer under test
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
    EXPECT_EQ(layer.getMouseButtons(), 1);
    EXPECT_EQ(layer.getCursorPosition().x, 5);
    EXPECT_EQ(layer.getCursorPosition().y, 6); // position reads do not advance the script
    EXPECT_EQ(layer.getMouseButtons(), 17);
    EXPECT_EQ(layer.getCursorPosition().x, 7);
    EXPECT_EQ(layer.getMouseButtons(), 36);
    // Exhausted: buttons released, the cursor stays where it was.
    EXPECT_EQ(layer.getMouseButtons(), 0);
    EXPECT_EQ(layer.getMouseButtons(), 0);
    EXPECT_EQ(layer.getCursorPosition().x, 9);
    headless::setMouse({Point{1, 2}, kMiddleButton});
    EXPECT_EQ(layer.getCursorPosition().y, 2);
}

TEST_F(HeadlessTest, FakeClockAdvancesByItsStepPerReadAndBySleeps)
{
    EXPECT_EQ(layer.getTicks(), 0u);
    headless::setTicks(1000);
    headless::setTickStep(10);
    EXPECT_EQ(layer.getTicks(), 1010u);
    EXPECT_EQ(layer.getTicks(), 1020u);
    layer.sleepMs(50);
    EXPECT_EQ(headless::peekTicks(), 1070u);
    EXPECT_EQ(layer.getTicks(), 1080u);
    headless::setTicks(0xFFFFFFFFu); // wraps like the system counter
    EXPECT_EQ(layer.getTicks(), 9u);
}

TEST_F(HeadlessTest, CursorsAndPopupAnswers)
{
    EXPECT_EQ(headless::currentCursorShape(), CursorShape::arrow);
    const CursorId before = layer.getCurrentCursor();
    layer.setCurrentCursor(layer.getSystemCursor(CursorShape::hResize));
    EXPECT_EQ(headless::currentCursorShape(), CursorShape::hResize);
    EXPECT_NE(layer.getSystemCursor(CursorShape::hand), layer.getSystemCursor(CursorShape::copy));
    layer.setCurrentCursor(before);
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
    EXPECT_EQ(layer.showPopupMenu(nullptr, Point{30, 40}, items, false), -1); // nothing queued: dismissed
    headless::queuePopupAnswer(7);
    EXPECT_EQ(layer.showPopupMenu(nullptr, Point{31, 41}, items, true), 7);
    EXPECT_EQ(headless::popupCount(), 2u);
    EXPECT_EQ(headless::lastPopupPosition().x, 31);
    ASSERT_EQ(headless::lastPopupItems().size(), 3u);
    EXPECT_TRUE(headless::lastPopupItems()[2].submenu[0].checked);
}

TEST_F(HeadlessTest, OpenFileDialogTakesQueuedAnswersAndRespectsTheBuffer)
{
    NativeHandle owner = layer.getForegroundRootOwner();
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

    EXPECT_FALSE(layer.showOpenFileDialog(request)); // nothing queued: cancelled
    headless::queueDialogCancel();
    EXPECT_FALSE(layer.showOpenFileDialog(request));
    EXPECT_STREQ(path, "untouched");

    // A path one byte too long for the buffer fails and leaves the buffers as they were.
    headless::queueDialogChoose(std::string("C:\\") + std::string(28, 'a') + ".");
    EXPECT_FALSE(layer.showOpenFileDialog(request));
    EXPECT_STREQ(path, "untouched");

    layer.enableWindow(owner, false);
    headless::queueDialogChoose("C:\\IRs\\cabinet.wav");
    EXPECT_TRUE(layer.showOpenFileDialog(request));
    layer.enableWindow(owner, true);
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
    EXPECT_FALSE(layer.enableWindow(owner, false));
    EXPECT_TRUE(layer.enableWindow(owner, true));
    EXPECT_FALSE(layer.enableWindow(nullptr, true));

    OpenFileRequest noBuffer;
    headless::queueDialogChoose("C:\\x.wav");
    EXPECT_FALSE(layer.showOpenFileDialog(noBuffer));
}

TEST_F(HeadlessTest, WindowsKeepPresentedPixelsAndDeliverEvents)
{
    NativeHandle host = headless::createHostWindow(300, 200, nullptr, "MDIClient");
    Recorder events;
    EXPECT_EQ(layer.createWindow(nullptr, 10, 10, &events), nullptr); // no parent: no window
    Window* w = layer.createWindow(host, 4, 3, &events);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(headless::lastWindow(), w);
    EXPECT_EQ(layer.getWindowSize(w).right, 4);
    EXPECT_EQ(layer.getParentHandle(layer.getNativeHandle(w)), host);
    char cls[16];
    layer.getHandleClassName(host, cls, sizeof cls);
    EXPECT_STREQ(cls, "MDIClient");
    char tiny[4];
    layer.getHandleClassName(host, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "MDI");
    EXPECT_EQ(layer.getHandleRectInParent(host).right, 300);
    EXPECT_TRUE(layer.setHandleSize(host, 320, 210));
    EXPECT_EQ(layer.getHandleRectInParent(host).bottom, 210);
    EXPECT_EQ(layer.getParentHandle(reinterpret_cast<NativeHandle>(0x1234)), nullptr);

    // Presenting copies the area only, clipped to both the block and the window.
    std::vector<std::uint32_t> block(6 * 5, 0xFF112233u);
    layer.presentPixels(w, Rect{1, 1, 10, 10}, block.data(), 6, 5, 6);
    headless::Snapshot shot = headless::snapshot(w);
    ASSERT_EQ(shot.pixels.size(), 12u);
    EXPECT_EQ(shot.pixels[0], 0u);
    EXPECT_EQ(shot.pixels[1 * 4 + 1], 0xFF112233u);
    EXPECT_EQ(shot.pixels[2 * 4 + 3], 0xFF112233u);
    EXPECT_EQ(headless::presentCount(w), 1u);

    layer.invalidateWindow(w, Rect{0, 0, 2, 2});
    layer.invalidateWindow(w, Rect{1, 1, 3, 3});
    Rect dirty = headless::takeInvalidArea(w);
    EXPECT_EQ(dirty.right, 3);
    EXPECT_EQ(headless::takeInvalidArea(w).right, 0);

    headless::setWindowScreenOrigin(w, Point{100, 50});
    EXPECT_EQ(layer.getWindowScreenOrigin(w).x, 100);
    headless::sendPaint(w, Rect{0, 0, 4, 3});
    headless::sendButtonDown(w, Point{2, 1});
    headless::sendWheel(w, Point{103, 52}, 1.0f); // screen point -> window (3, 2)
    EXPECT_EQ(events.log, "paint 0,0,4,3;down 2,1;wheel 3,2 1;");

    int marker = 0;
    EXPECT_TRUE(layer.registerDropTarget(w, &marker));
    EXPECT_FALSE(layer.registerDropTarget(w, &marker)); // one target per window
    EXPECT_EQ(headless::registeredDropTarget(w), &marker);
    EXPECT_TRUE(layer.revokeDropTarget(w));
    EXPECT_FALSE(layer.revokeDropTarget(w));

    // The host destroying its window destroys ours first: one onDestroy, then silence.
    events.log.clear();
    headless::destroyHostWindow(host);
    headless::sendButtonDown(w, Point{0, 0});
    EXPECT_EQ(events.log, "destroy;");
    layer.destroyWindow(w); // the owner still releases it; no second onDestroy
    EXPECT_EQ(events.log, "destroy;");
    EXPECT_EQ(headless::lastWindow(), nullptr);
}

TEST_F(HeadlessTest, OleInitialisationsPair)
{
    EXPECT_TRUE(layer.initializeOle());
    EXPECT_TRUE(layer.initializeOle());
    EXPECT_EQ(headless::oleInitCount(), 2);
    layer.uninitializeOle();
    layer.uninitializeOle();
    layer.uninitializeOle(); // an extra one does not go below zero
    EXPECT_EQ(headless::oleInitCount(), 0);
}
