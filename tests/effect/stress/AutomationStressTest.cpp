// A host that delivers automation on its audio thread, just before each processReplacing,
// steps "Next cab1" every 100 ms of audio through a folder of 1 s IRs, in real time. The
// longest audio callback (the automation write plus processReplacing) and the longest
// processReplacing are printed: the numbers are reported, not asserted. What is checked is
// that every step still reaches the cab and that the output stays finite.
#include "StressOptions.h"
#include "TestWav.h"

#include "effect/EditorLink.h"
#include "effect/Orvex.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <time.h>
#endif

using namespace orvex;

namespace {

vst::IntPtr VSTCALLBACK host(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// CPU time of the calling thread, in seconds: unlike the wall clock it leaves out the time
// the thread was not running, which on a shared machine says more about our own cost. 0
// where the system has no cheap per-thread clock.
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

// Longest wall-clock and CPU time of a kind of call, and its median wall-clock time.
struct Durations {
    std::vector<double> wall; // seconds per call, reserved before the run
    double longestCpu = 0.0;  // seconds
    void add(double wallSeconds, double cpuSeconds)
    {
        if (wall.size() < wall.capacity())
            wall.push_back(wallSeconds);
        longestCpu = std::max(longestCpu, cpuSeconds);
    }
    double longest() const { return wall.empty() ? 0.0 : *std::max_element(wall.begin(), wall.end()); }
    double median()
    {
        if (wall.empty())
            return 0.0;
        std::nth_element(wall.begin(), wall.begin() + static_cast<std::ptrdiff_t>(wall.size() / 2), wall.end());
        return wall[wall.size() / 2];
    }
};

// The editor's side as far as stepping needs it: cab 1's file list and current entry.
// Lists once, then steps without allocating (as the editor's model does).
class StepEditor : public EditorLink {
public:
    void setParameter(int, float) override {}
    void clearCabFile(int) override {}
    void selectCabFile(const char* name, int tag, std::int32_t& index) override
    {
        index = -1;
        for (std::size_t i = 0; tag == kFileMenu && i < names_.size(); ++i)
            if (names_[i] == name)
                index = current_ = static_cast<std::int32_t>(i);
    }
    void setCabFolders(const char* const[6]) override {}
    void setCabFileIndices(const std::int32_t[6]) override {}
    void getCabFileSelection(int, std::int32_t&, char*) override {}
    void stepCabFileNext(int cab, std::int32_t& index, char* name) override
    {
        if (cab != 0 || names_.empty())
            return;
        current_ = (current_ + 1) % static_cast<std::int32_t>(names_.size());
        index = current_;
        std::snprintf(name, kFileNameSize, "%s", names_[static_cast<std::size_t>(current_)].c_str());
    }
    void stepCabFilePrevious(int, std::int32_t&, char*) override {}
    void listFolder(int tag, const char* folder) override
    {
        if (tag != kFileMenu)
            return;
        names_.clear();
        for (const auto& entry : platform::listDirectory((std::string(folder) + "*.wav").c_str()))
            names_.push_back(entry.name);
        std::sort(names_.begin(), names_.end());
    }

private:
    std::vector<std::string> names_; // cab 1's menu
    std::int32_t current_ = 0;       // its current entry
};

TEST(AutomationStress, NextCabOnTheAudioThreadEveryHundredMilliseconds)
{
    constexpr int kIrs = 8;
    constexpr int kIrRate = 48000; // one second each, resampled to the host's rate
    constexpr int kBlock = 128;
    constexpr double kRate = 44100.0;
    testwav::TempFolder dir("orvex-automation");
    for (int i = 0; i < kIrs; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "ir%02d.wav", i);
        ASSERT_TRUE(testwav::write(dir.file(name), testwav::decayingIr(kIrRate, 100u + static_cast<unsigned>(i)), 1,
                                   kIrRate));
    }

    Orvex fx(host);
    StepEditor editor;
    fx.setEditorLink(&editor);
    ProgramRecord record = fx.currentProgram();
    std::snprintf(record.folder[0], kFolderSize, "%s", dir.folder().c_str());
    std::snprintf(record.fileName[0], kFileNameSize, "ir00.wav");
    record.values[kRecBypass] = 1.0f;
    ASSERT_EQ(fx.setChunk(&record, sizeof record, true), 1);

    const double seconds = stressSeconds();
    const long long totalFrames = static_cast<long long>(seconds * kRate);
    const int loadsBefore = fx.loadCount();
    int steps = 0;
    Durations callbacks; // automation write (when one comes) plus processReplacing
    Durations writes;    // the automation write alone
    Durations process;   // processReplacing alone
    const std::size_t blocks = static_cast<std::size_t>(totalFrames / kBlock + 1);
    callbacks.wall.reserve(blocks);
    process.wall.reserve(blocks);
    writes.wall.reserve(blocks);
    bool finite = true;

    std::thread audio([&] {
        std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), outR.data()};
        using Clock = std::chrono::steady_clock;
        const auto blockTime = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kBlock / kRate));
        auto deadline = Clock::now();
        long long nextStep = static_cast<long long>(kRate / 10);
        for (long long frame = 0; frame < totalFrames; frame += kBlock) {
            for (int i = 0; i < kBlock; ++i)
                inL[static_cast<std::size_t>(i)] = inR[static_cast<std::size_t>(i)] =
                    std::sin(static_cast<float>(frame + i) * 0.05f) * 0.3f;
            const auto start = Clock::now();
            const double cpuStart = threadCpuSeconds();
            if (frame >= nextStep) {
                fx.setParameter(kNext, 1.0f); // as a host delivers automation
                writes.add(std::chrono::duration<double>(Clock::now() - start).count(), threadCpuSeconds() - cpuStart);
                nextStep += static_cast<long long>(kRate / 10);
                ++steps;
            }
            const auto processStart = Clock::now();
            const double cpuProcess = threadCpuSeconds();
            fx.processReplacing(ins, outs, kBlock);
            const auto end = Clock::now();
            const double cpuEnd = threadCpuSeconds();
            callbacks.add(std::chrono::duration<double>(end - start).count(), cpuEnd - cpuStart);
            process.add(std::chrono::duration<double>(end - processStart).count(), cpuEnd - cpuProcess);
            for (float v : outL)
                finite = finite && std::isfinite(v);
            deadline += blockTime;
            std::this_thread::sleep_until(deadline);
        }
    });
    audio.join();
    // Loads handed to a loader may finish a little after the last step.
    for (int wait = 0; wait < 200 && fx.loadCount() - loadsBefore < steps; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    std::printf("automation stress: %.1f s, Next cab1 %d times, %d loads (ms: longest wall / longest CPU / "
                "median wall)\n"
                "  audio callback (write + processReplacing) %.3f / %.3f / %.3f\n"
                "  Next cab1 write on the audio thread      %.3f / %.3f / %.3f\n"
                "  processReplacing                         %.3f / %.3f / %.3f\n",
                seconds, steps, fx.loadCount() - loadsBefore, callbacks.longest() * 1e3, callbacks.longestCpu * 1e3,
                callbacks.median() * 1e3, writes.longest() * 1e3, writes.longestCpu * 1e3, writes.median() * 1e3,
                process.longest() * 1e3, process.longestCpu * 1e3, process.median() * 1e3);
    EXPECT_GT(steps, 0);
    EXPECT_TRUE(finite);
    // Each step loads the next file, unless a newer step superseded it before it was read.
    EXPECT_GT(fx.loadCount() - loadsBefore, 0);
    char last[32];
    std::snprintf(last, sizeof last, "ir%02d.wav", steps % kIrs);
    EXPECT_STREQ(fx.currentProgram().fileName[0], last);
    fx.setEditorLink(nullptr);
}

} // namespace
