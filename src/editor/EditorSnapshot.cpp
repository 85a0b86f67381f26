#include "editor/EditorSnapshot.h"

#include "editor/SDEditor.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "gui/PngWriter.h"
#include "platform/Headless.h"

namespace editor {

bool writeEditorSnapshot(SDEditor& editor, const char* pngPath)
{
    if (!pngPath || !*pngPath || editor.getFrame())
        return false;
    // Offline rendering is what the headless backend is for: no window system is needed,
    // and nothing appears on a screen.
    const platform::Backend previous = platform::getBackend();
    platform::setBackend(platform::Backend::headless);
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
    platform::setBackend(previous);
    return written;
}

} // namespace editor
