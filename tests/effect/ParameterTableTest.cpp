// What a host sees of the parameters: names, labels, values and display texts.
#include "EffectTestSupport.h"

#include <gtest/gtest.h>

using namespace orvex;
using namespace orvex::testing;

TEST(ParameterTable, NamesInIndexOrder)
{
    auto fx = makeEffect();
    EXPECT_EQ(name(*fx, 0), "Phase1");
    EXPECT_EQ(name(*fx, 11), "Volume6");
    EXPECT_EQ(name(*fx, 24), "Freq HP1");
    EXPECT_EQ(name(*fx, 35), "Freq LP6");
    EXPECT_EQ(name(*fx, 41), "Bypass cab6");
    EXPECT_EQ(name(*fx, 48), "Output");
    EXPECT_EQ(name(*fx, 49), "On/Off");
    EXPECT_EQ(name(*fx, 56), "Previous cab1");
    EXPECT_EQ(name(*fx, 67), "Next cab6");
    EXPECT_EQ(name(*fx, 73), "Channel cab6");
    EXPECT_EQ(name(*fx, 79), "Solo6");
    EXPECT_EQ(name(*fx, 80), "Latency");
    EXPECT_EQ(name(*fx, 81), "Link IR1&2");
    EXPECT_EQ(name(*fx, 85), "Blend IR2&4");

    // Unnamed actions and indices outside the table leave the buffer as it was.
    for (int index : {18, 23, 50, 55, 86, 7777, -1}) {
        char buf[32];
        std::memset(buf, '#', sizeof buf);
        fx->getParameterName(index, buf);
        EXPECT_EQ(buf[0], '#') << index;
        fx->getParameterLabel(index, buf);
        EXPECT_EQ(buf[0], '#') << index;
    }
    // Labels are never written: units belong to the display text.
    char label[8] = "keep";
    fx->getParameterLabel(6, label);
    EXPECT_STREQ(label, "keep");
}

TEST(ParameterTable, FreshDisplayTexts)
{
    auto fx = makeEffect();
    EXPECT_EQ(display(*fx, 0), "NORM");
    EXPECT_EQ(display(*fx, 6), "0.500");
    EXPECT_EQ(display(*fx, 12), "<C>");
    EXPECT_EQ(display(*fx, 24), "OFF");
    EXPECT_EQ(display(*fx, 30), "OFF");
    EXPECT_EQ(display(*fx, 42), "0 smp");
    EXPECT_EQ(display(*fx, 48), "0.500");
    EXPECT_EQ(display(*fx, 49), "ON");
    EXPECT_EQ(display(*fx, 68), "LEFT");
    EXPECT_EQ(display(*fx, 74), "OFF");
    EXPECT_EQ(display(*fx, 80), " 1.5 ms");
    for (int index : {18, 36, 50, 56, 62, 81, 84, 86}) {
        char buf[16];
        std::memset(buf, '#', sizeof buf);
        fx->getParameterDisplay(index, buf);
        EXPECT_EQ(buf[0], '#') << index;
    }
}

TEST(ParameterTable, DisplayTextsFollowValues)
{
    auto fx = makeEffect();
    struct Case {
        int index;
        float value;
        const char* text;
    };
    const Case cases[] = {
        {0, 0.5f, "NORM"},      {0, 0.51f, "INVERT"},   {7, 0.25f, "0.250"},   {48, 1.0f, "1.000"},
        {12, 0.0f, "100 %L"},   {12, 0.25f, "50 %L"},   {12, 0.75f, "50 %R"},  {12, 1.0f, "100 %R"},
        {12, 0.499f, " %L"},    {12, 0.501f, " %R"},    {24, 1.0f, "1000 Hz"}, {24, 0.5f, "505 Hz"},
        {24, 0.0005f, "10 Hz"}, {30, 0.0f, " 1.0 kHz"}, {30, 0.5f, " 6.5 kHz"}, {30, 0.998f, "12.0 kHz"},
        {30, 0.9995f, "12.0 kHz"}, {30, 1.0f, "OFF"},   {42, 1.0f, "220 smp"}, {42, 0.5f, "110 smp"},
        {42, 0.003f, "0 smp"},  {49, 0.5f, "OFF"},      {49, 0.7f, "ON"},      {68, 0.5f, "LEFT"},
        {68, 0.9f, "RIGHT"},    {75, 1.0f, "ON"},
    };
    for (const Case& c : cases) {
        fx->setParameter(c.index, c.value);
        EXPECT_EQ(display(*fx, c.index), c.text) << "index " << c.index << " value " << c.value;
    }
}

TEST(ParameterTable, LatencyDisplayFollowsStepAndRate)
{
    auto fx = makeEffect();
    fx->setParameter(kLatency, 1.0f);
    EXPECT_EQ(display(*fx, kLatency), "11.6 ms");
    fx->setParameter(kLatency, 0.3f);
    EXPECT_EQ(fx->latencyValue(), 128.0f);
    fx->setParameter(kLatency, 0.25f);
    EXPECT_EQ(fx->latencyValue(), 128.0f);
    fx->setParameter(kLatency, 0.75f);
    EXPECT_EQ(fx->latencyValue(), 512.0f);
    fx->setParameter(kLatency, 0.0f);
    fx->setSampleRate(96000.0f);
    EXPECT_EQ(display(*fx, kLatency), " 0.7 ms"); // 64 samples at the new rate, at once
}

TEST(ParameterTable, ValuesReadBackAsWritten)
{
    auto fx = makeEffect();
    // Every stored parameter starts at its fresh value.
    for (int index = 0; index < kNumParams; ++index)
        EXPECT_EQ(fx->getParameter(index), freshValue(index)) << index;
    fx->setParameter(8, 0.123f);
    EXPECT_EQ(fx->getParameter(8), 0.123f);
    // Actions hold nothing.
    fx->setParameter(56, 1.0f);
    EXPECT_EQ(fx->getParameter(56), 0.0f);
    EXPECT_EQ(fx->getParameter(18), 0.0f);
    EXPECT_EQ(fx->getParameter(86), 0.0f);
    EXPECT_EQ(fx->getParameter(-3), 0.0f);
}

TEST(ParameterTable, DisplayNeverOverrunsEightCharacters)
{
    auto fx = makeEffect();
    fx->setSampleRate(1.0f); // a latency text that would not fit
    fx->setParameter(kLatency, 1.0f);
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    fx->getParameterDisplay(kLatency, buf);
    EXPECT_LE(std::strlen(buf), 8u);
    EXPECT_EQ(buf[9], '#');
}
