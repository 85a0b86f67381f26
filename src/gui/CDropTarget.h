// The object registered with the platform as the frame window's drop target. On Windows the
// platform hands it to OLE as an IDropTarget, so its virtual functions are exactly the seven
// of IUnknown + IDropTarget, in their order and calling convention, and nothing else is
// virtual (no virtual destructor: it would shift the table). The same drag calls are offered
// with toolkit types for everything else (tests, other platforms).
//
// It keeps a COM-style reference count starting at 0, answers the interface query for
// IUnknown and IDropTarget only, and hands each drag to the frame's view tree: enter, move,
// leave and drop at the pointer's position in frame coordinates.
//
// No view of this system takes a drop, and a "move" answer to a drop would tell the source to
// delete the dragged file, so a drop always answers "none". While dragging, the feedback is a
// move when the source allows one.
//
// Thread: the thread that owns the editor window (OLE calls drop targets there).
#pragma once

#include "gui/CGeometry.h"

#include <cstdint>
#include <memory>

#if defined(_WIN32) && !defined(_WIN64)
#define ORVEX_COM_CALL __stdcall
#else
#define ORVEX_COM_CALL
#endif

namespace gui {

class CDragContainer;
class CDragData;
class CFrame;

// Drop effects (the OLE DROPEFFECT values).
enum CDropEffect : std::uint32_t {
    kDropEffectNone = 0,
    kDropEffectCopy = 1,
    kDropEffectMove = 2,
    kDropEffectLink = 4,
};

// Interfaces an interface query can ask for.
enum class CDropInterface {
    unknown,    // IUnknown
    dropTarget, // IDropTarget
    other,      // anything else: refused
};

// The OLE types of the drop target's table, as the Windows ABI lays them out.
struct CComGuid {
    std::uint32_t data1;   // first group
    std::uint16_t data2;   // second group
    std::uint16_t data3;   // third group
    std::uint8_t data4[8]; // last two groups
};
struct CComPoint {
    std::int32_t x; // screen column
    std::int32_t y; // screen row
};
using CComResult = std::int32_t; // HRESULT
#ifdef _WIN32
using CComCount = unsigned long; // ULONG: 32 bits on Windows
#else
using CComCount = std::uint32_t;
#endif

inline constexpr CComResult kComOk = 0;
inline constexpr CComResult kComNoInterface = static_cast<CComResult>(0x80004002u);
inline constexpr CComResult kComNullPointer = static_cast<CComResult>(0x80004003u);

// Turns the platform's data object of a drag into the toolkit's view of it (null when it
// cannot be read). Installed by whoever can read that platform's data objects; without one,
// native drags carry no items.
using CDragDataFactory = std::unique_ptr<CDragData> (*)(void* nativeDataObject);

class CDropTarget final {
public:
    explicit CDropTarget(CFrame* frame);
    CDropTarget(const CDropTarget&) = delete;
    CDropTarget& operator=(const CDropTarget&) = delete;

    // --- the OLE face (IUnknown, IDropTarget), in table order --------------------------------
    virtual CComResult ORVEX_COM_CALL comQueryInterface(const CComGuid& iid, void** object);
    virtual CComCount ORVEX_COM_CALL comAddRef();
    virtual CComCount ORVEX_COM_CALL comRelease();
    virtual CComResult ORVEX_COM_CALL comDragEnter(void* dataObject, std::uint32_t keyState, CComPoint point,
                                                   std::uint32_t* effect);
    virtual CComResult ORVEX_COM_CALL comDragOver(std::uint32_t keyState, CComPoint point, std::uint32_t* effect);
    virtual CComResult ORVEX_COM_CALL comDragLeave();
    virtual CComResult ORVEX_COM_CALL comDrop(void* dataObject, std::uint32_t keyState, CComPoint point,
                                              std::uint32_t* effect);

    // --- the same with toolkit types -------------------------------------------------------------
    // Answers itself (adding a reference) for IUnknown and IDropTarget; null otherwise.
    // True when the interface is offered.
    bool queryInterface(CDropInterface iid, void** object);
    std::uint32_t addRef();
    // The release that brings the count to 0 deletes the object.
    std::uint32_t release();
    std::uint32_t getRefCount() const { return refCount; }

    // The four drag calls. screenPoint: the pointer in screen coordinates; effect: in, the
    // effects the source allows; out, the effect reported. A null data object is no drag.
    void dragEnter(CDragData* data, std::uint32_t keyState, const CPoint& screenPoint, std::uint32_t* effect);
    void dragOver(std::uint32_t keyState, const CPoint& screenPoint, std::uint32_t* effect);
    void dragLeave();
    void drop(CDragData* data, std::uint32_t keyState, const CPoint& screenPoint, std::uint32_t* effect);

    // The drag in progress, or null.
    CDragContainer* getCurrentDrag() const { return currentDrag; }
    // The frame is going away: later calls answer "no effect". Releases a drag in progress.
    void frameGone();

    static void setDragDataFactory(CDragDataFactory factory);
    static CDropInterface interfaceOf(const CComGuid& iid);

private:
    ~CDropTarget(); // only release() deletes
    // The pointer in frame coordinates.
    CPoint toFrame(const CPoint& screenPoint) const;
    void beginDrag(CDragData* data, const CPoint& screenPoint);
    void releaseDrag();

    std::uint32_t refCount = 0;              // COM-style references
    CFrame* frame = nullptr;                 // the frame served, not owned; null once it is gone
    // One drag at a time: OLE runs a drag as one modal loop, so a current container per
    // target is the process's only one, without a global that a second editor would share.
    CDragContainer* currentDrag = nullptr;   // the drag in progress (one reference), or null
    std::unique_ptr<CDragData> nativeData;   // reader of a native drag's data object, or null
};

} // namespace gui
