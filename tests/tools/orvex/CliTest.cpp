// The built `orvex` program run as a user runs it, on our own test plug-in (on every
// platform, wine included) and on third-party Linux plug-ins from Debian's packages.
#include "ProcessRunner.h"
#include "TempFolder.h"
#include "TestAudio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

using testing::HasSubstr;
using testing::MatchesRegex;
using testing::Not;

namespace {

class OrvexCli : public testing::Test {
protected:
    ProcessResult orvex(const std::vector<std::string>& args)
    {
        return ProcessRunner::run(ORVEX_CLI, args, m_folder.path());
    }
    std::string file(const std::string& name) const { return m_folder.file(name); }

    // The display text printed for a --set, e.g. "3.52" from `set 0 "Gain" = 0.750000: 3.52 dB`.
    static double displayedValue(const std::string& out, const std::string& name)
    {
        const std::regex line("set [0-9]+ \"" + name + "\" = [0-9.]+: (-?[0-9.]+)");
        std::smatch match;
        if (!std::regex_search(out, match, line)) {
            ADD_FAILURE() << "no set line for " << name << " in:\n" << out;
            return 0.0;
        }
        return std::stod(match[1].str());
    }

    static double decibelsToFactor(double db) { return std::pow(10.0, db / 20.0); }

    TempFolder m_folder; // inputs, outputs and captured streams of one test
};

// Checks that `out` is `in` scaled by `factor` from `first` on, within a relative `tolerance`
// of the signal's peak.
void expectScaled(const std::vector<float>& in, const std::vector<float>& out, double factor, double tolerance,
                  std::size_t first = 0)
{
    ASSERT_EQ(in.size(), out.size());
    double peak = 0.0;
    for (float x : in)
        peak = std::fmax(peak, std::fabs(x));
    for (std::size_t i = first; i < in.size(); ++i)
        ASSERT_NEAR(out[i], in[i] * factor, tolerance * peak * factor) << "frame " << i;
}

} // namespace

TEST_F(OrvexCli, UsageErrorsExitWithOne)
{
    ProcessResult r = orvex({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("no command given"));
    EXPECT_THAT(r.err, HasSubstr("usage:"));
    EXPECT_EQ(r.out, "");

    r = orvex({"render", GAIN_PLUGIN, "--in", file("a.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("render needs --out"));

    r = orvex({"help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("exit status: 0 success, 1 usage error, 2 plug-in or file failure"));

    // Names and numbers that only the plug-in can judge.
    r = orvex({"info", GAIN_PLUGIN, "--set", "Volume=0.5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("no parameter named 'Volume'"));
    r = orvex({"info", GAIN_PLUGIN, "--set", "1=0.5"});
    EXPECT_EQ(r.exitCode, 1);
    r = orvex({"info", GAIN_PLUGIN, "--program", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("program 1 does not exist (the plug-in has 1 programs)"));
}

TEST_F(OrvexCli, InfoListsIdentityParametersAndPrograms)
{
    const ProcessResult r = orvex({"info", GAIN_PLUGIN, "--set", "Gain=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("magic:           VstP\n"));
    EXPECT_THAT(r.out, HasSubstr("unique ID:       OxGn (0x4f78476e)\n"));
    EXPECT_THAT(r.out, HasSubstr("version:         1\n"));
    EXPECT_THAT(r.out, HasSubstr("parameters:      1\n"));
    EXPECT_THAT(r.out, HasSubstr("inputs:          2\noutputs:         2\n"));
    EXPECT_THAT(r.out, HasSubstr("flags:           0x30 (CanReplacing, ProgramChunks)\n"));
    EXPECT_THAT(r.out, HasSubstr("effect name:     Orvex test gain\n"));
    EXPECT_THAT(r.out, HasSubstr("vendor:          Orvex tests\n"));
    EXPECT_THAT(r.out, HasSubstr("product:         " + std::string(255, 'P') + "\n"));
    EXPECT_THAT(r.out, HasSubstr("vendor version:  1000\nVST version:     2400\ncategory:        1 (Effect)\n"));
    EXPECT_THAT(r.out, HasSubstr("set 0 \"Gain\" = 1.000000: 6.02 dB\n"));
    EXPECT_THAT(r.out, HasSubstr("  index  name  display  label  value\n"
                                 "      0  Gain  6.02     dB     1.000000\n"));
    EXPECT_THAT(r.out, HasSubstr("program names:\n* 0  Default\n"));
    EXPECT_THAT(r.err, HasSubstr("wrote past a 256-byte text buffer"));
}

TEST_F(OrvexCli, RenderScalesByTheDisplayedGainInBlocksThatDoNotDivideTheLength)
{
    const Channels in = {TestAudio::noise(11, 0.5, 1001), TestAudio::sine(1000.0, 44100.0, 0.25, 1001)};
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), in, 44100));
    const ProcessResult r =
        orvex({"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("out.wav"), "--set", "Gain=0.75", "--block", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const double factor = decibelsToFactor(displayedValue(r.out, "Gain"));
    EXPECT_NEAR(factor, 1.5, 1e-3);

    Channels out;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(file("out.wav"), out, rate));
    EXPECT_EQ(rate, 44100u);
    ASSERT_EQ(out.size(), 2u);
    expectScaled(in[0], out[0], factor, 1e-3);
    expectScaled(in[1], out[1], factor, 1e-3);

    // The printed levels agree with the file.
    for (int c = 0; c < 2; ++c) {
        double peak = 0.0;
        for (float x : out[static_cast<std::size_t>(c)])
            peak = std::fmax(peak, std::fabs(x));
        const double rms = TestAudio::rms(out[static_cast<std::size_t>(c)], 0, 1001);
        char expected[160];
        std::snprintf(expected, sizeof(expected), "output %d: peak %.6f (%.2f dBFS), RMS %.6f (%.2f dBFS)\n", c + 1, peak,
                      20.0 * std::log10(peak), rms, 20.0 * std::log10(rms));
        EXPECT_THAT(r.out, HasSubstr(expected));
    }
    EXPECT_THAT(r.out, HasSubstr("rendered 1001 frames (0.023 s) at 44100 Hz in blocks of 100 through Orvex test gain\n"));
}

// --stats times every call into the plug-in: one per block of the render, the worst one
// set against the time its block lasts. Only render takes it.
TEST_F(OrvexCli, StatsReportTheTimeInsideThePlugin)
{
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), {TestAudio::noise(12, 0.5, 1001)}, 44100));
    ProcessResult r = orvex({"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("out.wav"), "--block", "100",
                             "--stats"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    double perSecond = -1.0, core = -1.0, total = -1.0, audio = -1.0, worst = -1.0, share = -1.0, lasts = -1.0;
    long long calls = -1, worstCall = -1;
    int frames = -1;
    const std::size_t at = r.out.find("processing: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + at,
                          "processing: %lf ms inside the plug-in per second of audio (%lf %% of one core), %lld calls, "
                          "%lf ms in all for %lf s\nworst block: %lf ms for %d frames (call %lld), %lf %% of the %lf ms",
                          &perSecond, &core, &calls, &total, &audio, &worst, &frames, &worstCall, &share, &lasts),
              10)
        << r.out;
    EXPECT_EQ(calls, 11);
    EXPECT_NEAR(audio, 1100.0 / 44100.0, 1e-3);
    EXPECT_EQ(frames, 100);
    EXPECT_NEAR(lasts, 100.0 / 44.1, 1e-3);
    EXPECT_GE(total, worst);
    EXPECT_GE(worst, total / 11.0 - 1e-6);
    // The printed figures carry three decimals.
    EXPECT_NEAR(perSecond, total / audio, 0.05 + 0.01 * perSecond);
    EXPECT_NEAR(core, perSecond / 10.0, 0.002 + 0.01 * core);

    r = orvex({"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("out.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, Not(HasSubstr("processing:")));
    r = orvex({"info", GAIN_PLUGIN, "--stats"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("--stats belongs to the render command"));
}

TEST_F(OrvexCli, MonoInputFeedsBothInputsAndRateCanBeOverridden)
{
    const Channels in = {TestAudio::sine(440.0, 22050.0, 0.5, 777)};
    ASSERT_TRUE(TestAudio::writeFloat(file("mono.wav"), in, 22050));
    // A parameter can be named by its index too; 0.25 gives the factor 0.5.
    const ProcessResult r = orvex({"render", GAIN_PLUGIN, "--in", file("mono.wav"), "--out", file("out.wav"), "--set",
                                   "0=0.25", "--rate", "48000"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Channels out;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(file("out.wav"), out, rate));
    EXPECT_EQ(rate, 48000u);
    ASSERT_EQ(out.size(), 2u);
    expectScaled(in[0], out[0], 0.5, 1e-6);
    expectScaled(in[0], out[1], 0.5, 1e-6);
    EXPECT_THAT(r.out, HasSubstr("input: 1 channel(s) into 2 plug-in input(s); output: 2 channel(s)"));
}

TEST_F(OrvexCli, ChunksAreSavedAndRestored)
{
    const Channels in = {TestAudio::noise(5, 1.0, 300), TestAudio::noise(6, 1.0, 300)};
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), in, 44100));
    ProcessResult r = orvex({"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("a.wav"), "--set",
                             "Gain=0.125", "--save-chunk", file("state.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("saved bank chunk of 4 bytes"));
    EXPECT_EQ(std::filesystem::file_size(file("state.bin")), 4u);

    // A fresh instance given the chunk renders at the saved gain (factor 0.25), as bank and as preset.
    for (const char* option : {"--chunk", "--preset-chunk"}) {
        r = orvex({"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("b.wav"), option, file("state.bin")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Channels out;
        std::uint32_t rate = 0;
        ASSERT_TRUE(TestAudio::read(file("b.wav"), out, rate));
        expectScaled(in[0], out[0], 0.25, 1e-6);
        expectScaled(in[1], out[1], 0.25, 1e-6);
    }

    // Settings apply after the chunk.
    r = orvex({"info", GAIN_PLUGIN, "--chunk", file("state.bin"), "--set", "Gain=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("0  Gain  6.02     dB     1.000000\n"));

    // A chunk the plug-in refuses is a failure, not silently ignored.
    TestAudio::writeBytes(file("bad.bin"), {1, 2, 3});
    r = orvex({"info", GAIN_PLUGIN, "--chunk", file("bad.bin")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("refused the bank chunk of 3 bytes"));
    r = orvex({"info", GAIN_PLUGIN, "--preset-chunk", file("missing.bin")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("cannot open"));
}

TEST_F(OrvexCli, FailuresExitWithTwoAndLeaveNoOutput)
{
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), {{0.5f, 0.5f}}, 44100));
    ProcessResult r = orvex({"info", file("missing" ORVEX_MODULE_SUFFIX)});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("cannot load"));

    TestAudio::writeBytes(file("broken.wav"), WavBytes::riff(WavBytes::format(1, 1, 44100, 16)));
    r = orvex({"render", GAIN_PLUGIN, "--in", file("broken.wav"), "--out", file("out.wav")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("no data chunk"));
    EXPECT_FALSE(std::filesystem::exists(file("out.wav")));

    r = orvex({"render", GAIN_PLUGIN, "--in", file("absent.wav"), "--out", file("out.wav")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("cannot open"));

    r = orvex({"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("no-folder/out.wav")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("cannot create"));

    // Listing a folder leaves only the input: no temporary files behind.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.path()))
        entries += entry.path().extension() == ".wav" ? 1 : 0;
    EXPECT_EQ(entries, 2); // in.wav and broken.wav
}

TEST_F(OrvexCli, OutputMayReplaceItsOwnInput)
{
    const Channels in = {TestAudio::noise(9, 0.5, 5000), TestAudio::noise(10, 0.5, 5000)};
    ASSERT_TRUE(TestAudio::writeFloat(file("take.wav"), in, 44100));
    const ProcessResult r =
        orvex({"render", GAIN_PLUGIN, "--in", file("take.wav"), "--out", file("take.wav"), "--set", "Gain=1", "--block", "64"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Channels out;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(file("take.wav"), out, rate));
    expectScaled(in[0], out[0], 2.0, 1e-6);
    expectScaled(in[1], out[1], 2.0, 1e-6);
}

// Outputs: a name that holds a file (or nothing yet) gets the whole new file or keeps what it
// had; a device, a FIFO or standard output is written where it is and is still there after.
namespace {

using Args = std::vector<std::string>;

// A command that writes a path given on its command line, and what it says about it.
struct OutputCommand {
    const char* name;
    std::function<Args(const std::string& path)> args; // the command line writing to `path`
    const char* said;                                   // part of its report about the output
};

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Bytes compared without printing them all: sizes and the first difference.
testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected, first difference at byte " << at;
}

// Names in `folder` that the outputs tests did not make: whatever a writer left beside its
// output, or a file it made where a device should have been.
std::vector<std::string> leftovers(const std::string& folder)
{
    static const std::vector<std::string> made = {"in.wav",   "rendered.wav", "stdout.txt", "stderr.txt", "old.bin",
                                                  "linked.bin", "link",       "fifo",       "null",       "full"};
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(made.begin(), made.end(), name) == made.end() && name.rfind("expected-", 0) != 0)
            names.push_back(name);
    }
    return names;
}

#ifndef _WIN32
// The far end of a FIFO, read on a thread of its own while a program writes, as the next
// program of a pipeline would. A writing end of its own keeps the FIFO open meanwhile, so the
// reader cannot see an end before finish(), and nothing waits if the program never opens it.
class FifoReader {
public:
    explicit FifoReader(const std::string& path)
    {
        m_read = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_read >= 0) {
            m_keep = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            ::fcntl(m_read, F_SETFL, ::fcntl(m_read, F_GETFL) & ~O_NONBLOCK);
        }
        m_thread = std::thread([this] {
            char buffer[65536];
            ssize_t got = 0;
            while (m_read >= 0 && ((got = ::read(m_read, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)))
                m_bytes.append(buffer, static_cast<std::size_t>(got > 0 ? got : 0));
        });
    }
    ~FifoReader() { finish(); }
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;

    // Everything the program wrote; call it once the program has ended.
    const std::string& finish()
    {
        if (m_keep >= 0)
            ::close(m_keep);
        m_keep = -1;
        if (m_thread.joinable())
            m_thread.join();
        if (m_read >= 0)
            ::close(m_read);
        m_read = -1;
        return m_bytes;
    }

private:
    int m_read = -1;      // the reading end
    int m_keep = -1;      // our own writing end
    std::string m_bytes;  // what came through
    std::thread m_thread; // the reader
};

bool isCharacterDevice(const std::string& path, dev_t number)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == number;
}
#endif

} // namespace

class OrvexCliOutputs : public OrvexCli {
protected:
    ProcessResult orvexPiped(const Args& args)
    {
        return ProcessRunner::run(ORVEX_CLI, args, m_folder.path(), StandardOutput::pipe);
    }

    // Every command that writes a path it is given. Orvex draws its snapshot itself, so that
    // one is there only when this build made the plug-in.
    std::vector<OutputCommand> commands()
    {
        EXPECT_TRUE(TestAudio::writeFloat(file("in.wav"), {TestAudio::noise(3, 0.5, 3000), TestAudio::noise(4, 0.5, 3000)},
                                          44100));
        std::vector<OutputCommand> list = {
            {"render --out",
             [this](const std::string& path) {
                 return Args{"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", path, "--set", "Gain=0.8"};
             },
             "output 2: peak"},
            {"render --save-chunk",
             [this](const std::string& path) {
                 return Args{"render", GAIN_PLUGIN, "--in", file("in.wav"), "--out", file("rendered.wav"),
                             "--set", "Gain=0.125", "--save-chunk", path};
             },
             "saved bank chunk of 4 bytes"},
        };
#ifdef ORVEX_PLUGIN
        if (std::filesystem::exists(ORVEX_PLUGIN))
            list.push_back({"snapshot --out",
                            [](const std::string& path) { return Args{"snapshot", ORVEX_PLUGIN, "--out", path}; },
                            "wrote the editor's picture"});
#endif
        return list;
    }

    // What `command` writes to a name that did not exist.
    std::string expectedBytes(const OutputCommand& command)
    {
        const std::string path = file(std::string("expected-") + command.name);
        const ProcessResult r = orvex(command.args(path));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr(command.said));
        const std::string bytes = readAll(path);
        EXPECT_GT(bytes.size(), 3u);
        return bytes;
    }
};

TEST_F(OrvexCliOutputs, AFileIsReplacedWholeAndNothingIsLeftBeside)
{
    for (const OutputCommand& command : commands()) {
        SCOPED_TRACE(command.name);
        const std::string expected = expectedBytes(command);
        TestAudio::writeBytes(file("old.bin"), {'o', 'l', 'd'});
        std::filesystem::permissions(file("old.bin"), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_write |
                                                          std::filesystem::perms::group_read);
        ProcessResult r = orvex(command.args(file("old.bin")));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(sameBytes(readAll(file("old.bin")), expected));
#ifndef _WIN32
        // The replacement keeps the permissions of what it replaced.
        EXPECT_EQ(std::filesystem::status(file("old.bin")).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read);
        // A link is followed: its file is replaced, the link stays a link.
        TestAudio::writeBytes(file("linked.bin"), {'o', 'l', 'd'});
        std::filesystem::remove(file("link"));
        std::filesystem::create_symlink(file("linked.bin"), file("link"));
        r = orvex(command.args(file("link")));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(std::filesystem::is_symlink(file("link")));
        EXPECT_TRUE(sameBytes(readAll(file("linked.bin")), expected));
#endif
        EXPECT_THAT(leftovers(m_folder.path()), testing::IsEmpty());
    }
}

TEST_F(OrvexCliOutputs, DevicesAndFifosAreWrittenWhereTheyAreAndSurvive)
{
#ifdef _WIN32
    for (const OutputCommand& command : commands()) {
        SCOPED_TRACE(command.name);
        // A device name inside a folder is still the device; nothing may appear under it.
        const ProcessResult r = orvex(command.args(file("NUL")));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr(command.said));
        EXPECT_THAT(leftovers(m_folder.path()), testing::IsEmpty());
    }
#else
    // Device nodes of the test's own when it may make and open them (as root, where a wrong
    // writer could replace any node), else the system's, which nobody else can replace.
    auto deviceNode = [this](const char* name, dev_t number) {
        const std::string own = file(name);
        if (::mknod(own.c_str(), S_IFCHR | 0666, number) == 0) {
            const int fd = ::open(own.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                return own;
            }
            ::unlink(own.c_str()); // a folder whose file system refuses devices
        }
        return std::string("/dev/") + name;
    };
    const dev_t nullNumber = makedev(1, 3);
    const dev_t fullNumber = makedev(1, 7);
    const std::string null = deviceNode("null", nullNumber);
    const std::string full = deviceNode("full", fullNumber);
    ASSERT_TRUE(isCharacterDevice(null, nullNumber) && isCharacterDevice(full, fullNumber));
    ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);

    for (const OutputCommand& command : commands()) {
        SCOPED_TRACE(command.name);
        const std::string expected = expectedBytes(command);
        {
            FifoReader reader(file("fifo"));
            const ProcessResult r = orvex(command.args(file("fifo")));
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_TRUE(sameBytes(reader.finish(), expected));
            struct stat st {};
            EXPECT_TRUE(::stat(file("fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
        }
        ProcessResult r = orvex(command.args(null));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr(command.said));
        EXPECT_TRUE(isCharacterDevice(null, nullNumber));
        // A write that fails is reported, and the device is not removed for it.
        r = orvex(command.args(full));
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr(full));
        EXPECT_TRUE(isCharacterDevice(full, fullNumber));
        EXPECT_THAT(leftovers(m_folder.path()), testing::IsEmpty());
    }
    EXPECT_TRUE(isCharacterDevice("/dev/null", nullNumber));
#endif
}

// `-` is a pipe's writing end: the file alone goes there, its header right from the first
// byte since nothing can seek back, and every message goes to standard error.
TEST_F(OrvexCliOutputs, DashWritesTheOutputAloneToStandardOutput)
{
    for (const OutputCommand& command : commands()) {
        SCOPED_TRACE(command.name);
        const std::string expected = expectedBytes(command);
        const ProcessResult r = orvexPiped(command.args("-"));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(sameBytes(r.out, expected));
        EXPECT_THAT(r.err, HasSubstr(command.said));
        EXPECT_FALSE(std::filesystem::exists("-")) << "a file named '-' in the working folder";
    }
}

TEST_F(OrvexCli, OurOwnPluginAnswersAsAnEffect)
{
#ifdef ORVEX_PLUGIN
    if (!std::filesystem::exists(ORVEX_PLUGIN))
        GTEST_SKIP() << ORVEX_PLUGIN << " has not been built";
    const ProcessResult r = orvex({"info", ORVEX_PLUGIN});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("magic:           VstP\nunique ID:       OVX2 (0x4f565832)\nversion:         1\n"
                                 "programs:        10\nparameters:      86\ninputs:          2\noutputs:         2\n"));
    EXPECT_THAT(r.out, HasSubstr("initial delay:   0\n"));
    EXPECT_THAT(r.out, HasSubstr("VST version:     2400\n"));
    EXPECT_EQ(r.err, "");
#else
    GTEST_SKIP() << "the plug-in is not part of this build";
#endif
}

// An IR file the plug-in cannot use leaves its cab silent without a sound; the host asks the
// plug-in, names the cab and the plug-in's reason, and --strict stops before rendering.
TEST_F(OrvexCli, IrFilesThatLeaveACabSilentAreNamed)
{
#ifdef ORVEX_PLUGIN
    if (!std::filesystem::exists(ORVEX_PLUGIN))
        GTEST_SKIP() << ORVEX_PLUGIN << " has not been built";
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), {TestAudio::noise(1, 0.5, 2000)}, 44100));
    ASSERT_TRUE(TestAudio::writeFloat(file("good.wav"), {{0.0f, 0.8f, -0.4f, 0.2f}}, 44100));
    ASSERT_TRUE(TestAudio::writeFloat(file("right-only.wav"), {{0.0f, 0.0f}, {0.8f, -0.4f}}, 44100));
    TestAudio::writeBytes(file("text.wav"), {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'});
    std::vector<unsigned char> f64 = WavBytes::format(3, 1, 44100, 64);
    const std::vector<unsigned char> one = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}; // 1.0
    const std::vector<unsigned char> data = WavBytes::chunk("data", one);
    f64.insert(f64.end(), data.begin(), data.end());
    TestAudio::writeBytes(file("double.wav"), WavBytes::riff(f64));

    struct Case {
        const char* name;   // the IR file
        const char* reason; // part of the message, or null when the cab plays
    };
    for (const Case& c : {Case{"good.wav", nullptr}, Case{"text.wav", "too short to be a WAV file"},
                          Case{"double.wav", "not 8, 16, 24 or 32 bits wide"}, Case{"right-only.wav", "only silence"}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(file("strict.wav"));
        const std::string ir = std::string("2=") + file(c.name);
        ProcessResult r = orvex({"render", ORVEX_PLUGIN, "--in", file("in.wav"), "--out", file("out.wav"), "--ir", ir});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        r = orvex({"render", ORVEX_PLUGIN, "--in", file("in.wav"), "--out", file("strict.wav"), "--ir", ir, "--strict"});
        if (c.reason == nullptr) {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_THAT(r.err, testing::Not(HasSubstr("silent")));
            continue;
        }
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr("cab 2 is silent: "));
        EXPECT_THAT(r.err, HasSubstr(c.reason));
        EXPECT_FALSE(std::filesystem::exists(file("strict.wav")));
    }
#else
    GTEST_SKIP() << "the plug-in is not part of this build";
#endif
}

#ifndef _WIN32

// Third-party plug-ins from Debian's packages (scripts/packages/cli.txt), treated as black
// boxes: only what they report through the interface is used.
namespace {

const char* const kThreeBandEq = "/usr/lib/vst/3BandEQ-vst.so";  // dpf-plugins-vst
const char* const kZamEq2 = "/usr/lib/vst/ZamEQ2-vst.so";        // zam-plugins

// The word size an ELF file was built for (32 or 64), or 0 when it is no ELF file. Debian
// installs these plug-ins for the machine's own architecture only, and a 32-bit host (the
// linux32 build's) cannot load a 64-bit module.
int elfBits(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    char ident[5] = {};
    if (!in.read(ident, sizeof ident) || std::string(ident, 4) != "\x7f" "ELF")
        return 0;
    return ident[4] == 1 ? 32 : ident[4] == 2 ? 64 : 0;
}

constexpr int kHostBits = static_cast<int>(sizeof(void*) * 8);

#define REQUIRE_PLUGIN(path)                                                                          \
    do {                                                                                              \
        if (!std::filesystem::exists(path))                                                           \
            GTEST_SKIP() << path << " is not installed (scripts/install-deps.sh installs it)";        \
        if (elfBits(path) != kHostBits)                                                               \
            GTEST_SKIP() << path << " is a " << elfBits(path) << "-bit module, which this "           \
                         << kHostBits << "-bit host cannot load";                                     \
    } while (0)

} // namespace

TEST_F(OrvexCli, ThirdPartyInfoListsParameters)
{
    REQUIRE_PLUGIN(kThreeBandEq);
    REQUIRE_PLUGIN(kZamEq2);
    ProcessResult r = orvex({"info", kThreeBandEq});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("magic:           VstP\n"));
    EXPECT_THAT(r.out, HasSubstr("parameters:      6\n"));
    EXPECT_THAT(r.out, HasSubstr("effect name:     3 Band EQ\n"));
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n +3  Master +0\\.0+ +dB +0\\.500000\n"))) << r.out;

    r = orvex({"info", kZamEq2});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("inputs:          1\noutputs:         1\n"));
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n +7  Frequency L +250\\.0+ +Hz "))) << r.out;
}

TEST_F(OrvexCli, ThirdPartyGainMatchesItsDisplayedDecibels)
{
    REQUIRE_PLUGIN(kThreeBandEq);
    const Channels in = {TestAudio::noise(21, 0.25, 24000), TestAudio::sine(300.0, 48000.0, 0.25, 24000)};
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), in, 48000));
    for (const char* master : {"0.75", "0.3"}) {
        const ProcessResult r = orvex({"render", kThreeBandEq, "--in", file("in.wav"), "--out", file("out.wav"),
                                       "--set", std::string("Master=") + master});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const double db = displayedValue(r.out, "Master");
        EXPECT_GT(std::fabs(db), 1.0) << "Master=" << master << " should not be unity";
        Channels out;
        std::uint32_t rate = 0;
        ASSERT_TRUE(TestAudio::read(file("out.wav"), out, rate));
        ASSERT_EQ(out.size(), 2u);
        // The plug-in turns decibels into a factor by its own rule (12 dB gives exactly 4), which
        // differs from 20 log10 by under half a percent; a wrong gain would differ by far more.
        expectScaled(in[0], out[0], decibelsToFactor(db), 1e-2);
        expectScaled(in[1], out[1], decibelsToFactor(db), 1e-2);
    }
}

TEST_F(OrvexCli, ThirdPartyNeutralSettingReproducesTheInput)
{
    REQUIRE_PLUGIN(kThreeBandEq);
    const Channels in = {TestAudio::noise(31, 0.5, 10000), TestAudio::noise(32, 0.5, 10000)};
    ASSERT_TRUE(TestAudio::writeFloat(file("in.wav"), in, 44100));
    const ProcessResult r = orvex({"render", kThreeBandEq, "--in", file("in.wav"), "--out", file("out.wav"), "--block", "333"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Channels out;
    std::uint32_t rate = 0;
    ASSERT_TRUE(TestAudio::read(file("out.wav"), out, rate));
    expectScaled(in[0], out[0], 1.0, 1e-4);
    expectScaled(in[1], out[1], 1.0, 1e-4);
}

TEST_F(OrvexCli, ThirdPartyShelfCutsLowsAndKeepsHighs)
{
    REQUIRE_PLUGIN(kZamEq2);
    // A mono effect: the stereo file's left channel feeds it, and one channel comes out.
    const std::size_t frames = 48000;
    const Channels low = {TestAudio::sine(40.0, 48000.0, 0.5, frames), std::vector<float>(frames, 0.9f)};
    const Channels high = {TestAudio::sine(12000.0, 48000.0, 0.5, frames), std::vector<float>(frames, 0.9f)};
    ASSERT_TRUE(TestAudio::writeFloat(file("low.wav"), low, 48000));
    ASSERT_TRUE(TestAudio::writeFloat(file("high.wav"), high, 48000));
    double shelfDb = 0.0;
    // Gain in dB of the left channel of `input` through the plug-in, over the second half of
    // the file (after the filter has settled), with the low shelf at its lowest or as it is.
    auto gainDb = [&](const char* input, const Channels& source, bool cut) {
        std::vector<std::string> args = {"render", kZamEq2, "--in", file(input), "--out", file("out.wav")};
        if (cut)
            args.insert(args.end(), {"--set", "Boost/Cut L=0"});
        const ProcessResult r = orvex(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr("input: 2 channel(s) into 1 plug-in input(s); output: 1 channel(s)"));
        if (cut)
            shelfDb = displayedValue(r.out, "Boost/Cut L");
        Channels out;
        std::uint32_t rate = 0;
        if (!TestAudio::read(file("out.wav"), out, rate) || out.size() != 1 || out[0].size() != frames) {
            ADD_FAILURE() << "unexpected output shape";
            return 0.0;
        }
        return 20.0 * std::log10(TestAudio::rms(out[0], frames / 2, frames) / TestAudio::rms(source[0], frames / 2, frames));
    };
    const double lowUncut = gainDb("low.wav", low, false);
    const double lowCut = gainDb("low.wav", low, true);
    const double highCut = gainDb("high.wav", high, true);
    ASSERT_LT(shelfDb, -30.0) << "the lowest shelf setting should be a deep cut";
    // The neutral setting passes 40 Hz; the cut takes most of its displayed depth there (the
    // shelf's corner at 250 Hz is less than three octaves away) and never more; 12 kHz is kept.
    EXPECT_NEAR(lowUncut, 0.0, 0.2);
    EXPECT_LT(lowCut, -30.0);
    EXPECT_GT(lowCut, shelfDb - 1.0);
    EXPECT_NEAR(highCut, 0.0, 0.5);
}

#endif
