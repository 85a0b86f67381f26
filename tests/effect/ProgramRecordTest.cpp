// The saved state: record layout, fresh programs, names and the chunk operations.
#include "EffectTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orvex;
using namespace orvex::testing;

TEST(ProgramRecordLayout, FieldOffsets)
{
    ProgramRecord r;
    r.makeFresh();
    const char* base = reinterpret_cast<const char*>(&r);
    EXPECT_EQ(reinterpret_cast<const char*>(&r.folder[5]) - base, 5145);
    EXPECT_EQ(reinterpret_cast<const char*>(&r.fileName[5]) - base, 6489);
    EXPECT_EQ(reinterpret_cast<const char*>(&r.fileIndex[5]) - base, 6576);
    // Value offsets of a few parameters, by parameter index.
    auto offsetOf = [&](int index) { return 6580 + 4 * recordSlot(index); };
    EXPECT_EQ(offsetOf(8), 6612);           // Volume3
    EXPECT_EQ(offsetOf(kSolo), 6772);       // Solo1
    EXPECT_EQ(offsetOf(kChannel), 6748);    // Channel cab1
    EXPECT_EQ(offsetOf(kFreqHp), 6652);
    EXPECT_EQ(offsetOf(kFreqLp), 6676);
    EXPECT_EQ(offsetOf(kBypass), 6700);
    EXPECT_EQ(offsetOf(kDelay), 6724);
    EXPECT_EQ(offsetOf(kOutput), 6796);
    EXPECT_EQ(offsetOf(kLatency), 6800);
    EXPECT_EQ(offsetOf(kOnOff), 6804);
    EXPECT_EQ(offsetOf(kLink12), 6808);
    EXPECT_EQ(offsetOf(kBlend24), 6824);
    // Every stored parameter has its own slot; actions have none.
    std::vector<int> seen(kNumStoredParams, 0);
    int stored = 0;
    for (int index = 0; index < kNumParams; ++index) {
        const int slot = recordSlot(index);
        if (slot >= 0) {
            ++stored;
            ++seen[slot];
        }
    }
    EXPECT_EQ(stored, 62);
    for (int s : seen)
        EXPECT_EQ(s, 1);
}

TEST(ProgramRecordLayout, FreshRecord)
{
    ProgramRecord r;
    std::memset(&r, 0x5a, sizeof r);
    r.makeFresh();
    EXPECT_STREQ(r.name, "Init");
    for (int cab = 0; cab < kNumCabs; ++cab) {
        EXPECT_EQ(r.folder[cab][0], 0);
        EXPECT_EQ(r.fileName[cab][0], 0);
        EXPECT_EQ(r.fileIndex[cab], 0);
    }
    EXPECT_EQ(r.reserved[0] | r.reserved[1] | r.reserved[2], 0);
    EXPECT_EQ(readAt<float>(&r, 6604), 0.5f);
    EXPECT_EQ(readAt<float>(&r, 6676), 1.0f);
    EXPECT_EQ(readAt<float>(&r, 6804), 1.0f);
    EXPECT_EQ(readAt<float>(&r, 6796), 0.5f);
    EXPECT_EQ(readAt<float>(&r, 6628), 0.5f);
    EXPECT_EQ(readAt<float>(&r, 6580), 0.0f);
    EXPECT_EQ(readAt<float>(&r, 6824), 0.0f);
}

TEST(Chunks, FreshBankHoldsTenInitRecords)
{
    auto fx = makeEffect();
    void* data = nullptr;
    ASSERT_EQ(fx->getChunk(&data, false), 68280);
    ProgramRecord fresh;
    fresh.makeFresh();
    for (int p = 0; p < 10; ++p) {
        const char* rec = static_cast<const char*>(data) + p * 6828;
        EXPECT_STREQ(rec, "Init");
        EXPECT_EQ(std::memcmp(rec + 6556, reinterpret_cast<const char*>(&fresh) + 6556, 6828 - 6556), 0) << p;
        for (int cab = 0; cab < 6; ++cab) {
            EXPECT_EQ(rec[25 + 1024 * cab], 0);
            EXPECT_EQ(rec[6169 + 64 * cab], 0);
        }
    }
    ASSERT_EQ(fx->getChunk(&data, true), 6828);
    EXPECT_EQ(data, &fx->currentProgram());
}

TEST(Chunks, WritesLandInTheCurrentRecord)
{
    auto fx = makeEffect();
    fx->setParameter(8, 0.8f);
    void* data = nullptr;
    fx->getChunk(&data, true);
    EXPECT_EQ(readAt<float>(data, 6612), 0.8f);
    fx->getChunk(&data, false);
    EXPECT_EQ(readAt<float>(data, 6612), 0.8f); // program 0 is the first of the bank
}

TEST(Chunks, WrongSizesAreRefused)
{
    auto fx = makeEffect();
    std::vector<char> bytes(68281, 0);
    const std::vector<char> before(reinterpret_cast<const char*>(&fx->program(0)),
                                   reinterpret_cast<const char*>(&fx->program(0)) + 68280);
    EXPECT_EQ(fx->setChunk(bytes.data(), 6827, true), 0);
    EXPECT_EQ(fx->setChunk(bytes.data(), 6829, true), 0);
    EXPECT_EQ(fx->setChunk(bytes.data(), 68279, false), 0);
    EXPECT_EQ(fx->setChunk(bytes.data(), 68281, false), 0);
    EXPECT_EQ(fx->setChunk(bytes.data(), 68280, true), 0);
    EXPECT_EQ(fx->setChunk(nullptr, 6828, true), 0);
    EXPECT_EQ(std::memcmp(before.data(), &fx->program(0), 68280), 0);
}

// A host may hand back the pointer getChunk gave it: the copy runs over itself, which
// must change nothing (the sanitizer build also checks that no overlapping memcpy runs).
TEST(Chunks, RestoringTheEffectsOwnChunkChangesNothing)
{
    for (bool isPreset : {true, false}) {
        SCOPED_TRACE(isPreset);
        auto fx = makeEffect();
        fx->setProgram(3);
        fx->setParameter(8, 0.8f);
        fx->setProgramName(const_cast<char*>("Own"));
        const std::vector<char> before(reinterpret_cast<const char*>(&fx->program(0)),
                                       reinterpret_cast<const char*>(&fx->program(0)) + 68280);
        void* data = nullptr;
        const int size = fx->getChunk(&data, isPreset);
        EXPECT_EQ(fx->setChunk(data, size, isPreset), 1);
        EXPECT_EQ(std::memcmp(before.data(), &fx->program(0), 68280), 0);
        EXPECT_EQ(fx->getParameter(8), 0.8f);
    }
}

// A preset handed over from a slice of the bank that overlaps the current record is taken
// as the bytes it held (a copy, not a smear of half-copied bytes).
TEST(Chunks, APresetOverlappingTheCurrentRecordIsTakenAsItWas)
{
    auto fx = makeEffect();
    ProgramRecord rec = fx->currentProgram();
    std::strcpy(rec.folder[1], "0123456789/cabinets/");
    ASSERT_EQ(fx->setChunk(&rec, sizeof rec, true), 1);
    void* bank = nullptr;
    ASSERT_EQ(fx->getChunk(&bank, false), 68280);
    EXPECT_EQ(fx->setChunk(static_cast<char*>(bank) + 10, 6828, true), 1);
    EXPECT_STREQ(fx->currentProgram().folder[1], "/cabinets/");
}

TEST(Chunks, PresetChangesOnlyTheCurrentProgram)
{
    auto fx = makeEffect();
    fx->getAeffect()->dispatcher(fx->getAeffect(), vst::effSetProgram, 0, 4, nullptr, 0.0f);
    ProgramRecord preset;
    preset.makeFresh();
    std::strcpy(preset.name, "Crunch");
    preset.values[kRecVolume + 2] = 0.8f;
    std::vector<char> others(reinterpret_cast<const char*>(&fx->program(0)),
                             reinterpret_cast<const char*>(&fx->program(0)) + 68280);
    EXPECT_EQ(fx->setChunk(&preset, 6828, true), 1);
    EXPECT_EQ(fx->getParameter(8), 0.8f);
    for (int p = 0; p < 10; ++p) {
        if (p == 4)
            continue;
        EXPECT_EQ(std::memcmp(others.data() + p * 6828, &fx->program(p), 6828), 0) << p;
    }
    char nameBuf[32];
    fx->getProgramName(nameBuf);
    EXPECT_STREQ(nameBuf, "Crunch");
}

TEST(Programs, Names)
{
    auto fx = makeEffect();
    char longName[] = "A program name of thirty chars";
    fx->setProgramName(longName);
    char out[64];
    std::memset(out, '#', sizeof out);
    fx->getProgramName(out);
    EXPECT_STREQ(out, "A program name of thirty");
    EXPECT_EQ(std::strlen(out), 24u);
    EXPECT_TRUE(fx->getProgramNameIndexed(0, 9, out));
    EXPECT_STREQ(out, "Init");
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(fx->getProgramNameIndexed(0, 10, out));
    EXPECT_EQ(out[0], '#');
    EXPECT_FALSE(fx->getProgramNameIndexed(0, -1, out));
}

TEST(Programs, UnterminatedNameFromAChunkIsReadWithinItsField)
{
    auto fx = makeEffect();
    std::vector<char> bank(68280);
    std::memcpy(bank.data(), &fx->program(0), bank.size());
    std::memset(bank.data(), 'N', 25); // no terminator in the name field
    ASSERT_EQ(fx->setChunk(bank.data(), 68280, false), 1);
    char out[64];
    fx->getProgramName(out);
    EXPECT_EQ(std::strlen(out), 24u);
    EXPECT_TRUE(fx->getProgramNameIndexed(0, 0, out));
    EXPECT_EQ(std::strlen(out), 24u);
}
