// Popup menus and the open-file dialog of the X11 layer, driven by real input (xdotool)
// while they run their modal loops.
#include "gui/CFrame.h"
#include "platform/WindowLayer.h"

#include "X11TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace x11test {

using platform::MenuItem;

namespace {

MenuItem item(const std::string& text, int number)
{
    MenuItem m;
    m.text = text;
    m.number = number;
    return m;
}

// Entries of every kind: a title, a greyed entry, a separator, a checked entry, a submenu.
std::vector<MenuItem> mixedMenu()
{
    std::vector<MenuItem> items;
    MenuItem title = item("Title", 0);
    title.disabled = true;
    MenuItem grey = item("Greyed", 1);
    grey.greyed = true;
    MenuItem separator;
    separator.separator = true;
    MenuItem checked = item("Checked", 3);
    checked.checked = true;
    MenuItem sub = item("More", -1);
    sub.submenu = {item("Sub A", 5), item("Sub B", 6)};
    items = {title, grey, separator, checked, sub, item("Last", 7)};
    return items;
}

} // namespace

class X11Popup : public X11Test {
protected:
    void SetUp() override
    {
        X11Test::SetUp();
        if (!host)
            return;
        frame = new gui::CFrame(gui::CRect(0, 0, 200, 100), handleOf(makeHostWindow(300, 200)), nullptr);
        ASSERT_TRUE(idleUntil(frame, [&] { return !frame->isFirstDraw(); }));
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
        X11Test::TearDown();
    }

    // Shows the menu at (300, 300) while xdotool plays `input` once the grab is in place.
    // The menu grabs the keyboard once it is drawn; keys that come earlier are lost and the
    // menu then waits for ever. Drawing takes longer under an emulator (the 32-bit build runs
    // under qemu-i386), so the wait grows by ORVEX_TEST_TIME_SCALE where the build sets it.
    std::int32_t show(const std::vector<MenuItem>& items, const std::string& input)
    {
        const char* scale = std::getenv("ORVEX_TEST_TIME_SCALE");
        char wait[32];
        std::snprintf(wait, sizeof wait, "sleep %.2f ", 0.4 * (scale ? std::max(1.0, std::atof(scale)) : 1.0));
        xdotool(wait + input, true);
        return frame->getWindowLayer().showPopupMenu(frame->getWindow(), platform::Point{300, 300}, items, false);
    }

    gui::CFrame* frame = nullptr; // the editor's frame, owner of the popups
};

// Keyboard and mouse choices; titles, greyed entries and separators are skipped; Escape
// and a press outside dismiss.
TEST_F(X11Popup, ChoosesByKeyboardAndMouseAndDismisses)
{
    const struct {
        const char* input; // xdotool commands
        std::int32_t expected;
    } cases[] = {
        {"key Down Return", 3},                       // the first choosable entry
        {"key Down Down Right Down Return", 6},      // into the submenu, its second entry
        {"key End Return", 7},
        {"key Escape", -1},
        {"mousemove 330 398 click 1", 7},            // "Last": its row is 88 to 108 below the top
        {"mousemove 330 331 click 1 sleep 0.2 key Escape", -1}, // a greyed entry chooses nothing
        {"mousemove 5 5 click 1", -1},               // a press outside ends the menu
    };
    for (const auto& c : cases) {
        EXPECT_EQ(show(mixedMenu(), c.input), c.expected) << c.input;
    }
}

// A folder of 300 files: every entry is reachable (columns fit the screen), Right moves to
// the next column and a letter jumps to the entries starting with it.
TEST_F(X11Popup, ThreeHundredEntriesAreReachable)
{
    std::vector<MenuItem> items;
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%c cabinet %03d.wav", i == 250 ? 'z' : 'a', i);
        items.push_back(item(name, i));
    }
    EXPECT_EQ(show(items, "key End Return"), 299);
    const std::int32_t nextColumn = show(items, "key Home Right Return");
    EXPECT_GT(nextColumn, 10) << "Right should leave the first column";
    EXPECT_EQ(show(items, "key z Return"), 250);
}

// The open-file dialog: zenity with the title and the starting folder, a path typed into it
// comes back with its name part; cancelling leaves the buffers alone; with no dialog program
// on PATH nothing is shown and the request says why.
TEST_F(X11Popup, FileDialogThroughZenity)
{
    char folderTemplate[] = "/tmp/orvex-x11-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    const std::string folder = folderTemplate;
    const std::string wav = folder + "/Room Mic.wav";
    std::ofstream(wav) << "RIFF";

    // Pairs of texts, each ended by a NUL, and an empty text to end the list.
    static const char kFilter[] = "Wave File (.wav)\0*.wav\0Any Type (*.*)\0*.*\0";
    const std::string filter(kFilter, sizeof kFilter);
    char path[1024] = "unchanged";
    char name[64] = "unchanged";
    platform::OpenFileRequest request;
    request.title = "Choose an IR";
    request.filter = filter.c_str();
    request.initialDir = folder.c_str();
    request.fileBuffer = path;
    request.fileBufferSize = sizeof path;
    request.fileTitleBuffer = name;
    request.fileTitleSize = sizeof name;

    const bool haveZenity = std::system("command -v zenity >/dev/null 2>&1") == 0;
    if (haveZenity) {
        const std::string find = "search --sync --onlyvisible --name 'Choose an IR' windowfocus --sync ";
        xdotool(find + "sleep 0.5 type --delay 15 '" + wav + "'", true);
        xdotool("sleep 4 key Return", true);
        EXPECT_TRUE(platform::defaultLayer().showOpenFileDialog(request));
        EXPECT_EQ(path, wav);
        EXPECT_STREQ(name, "Room Mic.wav");
        // Cancelling leaves the buffers as they were. (Last: after an Escape typed into it,
        // the next zenity on the same server quits at once, which is zenity's affair.)
        std::strcpy(path, "unchanged");
        xdotool(find + "sleep 0.5 key Escape", true);
        EXPECT_FALSE(platform::defaultLayer().showOpenFileDialog(request));
        EXPECT_STREQ(path, "unchanged");
        EXPECT_EQ(request.unavailable, nullptr);
    }

    const char* savedPath = std::getenv("PATH");
    const std::string pathVariable = savedPath ? savedPath : "";
    setenv("PATH", "/nonexistent", 1);
    std::strcpy(path, "unchanged");
    EXPECT_FALSE(platform::defaultLayer().showOpenFileDialog(request));
    setenv("PATH", pathVariable.c_str(), 1);
    ASSERT_NE(request.unavailable, nullptr);
    EXPECT_NE(std::string(request.unavailable).find("zenity"), std::string::npos);
    EXPECT_STREQ(path, "unchanged");
    std::remove(wav.c_str());
    rmdir(folder.c_str());
    if (!haveZenity)
        GTEST_SKIP() << "zenity is not installed: only the no-dialog case ran";
}

} // namespace x11test
