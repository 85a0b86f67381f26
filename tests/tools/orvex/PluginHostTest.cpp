// The host driven in-process against our own test plug-in, whose trace shows exactly what
// the host did and in which order.
#include "PluginHost.h"
#include "PluginLoader.h"
#include "TempFolder.h"
#include "TestAudio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using cli::PluginHost;
using testing::HasSubstr;
using testing::Not;

namespace {

// Holds the test plug-in's module open beside the host's, so that its trace can be read
// even after the host has released it.
class TracedPlugin {
public:
    explicit TracedPlugin(const char* path)
    {
        std::string error;
        EXPECT_TRUE(m_loader.open(path, error)) << error;
        m_trace = reinterpret_cast<const char* (*)()>(m_loader.symbol("gainPluginTrace"));
        EXPECT_NE(m_trace, nullptr);
    }
    std::string trace() const { return m_trace ? m_trace() : ""; }

private:
    cli::PluginLoader m_loader;             // our own reference to the module
    const char* (*m_trace)() = nullptr;     // the module's trace accessor
};

std::vector<unsigned char> floatBytes(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
            static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
}

} // namespace

TEST(PluginHost, OpensProcessesAndClosesInTheOrderHostsUse)
{
    TracedPlugin plugin(GAIN_PLUGIN);
    PluginHost host;
    std::string error;
    ASSERT_TRUE(host.load(GAIN_PLUGIN, 48000.0, 256, error)) << error;
    EXPECT_EQ(plugin.trace(), "entry version=2400\n"
                              "open host=Orvex rate=48000 canDo=0\n"
                              "setSampleRate 48000\n"
                              "setBlockSize 256\n");
    EXPECT_EQ(host.effect().magic, vst::kEffectMagic);
    EXPECT_EQ(host.numInputs(), 2);
    EXPECT_EQ(host.numOutputs(), 2);

    host.setParameter(0, 0.75f); // factor 1.5
    ASSERT_TRUE(host.start(error)) << error;
    std::vector<float> left = TestAudio::noise(1, 0.5, 256), right = TestAudio::noise(2, 0.5, 256);
    std::vector<float> outLeft(256, 9.0f), outRight(256, 9.0f);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    for (int block = 0; block < 3; ++block)
        host.process(inputs, outputs, 256);
    host.process(inputs, outputs, 100); // a short last block is fine
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_FLOAT_EQ(outLeft[i], left[i] * 1.5f) << i;
        ASSERT_FLOAT_EQ(outRight[i], right[i] * 1.5f) << i;
    }
    host.close();
    EXPECT_FALSE(host.isLoaded());
    EXPECT_THAT(plugin.trace(), HasSubstr("setBlockSize 256\n"
                                          "resume\n"
                                          "startProcess\n"
                                          "process 256\n"
                                          "stopProcess\n"
                                          "suspend after 4 blocks\n"
                                          "close\n"));
    EXPECT_THAT(plugin.trace(), Not(HasSubstr("FAULT")));
}

TEST(PluginHost, NeverHandsTheEffectMoreThanTheAnnouncedBlock)
{
    TracedPlugin plugin(GAIN_PLUGIN);
    PluginHost host;
    std::string error;
    ASSERT_TRUE(host.load(GAIN_PLUGIN, 44100.0, 64, error)) << error;
    ASSERT_TRUE(host.start(error)) << error;
    std::vector<float> in = TestAudio::noise(3, 1.0, 1000), left(1000, 0.0f), right(1000, 0.0f);
    float* inputs[] = {in.data(), in.data()};
    float* outputs[] = {left.data(), right.data()};
    host.process(inputs, outputs, 1000); // served as 15 blocks of 64 and one of 40
    host.close();
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(left[i], in[i]) << i;
        ASSERT_EQ(right[i], in[i]) << i;
    }
    EXPECT_THAT(plugin.trace(), HasSubstr("process 64\nstopProcess\nsuspend after 16 blocks\n"));
    EXPECT_THAT(plugin.trace(), Not(HasSubstr("FAULT")));
}

TEST(PluginHost, IdentityParametersAndPrograms)
{
    TracedPlugin plugin(GAIN_PLUGIN);
    PluginHost host;
    std::string error;
    ASSERT_TRUE(host.load(GAIN_PLUGIN, 44100.0, 512, error)) << error;
    EXPECT_EQ(host.effectName(), "Orvex test gain");
    EXPECT_EQ(host.vendorString(), "Orvex tests");
    EXPECT_EQ(host.vendorVersion(), 1000);
    EXPECT_EQ(host.vstVersion(), 2400);
    EXPECT_EQ(host.category(), vst::kPlugCategEffect);
    EXPECT_FALSE(host.textOverrun());
    // The product text runs on for 300 characters without a terminator: it is cut at our
    // buffer's end, and the overrun is noticed.
    EXPECT_EQ(host.productString(), std::string(PluginHost::kTextSize - 1, 'P'));
    EXPECT_TRUE(host.textOverrun());

    EXPECT_EQ(host.numParameters(), 1);
    EXPECT_EQ(host.parameterName(0), "Gain");
    EXPECT_EQ(host.parameterLabel(0), "dB");
    EXPECT_EQ(host.parameterDisplay(0), "0.00");
    host.setParameter(0, 1.0f);
    EXPECT_EQ(host.parameter(0), 1.0f);
    EXPECT_EQ(host.parameterDisplay(0), "6.02");
    host.setParameter(0, 0.0f);
    EXPECT_EQ(host.parameterDisplay(0), "-inf");

    // Indices the effect does not have never reach it.
    host.setParameter(1, 0.5f);
    host.setParameter(-1, 0.5f);
    EXPECT_EQ(host.parameter(1), 0.0f);
    EXPECT_EQ(host.parameterName(1), "");
    EXPECT_THAT(plugin.trace(), Not(HasSubstr("FAULT")));

    EXPECT_EQ(host.findParameter("Gain"), 0);
    EXPECT_EQ(host.findParameter("0"), 0);
    for (const char* unknown : {"gain", "Gain ", "1", "-0", "+0", "", "0x0", "99999999999"})
        EXPECT_EQ(host.findParameter(unknown), -1) << unknown;

    EXPECT_EQ(host.numPrograms(), 1);
    EXPECT_EQ(host.programName(0), "Default");
    EXPECT_EQ(host.programName(1), "");
    EXPECT_EQ(host.currentProgram(), 0);
    EXPECT_TRUE(host.setProgram(0));
    EXPECT_FALSE(host.setProgram(1));
    EXPECT_FALSE(host.setProgram(-1));
    EXPECT_THAT(plugin.trace(), HasSubstr("setProgram 0\n"));
    EXPECT_THAT(plugin.trace(), Not(HasSubstr("setProgram 1")));
}

TEST(PluginHost, ChunksGoBothWaysAndRefusalIsAnError)
{
    TracedPlugin plugin(GAIN_PLUGIN);
    PluginHost host;
    std::string error;
    ASSERT_TRUE(host.load(GAIN_PLUGIN, 44100.0, 512, error)) << error;
    host.setParameter(0, 0.125f);
    std::vector<unsigned char> chunk;
    ASSERT_TRUE(host.getChunk(chunk, false, error)) << error;
    EXPECT_EQ(chunk, floatBytes(0.125f));

    ASSERT_TRUE(host.setChunk(floatBytes(0.375f), false, error)) << error;
    EXPECT_EQ(host.parameter(0), 0.375f);
    ASSERT_TRUE(host.setChunk(floatBytes(0.625f), true, error)) << error;
    EXPECT_EQ(host.parameter(0), 0.625f);
    EXPECT_THAT(plugin.trace(), HasSubstr("setChunk 0 4\nsetChunk 1 4\n"));

    EXPECT_FALSE(host.setChunk({1, 2, 3}, false, error));
    EXPECT_THAT(error, HasSubstr("refused the bank chunk of 3 bytes"));
    EXPECT_EQ(host.parameter(0), 0.625f);
    EXPECT_FALSE(host.setChunk({}, true, error));
    EXPECT_THAT(error, HasSubstr("empty"));
}

TEST(PluginHost, DrivesAnOldStyleEffect)
{
    // Entry point "main" only, and only the accumulating process call: the host clears the
    // outputs first, so the result is the same as with processReplacing.
    TracedPlugin plugin(GAIN_PLUGIN_MAIN);
    PluginHost host;
    std::string error;
    ASSERT_TRUE(host.load(GAIN_PLUGIN_MAIN, 44100.0, 32, error)) << error;
    EXPECT_EQ(host.effectName(), "Orvex test gain");
    EXPECT_FALSE(host.effect().flags & vst::effFlagsCanReplacing);
    host.setParameter(0, 0.25f);
    ASSERT_TRUE(host.start(error)) << error;
    std::vector<float> in = TestAudio::noise(4, 1.0, 100), left(100, 9.0f), right(100, -9.0f);
    float* inputs[] = {in.data(), in.data()};
    float* outputs[] = {left.data(), right.data()};
    host.process(inputs, outputs, 100);
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(left[i], in[i] * 0.5f) << i;
        ASSERT_EQ(right[i], in[i] * 0.5f) << i;
    }
    host.close();
    EXPECT_THAT(plugin.trace(), HasSubstr("suspend after 4 blocks\n"));
    EXPECT_THAT(plugin.trace(), Not(HasSubstr("FAULT")));
}

TEST(PluginHost, RefusesWhatIsNotAPlugin)
{
    TempFolder folder;
    PluginHost host;
    std::string error;
    EXPECT_FALSE(host.load(folder.file("absent" ORVEX_MODULE_SUFFIX), 44100.0, 512, error));
    EXPECT_THAT(error, HasSubstr("cannot load"));
    TestAudio::writeBytes(folder.file("text" ORVEX_MODULE_SUFFIX), {'n', 'o', 't', ' ', 'c', 'o', 'd', 'e'});
    EXPECT_FALSE(host.load(folder.file("text" ORVEX_MODULE_SUFFIX), 44100.0, 512, error));
    EXPECT_THAT(error, HasSubstr("cannot load"));
    EXPECT_FALSE(host.isLoaded());
    EXPECT_FALSE(host.load(GAIN_PLUGIN, 0.0, 512, error));
    EXPECT_FALSE(host.load(GAIN_PLUGIN, 44100.0, 0, error));
#ifdef _WIN32
    EXPECT_FALSE(host.load("kernel32.dll", 44100.0, 512, error));
    EXPECT_THAT(error, HasSubstr("exports neither VSTPluginMain nor main"));
#endif
    // Nothing is open, so these answer neutrally.
    EXPECT_EQ(host.numParameters(), 0);
    EXPECT_EQ(host.parameterName(0), "");
    EXPECT_FALSE(host.start(error));
    std::vector<unsigned char> chunk;
    EXPECT_FALSE(host.getChunk(chunk, false, error));
}
