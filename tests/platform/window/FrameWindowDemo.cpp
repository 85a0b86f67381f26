// A small Windows program that opens the toolkit's frame with a few real controls in a real
// top-level window (the orvex host's own window class), so that a script on the X side can
// drive it with the X pointer and keyboard and look at it, as a user would.
//
// It speaks lines: everything the views report goes to stdout ("ready", "begin 1", "value 1
// 0.5230", "end 1", "file C:\...", "cancel", "drag enter", "drop 0"), and commands come on
// stdin (see runCommand). The window keeps running its message loop while it waits, so a
// command never blocks the window.
#include "HostWindow.h"
#include "PluginHost.h"
#include "WindowProbes.h"

#include "files/CFileSelector.h"
#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CDropTarget.h"
#include "gui/CFrame.h"
#include "gui/CFrameEditor.h"
#include "gui/CKickButton.h"
#include "gui/COffscreenContext.h"
#include "gui/COnOffButton.h"
#include "gui/COptionMenu.h"
#include "gui/CTextLabel.h"
#include "gui/PngWriter.h"
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

using gui::CColor;
using gui::CPoint;
using gui::CRect;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 160;
constexpr int kKnobFrames = 101;

// Tags of the demo's controls.
enum Tag : std::int32_t { kKnob = 1, kSwitch = 2, kLatency = 3, kLoad = 4 };

void say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::uint32_t pixel(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}

// Knob pictures: frame k shows a bar k/100 of the knob's width long, so the position is plain.
gui::CBitmap* makeKnobStrip()
{
    gui::Pixels strip(40, 40 * kKnobFrames, pixel(20, 20, 24));
    for (int k = 0; k < kKnobFrames; ++k)
        for (int y = 14; y < 26; ++y)
            for (int x = 0; x < 40 * k / (kKnobFrames - 1); ++x)
                strip.setPixel(x, 40 * k + y, pixel(255, 170, 30));
    return new gui::CBitmap(strip, true);
}

gui::CBitmap* makeTwoStates(int width, int height, std::uint32_t off, std::uint32_t on)
{
    gui::Pixels pixels(width, 2 * height, off);
    for (int y = height; y < 2 * height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.setPixel(x, y, on);
    return new gui::CBitmap(pixels, true);
}

// A view under the lower part of the window that reports what a drag does over it. Like
// every view of the product it takes no drop.
class DragProbe : public gui::CView {
public:
    explicit DragProbe(const CRect& size) : CView(size) {}
    void draw(gui::CDrawContext* context) override
    {
        context->setFillColor(CColor{50, 56, 64, 255});
        context->fillRect(size);
        setDirty(false);
    }
    void onDragEnter(gui::CDrawContext*, gui::CDragContainer*, const CPoint& where) override
    {
        say("drag enter " + std::to_string(where.x) + " " + std::to_string(where.y));
    }
    void onDragLeave(gui::CDrawContext*, gui::CDragContainer*, const CPoint&) override { say("drag leave"); }
    bool onDrop(gui::CDrawContext*, gui::CDragContainer*, const CPoint&) override
    {
        say("drag drop");
        return false;
    }
};

// The editor side of the frame: gestures and values go to stdout, the load button runs the
// system's open-file dialog with the effect's request.
class DemoEditor : public gui::CFrameEditor, public gui::CControlListener {
public:
    explicit DemoEditor(cli::HostWindow& host) : host_(host) {}
    ~DemoEditor() override { close(); }

    void open()
    {
        frame_ = new gui::CFrame(CRect(0, 0, kWidth, kHeight), host_.nativeHandle(), this);
        frame_->setBackgroundColor(CColor{38, 41, 46, 255});
        frame_->addView(new DragProbe(CRect(0, 100, kWidth, kHeight)));

        gui::CBitmap* strip = makeKnobStrip();
        auto* knob = new gui::CAnimKnob(CRect(20, 20, 60, 60), this, kKnob, kKnobFrames, 40, strip);
        knob->setValue(0.25f);
        frame_->addView(knob);
        strip->forget();

        gui::CBitmap* led = makeTwoStates(40, 40, pixel(20, 20, 24), pixel(40, 200, 80));
        frame_->addView(new gui::COnOffButton(CRect(80, 20, 120, 60), this, kSwitch, led));
        led->forget();

        auto* latency = new gui::COptionMenu(CRect(140, 27, 200, 52), this, kLatency);
        for (const char* entry : {"64", "128", "256", "512"})
            latency->appendEntry(entry);
        latency->setCurrentIndex(2);
        latency->setFontIndex(5);
        latency->setFontColor(gui::kBlackCColor);
        latency->setBackgroundColor(gui::kWhiteCColor);
        latency->setFrameColor(gui::kBlackCColor);
        frame_->addView(latency);

        gui::CBitmap* arrow = makeTwoStates(17, 17, pixel(235, 235, 230), pixel(255, 170, 30));
        frame_->addView(new gui::CKickButton(CRect(220, 31, 237, 48), this, kLoad, 17, arrow));
        arrow->forget();
        fileLabel_ = new gui::CTextLabel(CRect(245, 31, 390, 48), "", nullptr, gui::kNoFrame);
        fileLabel_->setFontIndex(5);
        fileLabel_->setFontColor(CColor{235, 235, 230, 255});
        fileLabel_->setBackgroundColor(CColor{20, 20, 24, 255});
        fileLabel_->setTextAlignment(gui::kLeftText);
        frame_->addView(fileLabel_);
    }

    void close()
    {
        if (frame_ != nullptr)
            frame_->forget();
        frame_ = nullptr;
        fileLabel_ = nullptr;
    }

    gui::CFrame* frame() const { return frame_; }

    void idle()
    {
        if (frame_ != nullptr)
            frame_->idle();
    }

    // --- CFrameEditor -----------------------------------------------------------------------
    void beginEdit(std::int32_t tag) override { say("begin " + std::to_string(tag)); }
    void endEdit(std::int32_t tag) override { say("end " + std::to_string(tag)); }
    void doIdleStuff() override
    {
        // What the product's editor does during a long gesture: redraw, one paint, host idle.
        idle();
        platform::defaultLayer().dispatchPendingPaint();
    }
    bool canHostDo(const char*) override { return false; }
    bool sizeWindow(std::int32_t, std::int32_t) override { return false; }

    // --- CControlListener -------------------------------------------------------------------
    void valueChanged(gui::CDrawContext*, gui::CControl* control) override
    {
        char line[64];
        std::snprintf(line, sizeof line, "value %d %.4f", control->getTag(), static_cast<double>(control->getValue()));
        say(line);
        if (control->getTag() == kLoad && control->getValue() > 0.5f)
            chooseFile();
    }

private:
    // The request the effect's load buttons make.
    void chooseFile()
    {
        vst::VstFileType wave{};
        std::strcpy(wave.name, "Wave File");
        std::strcpy(wave.macType, "WAVE");
        std::strcpy(wave.dosType, "wav");
        std::strcpy(wave.unixType, "wav");
        std::strcpy(wave.mimeType1, "audio/wav");
        std::strcpy(wave.mimeType2, "audio/x-wav");
        vst::VstFileSelect request{};
        request.command = vst::kVstFileLoad;
        request.nbFileTypes = 1;
        request.fileTypes = &wave;
        std::strcpy(request.title, "Test for open file selector");
        char path[1024] = {};
        request.returnPath = path;
        request.sizeReturnPath = sizeof path;
        gui::CFileSelector selector(nullptr);
        if (selector.run(&request) == 1) {
            char name[64] = {};
            selector.getFileName(name, sizeof name);
            fileLabel_->setText(name);
            fileLabel_->setDirty(true);
            say(std::string("file ") + path);
        } else {
            say("cancel");
        }
    }

    cli::HostWindow& host_;
    gui::CFrame* frame_ = nullptr;         // open frame, or null
    gui::CTextLabel* fileLabel_ = nullptr; // shows the chosen file's name
};

// Commands from stdin, handed to the window's thread.
struct CommandQueue {
    std::mutex lock;              // guards lines and closed
    std::deque<std::string> lines; // waiting commands
    bool closed = false;          // stdin ended
};

} // namespace

int main()
{
    std::string error;
    std::unique_ptr<cli::HostWindow> host = cli::HostWindow::create("Orvex window demo", kWidth, kHeight, error);
    if (!host) {
        say("error " + error);
        return 1;
    }
    DemoEditor editor(*host);
    editor.open();
    std::unique_ptr<cli::PluginHost> plugin; // a loaded plug-in, for the plug-in commands
    std::unique_ptr<cli::HostWindow> pluginWindow; // where its editor opens, kept between rounds
    int pluginWidth = 0, pluginHeight = 0;   // its editor's size

    CommandQueue queue;
    const DWORD mainThread = GetCurrentThreadId();
    std::thread reader([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::lock_guard<std::mutex> guard(queue.lock);
            queue.lines.push_back(line);
        }
        std::lock_guard<std::mutex> guard(queue.lock);
        queue.closed = true;
        PostThreadMessageA(mainThread, WM_NULL, 0, 0);
    });
    reader.detach();

    // Let the first paint happen before anyone looks.
    for (int i = 0; i < 5; ++i)
        host->pumpEvents(20);
    POINT origin{0, 0};
    ClientToScreen(static_cast<HWND>(host->nativeHandle()), &origin);
    say("ready " + std::to_string(origin.x) + " " + std::to_string(origin.y));

    bool running = true;
    while (running) {
        if (!host->pumpEvents(33))
            break;
        editor.idle();
        std::string command;
        {
            std::lock_guard<std::mutex> guard(queue.lock);
            if (!queue.lines.empty()) {
                command = queue.lines.front();
                queue.lines.pop_front();
            } else if (queue.closed) {
                break;
            }
        }
        if (command.empty())
            continue;
        std::istringstream words(command);
        std::string verb, argument;
        words >> verb;
        std::getline(words >> std::ws, argument);
        if (verb == "quit") {
            running = false;
        } else if (verb == "capture") {
            say(host->captureClient(argument, error) ? "captured" : "error " + error);
        } else if (verb == "snapshot") {
            gui::COffscreenContext* image = editor.frame() ? editor.frame()->getOffscreen() : nullptr;
            say(image && gui::PngWriter::writeFile(image->getPixels(), argument.c_str()) ? "snapshot" : "error snapshot");
        } else if (verb == "cursor" && editor.frame()) {
            // The frame shows a cursor type (gui::CCursorType); "cursor ?" tells whether the
            // cursor now shown is the system's hand.
            if (argument == "?")
                say(std::string("cursor hand=") + (GetCursor() == LoadCursorA(nullptr, IDC_HAND) ? "1" : "0"));
            else
                editor.frame()->setCursor(std::stoi(argument));
        } else if (verb == "counts") {
            say(countObjects());
        } else if (verb == "cycles") {
            // Close and open the editor in the same host window, as a host does when the user
            // toggles the plug-in's window.
            const int n = std::stoi(argument);
            for (int i = 0; i < n; ++i) {
                editor.close();
                host->pumpEvents(0);
                editor.open();
                host->pumpEvents(0);
                editor.idle();
            }
            say("cycled " + std::to_string(n));
        } else if (verb == "parentfirst") {
            // A host that destroys its window before closing the editor: the frame's window
            // goes with it, and with it the drop target's registration.
            std::unique_ptr<cli::HostWindow> other = cli::HostWindow::create("Orvex parent first", 200, 100, error);
            if (!other) {
                say("error " + error);
                continue;
            }
            auto* frame = new gui::CFrame(CRect(0, 0, 200, 100), other->nativeHandle(), nullptr);
            gui::CDropTarget* target = frame->getDropTarget();
            HWND child = frame->getWindow() ? static_cast<HWND>(frame->getWindowLayer().getNativeHandle(frame->getWindow())) : nullptr;
            const bool registered = target != nullptr && GetPropA(child, "OleDropTargetInterface") != nullptr;
            if (target)
                target->addRef(); // ours, to see who else still holds it afterwards
            DestroyProbe::watch(child);
            other->destroy();
            const bool childGone = child != nullptr && !IsWindow(child);
            const bool frameOpen = frame->isOpen();
            frame->forget();
            const std::uint32_t othersLeft = target ? target->release() : 99;
            std::ostringstream out;
            out << "parentfirst registered=" << registered << " childgone=" << childGone << " open=" << frameOpen
                << " targetleft=" << DestroyProbe::targetLeft() << " targetrefs=" << othersLeft;
            say(out.str());
        } else if (verb == "plugin") {
            // A plug-in's own editor in a second host window (the product, under test
            // end to end): load it and open its editor once.
            plugin = std::make_unique<cli::PluginHost>();
            int w = 0, h = 0;
            if (!plugin->load(argument, 44100.0, 512, error) || !plugin->editorSize(w, h)) {
                say("error plugin " + error);
                plugin.reset();
                continue;
            }
            pluginWidth = w;
            pluginHeight = h;
            pluginWindow = cli::HostWindow::create("Orvex plug-in host", w, h, error);
            say(pluginWindow ? runEditor(*plugin, *pluginWindow) : "error " + error);
        } else if (verb == "plugincycles" && pluginWindow) {
            const int n = std::stoi(argument);
            std::string last;
            for (int i = 0; i < n; ++i)
                last = runEditor(*plugin, *pluginWindow);
            say("plugincycled " + std::to_string(n) + " " + last);
        } else if (verb == "pluginparentfirst" && pluginWindow) {
            // Each round in a new host window that goes before the editor is closed.
            const int n = argument.empty() ? 1 : std::stoi(argument);
            std::string last;
            for (int i = 0; i < n; ++i) {
                std::unique_ptr<cli::HostWindow> doomed =
                    cli::HostWindow::create("Orvex plug-in host", pluginWidth, pluginHeight, error);
                last = doomed ? runEditor(*plugin, *doomed, true) : "error " + error;
            }
            say(last);
        } else {
            say("error unknown command " + verb);
        }
    }
    editor.close();
    host->destroy();
    say("bye");
    return 0;
}
