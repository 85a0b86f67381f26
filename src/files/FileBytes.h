// A whole file read into memory at once, so that what is looked at (hashed, compared) and
// what is then parsed are the same bytes, whatever happens to the file meanwhile. Only a
// regular file is opened (see platform::openRegularFile): a FIFO or a device could block
// the reading thread for good or never end.
//
// Not real-time: opens a file and allocates. Any thread.
#pragma once

#include <cstddef>
#include <vector>

namespace files {

enum class FileBytesResult {
    read,       // `bytes` holds the whole file
    unreadable, // missing, not a regular file, a read error or no memory: `bytes` is empty
    tooLarge,   // more than the limit: `bytes` is empty
};

// Reads the file at `path` into `bytes` (replacing what it held), up to `limit` bytes. The
// file is read to its end, whatever its size said when it was opened.
FileBytesResult readFileBytes(const char* path, std::size_t limit, std::vector<unsigned char>& bytes);

} // namespace files
