// The editor as a host meets it: the plug-in's own effect object (the one the module's entry
// point creates) made in-process, driven through its effect record, with a host callback
// that records what the plug-in tells the host, on the headless platform with the stand-in
// skin.
#pragma once

#include "TestSkin.h"

#include "editor/SDEditor.h"
#include "gui/CFrame.h"
#include "vst/VstAbi.h"
#include "platform/Headless.h"

#include <gtest/gtest.h>

#include "effect/Orvex.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace editortest {

// One host callback call the plug-in made.
struct HostCall {
    vst::Int32 opcode; // audioMaster opcode
    vst::Int32 index;  // its index argument
    float opt;         // its float argument
};

// What every host callback received, from any thread.
class HostRecord {
public:
    static void clear();
    static std::vector<HostCall> calls(vst::Int32 opcode);
    static vst::IntPtr VSTCALLBACK callback(vst::AEffect* effect, vst::Int32 opcode, vst::Int32 index,
                                            vst::IntPtr value, void* ptr, float opt);
    // What audioMasterGetCurrentProcessLevel answers (0, "unknown", until set).
    static void setProcessLevel(vst::Int32 level);
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The dispatcher, as a host calls it.
    vst::IntPtr dispatch(vst::Int32 opcode, vst::Int32 index = 0, vst::IntPtr value = 0, void* ptr = nullptr,
                         float opt = 0.0f);
    // The record's setParameter / getParameter.
    void setParameter(vst::Int32 index, float value) { effect->setParameter(effect, index, value); }
    float getParameter(vst::Int32 index) { return effect->getParameter(effect, index); }
    std::string display(vst::Int32 index);
    // The effect object behind the record (its program records, load counter).
    orvex::Orvex& orvex() const;
    // Puts a cab's folder and file name into the current program through a preset chunk,
    // as a host restoring a project does.
    void restoreCab(int cab, const std::string& folder, const std::string& fileName);

    // effEditOpen into a fake host window, then the window's first paint.
    void openEditor();
    void closeEditor() { dispatch(vst::effEditClose); }
    void idle() { dispatch(vst::effEditIdle); }
    platform::Window* window() const;
    // Cab k (0..5)'s folder on disk, ending with the system's separator.
    static std::string folderOf(const std::string& path);

    vst::AEffect* effect = nullptr;          // the plug-in's record
    editor::SDEditor* editor = nullptr;      // its editor
    platform::NativeHandle host = nullptr;   // the fake host window the editor opens in
};

} // namespace editortest
