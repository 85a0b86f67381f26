// The data of a drag as the toolkit sees it: plain text or a list of files. On Windows the
// platform wraps the OLE data object in one of these; tests make their own. Keeping OLE out
// of the toolkit means no view needs system headers to look at a drag.
//
// Thread: the thread that owns the editor window (OLE calls drop targets there).
#pragma once

#include <cstddef>
#include <cstdint>

namespace gui {

class CDragData {
public:
    virtual ~CDragData() = default;

    // Whether the data offers plain text.
    virtual bool hasText() const = 0;
    // Number of files in the offered file list (0 when there is none or it cannot be read).
    virtual std::int32_t getFileCount() const = 0;
    // Copies the text into buffer (always terminated, cut to fit); false when there is none.
    virtual bool getText(char* buffer, std::size_t size) const = 0;
    // Copies the path of file `index` into buffer (always terminated, cut to fit; shortcuts
    // resolved to their targets where the platform can); false when there is no such file.
    virtual bool getFile(std::int32_t index, char* buffer, std::size_t size) const = 0;
};

} // namespace gui
