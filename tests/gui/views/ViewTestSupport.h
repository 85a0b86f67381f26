// Shared pieces of the view tests: the headless platform set up per test, a plain coloured
// view that records what it receives, a recording listener and editor, generated bitmaps and
// mouse scripts.
#pragma once

#include "gui/CBitmap.h"
#include "gui/CControl.h"
#include "gui/CControlListener.h"
#include "gui/CDragData.h"
#include "gui/CFrame.h"
#include "gui/CFrameEditor.h"
#include "gui/CView.h"
#include "gui/Pixels.h"
#include "platform/Headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace viewtest {

using gui::CColor;
using gui::CPoint;
using gui::CRect;

// Every test runs on the headless backend with fresh scripts, clock and cursor.
class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// One event log shared by the fakes below, so tests can check the order of calls.
using EventLog = std::vector<std::string>;

// A view painted in one colour that records the input it receives.
class BoxView : public gui::CView {
public:
    BoxView(const CRect& size, const CColor& color, EventLog* log = nullptr, const char* name = "box");

    void draw(gui::CDrawContext* context) override;
    void mouse(gui::CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    using gui::CView::onWheel;
    bool onWheel(gui::CDrawContext* context, const CPoint& where, float distance) override;
    std::int32_t onKeyDown(gui::CKeyCode& keyCode) override;
    bool onDrop(gui::CDrawContext* context, gui::CDragContainer* drag, const CPoint& where) override;
    void onDragEnter(gui::CDrawContext* context, gui::CDragContainer* drag, const CPoint& where) override;
    void onDragLeave(gui::CDrawContext* context, gui::CDragContainer* drag, const CPoint& where) override;
    void onDragMove(gui::CDrawContext* context, gui::CDragContainer* drag, const CPoint& where) override;

    CColor color;                  // fill colour
    std::string name;              // name in the event log
    EventLog* log = nullptr;       // where events are written, or null
    int draws = 0;                 // draw calls
    int clicks = 0;                // mouse calls
    CPoint lastClick;              // point of the last mouse call
    std::int32_t lastButtons = 0;  // buttons of the last mouse call
    int wheels = 0;                // wheel calls
    float lastDistance = 0.0f;     // distance of the last wheel call
    CPoint lastWheelAt;            // point of the last wheel call
    std::int32_t keyAnswer = -1;   // what onKeyDown answers
    int keys = 0;                  // onKeyDown calls
    bool dropAnswer = false;       // what onDrop answers
    gui::CDragContainer* keptDrag = nullptr; // a drag the view chose to remember (tests)
    bool keepDrag = false;         // remember the drag container at enter
};

class RecordingListener : public gui::CControlListener {
public:
    explicit RecordingListener(EventLog* log = nullptr) : log(log) {}
    void valueChanged(gui::CDrawContext* context, gui::CControl* control) override;
    std::int32_t controlModifierClicked(gui::CDrawContext* context, gui::CControl* control,
                                        std::int32_t buttons) override;

    std::vector<float> values;               // values reported, in order
    std::vector<gui::CControl*> controls;    // controls reported, in order
    int modifierClicks = 0;                  // modifier clicks offered
    std::int32_t modifierAnswer = 0;         // what controlModifierClicked answers
    EventLog* log = nullptr;                 // shared log, or null
};

class FakeEditor : public gui::CFrameEditor {
public:
    explicit FakeEditor(EventLog* log = nullptr) : log(log) {}
    void beginEdit(std::int32_t tag) override;
    void endEdit(std::int32_t tag) override;
    void doIdleStuff() override;
    bool canHostDo(const char* text) override;
    bool sizeWindow(std::int32_t width, std::int32_t height) override;

    std::vector<std::int32_t> begins;  // tags of beginEdit
    std::vector<std::int32_t> ends;    // tags of endEdit
    int idles = 0;                     // doIdleStuff calls
    bool hostCanSize = false;          // canHostDo("sizeWindow")
    bool hostAcceptsSize = false;      // sizeWindow answer
    std::vector<CRect> sizeRequests;   // sizes asked of the host
    gui::CFrame* idleFrame = nullptr;  // when set, doIdleStuff runs this frame's idle
    EventLog* log = nullptr;           // shared log, or null
};

class FakeDragData : public gui::CDragData {
public:
    bool hasText() const override { return !text.empty(); }
    std::int32_t getFileCount() const override { return static_cast<std::int32_t>(files.size()); }
    bool getText(char* buffer, std::size_t size) const override;
    bool getFile(std::int32_t index, char* buffer, std::size_t size) const override;

    std::string text;                // offered text, empty for none
    std::vector<std::string> files;  // offered files
};

// Opaque colour as a pixel of the toolkit's images.
std::uint32_t pixelOf(const CColor& color);
// A bitmap w x h in one opaque colour (one reference, the caller's).
gui::CBitmap* makeSolidBitmap(std::int32_t width, std::int32_t height, const CColor& color);
// Two stacked pictures (top, bottom), each w x h.
gui::CBitmap* makeTwoStateBitmap(std::int32_t width, std::int32_t height, const CColor& top, const CColor& bottom);
// A strip of `frames` pictures of w x h; picture k is stripColor(k).
gui::CBitmap* makeStripBitmap(std::int32_t width, std::int32_t height, std::int32_t frames);
CColor stripColor(std::int32_t frame);

// Mouse scripts (screen coordinates; the headless window sits at the screen origin unless a
// test moves it).
void queueMouse(std::int32_t x, std::int32_t y, std::int32_t buttons);
// The press at `from` (read by the frame), then one state per point with `buttons`, then the
// release at the last point: every point is seen by a control's tracking loop.
void queueDrag(const CPoint& from, const std::vector<CPoint>& points, std::int32_t buttons);

// Reads a file into memory; empty when it cannot be read.
std::vector<std::uint8_t> readFile(const std::string& path);

} // namespace viewtest
