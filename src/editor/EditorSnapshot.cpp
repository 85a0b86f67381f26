#include "editor/EditorSnapshot.h"

#include "editor/SDEditor.h"
#include "effect/Orvex.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "gui/PngWriter.h"
#include "platform/Headless.h"
#include "platform/WindowLayer.h"

#include <chrono>
#include <mutex>
#include <thread>

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
    orvex::Orvex* effect = editor.effect();
    // The picture shows the state as the host left it: what the effect's loader still has
    // to do (a chunk restored on another thread, a file step) is waited for, a while.
    for (int wait = 0; effect && effect->loadsPending() && wait < 10000; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Opening an editor makes its thread the effect's owner; a picture taken on some other
    // thread of the host's must not move that for good.
    const std::uint64_t owner = effect ? effect->ownerThread() : 0;
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
    if (effect)
        effect->setOwnerThread(owner);
    return written;
}

} // namespace editor
