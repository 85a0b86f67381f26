// Parameter changes: derivation, link and blend propagation, solo, bypass, latency steps,
// link and blend toggles, editor requests.
#include "EffectTestSupport.h"
#include "RecordingEditor.h"
#include "TestWav.h"

#include "dsp/ConvolutionEngine.h"
#include "platform/Headless.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvex;
using namespace orvex::testing;

namespace {

void allLinksAndBlendsOn(Orvex& fx)
{
    for (int index : {kLink12, kLink34, kLink56, kBlend13, kBlend24})
        fx.setParameter(index, 1.0f);
}

bool allZero(const std::vector<double>& v)
{
    return std::all_of(v.begin(), v.end(), [](double x) { return x == 0.0; });
}

} // namespace

TEST(Derivation, SlotFieldsFollowTheirParameters)
{
    auto fx = makeEffect();
    auto& c = fx->engine().slot(0);
    fx->setParameter(kPhase, 0.5f);
    EXPECT_EQ(c.polarity.load(), -1); // exactly 0.5 inverts
    fx->setParameter(kPhase, 0.49f);
    EXPECT_EQ(c.polarity.load(), 1);

    const struct {
        float v, left, right;
    } pans[] = {{0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 1.0f}, {0.25f, 1.0f, 0.5f}, {0.5f, 1.0f, 1.0f}, {0.75f, 0.5f, 1.0f}};
    for (const auto& p : pans) {
        fx->setParameter(kPan, p.v);
        EXPECT_FLOAT_EQ(c.panLeft.load(), p.left) << p.v;
        EXPECT_FLOAT_EQ(c.panRight.load(), p.right) << p.v;
    }

    fx->setParameter(kFreqHp, 0.001f);
    EXPECT_EQ(c.hpEnabled.load(), 0);
    fx->setParameter(kFreqHp, 0.0011f);
    EXPECT_EQ(c.hpEnabled.load(), 1);
    EXPECT_NEAR(c.hpFrequency.load(), 11.089, 0.001);
    fx->setParameter(kFreqLp, 0.999f);
    EXPECT_EQ(c.lpEnabled.load(), 0);
    fx->setParameter(kFreqLp, 0.998f);
    EXPECT_EQ(c.lpEnabled.load(), 1);
    EXPECT_NEAR(c.lpFrequency.load(), 11978.0, 0.01);

    fx->setParameter(kDelay, 1.0f);
    EXPECT_EQ(c.delayLength.load(), 220);
    fx->setParameter(kDelay, 0.5f);
    EXPECT_EQ(c.delayLength.load(), 110);
    fx->setParameter(kDelay, 0.003f);
    EXPECT_EQ(c.delayLength.load(), 0);
    // Values outside 0..1 from a careless host are held to the range: no delay past the
    // line, no unbounded gain.
    fx->setParameter(kDelay, 7.0f);
    EXPECT_EQ(c.delayLength.load(), 220);
    EXPECT_EQ(fx->getParameter(kDelay), 1.0f);
    fx->setParameter(kDelay, -1.0f);
    EXPECT_EQ(c.delayLength.load(), 0);
    fx->setParameter(kVolume, 1e30f);
    EXPECT_EQ(c.volume.load(), 1.0f);
    fx->setParameter(kPan, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(c.panLeft.load(), 1.0f);
    EXPECT_EQ(c.panRight.load(), 0.0f);

    fx->setParameter(kChannel, 0.5f);
    EXPECT_EQ(c.leftInput.load(), 0);
    EXPECT_EQ(c.rightInput.load(), 2);
    fx->setParameter(kChannel, 0.2f);
    EXPECT_EQ(c.leftInput.load(), 1);
    EXPECT_EQ(c.rightInput.load(), 0);

    fx->setParameter(kBypass, 0.5f);
    EXPECT_EQ(c.active.load(), 1);
    fx->setParameter(kBypass, 0.49f);
    EXPECT_EQ(c.active.load(), 0);

    fx->setParameter(kVolume, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(fx->getParameter(kVolume), 0.0f); // NaN reads as 0 instead of poisoning the mix
}

// The propagation table with every link and blend on: writing the first column to 0.3 sets
// the other three slots as listed.
TEST(Propagation, TableWithEveryFlagOn)
{
    struct Row {
        int written;
        int linked, linkedBlend, blended;
        bool volume; // volume rows complement, pan/channel rows mirror
    };
    const Row rows[] = {
        {kVolume + 0, kVolume + 1, kVolume + 3, kVolume + 2, true},
        {kVolume + 1, kVolume + 0, kVolume + 2, kVolume + 3, true},
        {kVolume + 2, kVolume + 3, kVolume + 1, kVolume + 0, true},
        {kVolume + 3, kVolume + 2, kVolume + 0, kVolume + 1, true},
        {kPan + 0, kPan + 1, kPan + 3, kPan + 2, false},
        {kPan + 1, kPan + 0, kPan + 2, kPan + 3, false},
        {kPan + 2, kPan + 3, kPan + 1, kPan + 0, false},
        {kPan + 3, kPan + 2, kPan + 0, kPan + 1, false},
        {kChannel + 0, kChannel + 1, kChannel + 3, kChannel + 2, false},
        {kChannel + 3, kChannel + 2, kChannel + 0, kChannel + 1, false},
    };
    const float v = 0.3f;
    for (const Row& r : rows) {
        auto fx = makeEffect();
        allLinksAndBlendsOn(*fx);
        fx->setParameter(r.written, v);
        EXPECT_FLOAT_EQ(fx->getParameter(r.written), v) << r.written;
        if (r.volume) {
            EXPECT_FLOAT_EQ(fx->getParameter(r.linked), v) << r.written;
            EXPECT_FLOAT_EQ(fx->getParameter(r.linkedBlend), 1.0f - v) << r.written;
            EXPECT_FLOAT_EQ(fx->getParameter(r.blended), 1.0f - v) << r.written;
        } else {
            EXPECT_FLOAT_EQ(fx->getParameter(r.linked), 1.0f - v) << r.written;
            EXPECT_FLOAT_EQ(fx->getParameter(r.linkedBlend), 1.0f - v) << r.written;
            EXPECT_FLOAT_EQ(fx->getParameter(r.blended), v) << r.written;
        }
    }
}

TEST(Propagation, FiltersFollowLinksOnlyAndSlotsFiveSixHaveNoBlend)
{
    auto fx = makeEffect();
    allLinksAndBlendsOn(*fx);
    fx->setParameter(kFreqLp + 1, 0.4f);
    EXPECT_FLOAT_EQ(fx->getParameter(kFreqLp + 0), 0.4f);
    EXPECT_FLOAT_EQ(fx->getParameter(kFreqLp + 2), 1.0f); // no blend step for filters
    fx->setParameter(kFreqHp + 4, 0.2f);
    EXPECT_FLOAT_EQ(fx->getParameter(kFreqHp + 5), 0.2f);
    fx->setParameter(kVolume + 4, 0.3f);
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 5), 0.3f);
    fx->setParameter(kPan + 5, 0.1f);
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 4), 0.9f);
    fx->setParameter(kChannel + 5, 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kChannel + 4), 1.0f);
}

TEST(Propagation, SingleFlags)
{
    {
        auto fx = makeEffect();
        fx->setParameter(kLink12, 1.0f);
        fx->setParameter(kPan, 0.2f);
        EXPECT_FLOAT_EQ(fx->getParameter(kPan + 1), 0.8f);
        fx->setParameter(kVolume, 0.3f);
        EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 1), 0.3f);
    }
    {
        auto fx = makeEffect();
        fx->setParameter(kLink12, 1.0f);
        fx->setParameter(kBlend13, 1.0f);
        fx->setParameter(kVolume + 1, 0.3f);
        EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 0), 0.3f);
        EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 2), 0.7f);
    }
    {
        auto fx = makeEffect();
        fx->setParameter(kBlend13, 1.0f);
        fx->setParameter(kPan + 2, 0.9f);
        EXPECT_FLOAT_EQ(fx->getParameter(kPan + 0), 0.9f);
        EXPECT_FLOAT_EQ(fx->getParameter(kPan + 1), 0.5f);
        EXPECT_FLOAT_EQ(fx->getParameter(kPan + 3), 0.5f);
    }
    {
        auto fx = makeEffect();
        fx->setParameter(kBlend24, 1.0f);
        fx->setParameter(kPan + 2, 0.9f);
        for (int cab : {0, 1, 3})
            EXPECT_FLOAT_EQ(fx->getParameter(kPan + cab), 0.5f);
    }
}

TEST(Toggles, BlendCopiesPanAndChannelAndComplementsVolume)
{
    auto fx = makeEffect();
    fx->setParameter(kVolume + 1, 0.25f);
    fx->setParameter(kPan + 1, 0.1f);
    fx->setParameter(kChannel + 1, 1.0f);
    fx->setParameter(kBlend24, 1.0f);
    EXPECT_TRUE(fx->blendFlag(1));
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 3), 0.75f);
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 3), 0.1f);
    EXPECT_FLOAT_EQ(fx->getParameter(kChannel + 3), 1.0f);
    fx->setParameter(kBlend24, 0.0f);
    EXPECT_FALSE(fx->blendFlag(1));
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 3), 0.75f); // switching off changes nothing else
}

TEST(Solo, Sequence)
{
    auto fx = makeEffect();
    auto audible = [&] {
        std::string s;
        for (int cab = 0; cab < 6; ++cab)
            s += fx->audible(cab) ? '1' : '0';
        return s;
    };
    EXPECT_EQ(audible(), "111111");
    fx->setParameter(kSolo + 1, 1.0f);
    EXPECT_EQ(audible(), "010000");
    fx->setParameter(kSolo + 4, 1.0f);
    EXPECT_EQ(audible(), "010010");
    fx->setParameter(kSolo + 1, 0.0f);
    EXPECT_EQ(audible(), "000010");
    fx->setParameter(kSolo + 4, 0.0f);
    EXPECT_EQ(audible(), "111111");
}

TEST(Bypass, SwitchingOffClearsTheSlotEveryTime)
{
    testwav::TempFolder dir("orvex-bypass");
    ASSERT_TRUE(testwav::write(dir.file("cab.wav"), testwav::decayingIr(300, 3)));
    auto fx = makeEffect();
    fx->loadCabIr(3, dir.file("cab.wav").c_str());
    fx->setParameter(kBypass + 2, 1.0f);
    std::vector<float> in(2048, 0.0f), out(2048);
    in[5] = 1.0f;
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out.data(), out.data() + 1024};
    std::vector<float> left(2048), right(2048);
    outs[0] = left.data();
    outs[1] = right.data();
    fx->processReplacing(ins, outs, 100);
    const auto& slot = fx->engine().slotState(2);
    ASSERT_FALSE(allZero(slot.overlapTail));

    for (int round = 0; round < 2; ++round) {
        fx->setParameter(kBypass + 2, 0.2f);
        EXPECT_EQ(fx->engine().slot(2).active.load(), 0);
        fx->processReplacing(ins, outs, 1); // the clear is applied at the next block
        EXPECT_TRUE(allZero(slot.overlapTail));
        EXPECT_TRUE(allZero(slot.blockOutput));
        fx->setParameter(kBypass + 2, 1.0f);
        fx->processReplacing(ins, outs, 100);
        fx->setParameter(kBypass + 2, 0.5f);
        EXPECT_EQ(fx->engine().slot(2).active.load(), 1);
    }
}

TEST(Latency, StepsWithAndWithoutEditor)
{
    auto fx = makeEffect();
    fx->setParameter(kLatency, 0.4f);
    EXPECT_FLOAT_EQ(fx->getParameter(kLatency), 0.4f); // stored unchanged without an editor
    EXPECT_EQ(fx->latencyValue(), 128.0f);
    EXPECT_EQ(fx->engine().hop(), 128);

    RecordingEditor editor;
    fx->setEditorLink(&editor);
    fx->setParameter(kLatency, 0.75f);
    EXPECT_FLOAT_EQ(fx->getParameter(kLatency), 1.0f);
    EXPECT_EQ(fx->latencyValue(), 512.0f);
    EXPECT_EQ(fx->engine().hop(), 512);
    // With an editor the step's own value is stored, whatever the menu showed before.
    fx->setParameter(kLatency, 0.4f);
    EXPECT_FLOAT_EQ(fx->getParameter(kLatency), 0.3f);
    EXPECT_EQ(fx->engine().hop(), 128);
    void* data = nullptr;
    fx->getChunk(&data, true);
    EXPECT_FLOAT_EQ(readAt<float>(data, 6800), 0.3f);
    // The latency display is refreshed after the reload, and the call reaches the editor.
    EXPECT_TRUE(editor.called("setParameter 80 0"));
    EXPECT_EQ(fx->getAeffect()->initialDelay, 0); // never reported to the host
    fx->setEditorLink(nullptr);
}

TEST(Toggles, LinkSharesTheFileAndSetsThePair)
{
    testwav::TempFolder dir("orvex-link");
    ASSERT_TRUE(testwav::write(dir.file("cabA.wav"), testwav::decayingIr(200, 1)));
    auto fx = makeEffect();
    ProgramRecord rec = fx->currentProgram();
    std::snprintf(rec.folder[0], sizeof rec.folder[0], "%s", dir.folder().c_str());
    std::strcpy(rec.fileName[0], "cabA.wav");
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 0), 0.0f); // a record's bypass stays as stored

    const int before = fx->loadCount();
    fx->setParameter(kLink12, 1.0f);
    EXPECT_EQ(fx->loadCount() - before, 2); // both slots load the same file
    const ProgramRecord& now = fx->currentProgram();
    EXPECT_STREQ(now.folder[1], dir.folder().c_str());
    EXPECT_STREQ(now.fileName[1], "cabA.wav");
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 0), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 1), 1.0f);
    EXPECT_EQ(display(*fx, kChannel + 0), "LEFT");
    EXPECT_EQ(display(*fx, kChannel + 1), "RIGHT");
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 0), 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 1), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 1), fx->getParameter(kVolume + 0));

    // Off changes only the flag.
    fx->setParameter(kLink12, 0.0f);
    EXPECT_FALSE(fx->linkFlag(0));
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 1), 1.0f);
}

TEST(Toggles, LinkWithoutFilesLoadsNothing)
{
    auto fx = makeEffect();
    const int before = fx->loadCount();
    fx->setParameter(kLink34, 1.0f);
    EXPECT_EQ(fx->loadCount(), before);
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 2), 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 3), 1.0f);
}

TEST(EditorRequests, CabNumberDecodingAndNoEditor)
{
    testwav::TempFolder dir("orvex-req");
    auto fx = makeEffect();
    // Without an editor nothing happens and nothing fails.
    fx->setParameter(kRequestRefreshCab, 3.0f);
    fx->setParameter(kRequestPushFolders, 0.0f);
    fx->setParameter(kNext, 1.0f);
    fx->setParameter(kFileMenu, 1.0f);

    RecordingEditor editor;
    fx->setEditorLink(&editor);
    // A cab without a folder has nothing to list: it shows as empty, and the record keeps
    // its file index (a failed lookup would write -1).
    editor.calls.clear();
    fx->setParameter(kRequestRefreshCab, 2.0f);
    ASSERT_GE(editor.calls.size(), 1u);
    EXPECT_EQ(editor.calls[0], "clearCabFile 51");
    EXPECT_EQ(fx->currentProgram().fileIndex[1], 0);

    ProgramRecord rec = fx->currentProgram();
    for (auto& folder : rec.folder)
        std::snprintf(folder, kFolderSize, "%s", dir.folder().c_str());
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    const struct {
        float value;
        int tag;
    } cases[] = {{3.4f, 52}, {0.2f, 50}, {9.0f, 55}, {1.49f, 50}, {5.51f, 55}, {2.5f, 52}, {-4.0f, 50}};
    for (const auto& c : cases) {
        editor.calls.clear();
        fx->setParameter(kRequestRefreshCab, c.value);
        ASSERT_GE(editor.calls.size(), 3u);
        EXPECT_EQ(editor.calls[0].substr(0, 13), "listFolder " + std::to_string(c.tag)) << c.value;
        editor.calls.clear();
        fx->setParameter(kRequestClearCab, c.value);
        EXPECT_EQ(editor.calls[0], "clearCabFile " + std::to_string(c.tag)) << c.value;
    }
    editor.calls.clear();
    fx->setParameter(kRequestPushFolders, 0.0f);
    ASSERT_EQ(editor.calls.size(), 3u);
    EXPECT_EQ(editor.calls[0], "setCabFolders");
    EXPECT_EQ(editor.calls[1], "setCabFileIndices");
    EXPECT_EQ(editor.calls[2], "setParameter 9999 0");
    // Every index ends with the editor notification, unknown ones included.
    editor.calls.clear();
    fx->setParameter(12345, 0.5f);
    ASSERT_EQ(editor.calls.size(), 1u);
    EXPECT_EQ(editor.calls[0], "setParameter 12345 0.5");
    fx->setEditorLink(nullptr);
}

TEST(FileActions, StepAndMenuChoiceLoadAndFollowTheLink)
{
    testwav::TempFolder dir("orvex-step");
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        ASSERT_TRUE(testwav::write(dir.file(name), testwav::decayingIr(100, 7)));
    auto fx = makeEffect();
    RecordingEditor editor;
    fx->setEditorLink(&editor);
    ProgramRecord rec = fx->currentProgram();
    std::snprintf(rec.folder[0], sizeof rec.folder[0], "%s", dir.folder().c_str());
    std::strcpy(rec.fileName[0], "b.wav");
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    // The restore listed the folder and selected the file.
    ASSERT_EQ(editor.menus[0].size(), 3u);
    const std::int32_t start = fx->currentProgram().fileIndex[0];
    ASSERT_GE(start, 0);
    EXPECT_EQ(editor.menus[0][static_cast<size_t>(start)], "b.wav");

    int before = fx->loadCount();
    fx->setParameter(kNext, 1.0f);
    EXPECT_EQ(fx->loadCount() - before, 1);
    const std::int32_t idx = fx->currentProgram().fileIndex[0];
    EXPECT_EQ(idx, (start + 1) % 3);
    EXPECT_EQ(std::string(fx->currentProgram().fileName[0]), editor.menus[0][static_cast<size_t>(idx)]);
    fx->setParameter(kNext, 0.5f); // not above 0.5: nothing
    EXPECT_EQ(fx->currentProgram().fileIndex[0], idx);

    // Linked: the partner loads the same path and its own menu steps.
    fx->setParameter(kLink12, 1.0f);
    before = fx->loadCount();
    fx->setParameter(kPrevious, 1.0f);
    EXPECT_EQ(fx->loadCount() - before, 2);
    EXPECT_TRUE(editor.called("stepCabFilePrevious 1"));

    // A menu choice: the menu's current entry becomes the file.
    editor.current[0] = 2;
    before = fx->loadCount();
    fx->setParameter(kFileMenu, 2.0f);
    EXPECT_EQ(fx->loadCount() - before, 2);
    EXPECT_EQ(std::string(fx->currentProgram().fileName[0]), editor.menus[0][2]);
    EXPECT_EQ(fx->currentProgram().fileIndex[0], 2);
    fx->setEditorLink(nullptr);
}

TEST(FileActions, WithoutAFolderNothingLoads)
{
    auto fx = makeEffect();
    RecordingEditor editor;
    fx->setEditorLink(&editor);
    const int before = fx->loadCount();
    fx->setParameter(kNext + 2, 1.0f);
    fx->setParameter(kFileMenu + 2, 0.0f);
    EXPECT_EQ(fx->loadCount(), before);
    fx->setEditorLink(nullptr);
}

// The sizes are those of the effect as built: a delay saved as 0.5 comes back as 110
// samples of the fixed 220 at any rate. The IRs are prepared again for a new rate.
TEST(SampleRate, SizesStayFixedAndIrsAreReloaded)
{
    testwav::TempFolder dir("orvex-rate");
    ASSERT_TRUE(testwav::write(dir.file("cab.wav"), testwav::decayingIr(1500, 11)));
    auto fx = makeEffect();
    ProgramRecord rec = fx->currentProgram();
    std::snprintf(rec.folder[0], sizeof rec.folder[0], "%s", dir.folder().c_str());
    std::strcpy(rec.fileName[0], "cab.wav");
    rec.values[kRecDelay] = 0.5f;
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    EXPECT_EQ(fx->delayLength(0), 110);

    for (float rate : {48000.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        const int before = fx->loadCount();
        fx->setSampleRate(rate);
        EXPECT_EQ(fx->loadCount() - before, 1); // prepared again at the new rate
        EXPECT_EQ(fx->engine().fftSize(), 2048);
        EXPECT_EQ(fx->delayCapacity(), 220);
        EXPECT_EQ(fx->delayLength(0), 110);
        fx->setParameter(kDelay, 1.0f);
        EXPECT_EQ(display(*fx, kDelay), "220 smp");
        // A restore at this rate gives the saved number of samples.
        ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
        EXPECT_EQ(fx->delayLength(0), 110);
    }

    // The same rate again changes nothing (hosts repeat it freely).
    int before = fx->loadCount();
    fx->setSampleRate(96000.0f);
    EXPECT_EQ(fx->loadCount(), before);
    // Nonsense rates are ignored.
    fx->setSampleRate(0.0f);
    fx->setSampleRate(-44100.0f);
    fx->setSampleRate(std::numeric_limits<float>::infinity());
    EXPECT_EQ(fx->getSampleRate(), 96000.0f);
    EXPECT_EQ(fx->loadCount(), before);
}
