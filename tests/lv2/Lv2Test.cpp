// Orvex as an LV2 plug-in, through hosts: the bundle as the LV2 tools read it, the built
// `orvex` rendering the LV2 and the VST2 builds side by side (their outputs must be the same
// bytes), state saved and restored, the VST2 chunk converted both ways, and lv2apply, a host
// we did not write. IR files are real WAV files written here.
#include "ProcessRunner.h"
#include "TestWav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kCli = ORVEX_CLI;
const std::string kVst = ORVEX_VST2;
const std::string kBundle = ORVEX_LV2_BUNDLE;
const std::string kUri = "urn:dumek:orvex";

std::vector<unsigned char> bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Floats of a 32-bit float WAV file written by orvex: what follows its data chunk's header.
std::vector<float> samples(const std::string& path)
{
    const std::vector<unsigned char> data = bytes(path);
    const std::string text(data.begin(), data.end());
    const std::size_t at = text.find("data");
    if (at == std::string::npos)
        return {};
    std::vector<float> out((data.size() - at - 8) / 4);
    if (!out.empty())
        std::memcpy(out.data(), data.data() + at + 8, out.size() * 4);
    return out;
}

class Lv2Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The LV2 tools and `orvex` find the plug-in by URI on LV2_PATH: the build folder.
        setenv("LV2_PATH", fs::path(kBundle).parent_path().c_str(), 1);
    }

    void SetUp() override
    {
        // Stereo input with different left and right, and six different cabinets.
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
        std::vector<float> input;
        for (int i = 0; i < 44100; ++i) {
            input.push_back(0.3f * std::sin(0.03f * static_cast<float>(i)) + noise(rng) * (i % 5000 < 300 ? 1.0f : 0.05f));
            input.push_back(noise(rng) * 0.4f);
        }
        testwav::write(dir.file("in.wav"), input, 2);
        for (int cab = 1; cab <= 6; ++cab)
            testwav::write(ir(cab), testwav::decayingIr(300 + 110 * cab, static_cast<unsigned>(cab)));
    }

    std::string ir(int cab) const { return dir.file("cab" + std::to_string(cab) + ".wav"); }

    ProcessResult orvex(std::vector<std::string> args) const
    {
        return ProcessRunner::run(kCli, args, dir.folder());
    }

    // Renders in.wav through `plugin` with the options; the output's bytes.
    std::vector<unsigned char> render(const std::string& plugin, const std::vector<std::string>& options,
                                      const std::string& name)
    {
        std::vector<std::string> args = {"render", plugin, "--in", dir.file("in.wav"), "--out", dir.file(name)};
        args.insert(args.end(), options.begin(), options.end());
        const ProcessResult r = orvex(args);
        EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
        return bytes(dir.file(name));
    }

    testwav::TempFolder dir{"orvex-lv2"};
};

// --- the bundle as the LV2 tools see it -----------------------------------------------------

TEST_F(Lv2Test, BundleValidatesAgainstTheLv2SchemasAndListsEveryPort)
{
    std::vector<std::string> args = {fs::path(kBundle) / "manifest.ttl", fs::path(kBundle) / "orvex.ttl"};
    for (const auto& schemaBundle : fs::directory_iterator("/usr/lib/lv2")) {
        if (schemaBundle.path().extension() != ".lv2" || schemaBundle.path().filename().string().rfind("Za", 0) == 0)
            continue; // the vocabularies LV2 defines, not other plug-ins
        for (const auto& file : fs::directory_iterator(schemaBundle.path()))
            if (file.path().extension() == ".ttl")
                args.push_back(file.path());
    }
    const ProcessResult valid = ProcessRunner::run("/usr/bin/sord_validate", args, dir.folder());
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.err.find("error"), std::string::npos) << valid.err;

    const ProcessResult info = ProcessRunner::run("/usr/bin/lv2info", {kUri}, dir.folder());
    ASSERT_EQ(info.exitCode, 0) << info.err;
    // Every port by symbol, the latency report, the UI and the file properties.
    const char* const symbols[] = {"in_l", "in_r", "out_l", "out_r", "control", "notify", "latency_out",
                                   "phase1", "volume3", "pan6", "hp1", "lp6", "bypass2", "delay5", "output",
                                   "on_off", "channel4", "solo1", "latency", "link12", "link56", "blend13",
                                   "blend24"};
    for (const char* symbol : symbols)
        EXPECT_NE(info.out.find("Symbol:      " + std::string(symbol) + "\n"), std::string::npos) << symbol;
    int ports = 0;
    for (std::size_t at = info.out.find("\tPort "); at != std::string::npos; at = info.out.find("\tPort ", at + 1))
        ++ports;
    EXPECT_EQ(ports, 69);
    EXPECT_NE(info.out.find("http://lv2plug.in/ns/lv2core#reportsLatency"), std::string::npos);
    EXPECT_NE(info.out.find("http://lv2plug.in/ns/extensions/ui#X11UI"), std::string::npos);
}

// --- the same sound as the VST2 build ---------------------------------------------------------

TEST_F(Lv2Test, RendersTheSameBytesAsTheVst2Build)
{
    struct Case {
        const char* what;
        std::vector<std::string> vst, lv2;
    };
    auto irs = [&](int count) {
        std::vector<std::string> args;
        for (int cab = 1; cab <= count; ++cab)
            args.insert(args.end(), {"--ir", std::to_string(cab) + "=" + ir(cab)});
        return args;
    };
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<Case> cases = {
        {"two cabs", irs(2), irs(2)},
        {"six cabs", irs(6), irs(6)},
        {"hop 128", with(irs(2), {"--set", "Latency=0.3"}), with(irs(2), {"--set", "latency=128"})},
        {"hop 256", with(irs(2), {"--set", "Latency=0.6"}), with(irs(2), {"--set", "latency=256"})},
        {"hop 512", with(irs(6), {"--set", "Latency=1"}), with(irs(6), {"--set", "latency=512"})},
        {"links, blend, solo, filters, delay",
         with(irs(4), {"--set", "Link IR1&2=1", "--set", "Blend IR1&3=1", "--set", "Pan1=0.25", "--set", "Solo2=1",
                       "--set", "Solo3=1", "--set", "Freq HP1=0.5", "--set", "Freq LP3=0.25", "--set", "Delay2=0.5",
                       "--set", "Volume1=0.8", "--set", "Phase4=1", "--set", "Channel cab4=1", "--set", "Output=0.7"}),
         with(irs(4), {"--set", "link12=1", "--set", "blend13=1", "--set", "pan1=-50", "--set", "solo2=1", "--set",
                       "solo3=1", "--set", "hp1=505", "--set", "lp3=3750", "--set", "delay2=110", "--set",
                       "volume1=0.8", "--set", "phase4=1", "--set", "channel4=1", "--set", "output=0.7"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> vst = render(kVst, c.vst, "vst.wav");
        const std::vector<unsigned char> lv2 = render(kBundle, c.lv2, "lv2.wav");
        ASSERT_GT(vst.size(), 44u);
        EXPECT_TRUE(vst == lv2);
        // Not silence: the cabs really played.
        const std::vector<float> out = samples(dir.file("lv2.wav"));
        float peak = 0.0f;
        for (float s : out)
            peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.01f);
    }
}

TEST_F(Lv2Test, StateSavedByEitherBuildPlaysTheSameAfterRestore)
{
    // The same settings made live in each build, each build's state saved, and every saved
    // state restored in both builds: one sound.
    const std::vector<std::string> lv2 = {"--ir", "1=" + ir(1), "--ir", "3=" + ir(3), "--set", "link34=1",
                                          "--set", "pan3=30", "--set", "delay1=17", "--set", "latency=256",
                                          "--save-state", dir.file("state"), "--save-chunk", dir.file("lv2.chunk")};
    const std::vector<std::string> vst = {"--ir", "1=" + ir(1), "--ir", "3=" + ir(3), "--set", "Link IR3&4=1",
                                          "--set", "Pan3=0.65", "--set", "Delay1=0.0772727281", "--set", "Latency=0.6",
                                          "--save-chunk", dir.file("vst.chunk")};
    EXPECT_TRUE(render(kBundle, lv2, "live-lv2.wav") == render(kVst, vst, "live-vst.wav"));
    const std::vector<unsigned char> restored = render(kVst, {"--chunk", dir.file("vst.chunk")}, "vst-vst.wav");
    EXPECT_TRUE(render(kBundle, {"--state", dir.file("state")}, "lv2-state.wav") == restored);
    EXPECT_TRUE(render(kBundle, {"--chunk", dir.file("vst.chunk")}, "lv2-vst.wav") == restored);
    EXPECT_TRUE(render(kVst, {"--chunk", dir.file("lv2.chunk")}, "vst-lv2.wav") == restored);
    EXPECT_TRUE(bytes(dir.file("lv2.chunk")) == bytes(dir.file("vst.chunk")));
}

TEST_F(Lv2Test, StateMovedToAnotherFolderStillFindsItsFiles)
{
    // IRs inside the state's folder are stored relative to it (state:mapPath): the folder,
    // moved, still plays them.
    const std::string folder = dir.file("session");
    fs::create_directories(folder + "/irs");
    fs::copy_file(ir(2), folder + "/irs/cab.wav");
    const std::vector<unsigned char> before =
        render(kBundle, {"--ir", "2=" + folder + "/irs/cab.wav", "--save-state", folder}, "before.wav");
    const std::string saved((std::istreambuf_iterator<char>(std::ifstream(folder + "/state.ttl").rdbuf())), {});
    EXPECT_EQ(saved.find(dir.folder()), std::string::npos) << "absolute path in the state:\n" << saved;
    fs::rename(folder, dir.file("moved"));
    EXPECT_TRUE(render(kBundle, {"--state", dir.file("moved")}, "after.wav") == before);
}

TEST_F(Lv2Test, ReportsTheLatencyItsOutputHas)
{
    // A unit impulse through a unit-impulse cabinet comes out exactly as late as reported.
    std::vector<float> impulse(4000, 0.0f);
    impulse[0] = 1.0f;
    testwav::write(dir.file("impulse.wav"), impulse, 1);
    std::vector<float> unit(64, 0.0f);
    unit[0] = 1.0f;
    testwav::write(dir.file("unit.wav"), unit, 1);
    for (const char* hop : {"64", "128", "256", "512"}) {
        SCOPED_TRACE(hop);
        const std::vector<std::string> options = {"--ir", "1=" + dir.file("unit.wav"), "--set",
                                                  std::string("latency=") + hop};
        std::vector<std::string> args = {"render", kBundle, "--in", dir.file("impulse.wav"), "--out", dir.file("o.wav")};
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_EQ(orvex(args).exitCode, 0);
        const std::vector<float> out = samples(dir.file("o.wav"));
        std::size_t first = 0;
        while (first < out.size() && std::fabs(out[first]) < 1e-6f)
            ++first;
        std::vector<std::string> infoArgs = {"info", kUri}; // by URI, found on LV2_PATH
        infoArgs.insert(infoArgs.end(), options.begin(), options.end());
        const ProcessResult info = orvex(infoArgs);
        const std::size_t row = info.out.find("latency_out");
        ASSERT_NE(row, std::string::npos) << info.out;
        const std::string line = info.out.substr(row, info.out.find('\n', row) - row);
        const long reported = std::strtol(line.substr(line.find_last_of(' ') + 1).c_str(), nullptr, 10);
        EXPECT_EQ(static_cast<long>(first / 2), reported) << line; // stereo frames
    }
}

// --- the VST2 chunk and the LV2 state ---------------------------------------------------------

TEST_F(Lv2Test, Vst2ChunkConvertsToLv2StateAndBack)
{
    // The demo's state: two cabs, their pans and a low-pass, saved by the VST2 build.
    render(kVst,
           {"--ir", "1=" + ir(1), "--ir", "2=" + ir(2), "--set", "Pan1=0.3", "--set", "Pan2=0.7", "--set",
            "Freq LP2=0.6", "--save-chunk", dir.file("demo.chunk")},
           "demo.wav");
    ProcessResult r = orvex({"convert", kBundle, "--chunk", dir.file("demo.chunk"), "--save-state", dir.file("state")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = orvex({"convert", kBundle, "--state", dir.file("state"), "--save-chunk", dir.file("back.chunk")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The same settings: every name, folder, file name and file index, every value's bits.
    const std::vector<unsigned char> a = bytes(dir.file("demo.chunk"));
    const std::vector<unsigned char> b = bytes(dir.file("back.chunk"));
    ASSERT_EQ(a.size(), 68280u);
    ASSERT_EQ(b.size(), 68280u);
    constexpr std::size_t kRecord = 6828;
    for (std::size_t p = 0; p < 10; ++p) {
        const unsigned char* x = a.data() + p * kRecord;
        const unsigned char* y = b.data() + p * kRecord;
        EXPECT_STREQ(reinterpret_cast<const char*>(x), reinterpret_cast<const char*>(y)) << "name " << p;
        for (std::size_t cab = 0; cab < 6; ++cab) {
            EXPECT_STREQ(reinterpret_cast<const char*>(x + 25 + cab * 1024), reinterpret_cast<const char*>(y + 25 + cab * 1024));
            EXPECT_STREQ(reinterpret_cast<const char*>(x + 6169 + cab * 64), reinterpret_cast<const char*>(y + 6169 + cab * 64));
        }
        EXPECT_EQ(0, std::memcmp(x + 6556, y + 6556, kRecord - 6556)) << "indices and values of program " << p;
    }
    // And the converted state plays as the VST2 build played the chunk.
    EXPECT_TRUE(render(kBundle, {"--state", dir.file("state")}, "lv2.wav") == bytes(dir.file("demo.wav")));
}

// --- a host we did not write ------------------------------------------------------------------

TEST_F(Lv2Test, Lv2applyRunsThePlugin)
{
    const ProcessResult r = ProcessRunner::run("/usr/bin/lv2apply",
                                               {"-i", dir.file("in.wav"), "-o", dir.file("out.wav"), kUri},
                                               dir.folder());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(fs::exists(dir.file("out.wav")));
    // lv2apply sets no file property, so no cab holds a file: every cab is silent, and the
    // effect's output is silence for the whole input.
    const std::vector<unsigned char> out = bytes(dir.file("out.wav"));
    const std::string text(out.begin(), out.end());
    const std::size_t data = text.find("data");
    ASSERT_NE(data, std::string::npos);
    EXPECT_GE(out.size() - data - 8, 44100u * 2u * 2u); // every frame, both channels
    for (std::size_t i = data + 8; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "a sound at byte " << i;
}

} // namespace
