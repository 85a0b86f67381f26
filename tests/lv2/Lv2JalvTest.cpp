// Orvex's LV2 UI in jalv, a host we did not write: JACK's dummy backend for audio, the
// private Xvfb display of scripts/with-xvfb.sh for the window, xdotool for the user. The
// editor embedded in jalv's window must show what `orvex snapshot` draws headless, and a knob
// dragged there must move the plug-in's port, and "next" must change the cab's file in the
// plug-in, and the load button's dialog must give a cab its file and switch it on (jalv's
// own "Save" writes the port values and the plug-in's state, where both are
// read back).
#include "ProcessRunner.h"
#include "TestWav.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kCli = ORVEX_CLI;
const std::string kBundle = ORVEX_LV2_BUNDLE;
const std::string kShots = ORVEX_SCREENSHOT_DIR;

// A program we start in the background, ended (by its id) when the object goes.
class Background {
public:
    Background(const std::string& command, const std::string& log, const std::string& folder = ".")
    {
        // exec: the id we hold is the program's own, not a shell's.
        const std::string line = "cd '" + folder + "' && exec " + command + " >'" + log + "' 2>&1";
        const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
        if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            pid_ = -1;
    }
    ~Background()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            for (int i = 0; i < 50 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

std::string output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

bool have(const char* program)
{
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The deepest 850 x 520 window on the display (the editor inside jalv's socket), or "".
std::string editorWindow()
{
    std::istringstream tree(output("xwininfo -root -tree"));
    std::string line, found;
    while (std::getline(tree, line)) {
        if (line.find(" 850x520+") != std::string::npos) {
            std::istringstream words(line);
            words >> found;
        }
    }
    return found;
}

int absolute(const std::string& window, const char* axis)
{
    std::istringstream info(output("xwininfo -id " + window));
    std::string line;
    const std::string key = std::string("Absolute upper-left ") + axis + ":";
    while (std::getline(info, line)) {
        const std::size_t at = line.find(key);
        if (at != std::string::npos)
            return std::atoi(line.c_str() + at + key.size());
    }
    return -1;
}

TEST(Lv2Jalv, EditorInJalvShowsTheSnapshotAndItsKnobMovesThePort)
{
    for (const char* program : {"jalv.gtk3", "jackd", "xdotool", "xwininfo", "import", "compare"}) {
        if (!have(program))
            GTEST_SKIP() << program << " is not installed";
    }
    testwav::TempFolder dir("orvex-jalv");
    setenv("LV2_PATH", fs::path(kBundle).parent_path().c_str(), 1);
    const std::string server = "orvex-lv2-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);

    // Two cabs in a state that jalv loads, and the same state drawn headless.
    testwav::write(dir.file("cab1.wav"), testwav::decayingIr(500, 1));
    testwav::write(dir.file("cab3.wav"), testwav::decayingIr(700, 3));
    testwav::write(dir.file("amp.wav"), testwav::decayingIr(600, 2));
    ProcessResult r = ProcessRunner::run(kCli,
                                         {"convert", kBundle, "--ir", "1=" + dir.file("cab1.wav"), "--ir",
                                          "3=" + dir.file("cab3.wav"), "--set", "pan3=30", "--save-state",
                                          dir.file("state")},
                                         dir.folder());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = ProcessRunner::run(kCli, {"snapshot", kBundle, "--state", dir.file("state"), "--out", dir.file("headless.png")},
                           dir.folder());
    ASSERT_EQ(r.exitCode, 0) << r.err;

    Background jack("jackd --no-realtime -n " + server + " -d dummy -r 44100 -p 256", dir.file("jackd.log"));
    // jalv gives up at once without a server: wait until this one answers.
    std::system(("jack_wait -s " + server + " -w -t 10 >/dev/null 2>&1").c_str());
    ASSERT_TRUE(jack.running()) << output("cat '" + dir.file("jackd.log") + "'");
    // From the temporary folder: jalv's save dialog starts in its working folder.
    Background jalv("jalv.gtk3 -l '" + dir.file("state") + "' urn:dumek:orvex", dir.file("jalv.log"), dir.folder());
    std::string window;
    for (int i = 0; i < 100 && window.empty(); ++i) {
        sleepMs(100);
        window = editorWindow();
    }
    ASSERT_FALSE(window.empty()) << output("cat '" + dir.file("jalv.log") + "'");
    sleepMs(1500); // a few idles: the first paint, and what the plug-in told the UI
    fs::create_directories(kShots);
    const std::string shot = kShots + "/lv2-jalv-editor.png";
    ASSERT_EQ(std::system(("import -window " + window + " '" + shot + "'").c_str()), 0);
    const std::string difference =
        output("compare -metric AE '" + shot + "' '" + dir.file("headless.png") + "' null: 2>&1");
    EXPECT_EQ(difference, "0") << "pixels differing from the headless snapshot";

    // Volume3 (its knob at 329, 301 of the editor) dragged up.
    const int x = absolute(window, "X") + 329;
    const int y = absolute(window, "Y") + 301;
    const std::string drag = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                             " mousedown 1 sleep 0.2 mousemove " + std::to_string(x) + " " + std::to_string(y - 6) +
                             " sleep 0.2 mousemove " + std::to_string(x) + " " + std::to_string(y - 21) +
                             " sleep 0.2 mouseup 1";
    ASSERT_EQ(std::system(drag.c_str()), 0);
    sleepMs(500);
    std::system(("import -window " + window + " '" + kShots + "/lv2-jalv-after-drag.png'").c_str());

    // Cab 1's "next" button (343, 151): the editor steps through the folder and sends the
    // file it came to as the cab's file property; the plug-in's worker loads it.
    ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(x - 329 + 343) + " " + std::to_string(y - 301 + 151) +
                           " click 1 sleep 1")
                              .c_str()),
              0);

    // Cab 2's load button (508, 132): zenity's dialog, a typed path; the cab takes the file
    // and is switched on, through its property and its port.
    if (have("zenity")) {
        ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(x - 329 + 508) + " " +
                               std::to_string(y - 301 + 132) + " click 1")
                                  .c_str()),
                  0);
        ASSERT_EQ(std::system(("xdotool search --sync --onlyvisible --name 'Test for open file selector' windowfocus "
                               "--sync sleep 0.5 key ctrl+l sleep 0.3 type --delay 15 '" + dir.file("amp.wav") + "'")
                                  .c_str()),
                  0);
        ASSERT_EQ(std::system("xdotool sleep 1.5 key Return sleep 1"), 0);
    }

    // jalv's File > Save writes its port values and the plug-in's state into "saved".
    ASSERT_EQ(std::system("xdotool mousemove 18 12 click 1 sleep 0.7 key Down Return sleep 1.5 type --delay 30 saved"), 0);
    ASSERT_EQ(std::system("xdotool sleep 0.5 key Return sleep 1.5"), 0);
    const std::string saved = dir.file("saved/state.ttl");
    std::ifstream in(saved);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::size_t port = text.find("lv2:symbol \"volume3\"");
    ASSERT_NE(port, std::string::npos) << "jalv saved no state:\n" << output("cat '" + dir.file("jalv.log") + "'");
    const std::size_t value = text.find("pset:value", port);
    const double volume = std::atof(text.c_str() + value + std::strlen("pset:value"));
    EXPECT_GT(volume, 0.55) << "the port did not move";
    EXPECT_LT(volume, 0.75);

    // And the plug-in itself plays that volume: its saved record holds the port's value.
    r = ProcessRunner::run(kCli, {"convert", kBundle, "--state", dir.file("saved"), "--save-chunk", dir.file("saved.chunk")},
                           dir.folder());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream chunk(dir.file("saved.chunk"), std::ios::binary);
    const std::vector<char> bank((std::istreambuf_iterator<char>(chunk)), {});
    ASSERT_EQ(bank.size(), 68280u);
    float recorded = 0.0f;
    std::memcpy(&recorded, bank.data() + 6580 + 4 * (6 + 2), sizeof recorded); // program 1, Volume3
    EXPECT_FLOAT_EQ(recorded, static_cast<float>(volume));
    EXPECT_STREQ(bank.data() + 6169, "cab3.wav") << "cab 1 did not step to the folder's next file";
    if (have("zenity")) {
        EXPECT_STREQ(bank.data() + 6169 + 64, "amp.wav") << "cab 2 did not take the dialog's file";
        const std::size_t on = text.find("lv2:symbol \"bypass2\"");
        ASSERT_NE(on, std::string::npos);
        EXPECT_EQ(std::atof(text.c_str() + text.find("pset:value", on) + std::strlen("pset:value")), 1.0)
            << "the load button did not switch cab 2's port on";
    }
}

} // namespace
