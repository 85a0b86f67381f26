#include "gui/CDropTarget.h"

#include "gui/CDragContainer.h"
#include "gui/CDragData.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "platform/WindowLayer.h"

#include <cstring>

namespace gui {

namespace {

// {00000000-0000-0000-C000-000000000046} and {00000122-0000-0000-C000-000000000046}.
constexpr CComGuid kIidUnknown{0x00000000u, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr CComGuid kIidDropTarget{0x00000122u, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

CDragDataFactory dragDataFactory = nullptr; // reader of native data objects, or none

bool sameGuid(const CComGuid& a, const CComGuid& b)
{
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3
           && std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

// The feedback while dragging: a move when the source allows one, else a copy, else none;
// never an effect the source did not offer.
std::uint32_t feedback(std::uint32_t allowed)
{
    if (allowed & kDropEffectMove)
        return kDropEffectMove;
    if (allowed & kDropEffectCopy)
        return kDropEffectCopy;
    return kDropEffectNone;
}

} // namespace

CDropTarget::CDropTarget(CFrame* owner) : frame(owner) {}

CDropTarget::~CDropTarget()
{
    releaseDrag();
}

void CDropTarget::setDragDataFactory(CDragDataFactory factory)
{
    dragDataFactory = factory;
}

CDropInterface CDropTarget::interfaceOf(const CComGuid& iid)
{
    if (sameGuid(iid, kIidUnknown))
        return CDropInterface::unknown;
    if (sameGuid(iid, kIidDropTarget))
        return CDropInterface::dropTarget;
    return CDropInterface::other;
}

// --- the OLE face --------------------------------------------------------------------------------

CComResult ORVEX_COM_CALL CDropTarget::comQueryInterface(const CComGuid& iid, void** object)
{
    if (!object)
        return kComNullPointer;
    return queryInterface(interfaceOf(iid), object) ? kComOk : kComNoInterface;
}

CComCount ORVEX_COM_CALL CDropTarget::comAddRef()
{
    return addRef();
}

CComCount ORVEX_COM_CALL CDropTarget::comRelease()
{
    return release();
}

CComResult ORVEX_COM_CALL CDropTarget::comDragEnter(void* dataObject, std::uint32_t /*keyState*/, CComPoint point,
                                                    std::uint32_t* effect)
{
    if (!dataObject || !frame) {
        if (effect)
            *effect = kDropEffectNone;
        return kComOk;
    }
    releaseDrag();
    // Without a reader the drag still reaches the views, with no items.
    nativeData = dragDataFactory ? dragDataFactory(dataObject) : nullptr;
    beginDrag(nativeData.get(), CPoint(point.x, point.y));
    if (effect)
        *effect = feedback(*effect);
    return kComOk;
}

CComResult ORVEX_COM_CALL CDropTarget::comDragOver(std::uint32_t keyState, CComPoint point, std::uint32_t* effect)
{
    dragOver(keyState, CPoint(point.x, point.y), effect);
    return kComOk;
}

CComResult ORVEX_COM_CALL CDropTarget::comDragLeave()
{
    dragLeave();
    return kComOk;
}

CComResult ORVEX_COM_CALL CDropTarget::comDrop(void* /*dataObject*/, std::uint32_t keyState, CComPoint point,
                                               std::uint32_t* effect)
{
    drop(nullptr, keyState, CPoint(point.x, point.y), effect);
    return kComOk;
}

// --- toolkit face ------------------------------------------------------------------------------

bool CDropTarget::queryInterface(CDropInterface iid, void** object)
{
    if (!object)
        return false;
    if (iid == CDropInterface::unknown || iid == CDropInterface::dropTarget) {
        *object = this;
        addRef();
        return true;
    }
    *object = nullptr;
    return false;
}

std::uint32_t CDropTarget::addRef()
{
    return ++refCount;
}

std::uint32_t CDropTarget::release()
{
    // A release without a reference is a caller's fault; it must not free the object twice.
    if (refCount == 0)
        return 0;
    if (--refCount == 0) {
        delete this;
        return 0;
    }
    return refCount;
}

CPoint CDropTarget::toFrame(const CPoint& screenPoint) const
{
    // The point OLE hands over is where the drag is; it equals the cursor position during a
    // drag, and using it keeps the answer independent of a later cursor read.
    CPoint where = screenPoint;
    if (frame && frame->getWindow()) {
        platform::Point origin = frame->getWindowLayer().getWindowScreenOrigin(frame->getWindow());
        where.offset(-origin.x, -origin.y);
    }
    return where;
}

void CDropTarget::releaseDrag()
{
    if (currentDrag) {
        currentDrag->forget();
        currentDrag = nullptr;
    }
    nativeData.reset();
}

void CDropTarget::beginDrag(CDragData* data, const CPoint& screenPoint)
{
    currentDrag = new CDragContainer(data);
    CDrawContext* context = frame->createDrawContext();
    frame->onDragEnter(context, currentDrag, toFrame(screenPoint));
    if (context)
        context->forget();
}

void CDropTarget::dragEnter(CDragData* data, std::uint32_t /*keyState*/, const CPoint& screenPoint,
                            std::uint32_t* effect)
{
    if (!data || !frame) {
        if (effect)
            *effect = kDropEffectNone;
        return;
    }
    // A previous drag that never got its leave or drop is over now.
    releaseDrag();
    beginDrag(data, screenPoint);
    if (effect)
        *effect = feedback(*effect);
}

void CDropTarget::dragOver(std::uint32_t /*keyState*/, const CPoint& screenPoint, std::uint32_t* effect)
{
    if (!currentDrag || !frame) {
        if (effect)
            *effect = kDropEffectNone;
        return;
    }
    CDrawContext* context = frame->createDrawContext();
    frame->onDragMove(context, currentDrag, toFrame(screenPoint));
    if (context)
        context->forget();
    if (effect)
        *effect = feedback(*effect);
}

void CDropTarget::dragLeave()
{
    if (currentDrag && frame) {
        CPoint where;
        frame->getCurrentLocation(where);
        CDrawContext* context = frame->createDrawContext();
        frame->onDragLeave(context, currentDrag, where);
        if (context)
            context->forget();
    }
    releaseDrag();
}

void CDropTarget::drop(CDragData* /*data*/, std::uint32_t /*keyState*/, const CPoint& screenPoint,
                       std::uint32_t* effect)
{
    if (currentDrag && frame) {
        CDrawContext* context = frame->createDrawContext();
        frame->onDrop(context, currentDrag, toFrame(screenPoint));
        if (context)
            context->forget();
    }
    releaseDrag();
    // Whatever a view did with it, the source must never delete what was dropped.
    if (effect)
        *effect = kDropEffectNone;
}

void CDropTarget::frameGone()
{
    releaseDrag();
    frame = nullptr;
}

} // namespace gui
