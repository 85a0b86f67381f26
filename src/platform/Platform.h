// The platform layer's plain functions: text (glyph rendering and measuring), resources,
// directory listing, files and threads. Nothing outside src/platform includes <windows.h>,
// X11 or FreeType.
//
// These are always the operating system's: FreeType + fontconfig and POSIX on Linux, GDI, the
// module's resources and Win32 on Windows. Windows, input, cursors, popups, dialogs and time
// are the window layer's (WindowLayer.h), which a frame chooses for itself.
//
// Threads: any thread may call these. Text and the resource table keep shared state of the
// process under locks of their own (one editor's thread and another drawing a snapshot use
// them at once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------

struct FontRequest {
    const char* face = "";           // face name, matched by the system (fallback: a sans face)
    std::int32_t pixelHeight = 12;   // character height in pixels (the em size)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool decorative = false;         // decorative family (symbol fonts)
};

struct Font; // opaque

// Null on failure.
Font* createFont(const FontRequest& request);
void destroyFont(Font* font);

struct TextExtent {
    std::int32_t width = 0;  // advance width of the whole text, pixels
    std::int32_t height = 0; // line height (ascent + descent), pixels
    std::int32_t ascent = 0; // baseline distance from the top of the line
};
// Measures one line of ANSI text (no prefix processing). Null font or text: all zero.
TextExtent measureText(const Font* font, const char* text);

// Ink of one line of text as coverage: `alpha` holds width x height bytes (0 no ink, 255 full
// ink), row by row from the top. Its top-left pixel lies at (originX, originY) relative to the
// top-left of the text's line box (the box measureText describes); ink may spill past the box.
struct TextMask {
    std::int32_t originX = 0;        // mask left relative to the line box
    std::int32_t originY = 0;        // mask top relative to the line box
    std::int32_t width = 0;          // columns
    std::int32_t height = 0;         // rows
    std::vector<std::uint8_t> alpha; // coverage, width * height
};
// False (and an empty mask) for a null font, null text or a failure.
bool renderText(const Font* font, const char* text, TextMask& mask);

// ---------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------

// Resource types the product uses. "BITMAP" is a Windows device-independent bitmap
// (RT_BITMAP on Windows: a BITMAPINFOHEADER and its pixels; a registered resource of this
// type may also be a whole .bmp file with its "BM" header).
inline constexpr const char* kPngResourceType = "PNG";
inline constexpr const char* kBitmapResourceType = "BITMAP";

struct ResourceBytes {
    const std::uint8_t* data = nullptr; // null when not found
    std::size_t size = 0;               // bytes
};

// Adds a resource to the in-process table (tests register their own). The Linux build's
// generated table either calls this from a static initialiser or defines
// `extern "C" void orvex_register_resources()`, which the first lookup that finds nothing
// calls once; either way its object must be linked into the final binary directly, not
// from an archive. The bytes are not copied and must stay alive. A later
// registration of the same type and id replaces the earlier one. Returns true.
bool registerResource(const char* type, std::int32_t id, const std::uint8_t* bytes, std::size_t size);
// Removes a registration (tests); true when there was one.
bool unregisterResource(const char* type, std::int32_t id);
// Looks in the in-process table first, then (Windows) in the module that contains this code.
ResourceBytes findResource(const char* type, std::int32_t id);

// ---------------------------------------------------------------------------------------
// Files and threads
// ---------------------------------------------------------------------------------------

struct DirectoryEntry {
    std::string name;         // name without folder
    bool isDirectory = false; // a sub-folder whose name matched
};
// Lists the entries matching a wildcard pattern such as "C:\\IRs\\*.wav" (the folder part up to
// the last separator, the mask after it; '*' and '?' wildcards, letter case not distinguished),
// in the order the system returns them. "." and ".." are never listed. A missing folder gives
// an empty list. On POSIX systems a backslash in the folder part counts as a separator.
std::vector<DirectoryEntry> listDirectory(const char* pattern);

// Opens a file for reading raw bytes, but only a regular file, and without ever waiting
// on the opening: a FIFO, a device, a directory or a pipe is refused (null), since a saved
// state or a folder may name one and opening it could block the host's thread for good.
// The caller closes the result with fclose.
std::FILE* openRegularFile(const char* path);

// What tells a file's contents apart without opening it: its size, its last-write time and,
// where the system keeps one, its status-change time (0 elsewhere), each time at the finest
// resolution the system records. A rewrite of the file changes at least one of them.
struct FileStamp {
    std::int64_t size = 0;    // bytes
    std::int64_t written = 0; // last write: ns since the epoch (POSIX), 100 ns ticks (Windows)
    std::int64_t changed = 0; // status change, ns since the epoch (POSIX); 0 on Windows
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && written == o.written && changed == o.changed;
    }
};
// The stamp of a regular file; false, leaving stamp alone, for a missing path or anything
// that is not a regular file (a folder, a FIFO, a device). Never opens the file.
bool regularFileStamp(const char* path, FileStamp& stamp);

// Every call above that reaches the file system (listDirectory, openRegularFile,
// regularFileStamp) is reported, on the calling thread, to the observer set here, if any:
// the suites use it to prove which threads touch the disk. One observer per process; null
// removes it. The observer must be safe to call from any thread.
enum class FileSystemCall { listFolder, openFile, fileStatus };
using FileSystemObserver = void (*)(FileSystemCall call, const char* path);
void setFileSystemObserver(FileSystemObserver observer);
// For the backends: reports one call to the observer.
void noteFileSystemCall(FileSystemCall call, const char* path);

// An identifier of the calling thread, equal for calls from the same thread.
std::uint64_t currentThreadId();

// Lowers the calling thread's scheduling priority below normal, for a worker that a thread
// with a deadline wakes: the woken worker must not take the processor from its waker.
void lowerCurrentThreadPriority();

// A counting semaphore that wakes a worker thread from a thread that must never wait (the
// host's audio thread): posting never blocks and never allocates. Null on failure.
struct Semaphore; // opaque
Semaphore* createSemaphore();
void destroySemaphore(Semaphore* semaphore);
void postSemaphore(Semaphore* semaphore);
// Waits until the count is above zero and takes one, or until timeoutMs have passed
// (kWaitForever: no time limit); true when it took one.
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;
bool waitSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs);

} // namespace platform
