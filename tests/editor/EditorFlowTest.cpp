// Values both ways between the views and the effect, as a host sees them: a knob dragged
// with the scripted mouse reaches the host as automation; a host write shows at once on the
// editor's thread and at the next idle from any other thread, and is drawn only by an idle;
// the idle pacing of long gestures; and what a closed editor does (nothing).
#include "EditorTestSupport.h"

#include "editor/SnapshotRequest.h"
#include "effect/ParameterTable.h"
#include "gui/CDragData.h"
#include "gui/CDropTarget.h"
#include "gui/COffscreenContext.h"
#include "gui/CTextLabel.h"
#include "gui/PngWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace editortest;
using namespace orvex;
namespace headless = platform::headless;

namespace {

class EditorFlowTest : public EditorTest {
protected:
    std::uint32_t windowPixel(int x, int y) const
    {
        const headless::Snapshot s = headless::snapshot(window());
        return s.pixels[static_cast<std::size_t>(y * s.width + x)];
    }
};

} // namespace

TEST_F(EditorFlowTest, AKnobDragReachesTheHostAsAutomationWithTheKnobsValue)
{
    setParameter(kVolume + 2, 0.2f);
    openEditor();
    // Cab 3's volume knob: (309, 281), 40 x 40. 50 pixels right raise it by a quarter.
    headless::queueMouse({{329, 301}, 1});
    headless::queueMouse({{354, 301}, 1});
    headless::queueMouse({{379, 301}, 1});
    headless::queueMouse({{379, 301}, 0});
    headless::sendButtonDown(window(), platform::Point{329, 301});

    gui::CControl* knob = editor->control(kVolume + 2);
    EXPECT_NEAR(knob->getValue(), 0.45f, 1e-6);
    const std::vector<HostCall> automation = HostRecord::calls(vst::audioMasterAutomate);
    ASSERT_FALSE(automation.empty());
    for (const HostCall& c : automation)
        EXPECT_EQ(c.index, kVolume + 2);
    EXPECT_FLOAT_EQ(automation.back().opt, knob->getValue());
    EXPECT_FLOAT_EQ(getParameter(kVolume + 2), knob->getValue());
    EXPECT_STREQ(editor->valueLabel(kVolume + 2)->getText(), display(kVolume + 2).c_str());
    ASSERT_EQ(HostRecord::calls(vst::audioMasterBeginEdit).size(), 1u);
    EXPECT_EQ(HostRecord::calls(vst::audioMasterBeginEdit)[0].index, kVolume + 2);
    EXPECT_EQ(HostRecord::calls(vst::audioMasterEndEdit).size(), 1u);
}

TEST_F(EditorFlowTest, AHostWriteShowsAtOnceOnTheEditorsThreadAndIsDrawnAtTheNextIdle)
{
    openEditor();
    gui::CControl* bypass = editor->control(kBypass + 1);
    const gui::CRect r = bypass->getViewSize();
    const std::uint32_t before = windowPixel(r.left + 5, r.top + 5);
    const std::size_t presents = headless::presentCount(window());

    const float flipped = getParameter(kBypass + 1) < 0.5f ? 1.0f : 0.0f;
    setParameter(kBypass + 1, flipped);
    setParameter(kPan + 1, 0.0f);
    EXPECT_FLOAT_EQ(bypass->getValue(), flipped);
    EXPECT_FLOAT_EQ(editor->control(kPan + 1)->getValue(), 0.0f);
    EXPECT_STREQ(editor->valueLabel(kPan + 1)->getText(), display(kPan + 1).c_str());
    EXPECT_TRUE(editor->getFrame()->isDirty());
    EXPECT_EQ(headless::presentCount(window()), presents); // nothing drawn yet
    EXPECT_EQ(windowPixel(r.left + 5, r.top + 5), before);

    idle();
    EXPECT_GT(headless::presentCount(window()), presents);
    EXPECT_NE(windowPixel(r.left + 5, r.top + 5), before); // the other picture now
    EXPECT_FALSE(editor->getFrame()->isDirty());
}

TEST_F(EditorFlowTest, AHostWriteFromAnotherThreadShowsAtTheNextIdle)
{
    openEditor();
    gui::CControl* knob = editor->control(kFreqLp + 4);
    gui::CTextLabel* label = editor->valueLabel(kFreqLp + 4);
    const float oldValue = knob->getValue();
    const std::string oldText = label->getText();

    std::thread automation([&] { setParameter(kFreqLp + 4, 0.25f); });
    automation.join();
    EXPECT_FLOAT_EQ(getParameter(kFreqLp + 4), 0.25f);
    EXPECT_FLOAT_EQ(knob->getValue(), oldValue);
    EXPECT_EQ(label->getText(), oldText);

    const std::size_t presents = headless::presentCount(window());
    idle();
    EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
    EXPECT_STREQ(label->getText(), display(kFreqLp + 4).c_str());
    EXPECT_NE(label->getText(), oldText);
    EXPECT_GT(headless::presentCount(window()), presents);
}

TEST_F(EditorFlowTest, HostKeysReachTheFocusedKnobAndTheWheelTheKnobUnderTheCursor)
{
    setParameter(kPan, 0.5f);
    setParameter(kDelay + 1, 0.5f);
    openEditor();
    // A click without a move makes cab 1's pan knob the focus; the arrow keys then step it.
    headless::queueMouse({{286, 178}, 1});
    headless::queueMouse({{286, 178}, 0});
    headless::sendButtonDown(window(), platform::Point{286, 178});
    EXPECT_EQ(dispatch(vst::effEditKeyDown, 0, gui::kVKeyUp), 1);
    EXPECT_NEAR(getParameter(kPan), 0.6f, 1e-6);
    EXPECT_EQ(dispatch(vst::effEditKeyDown, 0, 'a'), 0); // not a key the knob takes
    // The host's wheel acts where the cursor is: cab 2's delay knob.
    headless::setMouse({{596, 178}, 0});
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_NEAR(getParameter(kDelay + 1), 0.6f, 1e-6);
    EXPECT_EQ(HostRecord::calls(vst::audioMasterAutomate).back().index, kDelay + 1);
}

TEST_F(EditorFlowTest, AFileDroppedOnTheEditorLoadsNothing)
{
    openEditor();
    auto* target = static_cast<gui::CDropTarget*>(headless::registeredDropTarget(window()));
    ASSERT_NE(target, nullptr);
    struct OneFile : gui::CDragData {
        bool hasText() const override { return false; }
        std::int32_t getFileCount() const override { return 1; }
        bool getText(char*, std::size_t) const override { return false; }
        bool getFile(std::int32_t, char* buffer, std::size_t size) const override
        {
            std::snprintf(buffer, size, "%s", "C:\\IR\\cab.wav");
            return true;
        }
    } file;
    const orvex::ProgramRecord before = orvex().currentProgram();
    const int loads = orvex().loadCount();
    std::uint32_t effect = gui::kDropEffectMove | gui::kDropEffectCopy;
    target->dragEnter(&file, 1, gui::CPoint(120, 150), &effect);
    effect = gui::kDropEffectMove | gui::kDropEffectCopy;
    target->drop(&file, 0, gui::CPoint(120, 150), &effect);
    EXPECT_EQ(effect, gui::kDropEffectNone); // the source never deletes the file
    EXPECT_EQ(orvex().loadCount(), loads);
    EXPECT_EQ(std::memcmp(&before, &orvex().currentProgram(), sizeof before), 0);
}

TEST_F(EditorFlowTest, LongGesturesIdleAtMostEveryHundredMilliseconds)
{
    openEditor();
    headless::setTicks(1000);
    editor->doIdleStuff();
    EXPECT_EQ(headless::paintDispatchCount(), 1u);
    EXPECT_EQ(HostRecord::calls(vst::audioMasterIdle).size(), 1u);

    // Within the next 50 ms: a short sleep and back to the gesture.
    headless::setTicks(1020);
    editor->doIdleStuff();
    EXPECT_EQ(headless::paintDispatchCount(), 1u);
    EXPECT_EQ(headless::peekTicks(), 1024u);
    // Later: idle, one paint and the host's idle again.
    headless::setTicks(1060);
    editor->doIdleStuff();
    EXPECT_EQ(headless::paintDispatchCount(), 2u);
    EXPECT_EQ(HostRecord::calls(vst::audioMasterIdle).size(), 2u);
}

TEST_F(EditorFlowTest, KnobModeIsAlwaysLinear)
{
    for (vst::IntPtr mode : {0, 1, 2})
        EXPECT_EQ(dispatch(vst::effSetEditKnobMode, 0, mode), 1);
    EXPECT_EQ(gui::CFrame::getGlobalKnobMode(), 2);
}

TEST_F(EditorFlowTest, AClosedEditorDoesNothingAndReportsNothingHandled)
{
    vst::ERect* rect = nullptr;
    ASSERT_EQ(dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 520);
    EXPECT_EQ(rect->right, 850);
    EXPECT_FALSE(editor->isOpen());

    openEditor();
    // No picture is drawn for `orvex snapshot` while the editor is open in a host's window.
    char path[] = "never-written.png";
    EXPECT_EQ(dispatch(vst::effVendorSpecific, editor::kSnapshotIndex, editor::kSnapshotValue, path), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    closeEditor();
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_TRUE(editor->isOpen()); // the host's window was given once
    idle();
    EXPECT_EQ(dispatch(vst::effEditKeyDown, 0, gui::kVKeyUp), 0);
    EXPECT_EQ(dispatch(vst::effEditKeyUp, 0, gui::kVKeyUp), 0);
    EXPECT_FALSE(editor->onWheel(1.0f));
    setParameter(kVolume, 0.7f);
    EXPECT_FLOAT_EQ(getParameter(kVolume), 0.7f);
    EXPECT_EQ(editor->control(kVolume), nullptr);
    std::int32_t index = 4;
    char name[kFileNameSize] = "same.wav";
    editor->stepCabFileNext(0, index, name);
    editor->getCabFileSelection(0, index, name);
    editor->selectCabFile("other.wav", kFileMenu, index);
    EXPECT_EQ(index, 4);
    EXPECT_STREQ(name, "same.wav");
    setParameter(kLatency, 0.8f);
    EXPECT_FLOAT_EQ(getParameter(kLatency), 1.0f);

    // Reopening builds everything again, from the effect's values.
    openEditor();
    EXPECT_FLOAT_EQ(editor->control(kVolume)->getValue(), 0.7f);
}

TEST_F(EditorFlowTest, ThePanelWithStandInPictures)
{
    // Not a check: a picture of the layout with one flat colour per bitmap frame, for a look
    // next to the tables (build/<preset>/snapshots/editor_layout.png).
    setParameter(kVolume, 1.0f);
    setParameter(kBypass + 3, 1.0f);
    openEditor();
    idle();
    const std::string dir = ORVEX_SNAPSHOT_DIR;
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(gui::PngWriter::writeFile(editor->getFrame()->getOffscreen()->getPixels(),
                                          (dir + "/editor_layout.png").c_str()));
}

TEST_F(EditorFlowTest, NoWindowOfOursMeansTheEditorDidNotOpen)
{
    // The system's own window layer, with nothing to open a window in: on Linux no display
    // at all, everywhere a parent handle that is no window. The host hears effEditOpen fail
    // and can go on idling and closing.
#ifndef _WIN32
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    setenv("DISPLAY", ":54321", 1);
#endif
    platform::setBackend(platform::Backend::native);
    EXPECT_EQ(dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(0x3FFFF1)), 0);
    idle();
    closeEditor();
    platform::setBackend(platform::Backend::headless);
#ifndef _WIN32
    if (saved)
        setenv("DISPLAY", display.c_str(), 1);
    else
        unsetenv("DISPLAY");
#endif
    openEditor(); // the headless layer still serves
    EXPECT_NE(window(), nullptr);
}
