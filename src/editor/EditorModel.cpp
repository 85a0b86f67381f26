#include "editor/EditorModel.h"

#include <cstring>

namespace editor {

EditorModel::EditorModel() = default;

void EditorModel::show()
{
    std::lock_guard<std::mutex> guard(lock_);
    shown_ = true;
    for (Cab& cab : cabs_) {
        cab.entries.clear();
        cab.current = -1;
        cab.enabled = false;
        cab.label.clear();
        // The views start as built (menus empty, folder label showing the raw folder);
        // only what listFolder and the other operations change is mirrored into them.
        cab.changed = false;
        cab.entriesChanged = false;
        cab.hasChosen = false;
    }
}

void EditorModel::hide()
{
    std::lock_guard<std::mutex> guard(lock_);
    shown_ = false;
    for (Cab& cab : cabs_) {
        cab.entries.clear();
        cab.current = -1;
        cab.enabled = false;
        cab.hasChosen = false;
    }
}

bool EditorModel::shown() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return shown_;
}

void EditorModel::setFolders(const char* const folders[kCabs])
{
    std::lock_guard<std::mutex> guard(lock_);
    for (int k = 0; k < kCabs; ++k) {
        if (!folders[k])
            continue;
        const std::size_t length = strnlen(folders[k], sizeof cabs_[k].folder - 1);
        // A text of fewer than 3 characters names no folder: the editor keeps the last one.
        if (length < 3)
            continue;
        std::memset(cabs_[k].folder, 0, sizeof cabs_[k].folder);
        std::memcpy(cabs_[k].folder, folders[k], length);
    }
}

void EditorModel::setFileIndices(const std::int32_t indices[kCabs])
{
    std::lock_guard<std::mutex> guard(lock_);
    for (int k = 0; k < kCabs; ++k)
        cabs_[k].fileIndex = indices[k];
}

std::string EditorModel::folder(int cab) const
{
    if (!validCab(cab))
        return std::string();
    std::lock_guard<std::mutex> guard(lock_);
    return cabs_[cab].folder;
}

bool EditorModel::fill(int cab, std::vector<std::string> entries, const std::string& label)
{
    if (!validCab(cab))
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (!shown_)
        return false;
    Cab& c = cabs_[cab];
    c.entries.swap(entries);
    const std::int32_t stored = c.fileIndex;
    const bool inRange = stored >= 0 && stored < static_cast<std::int32_t>(c.entries.size());
    c.current = c.entries.empty() ? -1 : inRange ? stored : 0;
    c.enabled = true;
    c.label = label;
    c.changed = true;
    c.entriesChanged = true;
    return true;
}

bool EditorModel::clear(int cab)
{
    if (!validCab(cab))
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (!shown_)
        return false;
    Cab& c = cabs_[cab];
    c.entries.clear();
    c.current = -1;
    c.enabled = false;
    c.label.clear();
    c.changed = true;
    c.entriesChanged = true;
    return true;
}

bool EditorModel::select(int cab, const char* name, std::int32_t& index)
{
    if (!validCab(cab) || !name)
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (!shown_)
        return false;
    Cab& c = cabs_[cab];
    index = -1;
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
        if (c.entries[i] == name) {
            index = static_cast<std::int32_t>(i);
            break;
        }
    }
    // A name the menu does not hold leaves the current entry where it was.
    if (index >= 0) {
        c.current = index;
        c.changed = true;
    }
    return true;
}

void EditorModel::copyName(const std::string& text, char* name, std::size_t nameSize)
{
    if (!name || nameSize == 0)
        return;
    const std::size_t n = std::min(text.size(), nameSize - 1);
    std::memcpy(name, text.data(), n);
    name[n] = 0;
}

bool EditorModel::selection(int cab, std::int32_t& index, char* name, std::size_t nameSize)
{
    if (!validCab(cab))
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (!shown_)
        return false;
    Cab& c = cabs_[cab];
    auto positionOf = [&](const std::string& text) {
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            if (c.entries[i] == text)
                return static_cast<std::int32_t>(i);
        }
        return static_cast<std::int32_t>(-1);
    };
    if (c.hasChosen) {
        c.hasChosen = false;
        copyName(c.chosen, name, nameSize);
        index = positionOf(c.chosen);
        return true;
    }
    // Without a current entry (an empty menu a host "chose" from) the cab keeps its file
    // rather than losing its name.
    if (c.current < 0 || c.current >= static_cast<int>(c.entries.size()))
        return true;
    const std::string& text = c.entries[static_cast<std::size_t>(c.current)];
    copyName(text, name, nameSize);
    index = positionOf(text);
    return true;
}

bool EditorModel::step(int cab, bool next, std::int32_t& index, char* name, std::size_t nameSize)
{
    if (!validCab(cab))
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (!shown_)
        return false;
    Cab& c = cabs_[cab];
    const int count = static_cast<int>(c.entries.size());
    int target = next ? c.current + 1 : c.current - 1;
    if (next && target >= count)
        target = 0;
    if (!next && target < 0)
        target = count - 1;
    if (target >= 0 && target < count) {
        c.current = target;
        c.changed = true;
        copyName(c.entries[static_cast<std::size_t>(target)], name, nameSize);
    }
    index = target;
    return true;
}

void EditorModel::choose(int cab, int index, const char* text)
{
    if (!validCab(cab) || !text)
        return;
    std::lock_guard<std::mutex> guard(lock_);
    Cab& c = cabs_[cab];
    if (!shown_ || index < 0)
        return;
    const int count = static_cast<int>(c.entries.size());
    if (index < count && c.entries[static_cast<std::size_t>(index)] == text) {
        c.current = index;
    } else {
        for (int i = 0; i < count; ++i) {
            if (c.entries[static_cast<std::size_t>(i)] == text) {
                c.current = i;
                c.changed = true; // the views show another position for it
                break;
            }
        }
    }
    c.chosen = text;
    c.hasChosen = true;
}

int EditorModel::current(int cab) const
{
    if (!validCab(cab))
        return -1;
    std::lock_guard<std::mutex> guard(lock_);
    return cabs_[cab].current;
}

std::vector<std::string> EditorModel::entries(int cab) const
{
    if (!validCab(cab))
        return {};
    std::lock_guard<std::mutex> guard(lock_);
    return cabs_[cab].entries;
}

bool EditorModel::takeCab(int cab, CabView& view)
{
    if (!validCab(cab))
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    Cab& c = cabs_[cab];
    if (!c.changed)
        return false;
    view.entriesChanged = c.entriesChanged;
    if (c.entriesChanged)
        view.entries = c.entries;
    view.current = c.current;
    view.enabled = c.enabled;
    view.label = c.label;
    c.changed = false;
    c.entriesChanged = false;
    return true;
}

} // namespace editor
