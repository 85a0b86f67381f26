#include "gui/CDragContainer.h"

#include "gui/CDragData.h"

#include <cstring>

namespace gui {

CDragContainer::CDragContainer(CDragData* dragData) : data(dragData)
{
    if (!data)
        return;
    if (data->hasText()) {
        isText = true;
        itemCount = 1;
    } else {
        const std::int32_t files = data->getFileCount();
        itemCount = files > 0 ? files : 0;
    }
}

CDragContainer::~CDragContainer() = default;

const char* CDragContainer::first(std::int32_t& size, std::int32_t& type)
{
    nextItem = 0;
    return next(size, type);
}

const char* CDragContainer::next(std::int32_t& size, std::int32_t& type)
{
    size = 0;
    type = kUnknown;
    item[0] = '\0';
    if (!data || nextItem >= itemCount)
        return nullptr;
    const std::int32_t index = nextItem++;
    const bool ok = isText ? data->getText(item, sizeof item) : data->getFile(index, item, sizeof item);
    item[sizeof item - 1] = '\0';
    if (!ok)
        return nullptr;
    size = static_cast<std::int32_t>(std::strlen(item));
    type = isText ? kText : kFile;
    return item;
}

std::int32_t CDragContainer::getType(std::int32_t index) const
{
    if (index < 0 || index >= itemCount)
        return kUnknown;
    return isText ? kText : kFile;
}

} // namespace gui
