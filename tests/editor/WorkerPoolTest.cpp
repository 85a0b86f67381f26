// A host with a pool of audio threads, as guitarists' hosts have: two threads take turns
// block by block, each delivering automation just before its block ("Latency", the links,
// "Next cab", "Previous cab", the file menus, a volume), some of it before the first block
// has run; the plug-in's own effect with its real editor open (headless) and idled by the
// thread that owns it. The platform layer reports every file-system call: none may come
// from the audio threads, and the loader must have done the work they handed over.
// Meant for the tsan preset as well (it runs in every preset).
#include "EditorTestSupport.h"

#include "TempFolder.h"
#include "TestWav.h"

#include "effect/ParameterTable.h"
#include "gui/COptionMenu.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace editortest;
using namespace orvex;

namespace {

// CPU time of the calling thread (0 where the system has no cheap per-thread clock): unlike
// the wall clock it leaves out the time the thread waited for a processor on a busy machine.
double threadCpuSeconds()
{
#if !defined(_WIN32)
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#else
    return 0.0;
#endif
}

// Who touched the disk: the two audio threads, or anyone else (the owner, the loader).
std::atomic<std::uint64_t> audioThreads[2];
std::atomic<int> audioThreadCalls{0};
std::atomic<int> otherThreadCalls{0};

void observe(platform::FileSystemCall, const char* path)
{
    const std::uint64_t me = platform::currentThreadId();
    if (me == audioThreads[0].load() || me == audioThreads[1].load()) {
        if (audioThreadCalls.fetch_add(1) == 0)
            std::fprintf(stderr, "file-system call on an audio thread: %s\n", path ? path : "");
    } else {
        otherThreadCalls.fetch_add(1);
    }
}

class WorkerPoolTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        for (auto& id : audioThreads)
            id.store(~0ull);
        audioThreadCalls.store(0);
        otherThreadCalls.store(0);
    }
    void TearDown() override
    {
        platform::setFileSystemObserver(nullptr);
        HostRecord::setProcessLevel(0);
        EditorTest::TearDown();
    }
    void waitForLoader()
    {
        for (int i = 0; i < 5000 && orvex().loadsPending(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_FALSE(orvex().loadsPending());
    }

    TempFolder dir;
};

} // namespace

TEST_F(WorkerPoolTest, AudioThreadsTakingTurnsNeverTouchTheDisk)
{
    for (int i = 0; i < 4; ++i) {
        const std::string name = "cab" + std::to_string(i) + ".wav";
        ASSERT_TRUE(testwav::write(dir.file(name), testwav::decayingIr(400, 30u + static_cast<unsigned>(i))));
    }
    const std::string folder = folderOf(dir.path());
    restoreCab(0, folder, "cab0.wav");
    restoreCab(2, folder, "cab2.wav");
    setParameter(kBypass, 1.0f);
    setParameter(kBypass + 2, 1.0f);
    openEditor();
    idle();
    platform::setFileSystemObserver(&observe);

    constexpr int kBlocks = 400;
    constexpr int kBlock = 64;
    std::atomic<int> turn{0};      // block number; thread (turn % 2) plays it
    std::atomic<bool> done{false};
    std::atomic<bool> finite{true};
    double longest[2] = {0.0, 0.0};    // seconds of wall time: automation plus processReplacing
    double longestCpu[2] = {0.0, 0.0}; // the same in the thread's CPU time

    // What a host delivers before block b, on the thread that plays it.
    auto automate = [&](int b) {
        switch (b % 8) {
        case 0: setParameter(kLatency, static_cast<float>((b / 8) % 4) * 0.3f); break;
        case 1: setParameter(kLink12, (b / 8) % 2 ? 1.0f : 0.0f); break;
        case 2: setParameter(kNext, 1.0f); break;
        case 3: setParameter(kFileMenu + 2, static_cast<float>((b / 8) % 4)); break;
        case 4: setParameter(kLink34, (b / 8) % 2 ? 1.0f : 0.0f); break;
        case 5: setParameter(kPrevious + 2, 1.0f); break;
        case 6: setParameter(kVolume + 1, static_cast<float>(b % 100) / 100.0f); break;
        default: setParameter(kRequestRefreshCab, 1.0f); break;
        }
    };
    auto audio = [&](int self) {
        audioThreads[self].store(platform::currentThreadId());
        // Writes before the first block has run, on both threads.
        automate(self);
        automate(self + 2);
        std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), outR.data()};
        for (;;) {
            int b = turn.load();
            while (b < kBlocks && b % 2 != self) {
                std::this_thread::yield();
                b = turn.load();
            }
            if (b >= kBlocks)
                break;
            for (int i = 0; i < kBlock; ++i)
                inL[static_cast<std::size_t>(i)] = inR[static_cast<std::size_t>(i)] =
                    0.3f * std::sin(0.05f * static_cast<float>(b * kBlock + i));
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = threadCpuSeconds();
            automate(b);
            effect->processReplacing(effect, ins, outs, kBlock);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            longest[self] = std::max(longest[self], seconds);
            longestCpu[self] = std::max(longestCpu[self], threadCpuSeconds() - cpuStart);
            for (int i = 0; i < kBlock; ++i)
                if (!std::isfinite(outL[static_cast<std::size_t>(i)]) || !std::isfinite(outR[static_cast<std::size_t>(i)]))
                    finite.store(false);
            turn.store(b + 1);
        }
    };
    std::thread first(audio, 0);
    std::thread second(audio, 1);
    std::thread joiner([&] {
        first.join();
        second.join();
        done.store(true);
    });
    // The owner idles its open editor meanwhile, as a host's UI thread does.
    while (!done.load()) {
        idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    joiner.join();
    waitForLoader();
    idle();
    platform::setFileSystemObserver(nullptr);

    std::printf("worker pool: longest block with its automation, per thread: %.3f / %.3f ms wall, %.3f / %.3f ms "
                "CPU\n",
                longest[0] * 1e3, longest[1] * 1e3, longestCpu[0] * 1e3, longestCpu[1] * 1e3);
    EXPECT_EQ(audioThreadCalls.load(), 0);
    EXPECT_GT(otherThreadCalls.load(), 0); // the loader did the disk work they handed over
    EXPECT_TRUE(finite.load());
    // What the audio threads asked for reached the effect and the editor: cab 1 stepped on
    // from its file and its menu shows the file the record names.
    char shown[gui::COptionMenu::kEntryBufferSize] = {};
    editor->fileMenu(0)->getCurrentIndex(shown, sizeof shown);
    EXPECT_STREQ(shown, orvex().currentProgram().fileName[0]);
    EXPECT_EQ(editor->fileMenu(0)->getEntryCount(), 4);
    EXPECT_EQ(editor->latencyMenu()->getCurrentIndex(), latencyStep(getParameter(kLatency)));
}

TEST_F(WorkerPoolTest, AnOfflineBounceStartsWithTheIrsItsStateNames)
{
    // A chunk restored on the audio thread of an offline render: its first block already
    // plays the cab, since the block waits for what the loader still has to do. (In real
    // time it would not wait, and the cab would come in a moment later.)
    ASSERT_TRUE(testwav::write(dir.file("cab.wav"), testwav::decayingIr(400, 7u)));
    HostRecord::setProcessLevel(vst::kVstProcessLevelOffline);
    ProgramRecord record = orvex().currentProgram();
    std::snprintf(record.folder[0], kFolderSize, "%s", folderOf(dir.path()).c_str());
    std::snprintf(record.fileName[0], kFileNameSize, "cab.wav");
    record.values[recordSlot(kBypass)] = 1.0f;
    record.values[recordSlot(kVolume)] = 1.0f;
    record.values[recordSlot(kOutput)] = 1.0f;
    record.values[recordSlot(kOnOff)] = 1.0f;
    float peak = 0.0f;
    std::thread render([&] {
        ASSERT_EQ(dispatch(vst::effSetChunk, 1, static_cast<vst::IntPtr>(sizeof record), &record), 1);
        std::vector<float> in(512, 0.0f), outL(512), outR(512);
        in[0] = 1.0f;
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        effect->processReplacing(effect, ins, outs, 512);
        for (float v : outL)
            peak = std::max(peak, std::fabs(v));
    });
    render.join();
    EXPECT_GT(peak, 0.0f);
    EXPECT_STREQ(orvex().currentProgram().fileName[0], "cab.wav");
}
