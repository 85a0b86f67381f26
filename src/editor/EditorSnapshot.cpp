#include "editor/EditorSnapshot.h"

#include "editor/SDEditor.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "gui/PngWriter.h"
#include "platform/Headless.h"
#include "platform/WindowLayer.h"

#include <mutex>

namespace editor {

namespace {

// The headless layer serves one thread at a time, and two instances of the plug-in in one
// host may both be asked for a picture, each on a thread of the host's.
std::mutex& headlessLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

bool writeEditorSnapshot(SDEditor& editor, const char* pngPath)
{
    if (!pngPath || !*pngPath || editor.getFrame())
        return false;
    // Offline rendering is what the headless layer is for: no window system is needed, and
    // nothing appears on a screen. Only this editor's frame is put on it; the process's
    // default stays, so another instance's editor open on the screen meanwhile goes on
    // talking to its own window system.
    std::lock_guard<std::mutex> guard(headlessLock());
    editor.setWindowLayer(&platform::headlessLayer());
    platform::NativeHandle parent = platform::headless::createHostWindow(SDEditor::kWidth, SDEditor::kHeight);
    bool written = false;
    if (editor.open(parent)) {
        gui::CFrame* frame = editor.getFrame();
        if (frame && frame->getWindow()) {
            // The window's first paint draws everything; the idle after it shows what the
            // effect's requests left for the editor's thread.
            platform::headless::sendPaint(frame->getWindow(), platform::Rect{0, 0, SDEditor::kWidth, SDEditor::kHeight});
            editor.idle();
            if (const gui::COffscreenContext* image = frame->getOffscreen())
                written = gui::PngWriter::writeFile(image->getPixels(), pngPath);
        }
        editor.close();
    }
    platform::headless::destroyHostWindow(parent);
    editor.setWindowLayer(nullptr);
    return written;
}

} // namespace editor
