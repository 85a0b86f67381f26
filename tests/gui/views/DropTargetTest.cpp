// The frame window's drop target: drags reach the view under the pointer, a drop never
// reports a move (the source would delete the file), and the drag container is released.
#include "ViewTestSupport.h"

#include "gui/CDragContainer.h"
#include "gui/CDropTarget.h"

using namespace viewtest;
using gui::CDropTarget;
namespace headless = platform::headless;

namespace {

const CColor kRed{255, 0, 0, 255};

class DropTargetTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        host = headless::createHostWindow(200, 200);
        frame = new gui::CFrame(CRect(0, 0, 200, 200), host, nullptr);
        headless::setWindowScreenOrigin(frame->getWindow(), platform::Point{1000, 500});
        box = new BoxView(CRect(10, 10, 50, 50), kRed, &log, "box");
        frame->addView(box);
        target = frame->getDropTarget();
        data.files = {"C:\\IR\\Cabs\\v30.wav"};
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
        if (host)
            headless::destroyHostWindow(host);
        HeadlessTest::TearDown();
    }

    platform::NativeHandle host = nullptr;
    gui::CFrame* frame = nullptr;
    BoxView* box = nullptr;
    CDropTarget* target = nullptr;
    FakeDragData data;
    EventLog log;
};

constexpr std::uint32_t kAllEffects = gui::kDropEffectCopy | gui::kDropEffectMove | gui::kDropEffectLink;

} // namespace

TEST_F(DropTargetTest, TheFrameRegistersItsDropTargetForItsWindow)
{
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(frame->isDropActive());
    EXPECT_EQ(headless::registeredDropTarget(frame->getWindow()), target);
    EXPECT_GE(headless::oleInitCount(), 1);

    EXPECT_TRUE(frame->setDropActive(false));
    EXPECT_EQ(headless::registeredDropTarget(frame->getWindow()), nullptr);
    EXPECT_EQ(frame->getDropTarget(), nullptr);
    EXPECT_TRUE(frame->setDropActive(true));
    EXPECT_NE(headless::registeredDropTarget(frame->getWindow()), nullptr);
}

TEST_F(DropTargetTest, ADropReachesTheViewAndNeverReportsAMove)
{
    std::uint32_t effect = kAllEffects;
    target->dragEnter(&data, 0, CPoint(1020, 520), &effect);
    EXPECT_EQ(effect, gui::kDropEffectMove); // feedback only
    ASSERT_NE(target->getCurrentDrag(), nullptr);
    EXPECT_EQ(target->getCurrentDrag()->getCount(), 1);

    effect = gui::kDropEffectCopy; // a source that offers no move is not shown one
    target->dragOver(0, CPoint(1030, 530), &effect);
    EXPECT_EQ(effect, gui::kDropEffectCopy);

    effect = kAllEffects;
    box->dropAnswer = true; // even a view that takes the drop does not make it a move
    target->drop(&data, 0, CPoint(1030, 530), &effect);
    EXPECT_EQ(effect, gui::kDropEffectNone);
    EXPECT_EQ(target->getCurrentDrag(), nullptr);
    EXPECT_EQ(log, (EventLog{"box enter", "box move", "box drop", "box leave"}));
}

TEST_F(DropTargetTest, LeavingReleasesTheDragContainer)
{
    box->keepDrag = true;
    std::uint32_t effect = kAllEffects;
    target->dragEnter(&data, 0, CPoint(1020, 520), &effect);
    ASSERT_NE(box->keptDrag, nullptr);
    EXPECT_EQ(box->keptDrag->getNbReference(), 2);
    headless::setMouse({platform::Point{1020, 520}, 0});
    target->dragLeave();
    EXPECT_EQ(target->getCurrentDrag(), nullptr);
    EXPECT_EQ(box->keptDrag->getNbReference(), 1); // only the view's own reference is left
    EXPECT_EQ(log, (EventLog{"box enter", "box leave"}));
    box->keptDrag->forget();
    // Calls without a drag in progress change nothing.
    effect = kAllEffects;
    target->dragOver(0, CPoint(1020, 520), &effect);
    EXPECT_EQ(effect, gui::kDropEffectNone);
    target->dragLeave();
}

TEST_F(DropTargetTest, NoDataOrNoFrameMeansNoEffect)
{
    std::uint32_t effect = kAllEffects;
    target->dragEnter(nullptr, 0, CPoint(1020, 520), &effect);
    EXPECT_EQ(effect, gui::kDropEffectNone);
    EXPECT_EQ(target->getCurrentDrag(), nullptr);

    // A target that outlives its frame (OLE may still hold it) answers nothing.
    auto* orphan = new CDropTarget(frame);
    orphan->addRef();
    orphan->frameGone();
    effect = kAllEffects;
    orphan->dragEnter(&data, 0, CPoint(1020, 520), &effect);
    EXPECT_EQ(effect, gui::kDropEffectNone);
    orphan->release();
    EXPECT_TRUE(log.empty());
}

TEST_F(DropTargetTest, ReferenceCountingAndInterfaces)
{
    auto* t = new CDropTarget(frame);
    EXPECT_EQ(t->getRefCount(), 0u);
    void* object = nullptr;
    EXPECT_TRUE(t->queryInterface(gui::CDropInterface::dropTarget, &object));
    EXPECT_EQ(object, t);
    EXPECT_TRUE(t->queryInterface(gui::CDropInterface::unknown, &object));
    EXPECT_EQ(t->getRefCount(), 2u);
    EXPECT_FALSE(t->queryInterface(gui::CDropInterface::other, &object));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(t->getRefCount(), 2u);
    EXPECT_EQ(t->release(), 1u);
    EXPECT_EQ(t->release(), 0u); // deleted here
}

TEST(DragContainer, ItemsAreTextOrFiles)
{
    FakeDragData files;
    files.files = {"a.wav", "b.wav"};
    gui::CDragContainer fileDrag(&files);
    std::int32_t size = 0, type = 0;
    EXPECT_EQ(fileDrag.getCount(), 2);
    EXPECT_STREQ(fileDrag.first(size, type), "a.wav");
    EXPECT_EQ(type, gui::CDragContainer::kFile);
    EXPECT_EQ(size, 5);
    EXPECT_STREQ(fileDrag.next(size, type), "b.wav");
    EXPECT_EQ(fileDrag.next(size, type), nullptr);
    EXPECT_EQ(type, gui::CDragContainer::kUnknown);

    FakeDragData text;
    text.text = "hello";
    text.files = {"ignored.wav"};
    gui::CDragContainer textDrag(&text);
    EXPECT_EQ(textDrag.getCount(), 1);
    EXPECT_STREQ(textDrag.first(size, type), "hello");
    EXPECT_EQ(type, gui::CDragContainer::kText);

    gui::CDragContainer empty(nullptr);
    EXPECT_EQ(empty.getCount(), 0);
    EXPECT_EQ(empty.first(size, type), nullptr);
}

namespace {

// The table OLE sees: IUnknown's three entries, then IDropTarget's four.
using QueryFn = gui::CComResult(ORVEX_COM_CALL*)(void*, const gui::CComGuid&, void**);
using CountFn = gui::CComCount(ORVEX_COM_CALL*)(void*);
using EnterFn = gui::CComResult(ORVEX_COM_CALL*)(void*, void*, std::uint32_t, gui::CComPoint, std::uint32_t*);
using OverFn = gui::CComResult(ORVEX_COM_CALL*)(void*, std::uint32_t, gui::CComPoint, std::uint32_t*);
using LeaveFn = gui::CComResult(ORVEX_COM_CALL*)(void*);

template <typename Fn>
Fn slot(CDropTarget* target, int index)
{
    void** table = *reinterpret_cast<void***>(target);
    return reinterpret_cast<Fn>(table[index]);
}

FakeDragData* nativeSource = nullptr; // what the test factory reads

std::unique_ptr<gui::CDragData> readNative(void* object)
{
    if (object != nativeSource)
        return nullptr;
    auto copy = std::make_unique<FakeDragData>();
    *copy = *nativeSource;
    return copy;
}

} // namespace

TEST_F(DropTargetTest, ItsTableIsTheOleDropTargetTable)
{
    void* self = target;
    const gui::CComGuid iidUnknown{0x00000000u, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const gui::CComGuid iidDropTarget{0x00000122u, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const gui::CComGuid iidOther{0x00000121u, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    void* object = nullptr;
    const std::uint32_t before = target->getRefCount();
    EXPECT_EQ(slot<QueryFn>(target, 0)(self, iidDropTarget, &object), gui::kComOk);
    EXPECT_EQ(object, self);
    EXPECT_EQ(slot<QueryFn>(target, 0)(self, iidUnknown, &object), gui::kComOk);
    EXPECT_EQ(slot<QueryFn>(target, 0)(self, iidOther, &object), gui::kComNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(slot<CountFn>(target, 1)(self), before + 3);
    EXPECT_EQ(slot<CountFn>(target, 2)(self), before + 2);
    slot<CountFn>(target, 2)(self);
    slot<CountFn>(target, 2)(self);

    // A native drag: its data object is read through the installed reader.
    FakeDragData source;
    source.files = {"a.wav", "b.wav"};
    nativeSource = &source;
    CDropTarget::setDragDataFactory(&readNative);
    std::uint32_t effect = kAllEffects;
    EXPECT_EQ(slot<EnterFn>(target, 3)(self, &source, 0, gui::CComPoint{1020, 520}, &effect), gui::kComOk);
    EXPECT_EQ(effect, gui::kDropEffectMove);
    ASSERT_NE(target->getCurrentDrag(), nullptr);
    EXPECT_EQ(target->getCurrentDrag()->getCount(), 2);
    slot<OverFn>(target, 4)(self, 0, gui::CComPoint{1021, 521}, &effect);
    effect = kAllEffects;
    EXPECT_EQ(slot<EnterFn>(target, 6)(self, &source, 0, gui::CComPoint{1021, 521}, &effect), gui::kComOk);
    EXPECT_EQ(effect, gui::kDropEffectNone);
    EXPECT_EQ(log, (EventLog{"box enter", "box move", "box drop", "box leave"}));

    // Without a reader the drag still shows, with no items; leaving ends it.
    CDropTarget::setDragDataFactory(nullptr);
    effect = kAllEffects;
    slot<EnterFn>(target, 3)(self, &source, 0, gui::CComPoint{1020, 520}, &effect);
    ASSERT_NE(target->getCurrentDrag(), nullptr);
    EXPECT_EQ(target->getCurrentDrag()->getCount(), 0);
    headless::setMouse({platform::Point{1020, 520}, 0});
    slot<LeaveFn>(target, 5)(self);
    EXPECT_EQ(target->getCurrentDrag(), nullptr);
    nativeSource = nullptr;
}
