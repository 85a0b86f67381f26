// The editor under threads, for ThreadSanitizer (the tsan preset; it runs natively too).
// One thread owns the open editor and idles it without pause. Two host threads drive the
// effect at the same time: one automates parameters (and "Latency"), the other changes
// programs and steps and chooses through two cabs' folders. The effect itself takes no
// concurrent writers (a host serialises its own calls into it, which the two threads do
// with one lock); what is under test is everything the effect's calls reach in the
// editor against the editor's own thread. Run time: ORVEX_EDITOR_THREADS_SECONDS (2 s).
#include "EditorTestSupport.h"

#include "TempFolder.h"
#include "TestWav.h"

#include "effect/ParameterTable.h"
#include "gui/COptionMenu.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

using namespace editortest;
using namespace orvex;
namespace headless = platform::headless;

namespace {

double runSeconds()
{
    const char* text = std::getenv("ORVEX_EDITOR_THREADS_SECONDS");
    const double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : 2.0;
}

class EditorThreadsTest : public EditorTest {};

} // namespace

TEST_F(EditorThreadsTest, ParameterWritesProgramChangesAndStepsAgainstAnIdlingEditor)
{
    // Two cabs in every program, each with a folder of five files.
    TempFolder dirA;
    TempFolder dirB;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "ir" + std::to_string(i) + ".wav";
        ASSERT_TRUE(testwav::write(dirA.file(name), testwav::decayingIr(48, 10u + i)));
        ASSERT_TRUE(testwav::write(dirB.file(name), testwav::decayingIr(48, 20u + i)));
    }
    for (int program = 0; program < 3; ++program) {
        dispatch(vst::effSetProgram, 0, program);
        restoreCab(0, folderOf(dirA.path()), "ir1.wav");
        restoreCab(3, folderOf(dirB.path()), "ir3.wav");
    }
    dispatch(vst::effSetProgram, 0, 0);

    std::atomic<bool> open{false};
    std::atomic<bool> stop{false};
    std::atomic<int> idles{0};
    std::mutex hostCalls; // the host's own serialisation of its calls into the effect
    bool viewsAgree = false;

    std::thread ui([&] {
        platform::NativeHandle parent = headless::createHostWindow(900, 600);
        dispatch(vst::effEditOpen, 0, 0, parent);
        headless::sendPaint(window(), platform::Rect{0, 0, 850, 520});
        open.store(true);
        while (!stop.load()) {
            dispatch(vst::effEditIdle);
            idles.fetch_add(1);
        }
        // What the host threads handed to the effect's loader is done, then the last idle
        // shows it: the views then show the effect's state.
        while (orvex().loadsPending())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        dispatch(vst::effEditIdle);
        viewsAgree = editor->control(kVolume + 1)->getValue() == getParameter(kVolume + 1)
                     && editor->fileMenu(0)->getCurrentIndex() == editor->model().current(0)
                     && editor->fileMenu(3)->getEntryCount() == 5;
        dispatch(vst::effEditClose);
        headless::destroyHostWindow(parent);
    });
    while (!open.load())
        std::this_thread::yield();

    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(runSeconds());
    std::thread automation([&] {
        std::mt19937 random(1);
        const int indices[] = {kVolume + 1, kPan + 2, kFreqHp, kFreqLp + 3, kDelay + 4, kOutput, kPhase + 5,
                               kChannel + 1, kSolo + 2, kBypass + 4, kLatency};
        while (std::chrono::steady_clock::now() < end) {
            const int index = indices[random() % (sizeof indices / sizeof indices[0])];
            std::lock_guard<std::mutex> guard(hostCalls);
            setParameter(index, static_cast<float>(random() % 1000) / 999.0f);
        }
    });
    std::thread programs([&] {
        std::mt19937 random(2);
        while (std::chrono::steady_clock::now() < end) {
            std::lock_guard<std::mutex> guard(hostCalls);
            switch (random() % 4) {
            case 0: dispatch(vst::effSetProgram, 0, static_cast<vst::IntPtr>(random() % 3)); break;
            case 1: setParameter(kNext + (random() % 2 ? 0 : 3), 1.0f); break;
            case 2: setParameter(kPrevious + (random() % 2 ? 0 : 3), 1.0f); break;
            default: setParameter(kFileMenu + (random() % 2 ? 0 : 3), 0.0f); break;
            }
        }
    });
    automation.join();
    programs.join();
    stop.store(true);
    ui.join();
    EXPECT_GT(idles.load(), 10);
    EXPECT_TRUE(viewsAgree);
}
