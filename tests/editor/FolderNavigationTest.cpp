// A cab's folder in the editor: the shortened folder text, the latency entries, the file
// menu filled from real folders written here, and stepping through it from the effect.
#include "EditorTestSupport.h"

#include "TempFolder.h"
#include "TestWav.h"

#include "editor/FolderListing.h"
#include "effect/ParameterTable.h"
#include "gui/COptionMenu.h"
#include "gui/CTextLabel.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace editortest;
using namespace orvex;

namespace {

void touch(const std::string& path)
{
    std::ofstream(path, std::ios::binary) << "x";
}

std::vector<std::string> menuEntries(gui::COptionMenu* menu)
{
    std::vector<std::string> out;
    char text[256];
    for (int i = 0; i < menu->getEntryCount(); ++i) {
        menu->getEntryText(i, text);
        out.push_back(text);
    }
    return out;
}

class FolderNavigationTest : public EditorTest {};

} // namespace

TEST(FolderText, ShortenedToTheFirstTailOfAtMost47Characters)
{
    const std::string b40(40, 'b');
    const std::string c20(20, 'c');
    const std::string t46(46, 't');
    const std::string t47(47, 't');
    const struct {
        std::string folder;
        std::string shown;
    } cases[] = {
        {"C:\\IR\\", "...\\IR\\"},
        {"C:\\IR\\Cabs\\", "...\\IR\\Cabs\\"},
        // 62 characters after the first backslash: cut at the next one.
        {"C:\\" + b40 + "\\" + c20 + "\\", "...\\" + c20 + "\\"},
        // exactly 47 after the first backslash is kept; 48 is not.
        {"C:\\" + t46 + "\\", "...\\" + t46 + "\\"},
        {"C:\\" + t47 + "\\", "...\\"},
        // '/' separates too (the Linux build's folders).
        {"/home/ir/", ".../home/ir/"},
        // no separator at all, or none followed by a short tail: shown whole.
        {"abc", "abc"},
        {"C:\\" + std::string(60, 'x'), "C:\\" + std::string(60, 'x')},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editor::shortenFolderPath(c.folder.c_str()), c.shown) << c.folder;
}

TEST(FolderText, SearchPatternIsTheFolderAndStarDotWavOrNothingWhenItDoesNotFit)
{
    char pattern[editor::kPathBufferSize];
    ASSERT_TRUE(editor::buildSearchPattern("C:\\IR\\", pattern));
    EXPECT_STREQ(pattern, "C:\\IR\\*.wav");
    const std::string longest(editor::kPathBufferSize - 6, 'a'); // + "*.wav" + terminator fills it
    EXPECT_TRUE(editor::buildSearchPattern(longest.c_str(), pattern));
    const std::string tooLong(editor::kPathBufferSize - 5, 'a');
    EXPECT_FALSE(editor::buildSearchPattern(tooLong.c_str(), pattern));
    EXPECT_STREQ(pattern, "");
}

TEST(LatencyEntries, BandsOfTheLatencyValue)
{
    const struct {
        float value;
        int entry;
    } cases[] = {{0.0f, 0}, {0.2f, 0}, {0.2499f, 0}, {0.25f, 1}, {0.3f, 1}, {0.4999f, 1},
                 {0.5f, 2}, {0.6f, 2}, {0.7499f, 2}, {0.75f, 3}, {0.9f, 3}, {1.0f, 3}};
    for (const auto& c : cases)
        EXPECT_EQ(orvex::latencyStep(c.value), c.entry) << c.value;
}

TEST_F(FolderNavigationTest, TheLatencyMenuFollowsTheEffectAndAutomatesTheStoredValue)
{
    // The value's step decides (0.9 -> 512 samples, stored as 1.0), shown or not.
    setParameter(kLatency, 0.9f);
    EXPECT_FLOAT_EQ(getParameter(kLatency), 1.0f);
    openEditor();
    EXPECT_EQ(editor->latencyMenu()->getCurrentIndex(), 3);
    setParameter(kLatency, 0.3f);
    EXPECT_FLOAT_EQ(getParameter(kLatency), 0.3f);
    EXPECT_EQ(editor->latencyMenu()->getCurrentIndex(), 1);
    EXPECT_STREQ(editor->valueLabel(kLatency)->getText(), display(kLatency).c_str());
    // The user's choice reaches the effect, and the host, as the step's stored value: a
    // recording replays inside 0..1, as the same step.
    HostRecord::clear();
    platform::headless::queuePopupAnswer(2);
    platform::headless::queueMouse({{660, 40}, 1});
    platform::headless::sendButtonDown(window(), platform::Point{650, 40});
    EXPECT_EQ(editor->latencyMenu()->getCurrentIndex(), 2);
    EXPECT_FLOAT_EQ(getParameter(kLatency), 0.6f);
    EXPECT_FLOAT_EQ(orvex().latencyValue(), 256.0f);
    const auto automated = HostRecord::calls(vst::audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, kLatency);
    EXPECT_FLOAT_EQ(automated[0].opt, 0.6f);
}

TEST_F(FolderNavigationTest, TheMenuListsTheFolderWavFilesOnly)
{
    TempFolder dir;
    const std::string name63 = std::string(59, 'z') + ".wav";
    const std::string name64 = std::string(60, 'y') + ".wav";
    for (const char* name : {"b.wav", "A.WAV", "c.Wav", "notes.txt", "d.wave", "e.wav.txt"})
        touch(dir.file(name));
    touch(dir.file(name63));
    touch(dir.file(name64));
    std::filesystem::create_directory(dir.file("x.wav"));
    const std::string folder = folderOf(dir.path());

    openEditor();
    // A notice for the user stands in the folder label until the label shows a folder again.
    editor->showCabNotice(0, "No file dialog here");
    EXPECT_STREQ(editor->folderLabel(0)->getText(), "No file dialog here");
    const std::int32_t indices[6] = {5, 0, 0, 0, 0, 0};
    editor->setCabFileIndices(indices);
    editor->listFolder(kFileMenu, folder.c_str());
    gui::COptionMenu* menu = editor->fileMenu(0);
    // Capitals count as .wav; a sub-folder named x.wav, other extensions and a name too long
    // for a cab's record (64 characters) do not; the order is the names', case aside.
    EXPECT_EQ(menuEntries(menu), (std::vector<std::string>{"A.WAV", "b.wav", "c.Wav", name63}));
    // A stored index beyond the entries leaves the first one selected.
    EXPECT_EQ(menu->getCurrentIndex(), 0);
    EXPECT_TRUE(menu->getMouseEnabled());
    EXPECT_TRUE(editor->control(kPrevious)->getMouseEnabled());
    EXPECT_TRUE(editor->control(kNext)->getMouseEnabled());
    EXPECT_EQ(std::string(editor->folderLabel(0)->getText()), editor::shortenFolderPath(folder.c_str()));
    EXPECT_EQ(std::string(editor->folderLabel(0)->getText()).substr(0, 3), "...");

    // A 63-character name steps into the cab's record whole.
    std::int32_t index = -9;
    char name[kFileNameSize] = "old";
    editor->stepCabFilePrevious(0, index, name);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(name, name63);
}

TEST_F(FolderNavigationTest, AMenuHoldsAtMost1024FilesAndEmptyOrMissingFoldersGiveNone)
{
    TempFolder dir;
    for (int i = 0; i < 1030; ++i) {
        char n[32];
        std::snprintf(n, sizeof n, "f%04d.wav", i);
        touch(dir.file(n));
    }
    TempFolder empty;
    openEditor();
    editor->listFolder(kFileMenu + 2, folderOf(dir.path()).c_str());
    const std::vector<std::string> entries = menuEntries(editor->fileMenu(2));
    ASSERT_EQ(entries.size(), 1024u);
    EXPECT_EQ(entries.front(), "f0000.wav");
    EXPECT_EQ(entries.back(), "f1023.wav");

    for (const std::string& folder : {folderOf(empty.path()), folderOf(empty.file("missing"))}) {
        editor->listFolder(kFileMenu + 3, folder.c_str());
        EXPECT_EQ(editor->fileMenu(3)->getEntryCount(), 0) << folder;
        std::int32_t index = 7;
        char name[kFileNameSize] = "kept.wav";
        editor->stepCabFilePrevious(3, index, name);
        EXPECT_EQ(index, -1);
        editor->stepCabFileNext(3, index, name);
        EXPECT_EQ(index, 0);
        EXPECT_STREQ(name, "kept.wav");
    }
}

TEST_F(FolderNavigationTest, StepsWrapAroundAndTheEffectLoadsTheFileStepppedTo)
{
    TempFolder dir;
    for (const char* name : {"A.wav", "B.wav", "C.wav"})
        ASSERT_TRUE(testwav::write(dir.file(name), testwav::decayingIr(64, 1)));
    const std::string folder = folderOf(dir.path());
    restoreCab(0, folder, "B.wav");
    openEditor();
    // Opening fills the menu from the folder and selects the cab's file.
    gui::COptionMenu* menu = editor->fileMenu(0);
    ASSERT_EQ(menu->getEntryCount(), 3);
    EXPECT_EQ(menu->getCurrentIndex(), 1);

    const struct {
        int parameter;
        const char* file;
        int index;
    } steps[] = {{kNext, "C.wav", 2}, {kNext, "A.wav", 0}, {kPrevious, "C.wav", 2}, {kPrevious, "B.wav", 1}};
    for (const auto& s : steps) {
        const int loads = orvex().loadCount();
        setParameter(s.parameter, 1.0f);
        EXPECT_STREQ(orvex().currentProgram().fileName[0], s.file);
        EXPECT_EQ(orvex().currentProgram().fileIndex[0], s.index);
        EXPECT_EQ(menu->getCurrentIndex(), s.index); // shown at once on the editor's thread
        EXPECT_EQ(orvex().loadCount(), loads + 1);
    }

    // A host choosing from the menu by its tag loads the menu's current entry.
    menu->setCurrentIndex(2);
    editor->valueChanged(nullptr, menu);
    EXPECT_STREQ(orvex().currentProgram().fileName[0], "C.wav");

    // Closed: no menu; stepping reloads the cab's file unchanged.
    closeEditor();
    const int loads = orvex().loadCount();
    setParameter(kNext, 1.0f);
    EXPECT_STREQ(orvex().currentProgram().fileName[0], "C.wav");
    EXPECT_EQ(orvex().loadCount(), loads + 1);
}

TEST_F(FolderNavigationTest, ASingleEntryStaysAndAHostChoiceFromAnEmptyMenuKeepsTheFile)
{
    TempFolder dir;
    ASSERT_TRUE(testwav::write(dir.file("only.wav"), testwav::decayingIr(64, 2)));
    restoreCab(1, folderOf(dir.path()), "only.wav");
    openEditor();
    for (int parameter : {kNext + 1, kPrevious + 1}) {
        setParameter(parameter, 1.0f);
        EXPECT_STREQ(orvex().currentProgram().fileName[1], "only.wav");
        EXPECT_EQ(orvex().currentProgram().fileIndex[1], 0);
    }
    // Cab 3 has no folder: its menu is empty. A host writing its menu's tag must not wipe
    // the cab's file name.
    restoreCab(2, "", "keep.wav");
    openEditor();
    setParameter(kFileMenu + 2, 0.0f);
    EXPECT_STREQ(orvex().currentProgram().fileName[2], "keep.wav");
}

// With the editor open, a program change and a chunk restore bring back what was saved: every
// control and value label shows the effect's value, both cabs' menus their own folder and
// file (or empty and disabled), and the saved "Latency" stays saved, its menu following it.
TEST_F(FolderNavigationTest, ProgramChangeAndChunkRestoreWithTheEditorOpenBringBackWhatWasSaved)
{
    TempFolder dirA;
    TempFolder dirB;
    for (const char* name : {"a1.wav", "a2.wav", "a3.wav"})
        ASSERT_TRUE(testwav::write(dirA.file(name), testwav::decayingIr(64, 3)));
    for (const char* name : {"b1.wav", "b2.wav"})
        ASSERT_TRUE(testwav::write(dirB.file(name), testwav::decayingIr(64, 4)));
    // Program 0: cab 1 in folder A, cab 4 in folder B, 256 samples. Program 1: cab 1 empty,
    // cab 4 on another file, 512 samples, other strip values.
    struct Saved {
        const char* cab1;
        const char* cab4;
        float latency;
        float volume;
        float pan;
        float hp;
    };
    const Saved saved[2] = {{"a2.wav", "b1.wav", 0.6f, 0.8f, 0.25f, 0.4f}, {"", "b2.wav", 1.0f, 0.3f, 0.75f, 0.0f}};
    for (int program = 0; program < 2; ++program) {
        dispatch(vst::effSetProgram, 0, program);
        restoreCab(0, saved[program].cab1[0] ? folderOf(dirA.path()) : "", saved[program].cab1);
        restoreCab(3, folderOf(dirB.path()), saved[program].cab4);
        setParameter(kLatency, saved[program].latency);
        setParameter(kVolume + 3, saved[program].volume);
        setParameter(kPan, saved[program].pan);
        setParameter(kFreqHp + 3, saved[program].hp);
        setParameter(kBypass + 3, 1.0f);
    }
    void* bankBytes = nullptr;
    const auto bankSize = dispatch(vst::effGetChunk, 0, 0, &bankBytes);
    const std::vector<char> bank(static_cast<const char*>(bankBytes), static_cast<const char*>(bankBytes) + bankSize);

    auto expectShown = [&](int program) {
        SCOPED_TRACE(program);
        idle();
        const Saved& s = saved[program];
        EXPECT_FLOAT_EQ(getParameter(kLatency), s.latency);
        EXPECT_FLOAT_EQ(orvex().currentProgram().values[recordSlot(kLatency)], s.latency);
        EXPECT_EQ(editor->latencyMenu()->getCurrentIndex(), latencyStep(s.latency));
        EXPECT_FLOAT_EQ(getParameter(kVolume + 3), s.volume);
        EXPECT_FLOAT_EQ(getParameter(kPan), s.pan);
        EXPECT_FLOAT_EQ(getParameter(kFreqHp + 3), s.hp);
        for (int index = 0; index < kNumParams; ++index) {
            if (index == kLatency)
                continue;
            if (gui::CControl* control = editor->control(index); control && isStored(index)) {
                EXPECT_FLOAT_EQ(control->getValue(), getParameter(index)) << index;
            }
            if (gui::CTextLabel* label = editor->valueLabel(index)) {
                EXPECT_EQ(std::string(label->getText()), display(index)) << index;
            }
        }
        gui::COptionMenu* cab1 = editor->fileMenu(0);
        if (s.cab1[0]) {
            char text[256] = {};
            cab1->getCurrentIndex(text, sizeof text);
            EXPECT_STREQ(text, s.cab1);
            EXPECT_TRUE(cab1->getMouseEnabled());
        } else {
            EXPECT_EQ(cab1->getEntryCount(), 0);
            EXPECT_FALSE(cab1->getMouseEnabled());
            EXPECT_STREQ(editor->folderLabel(0)->getText(), "");
        }
        char text[256] = {};
        editor->fileMenu(3)->getCurrentIndex(text, sizeof text);
        EXPECT_STREQ(text, s.cab4);
        EXPECT_EQ(menuEntries(editor->fileMenu(3)), (std::vector<std::string>{"b1.wav", "b2.wav"}));
    };

    openEditor();
    expectShown(1);
    for (int program : {0, 1, 0}) {
        dispatch(vst::effSetProgram, 0, program);
        expectShown(program);
    }
    // The user moves things about; restoring the bank brings the saved program 0 back.
    setParameter(kLatency, 0.0f);
    setParameter(kNext, 1.0f);
    setParameter(kVolume + 3, 0.1f);
    ASSERT_EQ(dispatch(vst::effSetChunk, 0, static_cast<vst::IntPtr>(bank.size()), const_cast<char*>(bank.data())), 1);
    expectShown(0);
    dispatch(vst::effSetProgram, 0, 1);
    expectShown(1);
}

// The loader refills a cab's list (a folder refresh asked for on another thread) after the
// views last showed it, and the user picks an entry of the list they see: the file they
// picked is the one that loads, not whatever now stands at that position.
TEST_F(FolderNavigationTest, APickLoadsTheFileTheUserSawEvenIfTheListWasRefilledMeanwhile)
{
    TempFolder dir;
    for (const char* name : {"b.wav", "c.wav", "d.wav"})
        ASSERT_TRUE(testwav::write(dir.file(name), testwav::decayingIr(64, 5)));
    const std::string folder = folderOf(dir.path());
    restoreCab(0, folder, "b.wav");
    openEditor();
    gui::COptionMenu* menu = editor->fileMenu(0);
    const std::vector<std::string> seen = menuEntries(menu);
    ASSERT_EQ(seen.size(), 3u);

    ASSERT_TRUE(testwav::write(dir.file("a.wav"), testwav::decayingIr(64, 6)));
    std::thread([&] { editor->listFolder(kFileMenu, folder.c_str()); }).join();
    ASSERT_EQ(menuEntries(menu), seen); // the views follow at the next idle

    menu->setCurrentIndex(2);
    editor->valueChanged(nullptr, menu);
    EXPECT_EQ(std::string(orvex().currentProgram().fileName[0]), seen[2]);
    idle();
    char shown[256] = {};
    menu->getCurrentIndex(shown, sizeof shown);
    EXPECT_EQ(std::string(shown), seen[2]);
}
