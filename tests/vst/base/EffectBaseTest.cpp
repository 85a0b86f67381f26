// The host bridge seen from a host: the record, the opcode table, the callback wrappers and
// the text helpers, on a minimal effect that records what reaches it.
#include "vst/AEffEditor.h"
#include "vst/AudioEffectX.h"
#include "vst/HostStrings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace vst;

namespace {

struct HostCall {
    Int32 opcode;
    Int32 index;
    IntPtr value;
    float opt;
};

std::vector<HostCall> g_calls;
IntPtr g_answer = 0;

IntPtr VSTCALLBACK recordingHost(AEffect*, Int32 opcode, Int32 index, IntPtr value, void*, float opt)
{
    g_calls.push_back({opcode, index, value, opt});
    return g_answer;
}

bool g_destroyed = false;

class ProbeEffect : public AudioEffectX {
public:
    explicit ProbeEffect(HostCallback host) : AudioEffectX(host, 10, 86) {}
    ~ProbeEffect() override { g_destroyed = true; }
    void processReplacing(float**, float**, Int32) override {}
    void setParameter(Int32 index, float value) override { lastSet = {index, value}; }
    void setProgram(Int32 program) override
    {
        ++setProgramCalls;
        AudioEffectX::setProgram(program);
    }
    void suspend() override { ++suspends; }
    void resume() override { ++resumes; }
    bool getProgramNameIndexed(Int32, Int32 index, char* text) override
    {
        if (index < 0 || index > 9)
            return false;
        std::strcpy(text, "P");
        return true;
    }
    using AudioEffect::setEditor;

    std::pair<Int32, float> lastSet{-1, 0.0f};
    int setProgramCalls = 0;
    int suspends = 0;
    int resumes = 0;
};

class ProbeEditor : public AEffEditor {
public:
    using AEffEditor::AEffEditor;
    bool getRect(ERect** r) override
    {
        *r = &rect;
        return true;
    }
    bool open(void* parent) override
    {
        systemWindow = parent;
        return true;
    }
    bool onKeyDown(VstKeyCode& key) override
    {
        lastKey = key;
        return true;
    }
    bool setKnobMode(Int32 mode) override
    {
        knobMode = mode;
        return true;
    }
    ERect rect{0, 0, 520, 850};
    VstKeyCode lastKey{};
    Int32 knobMode = -1;
};

class HostBridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_answer = 0;
        g_destroyed = false;
        effect = new ProbeEffect(recordingHost);
        rec = effect->getAeffect();
    }
    void TearDown() override
    {
        if (!g_destroyed)
            rec->dispatcher(rec, effClose, 0, 0, nullptr, 0.0f);
    }
    IntPtr dispatch(Int32 op, Int32 index = 0, IntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return rec->dispatcher(rec, op, index, value, ptr, opt);
    }

    ProbeEffect* effect = nullptr;
    AEffect* rec = nullptr;
};

} // namespace

TEST_F(HostBridge, BaseRecordValues)
{
    EXPECT_EQ(rec->magic, fourCC('V', 's', 't', 'P'));
    EXPECT_EQ(rec->magic, 0x56737450);
    EXPECT_EQ(rec->numPrograms, 10);
    EXPECT_EQ(rec->numParams, 86);
    EXPECT_EQ(rec->numInputs, 1);  // the base's value; effects set their own
    EXPECT_EQ(rec->numOutputs, 2);
    EXPECT_EQ(rec->flags, effFlagsCanReplacing);
    EXPECT_EQ(rec->uniqueID, fourCC('N', 'o', 'E', 'f'));
    EXPECT_EQ(rec->version, 1);
    EXPECT_EQ(rec->ioRatio, 1.0f);
    EXPECT_EQ(rec->object, effect);
    EXPECT_EQ(rec->initialDelay, 0);
    EXPECT_EQ(rec->resvd1, 0);
    for (char c : rec->future)
        EXPECT_EQ(c, 0);
    EXPECT_EQ(effect->getSampleRate(), 44100.0f);
    EXPECT_EQ(effect->getBlockSize(), 1024);
}

TEST_F(HostBridge, FixedAnswersOfTheOpcodeTable)
{
    EXPECT_EQ(dispatch(effIdentify), fourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effGetPlugCategory), 0);
    char bypass[] = "bypass";
    EXPECT_EQ(dispatch(effCanDo, 0, 0, bypass), 0);
    EXPECT_EQ(dispatch(effCanBeAutomated, 55), 1);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(dispatch(effGetTailSize), 0);
    EXPECT_EQ(dispatch(effOpen), 0);
    // Opcodes that the table lists as answering 0 without action, and unknown ones.
    for (Int32 op : {9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 81, 200, -1})
        EXPECT_EQ(dispatch(op, 1, 1, nullptr, 1.0f), 0) << "opcode " << op;
    // Editor opcodes without an editor.
    EXPECT_EQ(dispatch(effEditOpen), 0);
    EXPECT_EQ(dispatch(effEditGetRect), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', 1, nullptr, 2.0f), 0);
}

TEST_F(HostBridge, ProgramOpcodesCheckTheRange)
{
    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    dispatch(effSetProgram, 0, 10);
    dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    EXPECT_EQ(effect->setProgramCalls, 1);
    char name[32];
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 9, 0, name), 1);
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 10, 0, name), 0);
}

TEST_F(HostBridge, SampleRateBlockSizeAndMains)
{
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(effect->getSampleRate(), 96000.0f);
    EXPECT_EQ(effect->getBlockSize(), 256);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(effect->resumes, 1);
    EXPECT_EQ(effect->suspends, 1);
}

TEST_F(HostBridge, RoutingFunctionsReachTheObject)
{
    rec->setParameter(rec, 7, 0.25f);
    EXPECT_EQ(effect->lastSet.first, 7);
    EXPECT_EQ(effect->lastSet.second, 0.25f);
    EXPECT_EQ(rec->getParameter(rec, 7), 0.0f);
}

TEST_F(HostBridge, CloseDeletesTheObject)
{
    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_TRUE(g_destroyed);
}

TEST_F(HostBridge, EditorOpcodesAndKeyCodes)
{
    auto* editor = new ProbeEditor(effect);
    effect->setEditor(editor);
    EXPECT_EQ(rec->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* r = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->right, 850);
    int parent = 0;
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(dispatch(effEditKeyDown, 'x', 0x1234, nullptr, 257.9f), 1);
    EXPECT_EQ(editor->lastKey.character, 'x');
    EXPECT_EQ(editor->lastKey.virt, 0x34);
    EXPECT_EQ(editor->lastKey.modifier, 1); // 257 truncated, low byte
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
    // The editor is deleted with the effect (checked by leak tools in the sanitizer build).
}

TEST_F(HostBridge, SpeakerArrangementWritesNullToBoth)
{
    int dummyA = 0, dummyB = 0;
    void* in = &dummyA;
    void* out = &dummyB;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<IntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostBridge, CallbackWrappersPassTheirArguments)
{
    g_answer = 1;
    effect->setParameterAutomated(8, 0.75f);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(g_calls[0].index, 8);
    EXPECT_EQ(g_calls[0].opt, 0.75f);
    EXPECT_EQ(effect->lastSet.first, 8); // applied before the host hears of it

    g_calls.clear();
    EXPECT_TRUE(effect->beginEdit(4));
    EXPECT_TRUE(effect->endEdit(4));
    effect->masterIdle();
    char sizeWindow[] = "sizeWindow";
    EXPECT_EQ(effect->canHostDo(sizeWindow), 1);
    EXPECT_TRUE(effect->sizeWindow(850, 520));
    ASSERT_EQ(g_calls.size(), 5u);
    EXPECT_EQ(g_calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(g_calls[0].index, 4);
    EXPECT_EQ(g_calls[1].opcode, audioMasterEndEdit);
    EXPECT_EQ(g_calls[2].opcode, audioMasterIdle);
    EXPECT_EQ(g_calls[3].opcode, audioMasterCanDo);
    EXPECT_EQ(g_calls[4].opcode, audioMasterSizeWindow);
    EXPECT_EQ(g_calls[4].index, 850);
    EXPECT_EQ(g_calls[4].value, 520);

    // A host that answers 0 refuses: the wrappers report false.
    g_answer = 0;
    EXPECT_FALSE(effect->beginEdit(4));
    EXPECT_EQ(effect->canHostDo(sizeWindow), 0);
    EXPECT_FALSE(effect->sizeWindow(1, 1));
    EXPECT_FALSE(effect->openFileSelector(nullptr));
    EXPECT_EQ(effect->getMasterVersion(), 1);
}

TEST(HostBridgeNoHost, WrappersWithoutCallbackAreNeutral)
{
    ProbeEffect effect(nullptr);
    effect.setParameterAutomated(3, 0.5f);
    EXPECT_EQ(effect.lastSet.first, 3);
    EXPECT_FALSE(effect.beginEdit(3));
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));
    char text[] = "sizeWindow";
    EXPECT_EQ(effect.canHostDo(text), 0);
}

TEST(HostStrings, Int2String)
{
    char buf[16];
    auto str = [&](Int32 v, Int32 max = 8) {
        std::memset(buf, 'x', sizeof buf);
        hoststr::int2string(v, buf, max);
        return std::string(buf);
    };
    EXPECT_EQ(str(0), "");
    EXPECT_EQ(str(-5), "-5");
    EXPECT_EQ(str(100000000), "Huge!");
    EXPECT_EQ(str(99999999), "99999999");
    EXPECT_EQ(str(1000), "1000");
    EXPECT_EQ(str(505), "505");
    EXPECT_EQ(str(-12345678), "-1234567"); // at most 8 characters, always terminated
    EXPECT_EQ(str(12345, 3), "123");
    // Magnitudes that need a tenth digit cannot be written digit by digit.
    EXPECT_EQ(str(-2000000000), "Huge!");
    EXPECT_EQ(str(INT32_MIN), "Huge!");
    EXPECT_EQ(str(-999999999, 12), "-999999999");
}

TEST(HostStrings, BoundedCopyAndFloatText)
{
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    hoststr::copy(buf, "a longer text", 4);
    EXPECT_STREQ(buf, "a lo");
    EXPECT_EQ(buf[5], 'x'); // nothing past the terminator
    hoststr::copy(buf, nullptr, 4);
    EXPECT_STREQ(buf, "");

    char f[16];
    hoststr::float2string(1.5f, f, 8);
    EXPECT_EQ(std::string(f).substr(0, 3), "1.5");
    EXPECT_LE(std::strlen(f), 8u);
    hoststr::float2string(123456789.0f, f, 8);
    EXPECT_STREQ(f, "Huge!");
    hoststr::float2string(-12345678.0f, f, 8);
    EXPECT_STREQ(f, "Huge!");
    hoststr::float2string(-1234567.0f, f, 8);
    EXPECT_STREQ(f, "-1234567");
}
