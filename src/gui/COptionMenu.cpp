#include "gui/COptionMenu.h"

#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

#include <cmath>
#include <cstring>
#include <new>

namespace gui {

namespace {

constexpr std::int32_t kMaxMenuDepth = 16;  // submenu nesting followed at most
constexpr std::int32_t kColumnBreakLimit = 160; // menus this long get no column breaks

// Copies src into a fixed buffer, cut to fit and always terminated.
void copyText(char* dest, std::size_t destSize, const std::string& src)
{
    if (!dest || destSize == 0)
        return;
    const std::size_t n = src.size() < destSize - 1 ? src.size() : destSize - 1;
    std::memcpy(dest, src.data(), n);
    dest[n] = '\0';
}

std::string cutEntry(const char* text)
{
    if (!text)
        return std::string();
    std::size_t length = 0;
    while (length < COptionMenu::kMaxEntryLength && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

} // namespace

COptionMenu::COptionMenu(const CRect& rect, CControlListener* owner, std::int32_t controlTag, CBitmap* bitmap,
                         std::int32_t menuStyle)
    : CParamDisplay(rect, bitmap, menuStyle)
{
    listener = owner;
    tag = controlTag;
}

COptionMenu::~COptionMenu()
{
    removeAllEntries();
}

bool COptionMenu::hasPrefix(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool COptionMenu::appendEntry(const char* text, std::int32_t position)
{
    const std::int32_t count = getEntryCount();
    if (count >= kMaxEntries)
        return false;
    try {
        // Storage grows in steps of 32 entries.
        if (entries.size() == entries.capacity()) {
            entries.reserve(entries.capacity() + 32);
            checks.reserve(entries.capacity());
        }
        std::string copy = cutEntry(text);
        if (position < 0 || position >= count) {
            entries.push_back(std::move(copy));
            checks.push_back(0);
        } else {
            entries.insert(entries.begin() + position, std::move(copy));
            checks.insert(checks.begin() + position, 0);
            if (currentIndex >= position)
                ++currentIndex;
        }
    } catch (const std::bad_alloc&) {
        // Keep both lists the same length whatever step failed.
        checks.resize(entries.size());
        return false;
    }
    if (currentIndex < 0)
        currentIndex = 0;
    return true;
}

bool COptionMenu::addSubmenuEntry(COptionMenu* submenu, const char* text)
{
    if (!submenu || submenu == this)
        return false;
    std::string entry = "-M" + cutEntry(text);
    if (!appendEntry(entry.c_str()))
        return false;
    try {
        submenus.push_back(submenu);
    } catch (const std::bad_alloc&) {
        removeEntry(getEntryCount() - 1);
        return false;
    }
    submenu->remember();
    return true;
}

std::int32_t COptionMenu::getCurrentIndex(char* text, std::size_t textSize) const
{
    if (currentIndex < 0 || currentIndex >= getEntryCount())
        return -1;
    if (text)
        copyText(text, textSize, entries[static_cast<std::size_t>(currentIndex)]);
    return currentIndex;
}

bool COptionMenu::setCurrentIndex(std::int32_t index)
{
    if (index < 0 || index >= getEntryCount())
        return false;
    if (isSeparator(entries[static_cast<std::size_t>(index)]))
        return false;
    currentIndex = index;
    if (style & kMultipleCheckStyle)
        checks[static_cast<std::size_t>(index)] ^= 1;
    setDirty(true);
    return true;
}

bool COptionMenu::getEntryText(std::int32_t index, char* text, std::size_t textSize) const
{
    if (index < 0 || index >= getEntryCount() || !text)
        return false;
    copyText(text, textSize, entries[static_cast<std::size_t>(index)]);
    return true;
}

bool COptionMenu::setEntryText(std::int32_t index, const char* text)
{
    if (index < 0 || index >= getEntryCount() || !text)
        return false;
    entries[static_cast<std::size_t>(index)] = cutEntry(text);
    return true;
}

bool COptionMenu::removeEntry(std::int32_t index)
{
    if (index < 0 || index >= getEntryCount())
        return false;
    const auto at = static_cast<std::size_t>(index);
    // A submenu entry takes its submenu with it, so later "-M" entries keep theirs.
    if (hasPrefix(entries[at], "-M")) {
        std::size_t sub = 0;
        for (std::size_t i = 0; i < at; ++i)
            if (hasPrefix(entries[i], "-M"))
                ++sub;
        if (sub < submenus.size()) {
            submenus[sub]->forget();
            submenus.erase(submenus.begin() + static_cast<std::ptrdiff_t>(sub));
        }
    }
    entries.erase(entries.begin() + index);
    checks.erase(checks.begin() + index);
    if (currentIndex >= index)
        --currentIndex;
    // The first entry removed while current: the new first entry takes over rather than
    // leaving a menu with entries but nothing current.
    if (currentIndex < 0 && !entries.empty())
        currentIndex = 0;
    if (entries.empty())
        currentIndex = -1;
    setDirty(true);
    return true;
}

bool COptionMenu::removeAllEntries()
{
    entries.clear();
    entries.shrink_to_fit();
    checks.clear();
    checks.shrink_to_fit();
    for (COptionMenu* submenu : submenus)
        submenu->forget();
    submenus.clear();
    currentIndex = -1;
    return true;
}

std::int32_t COptionMenu::getEntryCount() const
{
    return static_cast<std::int32_t>(entries.size());
}

std::int32_t COptionMenu::findEntry(const char* text) const
{
    if (!text)
        return -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == text)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

bool COptionMenu::setEntryChecked(std::int32_t index, bool checked)
{
    if (index < 0 || index >= getEntryCount())
        return false;
    checks[static_cast<std::size_t>(index)] = checked ? 1 : 0;
    return true;
}

bool COptionMenu::checkOnlyEntry(std::int32_t index)
{
    if (index < 0 || index >= getEntryCount())
        return false;
    for (std::size_t i = 0; i < checks.size(); ++i)
        checks[i] = static_cast<std::int32_t>(i) == index ? 1 : 0;
    return true;
}

bool COptionMenu::isEntryChecked(std::int32_t index) const
{
    if (index < 0 || index >= getEntryCount())
        return false;
    return checks[static_cast<std::size_t>(index)] != 0;
}

void COptionMenu::setItemsPerColumn(std::int32_t count)
{
    itemsPerColumn = count;
}

std::int32_t COptionMenu::getItemsPerColumn() const
{
    return itemsPerColumn;
}

COptionMenu* COptionMenu::getLastItemMenu(std::int32_t& index) const
{
    index = lastMenuIndex;
    return lastMenu;
}

COptionMenu* COptionMenu::getSubMenu(std::int32_t index) const
{
    if (index < 0 || index >= getNbSubMenus())
        return nullptr;
    return submenus[static_cast<std::size_t>(index)];
}

void COptionMenu::setValue(float newValue)
{
    // Only values whose integer part names an entry; NaN and far-off values fail the test.
    if (!(newValue > -1.0f) || !(newValue < static_cast<float>(getEntryCount())))
        return;
    const auto index = static_cast<std::int32_t>(newValue);
    currentIndex = index;
    if (style & kMultipleCheckStyle)
        checks[static_cast<std::size_t>(index)] ^= 1;
    value = newValue;
    setDirty(true);
}

void COptionMenu::draw(CDrawContext* context)
{
    const char* text = nullptr;
    if (currentIndex >= 0 && currentIndex < getEntryCount())
        text = entries[static_cast<std::size_t>(currentIndex)].c_str();
    drawText(context, text);
}

void COptionMenu::mouse(CDrawContext* context, const CPoint& /*where*/, std::int32_t buttons)
{
    if (!mouseEnabled || !parentFrame || !context)
        return;
    if (buttons == -1)
        buttons = readMouseButtons(context);
    lastButton = buttons;
    if (listener && (buttons & kAnyModifier)) {
        if (listener->controlModifierClicked(context, this, buttons) != 0)
            return;
    }
    if (!(buttons & (kLButton | kRButton)))
        return;
    beginEdit();
    showPopup(context);
}

void COptionMenu::takeFocus(CDrawContext* context)
{
    // Taking the focus opens the popup; the popup itself hands the focus back.
    if (!popupShown && parentFrame)
        showPopup(context);
}

void COptionMenu::looseFocus(CDrawContext* /*context*/)
{
    // The popup is modal and already closed whenever the focus moves on.
}

CPoint COptionMenu::popupPosition(CDrawContext* context) const
{
    // The window's own screen position is the reliable origin: a context made for the
    // frame's offscreen image knows no window position.
    CPoint origin;
    platform::Window* window = parentFrame ? parentFrame->getWindow() : nullptr;
    if (window) {
        platform::Point p = parentFrame->getWindowLayer().getWindowScreenOrigin(window);
        origin = CPoint(p.x, p.y);
    } else if (context) {
        origin = context->getWindowOrigin();
    }
    CPoint where(size.left, (style & kPopupStyle) ? size.top : size.bottom);
    localToFrame(where);
    where.offset(origin.x, origin.y);
    return where;
}

void COptionMenu::buildItems(std::vector<platform::MenuItem>& items, std::int32_t& next, std::int32_t depth) const
{
    const std::int32_t base = next;
    const std::int32_t count = getEntryCount();
    next += count;
    std::size_t sub = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string& entry = entries[static_cast<std::size_t>(i)];
        platform::MenuItem item;
        item.number = base + i;
        if (isSeparator(entry)) {
            item.separator = true;
        } else if (hasPrefix(entry, "-M")) {
            if (sub >= submenus.size())
                continue; // a submenu entry without its submenu is left out
            const COptionMenu* submenu = submenus[sub++];
            item.text = entry.substr(2);
            if (depth < kMaxMenuDepth)
                submenu->buildItems(item.submenu, next, depth + 1);
            if (item.submenu.empty())
                item.greyed = true; // nothing to open
        } else if (hasPrefix(entry, "-G")) {
            item.text = entry.substr(2);
            item.greyed = true;
        } else if (hasPrefix(entry, "-T")) {
            item.text = entry.substr(2);
            item.disabled = true;
        } else {
            item.text = entry;
            item.checked = ((style & kMultipleCheckStyle) && checks[static_cast<std::size_t>(i)] != 0)
                           || ((style & kCheckStyle) && i == currentIndex);
        }
        if (itemsPerColumn > 0 && count < kColumnBreakLimit && i > 0 && i % itemsPerColumn == 0)
            item.columnBreak = true;
        items.push_back(std::move(item));
    }
}

COptionMenu* COptionMenu::findItem(std::int32_t number, std::int32_t& next, std::int32_t& position, std::int32_t depth)
{
    const std::int32_t base = next;
    const std::int32_t count = getEntryCount();
    next += count;
    if (number >= base && number < base + count) {
        position = number - base;
        return this;
    }
    std::size_t sub = 0;
    for (const std::string& entry : entries) {
        if (!hasPrefix(entry, "-M") || sub >= submenus.size())
            continue;
        COptionMenu* submenu = submenus[sub++];
        if (depth < kMaxMenuDepth) {
            if (COptionMenu* found = submenu->findItem(number, next, position, depth + 1))
                return found;
        }
    }
    return nullptr;
}

void COptionMenu::showPopup(CDrawContext* context)
{
    if (popupShown)
        return;
    lastResult = -1;
    lastMenu = nullptr;
    lastMenuIndex = -1;

    std::vector<platform::MenuItem> items;
    std::int32_t next = 0;
    buildItems(items, next, 0);
    const CPoint where = popupPosition(context);
    platform::Window* window = parentFrame ? parentFrame->getWindow() : nullptr;

    // The listener may do anything, including dropping this menu from the frame.
    remember();
    popupShown = true;
    const std::int32_t chosen =
        windowLayer().showPopupMenu(window, platform::Point{where.x, where.y}, items, (lastButton & kRButton) != 0);
    popupShown = false;

    if (chosen >= 0) {
        std::int32_t first = 0;
        std::int32_t position = -1;
        COptionMenu* menu = findItem(chosen, first, position, 0);
        if (menu) {
            lastResult = chosen;
            lastMenu = menu;
            lastMenuIndex = position;
            menu->setValue(static_cast<float>(position));
            if (listener) {
                CDrawContext* own = nullptr;
                if (!context && parentFrame)
                    context = own = parentFrame->createDrawContext();
                listener->valueChanged(context, menu);
                if (own)
                    own->forget();
            }
        }
    }
    if (parentFrame)
        parentFrame->setFocusView(nullptr);
    endEdit();
    forget();
}

bool COptionMenu::isTypeOf(const char* name) const
{
    return name && (std::strcmp(name, "COptionMenu") == 0 || CParamDisplay::isTypeOf(name));
}

} // namespace gui
