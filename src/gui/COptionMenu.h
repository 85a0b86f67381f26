// A text view that shows its current entry and, on a click, opens a popup list of its
// entries; choosing one makes it current and tells the listener (even when it already was).
// Up to 1024 entries of at most 255 characters. Entry texts with a meaning: exactly "-" is a
// separator; "-T" starts a disabled title, "-G" a greyed entry, "-M" a submenu entry (the
// n-th "-M" entry opens the n-th submenu added with addSubmenuEntry); the prefixes are not
// shown in the popup.
//
// Thread: the editor window's thread. The popup is modal: showPopup returns when it closes.
#pragma once

#include "gui/CParamDisplay.h"
#include "platform/WindowLayer.h"

#include <string>
#include <vector>

namespace gui {

class COptionMenu : public CParamDisplay {
public:
    static constexpr std::int32_t kMaxEntries = 1024;   // entries a menu holds at most
    static constexpr std::size_t kMaxEntryLength = 255; // characters kept of an entry text
    static constexpr std::size_t kEntryBufferSize = 256; // buffer for one entry text
    static constexpr std::int32_t kDefaultStyle = kCheckStyle | k3DIn;

    COptionMenu(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background = nullptr,
                std::int32_t style = kDefaultStyle);
    ~COptionMenu() override;

    // Inserts a copy of text (cut to 255 characters) at position, or appends it for a
    // negative or too large position. False when the menu is full or memory runs out.
    virtual bool appendEntry(const char* text, std::int32_t position = -1);
    // Appends "-M" + text and keeps a reference to the submenu.
    virtual bool addSubmenuEntry(COptionMenu* submenu, const char* text);
    // The current entry (-1 for none); its text is copied into text (size bytes, terminated).
    virtual std::int32_t getCurrentIndex(char* text = nullptr, std::size_t textSize = kEntryBufferSize) const;
    // Refuses positions outside the entries and separators.
    virtual bool setCurrentIndex(std::int32_t index);
    virtual bool getEntryText(std::int32_t index, char* text, std::size_t textSize = kEntryBufferSize) const;
    virtual bool setEntryText(std::int32_t index, const char* text);
    virtual bool removeEntry(std::int32_t index);
    virtual bool removeAllEntries();
    virtual std::int32_t getEntryCount() const;
    // First position whose text equals text exactly (letter case counts); -1 when none.
    virtual std::int32_t findEntry(const char* text) const;
    virtual bool setEntryChecked(std::int32_t index, bool checked);
    virtual bool checkOnlyEntry(std::int32_t index);
    virtual bool isEntryChecked(std::int32_t index) const;
    virtual void setItemsPerColumn(std::int32_t count);
    virtual std::int32_t getItemsPerColumn() const;

    // Shows the popup at the view and applies the choice (see the class comment).
    void showPopup(CDrawContext* context);
    // The command number of the last choice (-1 for none) and the menu it belongs to.
    std::int32_t getLastResult() const { return lastResult; }
    COptionMenu* getLastItemMenu(std::int32_t& index) const;
    std::int32_t getLastButton() const { return lastButton; }
    COptionMenu* getSubMenu(std::int32_t index) const;
    std::int32_t getNbSubMenus() const { return static_cast<std::int32_t>(submenus.size()); }

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, const CPoint& where, std::int32_t buttons = -1) override;
    // A value whose integer part is a valid position makes that entry current.
    void setValue(float value) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    void looseFocus(CDrawContext* context = nullptr) override;
    bool isTypeOf(const char* name) const override;

private:
    static bool isSeparator(const std::string& text) { return text == "-"; }
    static bool hasPrefix(const std::string& text, const char* prefix);
    // Appends this menu's items; `next` is the first free command number (advanced past
    // this menu's entries and then its submenus'). depth stops menus that contain themselves.
    void buildItems(std::vector<platform::MenuItem>& items, std::int32_t& next, std::int32_t depth) const;
    // The menu and position a command number belongs to, numbered as buildItems numbers.
    COptionMenu* findItem(std::int32_t number, std::int32_t& next, std::int32_t& position, std::int32_t depth);
    // Screen position of the popup.
    CPoint popupPosition(CDrawContext* context) const;

    std::vector<std::string> entries;     // entry texts, display order
    std::vector<std::uint8_t> checks;     // per-entry check flag
    std::vector<COptionMenu*> submenus;   // referenced submenus, in "-M" entry order
    std::int32_t currentIndex = -1;       // current entry, -1 for none
    std::int32_t lastButton = kRButton;   // buttons of the last click
    std::int32_t itemsPerColumn = -1;     // popup column length, -1 for no breaks
    std::int32_t lastResult = -1;         // command number of the last choice
    COptionMenu* lastMenu = nullptr;      // the menu of the last choice (this or a submenu)
    std::int32_t lastMenuIndex = -1;      // position of the last choice in lastMenu
    bool popupShown = false;              // the popup is open
};

} // namespace gui
