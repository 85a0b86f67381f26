// The hook through which a test learns which threads touch the disk. The backends report
// every call that opens a file, reads a file's status or lists a folder; nothing is kept
// here, so a module without an observer pays one atomic load per call.
#include "platform/Platform.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<FileSystemObserver> observer{nullptr}; // set by tests, null otherwise

} // namespace

void setFileSystemObserver(FileSystemObserver watcher)
{
    observer.store(watcher, std::memory_order_release);
}

void noteFileSystemCall(FileSystemCall call, const char* path)
{
    if (FileSystemObserver watcher = observer.load(std::memory_order_acquire))
        watcher(call, path);
}

} // namespace platform
