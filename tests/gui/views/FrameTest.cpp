// The frame: redraw on idle only after the first paint and only of what is dirty, paints of
// damaged rectangles, window events from the platform, focus, modal view, cursor, sizing.
#include "ViewTestSupport.h"

#include "gui/CDropTarget.h"
#include "gui/CKnob.h"
#include "gui/COffscreenContext.h"
#include "gui/COptionMenu.h"
#include "platform/headless/HeadlessLayer.h"

using namespace viewtest;
using gui::CFrame;
namespace headless = platform::headless;

namespace {

const CColor kRed{255, 0, 0, 255};
const CColor kGreen{0, 255, 0, 255};
const CColor kBlue{0, 0, 255, 255};
const CColor kYellow{255, 255, 0, 255};
const CColor kGrey{90, 90, 90, 255};
const CColor kWhite{255, 255, 255, 255};
const CColor kMagenta{255, 0, 255, 255};

class FrameTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        host = headless::createHostWindow(120, 120);
        frame = new CFrame(CRect(0, 0, 100, 100), host, &editor);
        window = frame->getWindow();
        frame->setBackgroundColor(kGrey);
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
        if (host)
            headless::destroyHostWindow(host);
        HeadlessTest::TearDown();
    }
    BoxView* addBox(const CRect& r, const CColor& c, const char* name)
    {
        auto* box = new BoxView(r, c, &log, name);
        frame->addView(box);
        return box;
    }
    std::uint32_t windowPixel(std::int32_t x, std::int32_t y) const
    {
        headless::Snapshot s = headless::snapshot(window);
        return s.pixels[static_cast<std::size_t>(y * s.width + x)];
    }
    void paintAll() { headless::sendPaint(window, platform::Rect{0, 0, 100, 100}); }

    platform::NativeHandle host = nullptr;
    CFrame* frame = nullptr;
    platform::Window* window = nullptr;
    FakeEditor editor;
    EventLog log;
};

} // namespace

TEST_F(FrameTest, IdleDrawsNothingBeforeTheFirstPaintThenOnlyDirtyRectangles)
{
    ASSERT_NE(window, nullptr);
    BoxView* a = addBox(CRect(10, 10, 30, 30), kRed, "a");
    BoxView* b = addBox(CRect(25, 25, 45, 45), kGreen, "b"); // overlaps a
    BoxView* c = addBox(CRect(60, 60, 80, 80), kBlue, "c");

    frame->idle();
    EXPECT_EQ(headless::presentCount(window), 0u);
    EXPECT_TRUE(frame->isDirty());
    EXPECT_EQ(a->draws, 0);

    paintAll();
    EXPECT_FALSE(frame->isFirstDraw());
    EXPECT_EQ(windowPixel(0, 0), pixelOf(kGrey));
    EXPECT_EQ(windowPixel(27, 27), pixelOf(kGreen));
    EXPECT_EQ(windowPixel(70, 70), pixelOf(kBlue));
    EXPECT_FALSE(frame->isDirty());
    const int cDraws = c->draws;
    const std::size_t presents = headless::presentCount(window);

    frame->idle(); // nothing dirty: nothing drawn, nothing presented
    EXPECT_EQ(headless::presentCount(window), presents);

    // a is dirty; b and c change colour without asking to be redrawn.
    a->color = kYellow;
    a->setDirty(true);
    b->color = kMagenta;
    c->color = kWhite;
    frame->idle();
    EXPECT_GT(headless::presentCount(window), presents);
    EXPECT_EQ(windowPixel(12, 12), pixelOf(kYellow));
    EXPECT_EQ(windowPixel(27, 27), pixelOf(kMagenta)); // b inside a's rectangle, on top
    EXPECT_EQ(windowPixel(40, 40), pixelOf(kGreen));   // b outside it: untouched
    EXPECT_EQ(windowPixel(70, 70), pixelOf(kBlue));
    EXPECT_EQ(c->draws, cDraws);
    EXPECT_FALSE(frame->isDirty());

    // A paint redraws the damaged part from the views.
    headless::sendPaint(window, platform::Rect{60, 60, 70, 70});
    EXPECT_EQ(windowPixel(65, 65), pixelOf(kWhite));
    EXPECT_EQ(windowPixel(75, 75), pixelOf(kBlue));
}

namespace {

// A mostly transparent view: it draws one 2 x 2 dot at `dot` and nothing else.
class DotView : public gui::CView {
public:
    using gui::CView::CView;
    void draw(gui::CDrawContext* context) override
    {
        if (context) {
            context->setFillColor(kBlue);
            context->fillRect(CRect(dot.x - 1, dot.y - 1, dot.x + 2, dot.y + 2));
        }
        setDirty(false);
    }
    CPoint dot; // where the dot is drawn, frame coordinates
};

} // namespace

// An idle copies to the window the rectangles it redrew and nothing else: elsewhere the window
// keeps what it shows (copying the whole image at every idle cost as much as the drawing).
TEST_F(FrameTest, IdleCopiesOnlyTheRectanglesItRedrew)
{
    BoxView* a = addBox(CRect(10, 10, 30, 30), kRed, "a");
    BoxView* b = addBox(CRect(60, 60, 80, 80), kBlue, "b");
    paintAll();
    // The window shows white everywhere, unknown to the frame.
    const std::vector<std::uint32_t> white(100 * 100, pixelOf(kWhite));
    frame->getWindowLayer().presentPixels(window, platform::Rect{0, 0, 100, 100}, white.data(), 100, 100, 100);

    a->color = kYellow;
    a->setDirty(true);
    b->color = kMagenta;
    b->setDirty(true);
    frame->idle();
    EXPECT_EQ(windowPixel(10, 10), pixelOf(kYellow));
    EXPECT_EQ(windowPixel(29, 29), pixelOf(kYellow));
    EXPECT_EQ(windowPixel(60, 60), pixelOf(kMagenta));
    EXPECT_EQ(windowPixel(79, 79), pixelOf(kMagenta));
    EXPECT_EQ(windowPixel(9, 9), pixelOf(kWhite));
    EXPECT_EQ(windowPixel(30, 30), pixelOf(kWhite));
    EXPECT_EQ(windowPixel(45, 45), pixelOf(kWhite)); // between the two: not copied
    EXPECT_EQ(windowPixel(80, 80), pixelOf(kWhite));
}

TEST_F(FrameTest, AViewUpdatedAloneIsPaintedOverWhatLiesBeneathIt)
{
    BoxView* below = addBox(CRect(10, 10, 40, 40), kRed, "below");
    auto* dot = new DotView(CRect(20, 20, 30, 30));
    dot->dot = CPoint(22, 22);
    frame->addView(dot);
    BoxView* above = addBox(CRect(28, 28, 50, 50), kGreen, "above");
    paintAll();
    ASSERT_EQ(windowPixel(22, 22), pixelOf(kBlue));

    // The dot moves, the view below changes its colour without asking to be redrawn; the
    // dot's update redraws its rectangle from the bottom: the old dot is gone, the view
    // below shows through, the view above stays on top, and nothing outside is touched.
    dot->dot = CPoint(25, 25);
    below->color = kYellow;
    above->color = kMagenta;
    dot->setDirty(true);
    const std::size_t presents = headless::presentCount(window);
    dot->update(nullptr);
    EXPECT_GT(headless::presentCount(window), presents);
    EXPECT_EQ(windowPixel(22, 22), pixelOf(kYellow));
    EXPECT_EQ(windowPixel(25, 25), pixelOf(kBlue));
    EXPECT_EQ(windowPixel(29, 29), pixelOf(kMagenta)); // the view above, inside the rectangle
    EXPECT_EQ(windowPixel(12, 12), pixelOf(kRed));     // outside it: as painted before
    EXPECT_EQ(windowPixel(45, 45), pixelOf(kGreen));
    // The frame's image holds the same pixels, so the next idle or paint builds on them.
    EXPECT_EQ(frame->getOffscreen()->getPixels().getPixel(22, 22), pixelOf(kYellow));
}

TEST_F(FrameTest, PartialRedrawsLeaveWhatTheyDidNotDrawPending)
{
    BoxView* a = addBox(CRect(10, 10, 30, 30), kRed, "a");
    BoxView* b = addBox(CRect(25, 25, 45, 45), kGreen, "b");
    paintAll();
    // Both change; a is redrawn first, which draws the overlap of b too.
    a->color = kYellow;
    b->color = kMagenta;
    b->setDirty(true);
    a->setDirty(true);
    frame->setDirty(true);
    headless::sendPaint(window, platform::Rect{0, 0, 20, 20}); // a part of the frame only
    EXPECT_TRUE(frame->isDirty());
    frame->idle();
    EXPECT_EQ(windowPixel(40, 40), pixelOf(kMagenta));
    EXPECT_EQ(windowPixel(27, 27), pixelOf(kMagenta));
    EXPECT_EQ(windowPixel(12, 28), pixelOf(kYellow));
    EXPECT_FALSE(frame->isDirty());
}

TEST_F(FrameTest, ButtonsAndWheelArriveThroughTheWindow)
{
    BoxView* box = addBox(CRect(10, 10, 30, 30), kRed, "box");
    headless::setWindowScreenOrigin(window, platform::Point{300, 200});

    queueMouse(315, 215, gui::kLButton | gui::kShift); // the state read at the button-down
    headless::sendButtonDown(window, platform::Point{15, 15});
    EXPECT_EQ(box->clicks, 1);
    EXPECT_EQ(box->lastClick, CPoint(15, 15));
    EXPECT_EQ(box->lastButtons, gui::kLButton | gui::kShift);

    // One notch forward over the view, given at a screen point.
    headless::sendWheel(window, platform::Point{320, 220}, 1.0f);
    EXPECT_EQ(box->wheels, 1);
    EXPECT_EQ(box->lastDistance, 1.0f);
    EXPECT_EQ(box->lastWheelAt, CPoint(20, 20));
    headless::sendWheel(window, platform::Point{390, 290}, 1.0f); // over no view
    EXPECT_EQ(box->wheels, 1);

    CPoint where;
    headless::setMouse({platform::Point{310, 205}, 0});
    EXPECT_TRUE(frame->getCurrentLocation(where));
    EXPECT_EQ(where, CPoint(10, 5));
}

TEST_F(FrameTest, AWindowDestroyedByItsParentStopsAllDrawing)
{
    BoxView* box = addBox(CRect(10, 10, 30, 30), kRed, "box");
    paintAll();
    const std::size_t presents = headless::presentCount(window);
    headless::destroyHostWindow(host);
    host = nullptr;
    EXPECT_FALSE(frame->getOpenFlag());
    EXPECT_EQ(frame->getParentWindow(), nullptr);
    EXPECT_EQ(frame->getWindow(), nullptr);
    box->setDirty(true);
    frame->idle();
    auto* image = new gui::COffscreenContext(frame, 100, 100);
    const int draws = box->draws;
    frame->update(image);
    EXPECT_EQ(box->draws, draws);
    image->forget();
    EXPECT_EQ(headless::presentCount(window), presents);
    EXPECT_FALSE(frame->setSize(200, 200));
    frame->forget(); // still frees what it holds
    frame = nullptr;
}

TEST_F(FrameTest, AFrameWithoutParentHasNoWindowAndRefusesDropSupport)
{
    auto* bare = new CFrame(CRect(0, 0, 50, 50), nullptr, nullptr);
    EXPECT_EQ(bare->getWindow(), nullptr);
    EXPECT_FALSE(bare->setDropActive(true));
    EXPECT_TRUE(bare->setDropActive(false)); // nothing to deactivate
    EXPECT_EQ(bare->getTicks(), 0u);
    bare->forget();
}

TEST_F(FrameTest, ModalViewTakesTheMouseAndASecondOneIsRefused)
{
    BoxView* under = addBox(CRect(0, 0, 100, 100), kRed, "under");
    auto* modal = new BoxView(CRect(20, 20, 40, 40), kGreen, &log, "modal");
    auto* second = new BoxView(CRect(50, 50, 60, 60), kBlue, &log, "second");

    EXPECT_EQ(frame->setModalView(modal), 1);
    EXPECT_EQ(frame->setModalView(second), 0);
    EXPECT_EQ(frame->getModalView(), modal);
    EXPECT_FALSE(frame->isChild(second));

    frame->mouse(nullptr, CPoint(30, 30), gui::kLButton);
    frame->mouse(nullptr, CPoint(80, 80), gui::kLButton); // outside the modal view: dropped
    EXPECT_EQ(modal->clicks, 1);
    EXPECT_EQ(under->clicks, 0);

    // Releasing the modal view gives back only the frame's reference.
    EXPECT_EQ(frame->setModalView(nullptr), 1);
    EXPECT_FALSE(frame->isChild(modal));
    EXPECT_EQ(modal->getNbReference(), 1);
    frame->mouse(nullptr, CPoint(80, 80), gui::kLButton);
    EXPECT_EQ(under->clicks, 1);
    modal->forget();
    second->forget();
}

TEST_F(FrameTest, TabMovesTheFocusForwardAndShiftTabBackward)
{
    auto* k1 = new gui::CKnob(CRect(0, 0, 20, 20), nullptr, 1, nullptr);
    auto* k2 = new gui::CKnob(CRect(30, 0, 50, 20), nullptr, 2, nullptr);
    auto* k3 = new gui::CKnob(CRect(60, 0, 80, 20), nullptr, 3, nullptr);
    frame->addView(k1);
    addBox(CRect(0, 50, 10, 60), kRed, "plain");
    frame->addView(k2);
    frame->addView(k3);

    gui::CKeyCode tab{};
    tab.virt = gui::kVKeyTab;
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), k1);
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), k2);
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), k3);
    tab.modifier = gui::kModifierShift;
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), k2);
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), k1);
    EXPECT_EQ(frame->onKeyDown(tab), -1); // before the first: no focus
    EXPECT_EQ(frame->getFocusView(), nullptr);

    // Keys go to the focus view first; a click anywhere clears the focus.
    frame->setFocusView(k2);
    gui::CKeyCode up{};
    up.virt = gui::kVKeyUp;
    EXPECT_EQ(frame->onKeyDown(up), 1);
    EXPECT_FLOAT_EQ(k2->getValue(), 0.1f);
    frame->mouse(nullptr, CPoint(95, 95), gui::kLButton);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    gui::CKeyCode other{};
    other.virt = gui::kVKeySpace;
    EXPECT_EQ(frame->onKeyDown(other), -1);
}

TEST_F(FrameTest, CursorTypeSevenShowsTheCursorFoundAtFirst)
{
    platform::WindowLayer& layer = frame->getWindowLayer();
    layer.setCurrentCursor(layer.getSystemCursor(platform::CursorShape::hand));
    frame->setCursor(gui::kCursorHSize);
    EXPECT_EQ(headless::currentCursorShape(), platform::CursorShape::hResize);
    frame->setCursor(gui::kCursorWait);
    EXPECT_EQ(headless::currentCursorShape(), platform::CursorShape::wait);
    frame->setCursor(gui::kCursorCopy);
    EXPECT_EQ(headless::currentCursorShape(), platform::CursorShape::hand);
    frame->setCursor(gui::kCursorNotAllowed);
    frame->forget(); // restores it
    frame = nullptr;
    EXPECT_EQ(headless::currentCursorShape(), platform::CursorShape::hand);
}

TEST_F(FrameTest, SizeGoesThroughTheHostOrResizesTheWindowsAbove)
{
    EXPECT_FALSE(frame->setSize(100, 100)); // same size: nothing to do

    // The host cannot size: the frame resizes its window and the host's, keeping the
    // host's 20-pixel border around it.
    EXPECT_TRUE(frame->setSize(200, 160));
    EXPECT_EQ(frame->getViewSize(), CRect(0, 0, 200, 160));
    EXPECT_EQ(headless::snapshot(window).height, 160);
    platform::Rect hostRect = frame->getWindowLayer().getHandleRectInParent(host);
    EXPECT_EQ(hostRect.right - hostRect.left, 220);
    EXPECT_EQ(hostRect.bottom - hostRect.top, 180);
    EXPECT_TRUE(frame->isDirty());
    EXPECT_EQ(frame->getOffscreen(), nullptr); // made again at the new size on next use

    // The host can: it does the sizing of its own windows.
    editor.hostCanSize = true;
    editor.hostAcceptsSize = true;
    EXPECT_TRUE(frame->setSize(150, 110));
    EXPECT_EQ(editor.sizeRequests.back(), CRect(0, 0, 150, 110));
    EXPECT_EQ(frame->getViewSize(), CRect(0, 0, 150, 110));
    EXPECT_EQ(headless::snapshot(window).width, 150);
    hostRect = frame->getWindowLayer().getHandleRectInParent(host);
    EXPECT_EQ(hostRect.right - hostRect.left, 220);
}

TEST_F(FrameTest, InvalidateMarksTouchingChildrenAndEditingReachesTheEditor)
{
    BoxView* a = addBox(CRect(10, 10, 30, 30), kRed, "a");
    BoxView* b = addBox(CRect(50, 50, 70, 70), kRed, "b");
    paintAll();
    frame->invalidate(CRect(30, 30, 40, 40)); // touches a's corner only
    EXPECT_TRUE(a->isDirty());
    EXPECT_FALSE(b->isDirty());

    frame->beginEdit(12);
    frame->endEdit(12);
    frame->doIdleStuff();
    EXPECT_EQ(editor.begins, (std::vector<std::int32_t>{12}));
    EXPECT_EQ(editor.ends, (std::vector<std::int32_t>{12}));
    EXPECT_EQ(editor.idles, 1);

    headless::setTicks(5000);
    EXPECT_EQ(frame->getTicks(), 5000u);
    CFrame::setGlobalKnobMode(2);
    EXPECT_EQ(frame->getKnobMode(), 2);
    EXPECT_FALSE(frame->updatesDisabled(true));
    EXPECT_TRUE(frame->updatesDisabled(false));
}

TEST_F(FrameTest, ContainerUpdateModesRedrawTheDirtyChildOrEverything)
{
    auto* panel = new gui::CViewContainer(CRect(10, 10, 90, 90), frame);
    frame->addView(panel);
    auto* a = new BoxView(CRect(0, 0, 20, 20), kRed, &log, "a");
    auto* b = new BoxView(CRect(40, 40, 60, 60), kBlue, &log, "b");
    panel->addView(a);
    panel->addView(b);
    paintAll();
    EXPECT_EQ(panel->getMode(), gui::kOnlyDirtyUpdate);

    a->color = kYellow;
    a->setDirty(true);
    const int aDraws = a->draws, bDraws = b->draws;
    frame->idle();
    EXPECT_EQ(a->draws, aDraws + 1);
    EXPECT_EQ(b->draws, bDraws); // only the dirty child
    EXPECT_EQ(windowPixel(15, 15), pixelOf(kYellow));

    panel->setMode(gui::kNormalUpdate);
    a->setDirty(true);
    frame->idle();
    EXPECT_EQ(a->draws, aDraws + 2);
    EXPECT_EQ(b->draws, bDraws + 1); // the whole container
    EXPECT_FALSE(frame->isDirty());
}

class FrameLayerTest : public HeadlessTest {};

// An editor whose frame lives on a layer of its own (as a snapshot's does on the headless
// layer while another editor of the process is on the screen): the window, the mouse, the
// cursor, time and OLE are that layer's, also after the process's default changes. A frame
// that asked the default instead would read another system's mouse in the middle of a drag.
TEST_F(FrameLayerTest, AFrameAsksOnlyTheLayerItsEditorGaveIt)
{
    struct CountingLayer : platform::HeadlessLayer {
        int asked = 0; // questions about the mouse, the cursor and time
        std::int32_t getMouseButtons() override { return ++asked, HeadlessLayer::getMouseButtons(); }
        platform::Point getCursorPosition() override { return ++asked, HeadlessLayer::getCursorPosition(); }
        platform::CursorId getCurrentCursor() override { return ++asked, HeadlessLayer::getCurrentCursor(); }
        std::uint32_t getTicks() override { return ++asked, HeadlessLayer::getTicks(); }
    };
    struct LayerEditor : FakeEditor {
        explicit LayerEditor(platform::WindowLayer& own) : layer(own) {}
        platform::WindowLayer& windowLayer() override { return layer; }
        platform::WindowLayer& layer; // where its frame lives
    };
    CountingLayer layer;
    LayerEditor editor(layer);
    const platform::NativeHandle host = layer.createHost(120, 120, nullptr, "HostWindow", false);
    auto* frame = new CFrame(CRect(0, 0, 100, 100), host, &editor);
    ASSERT_NE(frame->getWindow(), nullptr);
    EXPECT_EQ(frame->getWindow()->layer, &layer);
    EXPECT_EQ(layer.oleCount, 1);
    EXPECT_EQ(headless::oleInitCount(), 0); // the default layer was not asked

    platform::setBackend(platform::Backend::native);
    layer.mouse.position = platform::Point{30, 40};
    layer.mouseScript.push_back(headless::MouseState{platform::Point{30, 40}, platform::kLeftButton});
    CPoint where;
    frame->getCurrentLocation(where);
    gui::CDrawContext* context = frame->createDrawContext();
    EXPECT_EQ(context->getMouseButtons(), platform::kLeftButton);
    context->forget();
    frame->getTicks();
    frame->setCursor(gui::kCursorHand);
    EXPECT_EQ(where, CPoint(30, 40));
    EXPECT_EQ(layer.asked, 4);
    EXPECT_EQ(layer.cursor, layer.getSystemCursor(platform::CursorShape::hand));

    // A popup of a view in the frame is the frame's layer's too.
    auto* menu = new gui::COptionMenu(CRect(0, 0, 40, 20), nullptr, 1, nullptr);
    menu->appendEntry("only");
    frame->addView(menu);
    frame->mouse(nullptr, CPoint(5, 5), gui::kLButton);
    EXPECT_EQ(layer.popups, 1u);

    frame->forget();
    EXPECT_EQ(layer.oleCount, 0);
    EXPECT_TRUE(layer.windows.empty());
    layer.destroyHost(host);
    platform::setBackend(platform::Backend::headless);
}
