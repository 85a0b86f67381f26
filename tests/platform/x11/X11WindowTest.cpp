// The X11 window layer under a frame, with a host of our own on its own connection: what
// the host sees on the screen, real input through xdotool, drops through XDND, the host
// destroying its window first, and no display at all.
#include "ViewTestSupport.h"
#include "gui/COffscreenContext.h"
#include "platform/WindowLayer.h"

#include "X11TestSupport.h"

#include <X11/Xatom.h>

#include <cstdlib>
#include <string>

namespace x11test {

using gui::CColor;
using gui::CFrame;
using gui::CRect;
using viewtest::BoxView;
using viewtest::EventLog;

namespace {

// A frame of two coloured boxes side by side in the host window.
struct TwoBoxes {
    TwoBoxes(void* parent, EventLog* log)
    {
        frame = new CFrame(CRect(0, 0, 200, 120), parent, nullptr);
        left = new BoxView(CRect(0, 0, 100, 120), CColor{200, 30, 30, 255}, log, "left");
        right = new BoxView(CRect(100, 0, 200, 120), CColor{30, 30, 200, 255}, log, "right");
        frame->addView(left);
        frame->addView(right);
    }
    ~TwoBoxes() { frame->forget(); }

    std::vector<std::uint32_t> offscreen() const
    {
        std::vector<std::uint32_t> pixels;
        if (gui::COffscreenContext* image = frame->getOffscreen()) {
            const gui::Pixels& p = image->getPixels();
            for (std::int32_t i = 0; i < p.getWidth() * p.getHeight(); ++i)
                pixels.push_back(p.data()[i] & 0xFFFFFF);
        }
        return pixels;
    }

    CFrame* frame = nullptr; // the frame, one reference
    BoxView* left = nullptr;  // owned by the frame
    BoxView* right = nullptr;
};

int hostErrors = 0; // errors of the host's connection that reached the host's handler
int countHostError(Display*, XErrorEvent*)
{
    ++hostErrors;
    return 0;
}

} // namespace

using X11Window = X11Test;

// The host sees exactly the frame's offscreen: after the first paint, and after an idle
// that redraws a view whose colour changed.
TEST_F(X11Window, HostSeesTheOffscreenAfterPaintAndAfterIdle)
{
    TwoBoxes boxes(handleOf(makeHostWindow(300, 200)), nullptr);
    ASSERT_NE(boxes.frame->getWindow(), nullptr);
    auto shown = [&] { return !boxes.offscreen().empty() && capture(hostWindow, 0, 0, 200, 120) == boxes.offscreen(); };
    EXPECT_TRUE(idleUntil(boxes.frame, shown)) << "the first paint never reached the screen";
    EXPECT_EQ(capture(hostWindow, 0, 0, 200, 120)[0], 0xC81E1Eu);

    boxes.right->color = CColor{20, 180, 40, 255};
    boxes.right->setDirty(true);
    EXPECT_TRUE(idleUntil(boxes.frame, [&] { return capture(hostWindow, 150, 60, 1, 1)[0] == 0x14B428u; }))
        << "an idle after a change did not update the window";
    EXPECT_EQ(capture(hostWindow, 0, 0, 200, 120), boxes.offscreen());
}

// Real presses and wheel turns (up, down, sideways) reach the view under the pointer, in
// frame coordinates.
TEST_F(X11Window, PressesAndWheelReachTheViewUnderThePointer)
{
    TwoBoxes boxes(handleOf(makeHostWindow(300, 200)), nullptr);
    ASSERT_TRUE(idleUntil(boxes.frame, [&] { return !boxes.frame->isFirstDraw(); }));
    const struct {
        int button;     // X button
        int x, y;       // frame point
        int clicks;     // expected mouse calls on the right box so far
        int wheels;     // expected wheel calls so far
        float distance; // last wheel distance
    } cases[] = {{1, 150, 40, 1, 0, 0.0f}, {4, 120, 90, 1, 1, 1.0f}, {5, 180, 10, 1, 2, -1.0f}, {3, 101, 1, 2, 2, -1.0f},
                 {7, 160, 50, 2, 3, 1.0f}}; // a sideways turn (tilt right) reaches the view too
    for (const auto& c : cases) {
        xdotool("mousemove " + std::to_string(hostX + c.x) + " " + std::to_string(hostY + c.y) + " click " +
                std::to_string(c.button));
        EXPECT_TRUE(idleUntil(boxes.frame, [&] { return boxes.right->clicks == c.clicks && boxes.right->wheels == c.wheels; }))
            << "button " << c.button;
        EXPECT_EQ(boxes.right->lastDistance, c.distance) << "button " << c.button;
    }
    EXPECT_EQ(boxes.right->lastClick, gui::CPoint(101, 1));
    EXPECT_EQ(boxes.left->clicks + boxes.left->wheels, 0);
}

// A drag from another program: the window is XdndAware, each position gets a status with
// move feedback, and the drop is finished without any action, so the source keeps its file.
TEST_F(X11Window, DropsAreAnsweredButTakeNothing)
{
    EventLog log;
    TwoBoxes boxes(handleOf(makeHostWindow(300, 200)), &log);
    ASSERT_TRUE(idleUntil(boxes.frame, [&] { return !boxes.frame->isFirstDraw(); }));
    const ::Window target = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(
        boxes.frame->getWindowLayer().getNativeHandle(boxes.frame->getWindow())));

    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(host, target, XInternAtom(host, "XdndAware", False), 0, 1, False, XA_ATOM, &type,
                                 &format, &count, &after, &data), Success);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(*reinterpret_cast<long*>(data), 5);
    XFree(data);

    // The source: a window of the host's connection that receives the target's answers.
    const ::Window source = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 10, 10, 0, 0, 0);
    auto send = [&](const char* name, long l1, long l2, long l3, long l4) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = target;
        e.xclient.message_type = XInternAtom(host, name, False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(source);
        e.xclient.data.l[1] = l1;
        e.xclient.data.l[2] = l2;
        e.xclient.data.l[3] = l3;
        e.xclient.data.l[4] = l4;
        XSendEvent(host, target, False, NoEventMask, &e);
        XFlush(host);
    };
    auto answer = [&](XClientMessageEvent& out) {
        return idleUntil(boxes.frame, [&] {
            XEvent e;
            if (!XCheckTypedWindowEvent(host, source, ClientMessage, &e))
                return false;
            out = e.xclient;
            return true;
        });
    };
    const long uriList = static_cast<long>(XInternAtom(host, "text/uri-list", False));
    const long at = ((hostX + 150L) << 16) | (hostY + 60L);
    const long move = static_cast<long>(XInternAtom(host, "XdndActionMove", False));
    send("XdndEnter", 5L << 24, uriList, 0, 0);
    send("XdndPosition", 0, at, CurrentTime, move);
    XClientMessageEvent status{};
    ASSERT_TRUE(answer(status)) << "no XdndStatus";
    EXPECT_EQ(status.message_type, XInternAtom(host, "XdndStatus", False));
    EXPECT_EQ(static_cast<::Window>(status.data.l[0]), target);
    EXPECT_EQ(status.data.l[1] & 1, 1) << "the drag is accepted for feedback";
    EXPECT_EQ(status.data.l[4], move);

    send("XdndDrop", 0, CurrentTime, 0, 0);
    XClientMessageEvent finished{};
    ASSERT_TRUE(answer(finished)) << "no XdndFinished";
    EXPECT_EQ(finished.message_type, XInternAtom(host, "XdndFinished", False));
    EXPECT_EQ(finished.data.l[1] & 1, 0) << "the drop must not be reported as taken";
    EXPECT_EQ(finished.data.l[2], static_cast<long>(None));
    EXPECT_EQ(log, (EventLog{"right enter", "right drop", "right leave"}));
    XDestroyWindow(host, source);
}

// The host destroys its window while the editor is open: the frame learns it at the next
// idle, draws nothing more, and is destroyed later without an error reaching the host. The
// host's own error handler stays in charge of the host's connection throughout, and is the
// process's handler again once our connection is closed.
TEST_F(X11Window, HostDestroyingItsWindowFirstIsSurvived)
{
    hostErrors = 0;
    XErrorHandler hostHandler = XSetErrorHandler(countHostError);
    {
        TwoBoxes boxes(handleOf(makeHostWindow(300, 200)), nullptr);
        ASSERT_TRUE(idleUntil(boxes.frame, [&] { return !boxes.frame->isFirstDraw(); }));
        // An error on the host's own connection still goes to the host's handler.
        XWindowAttributes attributes;
        XGetWindowAttributes(host, 0x7FFFFFF0, &attributes);
        XSync(host, False);
        EXPECT_EQ(hostErrors, 1);

        XDestroyWindow(host, hostWindow);
        hostWindow = 0;
        XSync(host, False);
        EXPECT_TRUE(idleUntil(boxes.frame, [&] { return !boxes.frame->isOpen(); })) << "destruction not noticed";
        EXPECT_EQ(boxes.frame->getWindow(), nullptr);
        boxes.left->setDirty(true);
        boxes.frame->idle(); // nothing to draw into any more
        boxes.frame->setCursor(gui::kCursorHand);
    }
    XSync(host, False);
    EXPECT_EQ(hostErrors, 1) << "an error of the plug-in's connection reached the host";
    EXPECT_EQ(XSetErrorHandler(hostHandler), countHostError) << "the host's handler was not given back";
}

// Without an X server nothing is made and nothing ends the process.
TEST(X11NoDisplay, WindowsAreSimplyNotMade)
{
    platform::setBackend(platform::Backend::native);
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    setenv("DISPLAY", ":54321", 1);
    CFrame* frame = new CFrame(CRect(0, 0, 100, 100), reinterpret_cast<void*>(0x400001), nullptr);
    EXPECT_EQ(frame->getWindow(), nullptr);
    frame->idle();
    frame->forget();
    EXPECT_EQ(platform::defaultLayer().getMouseButtons(), 0);
    if (saved)
        setenv("DISPLAY", display.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

} // namespace x11test
