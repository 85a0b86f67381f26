#include "EditorTestSupport.h"

#include "OrvexPlugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace editortest {

namespace {

std::mutex recordLock;          // guards calls: the plug-in may call from any thread
std::vector<HostCall> recorded; // every callback, in order
std::atomic<vst::Int32> processLevel{0}; // the host's answer to the process-level query

} // namespace

void HostRecord::clear()
{
    std::lock_guard<std::mutex> guard(recordLock);
    recorded.clear();
}

std::vector<HostCall> HostRecord::calls(vst::Int32 opcode)
{
    std::lock_guard<std::mutex> guard(recordLock);
    std::vector<HostCall> out;
    for (const HostCall& c : recorded)
        if (c.opcode == opcode)
            out.push_back(c);
    return out;
}

vst::IntPtr VSTCALLBACK HostRecord::callback(vst::AEffect*, vst::Int32 opcode, vst::Int32 index, vst::IntPtr,
                                             void*, float opt)
{
    {
        std::lock_guard<std::mutex> guard(recordLock);
        recorded.push_back({opcode, index, opt});
    }
    if (opcode == vst::audioMasterGetCurrentProcessLevel)
        return processLevel.load();
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

void HostRecord::setProcessLevel(vst::Int32 level)
{
    processLevel.store(level);
}

void EditorTest::SetUp()
{
    platform::setBackend(platform::Backend::headless);
    platform::headless::reset();
    registerTestSkin();
    HostRecord::clear();
    auto* plugin = new OrvexPlugin(&HostRecord::callback);
    effect = plugin->getAeffect();
    editor = dynamic_cast<editor::SDEditor*>(plugin->getEditor());
    ASSERT_NE(editor, nullptr);
}

void EditorTest::TearDown()
{
    if (effect)
        dispatch(vst::effClose); // deletes the effect and its editor
    effect = nullptr;
    if (host)
        platform::headless::destroyHostWindow(host);
    host = nullptr;
}

vst::IntPtr EditorTest::dispatch(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string EditorTest::display(vst::Int32 index)
{
    char text[256] = {};
    dispatch(vst::effGetParamDisplay, index, 0, text);
    return text;
}

orvex::Orvex& EditorTest::orvex() const
{
    return *static_cast<OrvexPlugin*>(static_cast<AudioEffect*>(effect->object));
}

void EditorTest::restoreCab(int cab, const std::string& folder, const std::string& fileName)
{
    orvex::ProgramRecord record = orvex().currentProgram();
    std::memset(record.folder[cab], 0, sizeof record.folder[cab]);
    std::memset(record.fileName[cab], 0, sizeof record.fileName[cab]);
    std::memcpy(record.folder[cab], folder.data(), std::min(folder.size(), sizeof record.folder[cab] - 1));
    std::memcpy(record.fileName[cab], fileName.data(), std::min(fileName.size(), sizeof record.fileName[cab] - 1));
    ASSERT_EQ(dispatch(vst::effSetChunk, 1, static_cast<vst::IntPtr>(sizeof record), &record), 1);
}

void EditorTest::openEditor()
{
    if (!host)
        host = platform::headless::createHostWindow(900, 600);
    ASSERT_EQ(dispatch(vst::effEditOpen, 0, 0, host), 1);
    ASSERT_NE(window(), nullptr);
    platform::headless::sendPaint(window(), platform::Rect{0, 0, editor::SDEditor::kWidth, editor::SDEditor::kHeight});
}

platform::Window* EditorTest::window() const
{
    return editor->getFrame() ? editor->getFrame()->getWindow() : nullptr;
}

std::string EditorTest::folderOf(const std::string& path)
{
    return path + static_cast<char>(std::filesystem::path::preferred_separator);
}

} // namespace editortest
