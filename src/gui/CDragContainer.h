// What a view sees of something dragged over the editor: the drag's data and its items
// (one text, or the files of a file list), read one after the other with first()/next().
// Created by the drop target when a drag enters and released when it leaves or drops.
//
// Thread: the editor window's thread. Reference counted (created with one reference).
#pragma once

#include "gui/CReferenceCounter.h"

#include <cstdint>

namespace gui {

class CDragData;

class CDragContainer : public CReferenceCounter {
public:
    enum ItemType : std::int32_t {
        kFile = 0,
        kText,
        kUnknown = -1,
    };

    // data: the drag's data, not owned; it outlives the container (the drag holds it).
    // A null data object gives a container without items.
    explicit CDragContainer(CDragData* data);
    ~CDragContainer() override;

    CDragData* getPlatformDrag() const { return data; }
    // Items: 1 for text, else the number of files offered.
    std::int32_t getCount() const { return itemCount; }
    // The first / next item: its text or path (valid until the next call), its length in
    // `size` and its kind in `type`; null (size 0, kUnknown) when there is none left.
    const char* first(std::int32_t& size, std::int32_t& type);
    const char* next(std::int32_t& size, std::int32_t& type);
    // The kind of item `index` (kUnknown out of range).
    std::int32_t getType(std::int32_t index) const;

private:
    static constexpr std::size_t kItemBufferSize = 1024; // longest item path + terminator

    CDragData* data = nullptr;       // the drag's data, not owned
    std::int32_t itemCount = 0;      // items offered
    std::int32_t nextItem = 0;       // index of the item next() reads
    bool isText = false;             // the single item is text
    char item[kItemBufferSize] = {}; // the current item's text or path
};

} // namespace gui
