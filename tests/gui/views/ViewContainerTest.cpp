// Views and containers: z-order routing of clicks, wheel, keys and drags, references held by
// containers, coordinates of nested containers, and what a container draws.
#include "ViewTestSupport.h"

#include "gui/CDragContainer.h"
#include "gui/CDrawContext.h"
#include "gui/COffscreenContext.h"
#include "gui/CViewContainer.h"
#include "gui/Snapshot.h"

using namespace viewtest;
using gui::CFrame;
using gui::CView;
using gui::CViewContainer;

namespace {

const CColor kRed{255, 0, 0, 255};
const CColor kGreen{0, 255, 0, 255};
const CColor kBlue{0, 0, 255, 255};
const CColor kGrey{90, 90, 90, 255};

// A view that reports its destruction.
class TrackedView : public CView {
public:
    TrackedView(const CRect& r, bool* gone) : CView(r), gone(gone) {}
    ~TrackedView() override { *gone = true; }
    bool* gone; // set when destroyed
};

class ViewContainerTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        frame = new CFrame(CRect(0, 0, 200, 150), nullptr, nullptr);
    }
    void TearDown() override
    {
        frame->forget();
        HeadlessTest::TearDown();
    }
    BoxView* addBox(CViewContainer* parent, const CRect& r, const CColor& c, const char* name)
    {
        auto* box = new BoxView(r, c, &log, name);
        parent->addView(box);
        return box;
    }

    CFrame* frame = nullptr;
    EventLog log;
};

} // namespace

TEST_F(ViewContainerTest, ClickGoesToHighestEnabledChildThatAcceptsIt)
{
    BoxView* low = addBox(frame, CRect(10, 10, 60, 60), kRed, "low");
    BoxView* high = addBox(frame, CRect(40, 40, 90, 90), kGreen, "high");

    frame->mouse(nullptr, CPoint(50, 50), gui::kLButton); // in the overlap
    EXPECT_EQ(high->clicks, 1);
    EXPECT_EQ(low->clicks, 0);

    // Edges count: the right and bottom edge of the lower view, outside the upper one.
    frame->mouse(nullptr, CPoint(60, 20), gui::kLButton);
    frame->mouse(nullptr, CPoint(20, 60), gui::kLButton);
    EXPECT_EQ(low->clicks, 2);
    frame->mouse(nullptr, CPoint(90, 90), gui::kLButton);
    EXPECT_EQ(high->clicks, 2);

    // A disabled view lets the click fall to the one below; nothing below: nobody.
    high->setMouseEnabled(false);
    frame->mouse(nullptr, CPoint(50, 50), gui::kLButton);
    EXPECT_EQ(low->clicks, 3);
    frame->mouse(nullptr, CPoint(80, 80), gui::kLButton);
    EXPECT_EQ(high->clicks, 2);
    EXPECT_EQ(low->clicks, 3);

    // The mouseable area decides, not the drawn rectangle.
    high->setMouseEnabled(true);
    high->setMouseableArea(CRect(80, 80, 90, 90));
    frame->mouse(nullptr, CPoint(50, 50), gui::kLButton);
    EXPECT_EQ(low->clicks, 4);
}

TEST_F(ViewContainerTest, NestedContainersPassPointsInTheirOwnCoordinates)
{
    auto* outer = new CViewContainer(CRect(20, 30, 180, 140), frame);
    frame->addView(outer);
    auto* inner = new CViewContainer(CRect(5, 6, 100, 100), frame);
    outer->addView(inner);
    BoxView* box = addBox(inner, CRect(1, 2, 11, 12), kRed, "box");

    frame->mouse(nullptr, CPoint(20 + 5 + 3, 30 + 6 + 4), gui::kLButton);
    ASSERT_EQ(box->clicks, 1);
    EXPECT_EQ(box->lastClick, CPoint(3, 4));

    CPoint p(28, 40);
    box->frameToLocal(p);
    EXPECT_EQ(p, CPoint(3, 4));
    box->localToFrame(p);
    EXPECT_EQ(p, CPoint(28, 40));

    // The cursor, read by the view, comes out in its parent's coordinates.
    platform::headless::setMouse({platform::Point{35, 45}, 0});
    CPoint where;
    box->getMouseLocation(nullptr, where);
    EXPECT_EQ(where, CPoint(35 - 25, 45 - 36));

    EXPECT_EQ(frame->getViewAt(CPoint(28, 40), false), outer);
    EXPECT_EQ(frame->getViewAt(CPoint(28, 40), true), box);
    EXPECT_EQ(frame->getViewAt(CPoint(150, 130), true), outer); // inside outer, nothing deeper
    EXPECT_EQ(frame->getViewAt(CPoint(5, 5), true), nullptr);
}

TEST_F(ViewContainerTest, ContainerHoldsOneReferenceAndAnswersForTheCreators)
{
    bool goneA = false, goneB = false, goneC = false;
    auto* a = new TrackedView(CRect(0, 0, 10, 10), &goneA);
    auto* b = new TrackedView(CRect(0, 0, 10, 10), &goneB);
    auto* c = new TrackedView(CRect(0, 0, 10, 10), &goneC);
    frame->addView(a);
    frame->addView(a); // twice: still one child, no reference taken
    frame->addView(nullptr);
    frame->addView(b);
    frame->addView(c);
    EXPECT_EQ(frame->getNbViews(), 3);
    EXPECT_EQ(a->getNbReference(), 2);
    EXPECT_EQ(a->getFrame(), frame);
    EXPECT_EQ(frame->getView(0), a);
    EXPECT_EQ(frame->getView(3), nullptr);
    EXPECT_EQ(frame->getView(-1), nullptr);

    frame->removeView(a, true);
    EXPECT_TRUE(goneA);

    frame->removeView(b, false); // the creator's reference stays
    EXPECT_FALSE(goneB);
    EXPECT_EQ(b->getNbReference(), 1);
    EXPECT_EQ(b->getFrame(), nullptr);
    b->forget();
    EXPECT_TRUE(goneB);

    frame->removeAll(true);
    EXPECT_TRUE(goneC);
    EXPECT_EQ(frame->getNbViews(), 0);
}

TEST_F(ViewContainerTest, RemovingTheFocusViewClearsTheFocus)
{
    BoxView* box = addBox(frame, CRect(0, 0, 10, 10), kRed, "box");
    frame->setFocusView(box);
    frame->removeView(box, true);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(ViewContainerTest, WheelGoesToTheViewUnderThePointKeysFromTheTopDown)
{
    auto* inner = new CViewContainer(CRect(100, 100, 200, 150), frame);
    frame->addView(inner);
    BoxView* deep = addBox(inner, CRect(10, 10, 30, 30), kRed, "deep");
    BoxView* low = addBox(frame, CRect(0, 0, 50, 50), kRed, "low");
    BoxView* high = addBox(frame, CRect(20, 20, 70, 70), kGreen, "high");

    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(30, 30), 1.0f));
    EXPECT_EQ(high->wheels, 1);
    EXPECT_EQ(low->wheels, 0);
    EXPECT_EQ(high->lastDistance, 1.0f);

    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(115, 125), -2.0f));
    EXPECT_EQ(deep->wheels, 1);
    EXPECT_EQ(deep->lastWheelAt, CPoint(15, 25));
    EXPECT_FALSE(frame->onWheel(nullptr, CPoint(90, 10), 1.0f));

    // Keys: the highest child first, down until one answers something other than -1.
    gui::CKeyCode key{};
    key.virt = gui::kVKeyLeft;
    low->keyAnswer = 7;
    log.clear();
    EXPECT_EQ(static_cast<CViewContainer*>(frame)->CViewContainer::onKeyDown(key), 7);
    EXPECT_EQ(log, (EventLog{"high key", "low key"}));
    low->keyAnswer = -1;
    EXPECT_EQ(static_cast<CViewContainer*>(frame)->CViewContainer::onKeyDown(key), -1);
}

// Clicks, the wheel and drags find their view by one rule: the last added view that is
// mouse-enabled and has the point in its mouseable area. A disabled view lets all three
// through to the view beneath it, and a modal view takes all three alone, under the point.
TEST_F(ViewContainerTest, WheelAndDragsFindTheirViewAsClicksDo)
{
    BoxView* low = addBox(frame, CRect(10, 10, 60, 60), kRed, "low");
    BoxView* high = addBox(frame, CRect(40, 40, 90, 90), kGreen, "high");
    high->setMouseEnabled(false);
    FakeDragData data;
    auto* drag = new gui::CDragContainer(&data);

    frame->mouse(nullptr, CPoint(50, 50), gui::kLButton);
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(50, 50), 1.0f));
    frame->onDragEnter(nullptr, drag, CPoint(50, 50));
    frame->onDragLeave(nullptr, drag, CPoint(50, 50));
    EXPECT_EQ(frame->getViewAt(CPoint(50, 50)), low);
    EXPECT_EQ(log, (EventLog{"low click", "low enter", "low leave"}));
    EXPECT_EQ(low->wheels, 1);
    EXPECT_EQ(high->wheels, 0);

    auto* modal = new BoxView(CRect(100, 10, 140, 50), kBlue, &log, "modal");
    ASSERT_EQ(frame->setModalView(modal), 1);
    log.clear();
    frame->mouse(nullptr, CPoint(20, 20), gui::kLButton); // on low, beside the modal view
    EXPECT_FALSE(frame->onWheel(nullptr, CPoint(20, 20), 1.0f));
    frame->onDragEnter(nullptr, drag, CPoint(20, 20));
    EXPECT_EQ(frame->getViewAt(CPoint(20, 20)), nullptr);
    frame->onDragMove(nullptr, drag, CPoint(120, 30)); // onto the modal view
    frame->mouse(nullptr, CPoint(120, 30), gui::kLButton);
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(120, 30), 1.0f));
    EXPECT_EQ(log, (EventLog{"modal enter", "modal click"}));
    EXPECT_EQ(modal->lastClick, CPoint(120, 30));
    EXPECT_EQ(modal->wheels, 1);
    EXPECT_EQ(low->wheels, 1);
    frame->onDragLeave(nullptr, drag, CPoint(120, 30));
    frame->setModalView(nullptr);
    modal->forget();
    drag->forget();
}

TEST_F(ViewContainerTest, DragsFollowTheViewUnderThePointer)
{
    addBox(frame, CRect(0, 0, 50, 50), kRed, "a");
    BoxView* b = addBox(frame, CRect(100, 0, 150, 50), kGreen, "b");
    FakeDragData data;
    data.files = {"C:\\IR\\one.wav"};
    auto* drag = new gui::CDragContainer(&data);

    frame->onDragEnter(nullptr, drag, CPoint(10, 10));
    frame->onDragMove(nullptr, drag, CPoint(20, 10));
    frame->onDragMove(nullptr, drag, CPoint(110, 10)); // into b
    frame->onDragMove(nullptr, drag, CPoint(80, 10));  // over nothing
    frame->onDragMove(nullptr, drag, CPoint(120, 10)); // b again
    EXPECT_EQ(frame->getCurrentDragView(), b);
    frame->onDragLeave(nullptr, drag, CPoint(300, 10));
    EXPECT_EQ(frame->getCurrentDragView(), nullptr);
    EXPECT_EQ(log, (EventLog{"a enter", "a move", "a leave", "b enter", "b leave", "b enter", "b leave"}));

    // A drop over another view than the current one: leave, then drop and leave there.
    log.clear();
    b->dropAnswer = true;
    frame->onDragEnter(nullptr, drag, CPoint(10, 10));
    EXPECT_TRUE(frame->onDrop(nullptr, drag, CPoint(110, 10)));
    EXPECT_EQ(log, (EventLog{"a enter", "a leave", "b drop", "b leave"}));
    EXPECT_EQ(frame->getCurrentDragView(), nullptr);
    EXPECT_FALSE(frame->onDrop(nullptr, drag, CPoint(80, 10)));

    // A container outside any frame routes nothing.
    log.clear();
    auto* loose = new CViewContainer(CRect(0, 0, 50, 50), nullptr);
    auto* c = new BoxView(CRect(0, 0, 10, 10), kBlue, &log, "c");
    loose->addView(c);
    loose->onDragEnter(nullptr, drag, CPoint(5, 5));
    EXPECT_FALSE(loose->onDrop(nullptr, drag, CPoint(5, 5)));
    EXPECT_TRUE(log.empty());
    loose->forget();
    drag->forget();
}

TEST_F(ViewContainerTest, TypeNamesAndTheContainerQuestion)
{
    auto* view = new CView(CRect(0, 0, 1, 1));
    auto* container = new CViewContainer(CRect(0, 0, 1, 1), frame);
    EXPECT_TRUE(view->isTypeOf("CView"));
    EXPECT_FALSE(view->isTypeOf("CViewContainer"));
    EXPECT_FALSE(view->isTypeOf(nullptr));
    EXPECT_TRUE(container->isTypeOf("CViewContainer"));
    EXPECT_TRUE(container->isTypeOf("CView"));
    EXPECT_FALSE(container->isTypeOf("CFrame"));
    EXPECT_TRUE(frame->isTypeOf("CFrame"));
    EXPECT_TRUE(frame->isTypeOf("CViewContainer"));
    EXPECT_EQ(view->notify(nullptr, gui::kMsgCheckIfViewContainer), 0);
    EXPECT_EQ(container->notify(nullptr, gui::kMsgCheckIfViewContainer), 1);
    EXPECT_EQ(container->notify(nullptr, "other"), 0);
    view->forget();
    container->forget();
}

TEST_F(ViewContainerTest, DirtyOnlyCountsChildrenInsideTheArea)
{
    auto* inner = new CViewContainer(CRect(0, 0, 50, 50), frame);
    frame->addView(inner);
    BoxView* inside = addBox(inner, CRect(10, 10, 20, 20), kRed, "in");
    BoxView* outside = addBox(inner, CRect(50, 0, 60, 10), kRed, "out"); // touches the edge only
    gui::Snapshot::renderFrame(frame);
    EXPECT_FALSE(inner->isDirty());
    outside->setDirty(true);
    EXPECT_FALSE(inner->isDirty());
    inside->setDirty(true);
    EXPECT_TRUE(inner->isDirty());
    EXPECT_TRUE(frame->isDirty());
}

TEST_F(ViewContainerTest, DrawsBackgroundThenChildrenLowestFirstClippedToTheContainer)
{
    frame->setBackgroundColor(kGrey);
    auto* inner = new CViewContainer(CRect(100, 50, 160, 110), frame);
    inner->setBackgroundColor(kBlue);
    frame->addView(inner);
    addBox(inner, CRect(50, 50, 90, 90), kRed, "spill"); // reaches past the container
    addBox(frame, CRect(10, 10, 40, 40), kRed, "low");
    addBox(frame, CRect(30, 30, 60, 60), kGreen, "high");

    gui::Pixels image = gui::Snapshot::renderFrame(frame);
    EXPECT_EQ(image.getPixel(0, 0), pixelOf(kGrey)); // the background covers the first row
    EXPECT_EQ(image.getPixel(199, 149), pixelOf(kGrey));
    EXPECT_EQ(image.getPixel(35, 35), pixelOf(kGreen)); // later child on top
    EXPECT_EQ(image.getPixel(15, 15), pixelOf(kRed));
    EXPECT_EQ(image.getPixel(100, 50), pixelOf(kBlue));
    EXPECT_EQ(image.getPixel(155, 105), pixelOf(kRed));  // the spilling child inside
    EXPECT_EQ(image.getPixel(160, 105), pixelOf(kGrey)); // and cut at the container's edge
    EXPECT_EQ(image.getPixel(155, 110), pixelOf(kGrey));

    // The same picture through the container's own offscreen image.
    inner->useOffscreen(true);
    EXPECT_EQ(gui::Snapshot::renderFrame(frame).getPixel(155, 105), pixelOf(kRed));
    gui::Pixels viaOffscreen = gui::Snapshot::renderFrame(frame);
    for (std::int32_t y = 0; y < image.getHeight(); ++y)
        for (std::int32_t x = 0; x < image.getWidth(); ++x)
            ASSERT_EQ(viaOffscreen.getPixel(x, y), image.getPixel(x, y)) << x << "," << y;
}

TEST_F(ViewContainerTest, AdvancesFocusThroughNestedContainers)
{
    auto makeFocusable = [&](CViewContainer* parent, const CRect& r, const char* name) {
        BoxView* v = addBox(parent, r, kRed, name);
        v->setWantsFocus(true);
        return v;
    };
    BoxView* first = makeFocusable(frame, CRect(0, 0, 10, 10), "first");
    addBox(frame, CRect(0, 0, 10, 10), kRed, "plain");
    auto* inner = new CViewContainer(CRect(20, 20, 80, 80), frame);
    frame->addView(inner);
    BoxView* nested = makeFocusable(inner, CRect(0, 0, 10, 10), "nested");
    BoxView* last = makeFocusable(frame, CRect(90, 0, 100, 10), "last");

    EXPECT_TRUE(frame->advanceNextFocusView(nullptr, false));
    EXPECT_EQ(frame->getFocusView(), first);
    EXPECT_TRUE(frame->advanceNextFocusView(first, false));
    EXPECT_EQ(frame->getFocusView(), nested);
    EXPECT_TRUE(frame->advanceNextFocusView(nested, false));
    EXPECT_EQ(frame->getFocusView(), last);
    EXPECT_FALSE(frame->advanceNextFocusView(last, false)); // past the end: no focus
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_TRUE(frame->advanceNextFocusView(nullptr, true)); // backwards starts at the top
    EXPECT_EQ(frame->getFocusView(), last);
    EXPECT_TRUE(frame->advanceNextFocusView(last, true));
    EXPECT_EQ(frame->getFocusView(), nested);
}
