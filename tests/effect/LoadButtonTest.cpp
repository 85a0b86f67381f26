// The load buttons: the file dialog request, a choice, a cancel, a name too long for the
// record, a linked partner, and requests from a thread that does not own the editor.
#include "EffectTestSupport.h"
#include "RecordingEditor.h"
#include "TestWav.h"

#include "platform/Headless.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

using namespace orvex;
using namespace orvex::testing;

namespace {

class LoadButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setBackend(platform::Backend::headless);
        platform::headless::reset();
        hostWindow = platform::headless::createHostWindow(800, 600);
        platform::headless::setForegroundRootOwner(hostWindow);
        fx = makeEffect();
    }
    void TearDown() override
    {
        fx.reset();
        platform::headless::destroyHostWindow(hostWindow);
        platform::headless::reset();
    }
    platform::NativeHandle hostWindow = nullptr;
    std::unique_ptr<Orvex> fx;
};

} // namespace

TEST_F(LoadButton, ChoosingAFileLoadsItAndSetsFolderAndName)
{
    testwav::TempFolder dir("orvex-load");
    ASSERT_TRUE(testwav::write(dir.file("Mesa 4x12.wav"), testwav::decayingIr(400, 5)));
    RecordingEditor editor;
    fx->setEditorLink(&editor);
    platform::headless::queueDialogChoose(dir.file("Mesa 4x12.wav"));
    const int before = fx->loadCount();
    fx->setParameter(kLoad + 1, 1.0f);

    EXPECT_EQ(fx->loadCount() - before, 1);
    EXPECT_STREQ(fx->currentProgram().fileName[1], "Mesa 4x12.wav");
    EXPECT_STREQ(fx->currentProgram().folder[1], dir.folder().c_str());
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 1), 1.0f);
    EXPECT_EQ(fx->currentProgram().fileIndex[1], 0);
    EXPECT_TRUE(editor.called("listFolder 51"));
    EXPECT_TRUE(editor.called("selectCabFile Mesa 4x12.wav 51"));
    EXPECT_TRUE(editor.called("setCabFolders"));

    const auto& dialogs = platform::headless::dialogRecords();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, "Test for open file selector");
    ASSERT_GE(dialogs[0].filter.size(), 4u);
    EXPECT_EQ(dialogs[0].filter[0], "Wave File (.wav)");
    EXPECT_EQ(dialogs[0].filter[1], "*.wav");
    EXPECT_EQ(dialogs[0].filter[2], "Any Type (*.*)");
    EXPECT_EQ(dialogs[0].filter[3], "*.*");
    EXPECT_EQ(dialogs[0].initialDir, ""); // an empty folder opens in the system's default
    EXPECT_TRUE(platform::headless::isEnabled(hostWindow)); // enabled again afterwards
    bool disabledOnce = false;
    for (const auto& r : platform::headless::enableRecords())
        disabledOnce |= (r.handle == hostWindow && !r.enable);
    EXPECT_TRUE(disabledOnce);

    // The next dialog starts in the cab's folder.
    platform::headless::queueDialogCancel();
    fx->setParameter(kLoad + 1, 1.0f);
    EXPECT_EQ(platform::headless::dialogRecords().back().initialDir, dir.folder());
    fx->setEditorLink(nullptr);
}

TEST_F(LoadButton, CancelAndLowValuesOnlySwitchTheCabOn)
{
    platform::headless::queueDialogCancel();
    const int before = fx->loadCount();
    fx->setParameter(kLoad, 1.0f);
    EXPECT_EQ(fx->loadCount(), before);
    EXPECT_STREQ(fx->currentProgram().fileName[0], "");
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass), 1.0f);

    fx->setParameter(kBypass + 3, 0.0f);
    fx->setParameter(kLoad + 3, 0.5f); // not above 0.5: no dialog, still switched on
    EXPECT_EQ(platform::headless::dialogRecords().size(), 1u);
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 3), 1.0f);
    EXPECT_EQ(fx->getParameter(kLoad + 3), 0.0f);
}

// With no dialog on the system the cab's folder label says so; nothing else but the
// bypass changes, and a cancelled dialog says nothing.
TEST_F(LoadButton, NoDialogOnTheSystemIsToldInTheFolderLabel)
{
    RecordingEditor editor;
    fx->setEditorLink(&editor);
    platform::headless::queueDialogUnavailable("No file dialog here");
    platform::headless::queueDialogCancel();
    fx->setParameter(kLoad + 2, 1.0f);
    fx->setParameter(kLoad + 2, 1.0f);
    std::vector<std::string> notices;
    for (const std::string& call : editor.calls)
        if (call.rfind("showCabNotice", 0) == 0)
            notices.push_back(call);
    EXPECT_EQ(notices, (std::vector<std::string>{"showCabNotice 2 No file dialog here"}));
    EXPECT_STREQ(fx->currentProgram().folder[2], "");
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 2), 1.0f);
    fx->setEditorLink(nullptr);
}

TEST_F(LoadButton, ANameLongerThanTheRecordFieldIsRefused)
{
    testwav::TempFolder dir("orvex-long");
    const std::string longName = std::string(70, 'x') + ".wav";
    ASSERT_TRUE(testwav::write(dir.file(longName), testwav::decayingIr(100, 2)));
    platform::headless::queueDialogChoose(dir.file(longName));
    const int before = fx->loadCount();
    fx->setParameter(kLoad + 4, 1.0f);
    EXPECT_EQ(fx->loadCount(), before);
    EXPECT_STREQ(fx->currentProgram().fileName[4], "");
    EXPECT_STREQ(fx->currentProgram().folder[4], "");
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 4), 1.0f);
}

TEST_F(LoadButton, LinkedPartnerGetsTheSameFile)
{
    testwav::TempFolder dir("orvex-linked");
    ASSERT_TRUE(testwav::write(dir.file("v30.wav"), testwav::decayingIr(100, 9)));
    fx->setParameter(kLink12, 1.0f);
    platform::headless::queueDialogChoose(dir.file("v30.wav"));
    const int before = fx->loadCount();
    fx->setParameter(kLoad, 1.0f);
    EXPECT_EQ(fx->loadCount() - before, 2);
    EXPECT_STREQ(fx->currentProgram().fileName[1], "v30.wav");
    EXPECT_STREQ(fx->currentProgram().folder[1], dir.folder().c_str());
}

TEST_F(LoadButton, AnotherThreadNeverOpensTheDialog)
{
    platform::headless::queueDialogCancel();
    std::thread automation([&] { fx->setParameter(kLoad + 2, 1.0f); });
    automation.join();
    EXPECT_TRUE(platform::headless::dialogRecords().empty());
    EXPECT_FLOAT_EQ(fx->getParameter(kBypass + 2), 1.0f);
}

#if !defined(_WIN32)
// Without a display, the plug-in's native backend on Linux shows no dialog:
// a press only switches the cab on, and nothing is kept per press (a host pressing it all
// day must not grow). The headless backend's scripted answer stays unused.
TEST_F(LoadButton, NativeBackendWithoutDialogsKeepsNothing)
{
    testwav::TempFolder dir("orvex-native");
    ASSERT_TRUE(testwav::write(dir.file("v30.wav"), testwav::decayingIr(100, 9)));
    platform::headless::queueDialogChoose(dir.file("v30.wav"));
    // With a display, the native layer would run the desktop's dialog a thousand times.
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display ? display : "";
    unsetenv("DISPLAY");
    platform::setBackend(platform::Backend::native);
    auto native = makeEffect();
    const int before = native->loadCount();
    for (int press = 0; press < 1000; ++press)
        native->setParameter(kLoad + press % 6, 1.0f);
    platform::setBackend(platform::Backend::headless);
    if (!savedDisplay.empty())
        setenv("DISPLAY", savedDisplay.c_str(), 1);
    EXPECT_EQ(native->loadCount(), before);
    EXPECT_STREQ(native->currentProgram().fileName[0], "");
    for (int cab = 0; cab < 6; ++cab)
        EXPECT_FLOAT_EQ(native->getParameter(kBypass + cab), 1.0f);
    EXPECT_TRUE(platform::headless::dialogRecords().empty());
    EXPECT_TRUE(platform::headless::enableRecords().empty());
}
#endif
