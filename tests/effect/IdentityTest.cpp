// What the effect answers about itself through the record and the dispatcher.
#include "EffectTestSupport.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::testing;

TEST(Identity, RecordAfterConstruction)
{
    auto fx = makeEffect();
    const vst::AEffect* rec = fx->getAeffect();
    EXPECT_EQ(rec->magic, vst::fourCC('V', 's', 't', 'P'));
    EXPECT_EQ(rec->numPrograms, 10);
    EXPECT_EQ(rec->numParams, 86);
    EXPECT_EQ(rec->numInputs, 2);
    EXPECT_EQ(rec->numOutputs, 2);
    EXPECT_EQ(rec->uniqueID, vst::fourCC('O', 'V', 'X', '2'));
    EXPECT_EQ(rec->version, 1);
    EXPECT_EQ(rec->initialDelay, 0);
    const vst::Int32 editorFlag = fx->getEditor() ? vst::effFlagsHasEditor : 0;
    EXPECT_EQ(rec->flags, 0x30 | editorFlag);
    EXPECT_EQ(fx->getProgram(), 0);
}

TEST(Identity, NamesVendorVersion)
{
    auto fx = makeEffect();
    vst::AEffect* rec = fx->getAeffect();
    char buf[128];
    std::memset(buf, 0, sizeof buf);
    EXPECT_EQ(rec->dispatcher(rec, vst::effGetEffectName, 0, 0, buf, 0.0f), 1);
    EXPECT_STREQ(buf, "Tavrin_Orvex2_Dud1");
    EXPECT_EQ(rec->dispatcher(rec, vst::effGetVendorString, 0, 0, buf, 0.0f), 1);
    EXPECT_STREQ(buf, "Dumek Plugins");
    EXPECT_EQ(rec->dispatcher(rec, vst::effGetProductString, 0, 0, buf, 0.0f), 1);
    EXPECT_STREQ(buf, "Tavrin_Orve2_Dud1");
    EXPECT_EQ(rec->dispatcher(rec, vst::effGetVendorVersion, 0, 0, nullptr, 0.0f), 2000);
    EXPECT_EQ(rec->dispatcher(rec, vst::effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(rec->dispatcher(rec, vst::effGetPlugCategory, 0, 0, nullptr, 0.0f), 0);
    char text[] = "receiveVstMidiEvent";
    EXPECT_EQ(rec->dispatcher(rec, vst::effCanDo, 0, 0, text, 0.0f), 0);
}
