// Loads and file steps asked for on the host's audio thread (automation delivered just
// before processReplacing) go to the effect's loader thread; what a write changes in the
// audio path happens at once, and the newest load of a cab wins whatever the order the
// threads run in.
#include "EffectTestSupport.h"
#include "RecordingEditor.h"
#include "TestWav.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrPreparer.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

using namespace orvex;
using namespace orvex::testing;

namespace {

// A thread that plays the host's audio thread: it runs processReplacing, then whatever the
// test gives it, on the same thread.
void onAudioThread(Orvex& fx, const std::function<void()>& work)
{
    std::thread audio([&] {
        float in[64] = {};
        float outL[64], outR[64];
        float* ins[2] = {in, in};
        float* outs[2] = {outL, outR};
        fx.processReplacing(ins, outs, 64);
        work();
        fx.processReplacing(ins, outs, 64);
    });
    audio.join();
}

bool waitForLoads(Orvex& fx)
{
    for (int i = 0; i < 500 && fx.loadsPending(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return !fx.loadsPending();
}

// The spectrum the effect gives a cab for this file at the default rate.
std::vector<double> preparedSpectrum(const std::string& path)
{
    dsp::IrPreparer preparer;
    std::vector<double> spectrum(dsp::ConvolutionEngine::kFftSize);
    preparer.prepare(path.c_str(), 44100.0f, dsp::ConvolutionEngine::kFftSize, spectrum.data());
    return spectrum;
}

// The spectrum slot 0 plays, once a block has taken what was handed over.
std::vector<double> playedSpectrum(Orvex& fx)
{
    float in[1] = {0.0f}, outL[1], outR[1];
    float* ins[2] = {in, in};
    float* outs[2] = {outL, outR};
    fx.processReplacing(ins, outs, 1);
    const double* values = fx.engine().slotState(0).spectrum.values();
    return std::vector<double>(values, values + dsp::ConvolutionEngine::kFftSize);
}

class AudioThreadLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            ASSERT_TRUE(testwav::write(dir.file(name), testwav::decayingIr(300, static_cast<unsigned>(name[0]))));
        fx = makeEffect();
        fx->setEditorLink(&editor);
        ProgramRecord rec = fx->currentProgram();
        std::snprintf(rec.folder[0], sizeof rec.folder[0], "%s", dir.folder().c_str());
        std::strcpy(rec.fileName[0], "a.wav");
        rec.values[kRecBypass] = 1.0f;
        ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
        ASSERT_EQ(editor.menus[0].size(), 3u);
    }
    void TearDown() override { fx->setEditorLink(nullptr); }

    testwav::TempFolder dir{"orvex-audio-load"};
    RecordingEditor editor;
    std::unique_ptr<Orvex> fx;
};

} // namespace

TEST_F(AudioThreadLoad, StepOnTheAudioThreadLoadsOnTheLoaderThread)
{
    const int before = fx->loadCount();
    std::uint64_t audioThread = 0;
    onAudioThread(*fx, [&] {
        audioThread = platform::currentThreadId();
        fx->setParameter(kNext, 1.0f);
    });
    // The step itself reads the editor's file list, which only the effect's file threads
    // do: it happens on the loader, which then reads the file. Neither the audio thread nor
    // ours read it, and the next block plays it.
    ASSERT_TRUE(waitForLoads(*fx));
    const std::string chosen = fx->currentProgram().fileName[0];
    EXPECT_NE(chosen, "a.wav");
    EXPECT_TRUE(editor.called("stepCabFileNext 0"));
    EXPECT_EQ(fx->loadCount() - before, 1);
    EXPECT_NE(fx->lastLoadThread(), audioThread);
    EXPECT_NE(fx->lastLoadThread(), platform::currentThreadId());
    EXPECT_EQ(playedSpectrum(*fx), preparedSpectrum(dir.file(chosen)));

    // The same write on the thread that owns the effect loads in line, as before.
    fx->setParameter(kNext, 1.0f);
    EXPECT_EQ(fx->loadCount() - before, 2);
    EXPECT_EQ(fx->lastLoadThread(), platform::currentThreadId());
    EXPECT_FALSE(fx->loadsPending());
}

// A load on the audio thread followed at once by one on the host's own thread: the second
// is newer and must be what plays, whichever of the two threads gets to the file first.
TEST_F(AudioThreadLoad, TheNewestLoadOfACabWins)
{
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        onAudioThread(*fx, [&] { fx->loadCabIr(1, dir.file("b.wav").c_str()); });
        fx->loadCabIr(1, dir.file("c.wav").c_str());
        ASSERT_TRUE(waitForLoads(*fx));
        EXPECT_EQ(playedSpectrum(*fx), preparedSpectrum(dir.file("c.wav")));
        // And the other way round: the audio thread's load comes last.
        fx->loadCabIr(1, dir.file("c.wav").c_str());
        onAudioThread(*fx, [&] { fx->loadCabIr(1, dir.file("b.wav").c_str()); });
        ASSERT_TRUE(waitForLoads(*fx));
        EXPECT_EQ(playedSpectrum(*fx), preparedSpectrum(dir.file("b.wav")));
    }
}
