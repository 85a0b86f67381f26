#include "CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using cli::CommandLine;
using cli::Options;
using testing::HasSubstr;

namespace {

bool parse(std::vector<std::string> args, Options& options, std::string& error)
{
    return CommandLine::parse(args, options, error);
}

} // namespace

TEST(CommandLine, RenderWithEveryOptionInBothSpellings)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"render", "fx.so", "--in", "a.wav", "--out=b.wav", "--set", "Gain=0.25", "--set=3=1",
                       "--set", "a=b=0", "--block", "64", "--rate=48000.5", "--chunk", "bank.bin",
                       "--preset-chunk", "p.bin", "--save-chunk", "s.bin", "--program", "2"},
                      o, error))
        << error;
    EXPECT_EQ(o.command, Options::Command::render);
    EXPECT_EQ(o.plugin, "fx.so");
    EXPECT_EQ(o.input, "a.wav");
    EXPECT_EQ(o.output, "b.wav");
    ASSERT_EQ(o.settings.size(), 3u);
    EXPECT_EQ(o.settings[0].name, "Gain");
    EXPECT_FLOAT_EQ(o.settings[0].value, 0.25f);
    EXPECT_EQ(o.settings[1].name, "3");
    EXPECT_FLOAT_EQ(o.settings[1].value, 1.0f);
    EXPECT_EQ(o.settings[2].name, "a=b"); // the last '=' separates the value
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_DOUBLE_EQ(o.sampleRate, 48000.5);
    EXPECT_EQ(o.bankChunk, "bank.bin");
    EXPECT_EQ(o.presetChunk, "p.bin");
    EXPECT_EQ(o.saveChunk, "s.bin");
    EXPECT_EQ(o.program, 2);
}

TEST(CommandLine, EditWithItsOptions)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"edit", "fx.so", "--seconds=1.5", "--screenshot", "s.png", "--after", "700",
                       "--destroy-window-first", "--ir", "2=cab.wav", "--save-chunk", "k.bin"},
                      o, error))
        << error;
    EXPECT_EQ(o.command, Options::Command::edit);
    EXPECT_EQ(o.seconds, 1.5);
    EXPECT_EQ(o.screenshot, "s.png");
    EXPECT_EQ(o.afterMs, 700);
    EXPECT_TRUE(o.destroyWindowFirst);
    EXPECT_EQ(o.saveChunk, "k.bin");
    ASSERT_EQ(o.cabs.size(), 1u);
    EXPECT_EQ(o.cabs[0].slot, 2);
}

TEST(CommandLine, DefaultsAndHelp)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"info", "fx.so"}, o, error)) << error;
    EXPECT_EQ(o.command, Options::Command::info);
    EXPECT_EQ(o.blockSize, 512);
    EXPECT_EQ(o.sampleRate, 0.0);
    EXPECT_EQ(o.program, -1);
    EXPECT_TRUE(o.settings.empty());
    for (const char* help : {"help", "--help", "-h"}) {
        ASSERT_TRUE(parse({help}, o, error));
        EXPECT_EQ(o.command, Options::Command::help);
    }
    EXPECT_THAT(CommandLine::usage(), HasSubstr("orvex render PLUGIN --in IN.wav --out OUT.wav"));
}

TEST(CommandLine, UsageErrorsAreNamed)
{
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{}, "no command"},
        {{"play", "fx.so"}, "unknown command 'play'"},
        {{"info"}, "no plug-in"},
        {{"info", "a.so", "b.so"}, "unexpected argument 'b.so'"},
        {{"info", "fx.so", "--colour", "red"}, "unknown option '--colour'"},
        {{"info", "fx.so", "--in", "a.wav"}, "--in belongs to the render command"},
        {{"info", "fx.so", "--save-chunk", "s"}, "--save-chunk belongs to the render command"},
        {{"render", "fx.so", "--out", "b.wav"}, "needs --in"},
        {{"render", "fx.so", "--in", "a.wav"}, "needs --out"},
        {{"render", "fx.so", "--in", "a.wav", "--in", "c.wav", "--out", "b"}, "--in given twice"},
        {{"render", "fx.so", "--in"}, "--in needs a value"},
        {{"render", "fx.so", "--in="}, "--in needs a file name"},
        {{"info", "fx.so", "--set", "Gain"}, "NAME=VALUE"},
        {{"info", "fx.so", "--set", "=0.5"}, "NAME=VALUE"},
        {{"info", "fx.so", "--set", "Gain=1.5"}, "from 0 to 1"},
        {{"info", "fx.so", "--set", "Gain=-0.1"}, "from 0 to 1"},
        {{"info", "fx.so", "--set", "Gain=loud"}, "from 0 to 1"},
        {{"info", "fx.so", "--set", "Gain=nan"}, "from 0 to 1"},
        {{"info", "fx.so", "--set", "Gain="}, "from 0 to 1"},
        {{"info", "fx.so", "--block", "0"}, "--block expects"},
        {{"info", "fx.so", "--block", "65537"}, "--block expects"},
        {{"info", "fx.so", "--block", "12x"}, "--block expects"},
        {{"info", "fx.so", "--block", "99999999999999999999"}, "--block expects"},
        {{"info", "fx.so", "--block", "64", "--block", "64"}, "--block given twice"},
        {{"info", "fx.so", "--rate", "0"}, "--rate expects"},
        {{"info", "fx.so", "--rate", "inf"}, "--rate expects"},
        {{"info", "fx.so", "--program", "-1"}, "--program expects"},
        {{"info", "fx.so", "--seconds", "2"}, "--seconds belongs to the edit command"},
        {{"render", "fx.so", "--destroy-window-first"}, "belongs to the edit command"},
        {{"edit", "fx.so", "--seconds", "-1"}, "--seconds expects"},
        {{"edit", "fx.so", "--after", "200"}, "--after needs --screenshot"},
        {{"edit", "fx.so", "--screenshot", "a.png", "--after", "x"}, "--after expects"},
        {{"render", "fx.so", "--in", "a.wav", "--out", "-", "--save-chunk", "-"}, "only one output can go to standard"},
        {{"edit", "fx.so", "--screenshot", "-", "--save-chunk=-"}, "only one output can go to standard"},
    };
    for (const auto& c : cases) {
        Options o;
        std::string error;
        EXPECT_FALSE(parse(c.args, o, error)) << testing::PrintToString(c.args);
        EXPECT_THAT(error, HasSubstr(c.reason)) << testing::PrintToString(c.args);
    }
}
