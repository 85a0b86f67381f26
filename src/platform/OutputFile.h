// Writing a file whose name a user or a host handed us (a rendered WAV, a saved chunk, a
// picture) without ever replacing something that is not ours to replace.
//
// - A regular file, or a name that does not exist yet, is written to a new file beside it and
//   moved over the name only once complete: an earlier file of that name survives any failure,
//   and the output may name the input. A symbolic link is followed: the file it names is
//   replaced and the link stays. An existing file keeps its permission bits.
// - Anything else that exists (a character device such as /dev/null or NUL, a FIFO, a pipe) is
//   opened as it is and written in place: never created, truncated, removed or renamed over.
//   Running as root, renaming a temporary file over /dev/null would turn the machine's null
//   device into a regular file.
// - "-" is the process's standard output (raw bytes on Windows).
//
// What goes in place cannot be taken back, so a caller that must seek should ask canRewrite().
// Its own library (orvex_output), so that the orvex host, which links nothing else of the
// platform layer, shares it with the plug-in. Any thread may use an OutputFile of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { abandon(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `path` for writing as described above. A FIFO waits here for its reader, as a
    // shell's redirection does. False with a reason in `error` (a folder, a missing folder, no
    // permission).
    bool open(const std::string& path, std::string& error);

    // Appends `size` bytes.
    bool write(const void* data, std::size_t size, std::string& error);

    // Whether the bytes go to a file of our own beside the name, which rewrite() can change.
    bool canRewrite() const { return m_kind == Kind::aside; }

    // Overwrites bytes already written, from `offset` on; only where canRewrite().
    bool rewrite(std::uint64_t offset, const void* data, std::size_t size, std::string& error);

    // Completes the output: closes it and moves a file written aside into place. On failure the
    // file aside is removed and the name keeps what it had.
    bool commit(std::string& error);

    // Gives up an unfinished output: a file aside is removed; a device or a stream keeps what
    // it received and is only closed.
    void abandon();

    const std::string& path() const { return m_path; }

private:
    enum class Kind {
        none,           // nothing open
        standardOutput, // "-": the process's standard output, never closed here
        inPlace,        // an existing device, FIFO or pipe, written where it is
        aside,          // a file of our own beside the name, moved over it by commit()
    };

    Kind m_kind = Kind::none;     // what is open
    std::intptr_t m_handle = -1;  // the descriptor (POSIX) or HANDLE (Windows); -1 for none
    std::string m_path;           // the name as given, for messages
    std::string m_target;         // the file that commit() replaces (a link's target resolved)
    std::string m_asidePath;      // the file being written beside m_target
};

// Writes `size` bytes as the whole content of `path`, the way OutputFile does.
inline bool writeOutputFile(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    OutputFile file;
    return file.open(path, error) && file.write(data, size, error) && file.commit(error);
}

} // namespace platform
