// What the effect asks of its editor. The effect reaches its window only through this
// interface, so every effect behaviour runs and is tested without one; the editor layer
// implements it.
//
// Threads: setParameter arrives on whichever thread wrote the parameter, audio threads
// included: it must not wait, allocate or take a lock. Every other call comes only from the
// effect's file threads (the thread that owns the effect, or the effect's loader), one at a
// time, and may list folders; an implementation that owns views queues what arrives on a
// thread other than its own.
#pragma once

#include <cstdint>

namespace orvex {

class EditorLink {
public:
    virtual ~EditorLink() = default;

    // Every parameter change ends here (also actions and requests 7777/8888/9999). The
    // editor shows the effect's value of the parameter, never the one sent ("Latency": its
    // menu shows the effect's step).
    virtual void setParameter(int index, float value) = 0;
    // Empties cab (tag 50..55)'s file menu, disables it and its previous/next buttons.
    virtual void clearCabFile(int tag) = 0;
    // Selects the entry named name in cab (tag 50..55)'s menu; index receives it or -1.
    virtual void selectCabFile(const char* name, int tag, std::int32_t& index) = 0;
    // Six folder paths (each a 1024-byte field) and six file indices.
    virtual void setCabFolders(const char* const folders[6]) = 0;
    virtual void setCabFileIndices(const std::int32_t indices[6]) = 0;
    // Current entry of cab (0..5)'s menu: its text into name (a 64-byte field), its position.
    virtual void getCabFileSelection(int cab, std::int32_t& index, char* name) = 0;
    // Steps cab (0..5)'s menu with wrap-around; writes the new entry's text and position.
    virtual void stepCabFileNext(int cab, std::int32_t& index, char* name) = 0;
    virtual void stepCabFilePrevious(int cab, std::int32_t& index, char* name) = 0;
    // Fills cab (tag 50..55)'s file menu from folder's WAV files.
    virtual void listFolder(int tag, const char* folder) = 0;
    // Shows a short text for the user in cab (0..5)'s folder label, until the label next
    // shows a folder. The default ignores it (an editor without labels).
    virtual void showCabNotice(int /*cab*/, const char* /*text*/) {}
};

} // namespace orvex
