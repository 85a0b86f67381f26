// What the effect reads back from its editor at once, kept apart from the views: per cab the
// folder, the stored file index and the file menu's list and current entry. One short lock
// guards it all; nothing slow (no directory search, no drawing) runs under it, but copies
// of the lists do allocate, so only the effect's file threads (its owner, which is also the
// editor's thread, and its loader) ever take it; audio and automation threads never reach
// it. The editor mirrors it into its views on the editor's thread (SDEditor::mirror*).
//
// The menus "exist" only between show() and hide(), like the views they stand for: while
// hidden, the menu operations do nothing, as they would on an editor without a window.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace editor {

class EditorModel {
public:
    static constexpr int kCabs = 6;

    // A cab's menu state as the views show it.
    struct CabView {
        std::vector<std::string> entries; // file names (filled only when they changed)
        bool entriesChanged = false;      // entries holds a new list
        int current = -1;                 // current entry, -1 for none
        bool enabled = false;             // menu and previous/next take mouse input
        std::string label;                // folder label text
    };

    EditorModel();

    // The editor opens (menus empty and disabled) or closes.
    void show();
    void hide();
    bool shown() const;

    // Folder texts and stored file indices; they survive hide().
    void setFolders(const char* const folders[kCabs]);
    void setFileIndices(const std::int32_t indices[kCabs]);
    std::string folder(int cab) const;

    // The menu of cab (0..5) takes these entries, its stored index (the first entry when the
    // index is outside them), input and this label. False while hidden.
    bool fill(int cab, std::vector<std::string> entries, const std::string& label);
    // Empty, disabled, empty label. False while hidden.
    bool clear(int cab);
    // index receives the entry named name (-1 when none), which becomes current if it exists.
    bool select(int cab, const char* name, std::int32_t& index);
    // The current entry's text into name (nameSize bytes, always terminated) and the first
    // position holding that text. Nothing is written when there is no current entry. After
    // choose(), the chosen name instead (once).
    bool selection(int cab, std::int32_t& index, char* name, std::size_t nameSize);
    // Moves to the next (or previous) entry with wrap-around; writes its text and position.
    bool step(int cab, bool next, std::int32_t& index, char* name, std::size_t nameSize);
    // The user chose the entry at index, reading text, in the menu the views show (editor
    // thread). The views may be a step behind the list (another thread refilled it since
    // they were mirrored): the name the user saw is what the next selection() hands out,
    // and it becomes the current entry where the list holds it.
    void choose(int cab, int index, const char* text);
    int current(int cab) const;
    std::vector<std::string> entries(int cab) const;

    // For mirroring: true when cab changed since the last take; fills view.
    bool takeCab(int cab, CabView& view);

private:
    struct Cab {
        char folder[1024] = {};           // the cab's folder as the effect stores it
        std::int32_t fileIndex = 0;       // stored index, selected by the next fill
        std::vector<std::string> entries; // the file menu's entries
        int current = -1;                 // current entry, -1 for none
        bool enabled = false;             // the menu takes input
        std::string label;                // folder label text
        bool changed = false;             // views are behind
        bool entriesChanged = false;      // ... and so is the list itself
        std::string chosen;               // a name the user chose, until the effect reads it
        bool hasChosen = false;           // chosen is waiting
    };

    static bool validCab(int cab) { return cab >= 0 && cab < kCabs; }
    static void copyName(const std::string& text, char* name, std::size_t nameSize);

    mutable std::mutex lock_;     // guards everything below; held only for copies
    bool shown_ = false;          // menus exist (the editor is open)
    Cab cabs_[kCabs];             // cab 1..6
};

} // namespace editor
