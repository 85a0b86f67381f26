// `orvex edit PLUGIN`: opens the plug-in's editor in a host window of ours, as a host does:
// effEditGetRect for the size, a top-level window of that client size, effEditOpen with its
// native handle, then the window's events and effEditIdle about 30 times a second until the
// user closes the window or --seconds pass. What the editor tells the host (automation, edit
// gestures, size requests) is printed one line each, so scripts and tests see what a drag or
// a click sent.
#include "Commands.h"

#include "HostWindow.h"
#include "PluginHost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <vector>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIdleIntervalMs = 33;        // effEditIdle about 30 times a second
constexpr int kDefaultScreenshotMs = 500;  // time for the editor's first paints
constexpr int kIdlesAfterDestroy = 5;      // idles the editor sees without its window

// Prints the editor's notices and resizes the window when the editor asks.
class EditorPrinter : public EditorEvents {
public:
    EditorPrinter(std::ostream& out, HostWindow& window) : out_(out), window_(window) {}

    void automate(int index, float value) override
    {
        char text[64];
        std::snprintf(text, sizeof text, "automate %d %.6g", index, static_cast<double>(value));
        line(text);
    }
    void beginEdit(int index) override { line("begin " + std::to_string(index)); }
    void endEdit(int index) override { line("end " + std::to_string(index)); }
    bool sizeWindow(int width, int height) override
    {
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
            return false;
        const bool done = window_.resizeClient(width, height);
        line("size " + std::to_string(width) + " " + std::to_string(height) + (done ? "" : " refused"));
        return done;
    }

private:
    // Each line goes out at once: a test reads them while the editor is still open.
    void line(const std::string& text) { out_ << text << std::endl; }

    std::ostream& out_;   // where the lines go
    HostWindow& window_;  // the window to resize
};

int elapsedMs(Clock::time_point since)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

} // namespace

int Commands::edit(const Options& options, std::ostream& out, std::ostream& err)
{
    PluginHost host;
    const double rate = options.sampleRate > 0.0 ? options.sampleRate : 44100.0;
    const int prepared = prepare(host, options, rate, out, err);
    if (prepared != kExitOk)
        return prepared;
    if (!host.hasEditor()) {
        err << "orvex: " << options.plugin << " has no editor (effect flag HasEditor is clear)\n";
        return kExitFailure;
    }
    int width = 0;
    int height = 0;
    // Some editors know their size only once open; start with a plausible window then.
    const bool sizeKnown = host.editorSize(width, height);
    if (!sizeKnown) {
        width = 400;
        height = 300;
    }

    std::string error;
    std::unique_ptr<HostWindow> window = HostWindow::create("orvex edit: " + host.effectName(), width, height, error);
    if (!window) {
        err << "orvex: cannot open a host window: " << error << "\n";
        return kExitFailure;
    }
    EditorPrinter printer(out, *window);
    host.setEditorEvents(&printer);
    if (!host.openEditor(window->nativeHandle())) {
        err << "orvex: the plug-in did not open its editor\n";
        host.setEditorEvents(nullptr);
        return kExitFailure;
    }
    int openedWidth = 0;
    int openedHeight = 0;
    if (host.editorSize(openedWidth, openedHeight) && (openedWidth != width || openedHeight != height)) {
        window->resizeClient(openedWidth, openedHeight);
        width = openedWidth;
        height = openedHeight;
    }
    out << "editor open " << width << " " << height << std::endl;

    const Clock::time_point start = Clock::now();
    const int afterMs = options.afterMs >= 0 ? options.afterMs : kDefaultScreenshotMs;
    const int limitMs = options.seconds >= 0.0 ? static_cast<int>(options.seconds * 1000.0) : -1;
    bool screenshotDue = !options.screenshot.empty();
    int result = kExitOk;
    int nextIdleMs = 0;
    for (;;) {
        const int now = elapsedMs(start);
        if (limitMs >= 0 && now >= limitMs)
            break;
        if (screenshotDue && now >= afterMs) {
            screenshotDue = false;
            if (!window->captureClient(options.screenshot, error)) {
                err << "orvex: screenshot failed: " << error << "\n";
                result = kExitFailure;
                break;
            }
            out << "screenshot " << options.screenshot << std::endl;
            if (limitMs < 0)
                break;
        }
        int waitMs = std::max(0, nextIdleMs - now);
        if (screenshotDue)
            waitMs = std::min(waitMs, std::max(0, afterMs - now));
        if (limitMs >= 0)
            waitMs = std::min(waitMs, std::max(0, limitMs - now));
        if (!window->pumpEvents(waitMs)) {
            out << "window closed" << std::endl;
            break;
        }
        if (elapsedMs(start) >= nextIdleMs) {
            host.idleEditor();
            // A slow idle does not make the next ones come in a burst.
            nextIdleMs = std::max(nextIdleMs + kIdleIntervalMs, elapsedMs(start));
        }
    }

    if (screenshotDue && result == kExitOk) {
        // Reporting success without the picture asked for would mislead a script.
        err << "orvex: no screenshot: the editor closed before it was due (--after " << afterMs << " ms)\n";
        result = kExitFailure;
    }
    if (options.destroyWindowFirst) {
        // As a host that tears its window down first: the editor's child window goes with it,
        // and the editor must survive being idled and closed afterwards.
        window->destroy();
        out << "host window destroyed" << std::endl;
        for (int i = 0; i < kIdlesAfterDestroy; ++i) {
            host.idleEditor();
            window->pumpEvents(kIdleIntervalMs);
        }
    }
    host.closeEditor();
    host.setEditorEvents(nullptr);
    window.reset();
    // What the editor changed (files loaded through its buttons, moved controls) is in the
    // plug-in's state, which a script can keep.
    if (!options.saveChunk.empty() && result == kExitOk) {
        std::vector<unsigned char> chunk;
        if (!host.getChunk(chunk, false, error) || !writeFile(options.saveChunk, chunk, error)) {
            err << "orvex: cannot save a chunk: " << error << "\n";
            result = kExitFailure;
        } else {
            out << "saved bank chunk of " << chunk.size() << " bytes to " << options.saveChunk << std::endl;
        }
    }
    warnAboutTexts(host, err);
    host.close();
    out << "editor closed" << std::endl;
    return result;
}

} // namespace cli
