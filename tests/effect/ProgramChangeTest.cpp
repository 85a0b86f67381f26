// Program changes and restores: the order of re-application, the loads they cause and what
// links and blends make of the stored values.
#include "EffectTestSupport.h"
#include "RecordingEditor.h"
#include "TestWav.h"

#include "dsp/ConvolutionEngine.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace orvex;
using namespace orvex::testing;

namespace {

ProgramRecord recordWith(int cab, const std::string& folder, const char* name)
{
    ProgramRecord rec;
    rec.makeFresh();
    std::snprintf(rec.folder[cab], sizeof rec.folder[cab], "%s", folder.c_str());
    std::snprintf(rec.fileName[cab], sizeof rec.fileName[cab], "%s", name);
    return rec;
}

} // namespace

TEST(ProgramChange, NamesOfThreeCharactersLoadAndShorterOnesDoNot)
{
    testwav::TempFolder dir("orvex-prog");
    ASSERT_TRUE(testwav::write(dir.file("abc"), testwav::decayingIr(50, 1)));
    ASSERT_TRUE(testwav::write(dir.file("ab"), testwav::decayingIr(50, 1)));
    auto fx = makeEffect();

    ProgramRecord three = recordWith(1, dir.folder(), "abc");
    int before = fx->loadCount();
    ASSERT_EQ(fx->setChunk(&three, sizeof three, true), 1);
    // Read in the latency step, the reload after the rate, the load step and the final
    // latency step.
    EXPECT_EQ(fx->loadCount() - before, 4);
    float in[1] = {0.0f}, outL[1], outR[1];
    float* ins[2] = {in, in};
    float* outs[2] = {outL, outR};
    fx->processReplacing(ins, outs, 1); // the audio thread takes the new spectrum
    EXPECT_NE(fx->engine().slotState(1).spectrum.values()[0], 0.0);

    ProgramRecord two = recordWith(1, dir.folder(), "ab");
    before = fx->loadCount();
    ASSERT_EQ(fx->setChunk(&two, sizeof two, true), 1);
    EXPECT_EQ(fx->loadCount(), before);
}

TEST(ProgramChange, EditorHearsFoldersThenEachCab)
{
    testwav::TempFolder dir("orvex-prog-ed");
    ASSERT_TRUE(testwav::write(dir.file("one.wav"), testwav::decayingIr(50, 1)));
    auto fx = makeEffect();
    RecordingEditor editor;
    fx->setEditorLink(&editor);
    ProgramRecord rec = recordWith(2, dir.folder(), "one.wav");
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    EXPECT_EQ(editor.folders[2], dir.folder());
    EXPECT_EQ(editor.menus[2].size(), 1u);
    EXPECT_EQ(fx->currentProgram().fileIndex[2], 0);
    // The other cabs are shown empty.
    for (int tag : {50, 51, 53, 54, 55})
        EXPECT_TRUE(editor.called("clearCabFile " + std::to_string(tag))) << tag;
    fx->setEditorLink(nullptr);
}

TEST(ProgramChange, LinksAreAppliedAgainAfterTheLoads)
{
    testwav::TempFolder dir("orvex-prog-link");
    ASSERT_TRUE(testwav::write(dir.file("cab.wav"), testwav::decayingIr(80, 4)));
    auto fx = makeEffect();
    ProgramRecord rec = recordWith(0, dir.folder(), "cab.wav");
    rec.values[kRecLink12] = 1.0f;
    rec.values[kRecPan + 0] = 0.3f;
    rec.values[kRecPan + 1] = 0.3f;
    rec.values[kRecVolume + 0] = 0.2f;
    rec.values[kRecVolume + 1] = 0.9f;
    rec.values[kRecChannel + 0] = 1.0f;
    rec.values[kRecBypass + 0] = 0.0f;
    rec.values[kRecBypass + 1] = 0.0f;
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    // The pair ends as switching the link on leaves it, whatever the record said.
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 0), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 1), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 0), 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kPan + 1), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kChannel + 0), 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kChannel + 1), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 1), fx->getParameter(kVolume + 0));
    EXPECT_STREQ(fx->currentProgram().fileName[1], "cab.wav");
    // ...and the record is overwritten with those values.
    EXPECT_FLOAT_EQ(fx->currentProgram().values[kRecPan + 1], 1.0f);
}

TEST(ProgramChange, SwitchingProgramsAppliesEachOnesValues)
{
    auto fx = makeEffect();
    vst::AEffect* e = fx->getAeffect();
    fx->setParameter(kVolume + 2, 0.8f);
    e->dispatcher(e, vst::effSetProgram, 0, 1, nullptr, 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 2), 0.5f);
    fx->setParameter(kOutput, 0.9f);
    e->dispatcher(e, vst::effSetProgram, 0, 0, nullptr, 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kVolume + 2), 0.8f);
    EXPECT_FLOAT_EQ(fx->getParameter(kOutput), 0.5f);
    EXPECT_FLOAT_EQ(fx->program(1).values[kRecOutput], 0.9f);
}

TEST(ProgramChange, HostileRecordsAreReadSafely)
{
    auto fx = makeEffect();
    ProgramRecord rec;
    std::memset(&rec, 'A', sizeof rec); // no terminator anywhere, every byte junk
    for (float& v : rec.values)
        v = 0.25f;
    for (auto& i : rec.fileIndex)
        i = -2147483647;
    const int before = fx->loadCount();
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    // Folder and name together exceed the join buffer: no load, nothing outside the record.
    EXPECT_EQ(fx->loadCount(), before);
    char name[64];
    fx->getProgramName(name);
    EXPECT_EQ(std::strlen(name), 24u);
    RecordingEditor editor;
    fx->setEditorLink(&editor);
    fx->setParameter(kRequestPushFolders, 0.0f);
    fx->setParameter(kRequestRefreshCab, 4.0f);
    fx->setEditorLink(nullptr);
}

namespace {

// Volumes that satisfy every link (same volume) and blend (complementary volume) that is
// on, so that the effect holds them as they are. Dyadic values keep 1 - (1 - v) exact.
std::array<float, 6> consistentVolumes(int combination)
{
    const bool link[3] = {(combination & 1) != 0, (combination & 2) != 0, (combination & 4) != 0};
    const bool blend[2] = {(combination & 8) != 0, (combination & 16) != 0};
    const float bases[6] = {0.75f, 0.375f, 0.625f, 0.125f, 0.875f, 0.25f};
    std::array<float, 6> v{};
    std::array<bool, 6> done{};
    for (int start = 0; start < 6; ++start) {
        if (done[start])
            continue;
        v[start] = bases[start];
        done[start] = true;
        // Spread along the on edges until nothing changes (the graph has six nodes).
        for (int pass = 0; pass < 6; ++pass) {
            for (int a = 0; a < 6; a += 2)
                if (link[a / 2] && done[a] != done[a + 1]) {
                    const int from = done[a] ? a : a + 1;
                    v[from ^ 1] = v[from];
                    done[from ^ 1] = true;
                }
            for (int a = 0; a < 2; ++a)
                if (blend[a] && done[a] != done[a + 2]) {
                    const int from = done[a] ? a : a + 2;
                    v[from < 2 ? from + 2 : from - 2] = 1.0f - v[from];
                    done[from < 2 ? from + 2 : from - 2] = true;
                }
        }
    }
    return v;
}

// Every stored value but pan and channel, which a restore sets by the rules of the links
// and blends that are on (hard left and right for a linked pair) whatever was saved.
std::vector<float> storedValues(Orvex& fx)
{
    std::vector<float> values;
    for (int index = 0; index < kNumParams; ++index) {
        const ParamKind kind = paramInfo(index).kind;
        if (isStored(index) && kind != ParamKind::Pan && kind != ParamKind::Channel)
            values.push_back(fx.getParameter(index));
    }
    return values;
}

} // namespace

// What was saved comes back: links and blends in every combination, with the volumes
// they allow, survive a bank restore, a preset restore into a fresh effect and a switch
// to another program and back.
TEST(ProgramChange, RestoresLinkedAndBlendedVolumesAsSaved)
{
    const int flags[5] = {kLink12, kLink34, kLink56, kBlend13, kBlend24};
    for (int combination = 0; combination < 32; ++combination) {
        SCOPED_TRACE(combination);
        auto fx = makeEffect();
        for (int bit = 0; bit < 5; ++bit)
            fx->setParameter(flags[bit], (combination >> bit) & 1 ? 1.0f : 0.0f);
        const std::array<float, 6> volumes = consistentVolumes(combination);
        for (int cab = 0; cab < 6; ++cab)
            fx->setParameter(kVolume + cab, volumes[static_cast<size_t>(cab)]);
        const std::vector<float> saved = storedValues(*fx);
        for (int cab = 0; cab < 6; ++cab)
            ASSERT_EQ(fx->getParameter(kVolume + cab), volumes[static_cast<size_t>(cab)]) << cab;

        void* data = nullptr;
        const int bankSize = fx->getChunk(&data, false);
        auto bank = makeEffect();
        ASSERT_EQ(bank->setChunk(data, bankSize, false), 1);
        EXPECT_EQ(storedValues(*bank), saved) << "bank restore";

        const int presetSize = fx->getChunk(&data, true);
        auto preset = makeEffect();
        ASSERT_EQ(preset->setChunk(data, presetSize, true), 1);
        EXPECT_EQ(storedValues(*preset), saved) << "preset restore";

        fx->setProgram(1);
        fx->setProgram(0);
        EXPECT_EQ(storedValues(*fx), saved) << "program switch";
    }
}
