// Value controls driven through the headless window and scripted mouse: knob drags, wheel
// and keys, resets, the 201-picture knob, on/off and kick buttons.
#include "ViewTestSupport.h"

#include "gui/CAnimKnob.h"
#include "gui/CKickButton.h"
#include "gui/CKnob.h"
#include "gui/COnOffButton.h"
#include "gui/Snapshot.h"

#include <cmath>

using namespace viewtest;
namespace headless = platform::headless;

namespace {

const CColor kDark{20, 20, 20, 255};
const CColor kLight{230, 230, 230, 255};

class ControlsTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        host = headless::createHostWindow(300, 300);
        frame = new gui::CFrame(CRect(0, 0, 300, 300), host, &editor);
        window = frame->getWindow();
    }
    void TearDown() override
    {
        frame->forget();
        headless::destroyHostWindow(host);
        HeadlessTest::TearDown();
    }
    // Adds the control and paints, so that it starts clean (drawn at its value).
    template <typename T>
    T* add(T* control)
    {
        frame->addView(control);
        headless::sendPaint(window, platform::Rect{0, 0, 300, 300});
        return control;
    }
    void click(std::int32_t x, std::int32_t y) { headless::sendButtonDown(window, platform::Point{x, y}); }

    platform::NativeHandle host = nullptr;
    gui::CFrame* frame = nullptr;
    platform::Window* window = nullptr;
    EventLog log;
    FakeEditor editor{&log};
    RecordingListener listener{&log};
};

} // namespace

TEST_F(ControlsTest, KnobDragOf200PixelsSweepsTheRange)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 40, 40), &listener, 8, nullptr));
    queueDrag(CPoint(20, 20), {CPoint(70, 20), CPoint(120, 20)}, gui::kLButton);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    // Only the values the drag made are reported: the focus the gesture gives the knob
    // marks it for redrawing, but the unchanged start value is not an edit.
    EXPECT_EQ(listener.values, (std::vector<float>{0.25f, 0.5f}));
    EXPECT_EQ(editor.begins, (std::vector<std::int32_t>{8}));
    EXPECT_EQ(editor.ends, (std::vector<std::int32_t>{8}));
    EXPECT_EQ(frame->getFocusView(), knob); // the gesture made it the focus
    EXPECT_GE(editor.idles, 2);             // the host kept alive while tracking

    // Up counts like right; beyond the end the value stays at the maximum.
    queueDrag(CPoint(20, 20), {CPoint(20, -80), CPoint(20, -300)}, gui::kLButton);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    queueDrag(CPoint(20, 20), {CPoint(-180, 20)}, gui::kLButton);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
}

TEST_F(ControlsTest, AKnobClickedWithoutMovingReportsNothing)
{
    // A knob whose drawn value differs from its value (as after a host change not drawn
    // yet), pressed and released on the spot: a gesture, but no edit for the host.
    auto* knob = add(new gui::CAnimKnob(CRect(0, 0, 40, 40), &listener, 8, 201, 40, nullptr));
    knob->setValue(0.3f);
    queueDrag(CPoint(20, 20), {CPoint(20, 20), CPoint(20, 20)}, gui::kLButton);
    click(20, 20);
    EXPECT_TRUE(listener.values.empty());
    EXPECT_FLOAT_EQ(knob->getValue(), 0.3f);
    EXPECT_EQ(editor.begins, (std::vector<std::int32_t>{8}));
    EXPECT_EQ(editor.ends, (std::vector<std::int32_t>{8}));
}

TEST_F(ControlsTest, KnobDiagonalsFollowDxMinusDy)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 40, 40), &listener, 8, nullptr));
    knob->setValue(0.5f);
    queueDrag(CPoint(20, 20), {CPoint(70, 70)}, gui::kLButton); // right and down: cancel
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    queueDrag(CPoint(20, 20), {CPoint(45, -5)}, gui::kLButton); // right and up: both raise
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
}

TEST_F(ControlsTest, ShiftDragsNeed300PixelsAndSwitchingMidDragDoesNotJump)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 40, 40), &listener, 8, nullptr));
    const std::int32_t fine = gui::kLButton | gui::kShift;
    queueDrag(CPoint(20, 20), {CPoint(170, 20)}, fine);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    queueDrag(CPoint(20, 20), {CPoint(170, 20)}, fine);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);

    // 100 px at normal speed, then shift goes down: no jump, the next 150 px add 0.5.
    knob->setValue(0.0f);
    listener.values.clear();
    queueMouse(20, 20, gui::kLButton);
    queueMouse(120, 20, gui::kLButton);
    queueMouse(120, 20, fine);
    queueMouse(270, 20, fine);
    queueMouse(270, 20, 0);
    click(20, 20);
    ASSERT_GE(listener.values.size(), 2u);
    EXPECT_FLOAT_EQ(listener.values[listener.values.size() - 2], 0.5f);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    for (std::size_t i = 1; i < listener.values.size(); ++i)
        EXPECT_LE(listener.values[i - 1], listener.values[i]);
}

TEST_F(ControlsTest, KnobWheelAndArrowKeysStepByWheelStep)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 40, 40), &listener, 8, nullptr));
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(20, 20), 1.0f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.1f);
    queueMouse(20, 20, gui::kShift); // shift held while the wheel turns
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(20, 20), 1.0f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.11f);
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(20, 20), -5.0f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
    EXPECT_EQ(editor.begins.size(), 3u); // each step its own edit gesture

    gui::CKeyCode key{};
    key.virt = gui::kVKeyRight;
    EXPECT_EQ(knob->onKeyDown(key), 1);
    key.virt = gui::kVKeyUp;
    key.modifier = gui::kModifierShift;
    EXPECT_EQ(knob->onKeyDown(key), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.11f);
    key.virt = gui::kVKeyLeft;
    key.modifier = 0;
    EXPECT_EQ(knob->onKeyDown(key), 1);
    key.virt = gui::kVKeyDown;
    EXPECT_EQ(knob->onKeyDown(key), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
    key.virt = gui::kVKeyReturn;
    EXPECT_EQ(knob->onKeyDown(key), -1);

    knob->setMouseEnabled(false);
    EXPECT_FALSE(knob->onWheel(nullptr, CPoint(20, 20), 1.0f));
}

TEST_F(ControlsTest, ControlClickResetsAKnobAndTogglesAnOnOffButton)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 40, 40), &listener, 8, nullptr));
    auto* button = add(new gui::COnOffButton(CRect(50, 0, 70, 20), &listener, 49, nullptr));
    knob->setValue(0.2f);
    button->setValue(1.0f);
    frame->draw(static_cast<gui::CView*>(nullptr));
    listener.values.clear();

    queueMouse(20, 20, gui::kLButton | gui::kControl);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(listener.values, (std::vector<float>{0.5f}));
    EXPECT_EQ(listener.modifierClicks, 1); // offered to the listener first
    queueMouse(60, 10, gui::kLButton | gui::kControl);
    click(60, 10);
    EXPECT_FLOAT_EQ(button->getValue(), 0.0f);

    // Only exactly left + control resets; shift + control + left drags (finely) instead.
    knob->setValue(0.2f);
    queueDrag(CPoint(20, 20), {CPoint(20, 20)}, gui::kLButton | gui::kControl | gui::kShift);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.2f);

    // A listener that takes the modifier click leaves the control alone.
    listener.modifierAnswer = 1;
    queueMouse(20, 20, gui::kLButton | gui::kControl);
    click(20, 20);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.2f);
}

TEST_F(ControlsTest, AnimKnobShowsPictureFloorOfValueTimes200)
{
    gui::CBitmap* strip = makeStripBitmap(4, 3, 201);
    auto* knob = add(new gui::CAnimKnob(CRect(10, 10, 14, 13), &listener, 48, 201, 3, strip));
    strip->forget();
    auto shown = [&](float value) {
        knob->setValue(value);
        gui::Pixels image = gui::Snapshot::renderView(knob);
        for (std::int32_t k = 0; k < 201; ++k)
            if (image.getPixel(2, 1) == pixelOf(stripColor(k)) && image.getPixel(0, 0) == image.getPixel(3, 2))
                return k;
        return -1;
    };
    EXPECT_EQ(shown(0.0f), 0);
    EXPECT_EQ(shown(0.5f), 100);
    EXPECT_EQ(shown(0.999f), 199);
    EXPECT_EQ(shown(1.0f), 200);
    EXPECT_EQ(shown(0.004f), 0);
    EXPECT_EQ(shown(0.0051f), 1);
    EXPECT_EQ(shown(-0.5f), 0);
    EXPECT_EQ(shown(1.5f), 200); // past the end: the last picture, never past the strip
    knob->setReverseFrames(true);
    EXPECT_EQ(shown(0.25f), 150);
    EXPECT_EQ(knob->getNbReference(), 2);
}

TEST_F(ControlsTest, AnimKnobRedrawsOnlyWhenItsHandleMoves)
{
    gui::CBitmap* strip = makeStripBitmap(40, 40, 201);
    auto* knob = add(new gui::CAnimKnob(CRect(0, 0, 40, 40), &listener, 48, 201, 40, strip));
    strip->forget();
    knob->setValue(0.5f);
    gui::Snapshot::renderView(knob);
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.502f); // the handle stays on the same pixel
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.6f);
    EXPECT_TRUE(knob->isDirty());
    gui::Snapshot::renderView(knob);
    knob->setDirty(true);
    EXPECT_TRUE(knob->isDirty());
    EXPECT_TRUE(knob->isTypeOf("CAnimKnob"));
    EXPECT_TRUE(knob->isTypeOf("CKnob"));
    EXPECT_TRUE(knob->isTypeOf("CControl"));
    EXPECT_TRUE(knob->isTypeOf("CView"));
}

TEST_F(ControlsTest, KnobAnglesPutTheMinimumLowerLeftAndTheMaximumLowerRight)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 41, 41), &listener, 1, nullptr));
    CPoint p;
    knob->handlePointForValue(p); // 225 degrees, inset 3 from the edge
    EXPECT_EQ(p, CPoint(8, 33));
    knob->setValue(1.0f);
    knob->handlePointForValue(p); // -45 degrees
    EXPECT_EQ(p, CPoint(33, 33));
    knob->setValue(0.5f);
    knob->handlePointForValue(p); // straight up
    EXPECT_EQ(p, CPoint(21, 3));
    EXPECT_NEAR(knob->valueFromPoint(CPoint(20, 0)), 0.5f, 0.01f);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(40, 40)), 1.0f, 0.01f);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 40)), 0.0f, 0.01f);
    knob->setRangeAngle(0.0f); // degenerate sweep: one handle position, no division by zero
    knob->handlePointForValue(p);
    EXPECT_EQ(p, CPoint(8, 33));
}

TEST_F(ControlsTest, OnOffButtonTogglesOnEveryClickAndTellsTheListener)
{
    gui::CBitmap* states = makeTwoStateBitmap(20, 10, kDark, kLight);
    auto* button = add(new gui::COnOffButton(CRect(0, 0, 20, 10), &listener, 49, states));
    states->forget();
    EXPECT_EQ(gui::Snapshot::renderView(button).getPixel(5, 5), pixelOf(kDark));

    for (int i = 0; i < 3; ++i) {
        queueMouse(5, 5, gui::kLButton);
        click(5, 5);
    }
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(gui::Snapshot::renderView(button).getPixel(5, 5), pixelOf(kLight));

    button->setValue(0.7f); // truncates to 0: switches on
    queueMouse(5, 5, gui::kLButton);
    click(5, 5);
    EXPECT_FLOAT_EQ(button->getValue(), 1.0f);
    button->setValue(1.3f);
    queueMouse(5, 5, gui::kLButton);
    click(5, 5);
    EXPECT_FLOAT_EQ(button->getValue(), 0.0f);

    // Style 0: the idle work first; style 1: the listener first.
    log.clear();
    queueMouse(5, 5, gui::kLButton);
    click(5, 5);
    EXPECT_EQ(log, (EventLog{"idle", "begin 49", "changed 1.00", "end 49"}));
    button->setStyle(gui::kPreListenerUpdate);
    log.clear();
    queueMouse(5, 5, gui::kLButton);
    click(5, 5);
    EXPECT_EQ(log, (EventLog{"begin 49", "changed 0.00", "end 49", "idle"}));

    // The right button alone does nothing; neither does a disabled button.
    const std::size_t reported = listener.values.size();
    queueMouse(5, 5, gui::kRButton);
    click(5, 5);
    button->setMouseEnabled(false);
    queueMouse(5, 5, gui::kLButton);
    click(5, 5);
    EXPECT_EQ(listener.values.size(), reported);
}

TEST_F(ControlsTest, KickButtonSendsOneThenZeroAndFollowsTheMouseOutAndBack)
{
    gui::CBitmap* states = makeTwoStateBitmap(17, 17, kDark, kLight);
    auto* kick = add(new gui::CKickButton(CRect(0, 0, 17, 17), &listener, 18, 17, states));
    states->forget();

    // Pressed and released inside.
    queueMouse(5, 5, gui::kLButton);
    queueMouse(5, 5, gui::kLButton);
    queueMouse(6, 6, gui::kLButton);
    queueMouse(6, 6, 0);
    click(5, 5);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(editor.begins, (std::vector<std::int32_t>{18}));
    EXPECT_EQ(editor.ends, (std::vector<std::int32_t>{18}));

    // Pressed, dragged outside, released there: 1, 0 on leaving, and the final 0.
    listener.values.clear();
    queueMouse(5, 5, gui::kLButton);
    queueMouse(5, 5, gui::kLButton);
    queueMouse(40, 40, gui::kLButton);
    queueMouse(40, 40, gui::kLButton);
    queueMouse(40, 40, 0);
    click(5, 5);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f, 0.0f}));

    // Out and back in: pressed again; the right and bottom edges are inside.
    listener.values.clear();
    queueMouse(5, 5, gui::kLButton);
    queueMouse(5, 5, gui::kLButton);
    queueMouse(40, 40, gui::kLButton);
    queueMouse(17, 17, gui::kLButton);
    queueMouse(17, 17, gui::kLButton);
    queueMouse(17, 17, 0);
    click(5, 5);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f, 1.0f, 0.0f}));

    // Released before the tracking began: still one press.
    listener.values.clear();
    queueMouse(5, 5, gui::kLButton);
    click(5, 5);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f}));
    EXPECT_FLOAT_EQ(kick->getValue(), 0.0f);

    kick->setValue(1.0f);
    EXPECT_EQ(gui::Snapshot::renderView(kick).getPixel(3, 3), pixelOf(kLight));
    kick->setValue(0.0f);
    EXPECT_EQ(gui::Snapshot::renderView(kick).getPixel(3, 3), pixelOf(kDark));
}

TEST_F(ControlsTest, DirtyRulesOfTheValue)
{
    auto* knob = add(new gui::CKnob(CRect(0, 0, 40, 40), nullptr, 1, nullptr));
    EXPECT_FALSE(knob->isDirty());
    EXPECT_FLOAT_EQ(knob->getDrawnValue(), knob->getValue());
    knob->setValue(0.3f);
    EXPECT_TRUE(knob->isDirty());
    knob->setDirty(false);
    EXPECT_FLOAT_EQ(knob->getDrawnValue(), 0.3f);
    EXPECT_FALSE(knob->isDirty());
    knob->setDirty(true);
    EXPECT_FLOAT_EQ(knob->getDrawnValue(), -1.0f);
    knob->setValue(-1.0f);
    knob->setDirty(true);
    EXPECT_FLOAT_EQ(knob->getDrawnValue(), 0.0f);
    knob->setDirty(false);
    knob->setValue(std::nanf("")); // ignored: a NaN would stay dirty forever
    EXPECT_FLOAT_EQ(knob->getValue(), -1.0f);

    knob->setValue(2.0f);
    knob->clampValue();
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    knob->setValue(-2.0f);
    knob->clampValue();
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
    EXPECT_FALSE(knob->checkDefaultReset(nullptr, gui::kLButton));
    EXPECT_FALSE(knob->checkDefaultReset(nullptr, gui::kLButton | gui::kControl | gui::kAlt));
    EXPECT_TRUE(knob->checkDefaultReset(nullptr, gui::kLButton | gui::kControl));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_FLOAT_EQ(knob->getWheelStep(), 0.1f);
    EXPECT_FLOAT_EQ(knob->getFineDragFactor(), 1.5f);
    EXPECT_TRUE(knob->wantsFocus());
}
