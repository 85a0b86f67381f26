// The operating system's half of the platform layer on Windows, apart from text and the
// window layer: the module's resources, directory search and thread identity.
#include "platform/Platform.h"
#include "platform/win32/Win32Layer.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstring>
#include <new>

namespace platform {

WindowLayer& nativeLayer()
{
    static Win32Layer layer;
    return layer;
}

// The module that contains this code: the plug-in DLL (or a test program), not the host.
HMODULE ownModule()
{
    static HMODULE module = [] {
        HMODULE m = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCSTR>(&ownModule), &m))
            m = GetModuleHandleA(nullptr);
        return m;
    }();
    return module;
}

ResourceBytes findModuleResource(const char* type, std::int32_t id)
{
    HMODULE module = ownModule();
    if (id < 0 || id > 0xFFFF)
        return {}; // integer resource IDs are 16-bit
    LPCSTR kind = std::strcmp(type, kBitmapResourceType) == 0 ? RT_BITMAP : type;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), kind);
    if (found == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return {};
    return ResourceBytes{static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found)};
}

std::vector<DirectoryEntry> listDirectory(const char* pattern)
{
    std::vector<DirectoryEntry> result;
    if (pattern == nullptr || *pattern == '\0')
        return result;
    noteFileSystemCall(FileSystemCall::listFolder, pattern);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return result;
    do {
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
            continue;
        DirectoryEntry e;
        e.name = data.cFileName;
        e.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        result.push_back(std::move(e));
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return result;
}

std::FILE* openRegularFile(const char* path)
{
    if (path == nullptr || *path == '\0')
        return nullptr;
    noteFileSystemCall(FileSystemCall::openFile, path);
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open; a device name ("CON",
    // "COM1") or a pipe opens as a handle of another type and is refused by its type.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (file == nullptr)
        _close(fd); // closes the handle too
    return file;
}

bool regularFileStamp(const char* path, FileStamp& stamp)
{
    if (path == nullptr || *path == '\0')
        return false;
    noteFileSystemCall(FileSystemCall::fileStatus, path);
    // The attributes come from the folder entry: nothing is opened, so a pipe or a device
    // name cannot block. Those have no attributes of a file on disk, and a folder is refused.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    stamp.written = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32)
                                              | data.ftLastWriteTime.dwLowDateTime);
    stamp.changed = 0;
    return true;
}

std::uint64_t currentThreadId() { return GetCurrentThreadId(); }

void lowerCurrentThreadPriority()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

struct Semaphore {
    HANDLE handle; // a kernel semaphore object
};

Semaphore* createSemaphore()
{
    HANDLE handle = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
    if (handle == nullptr)
        return nullptr;
    auto* semaphore = new (std::nothrow) Semaphore{handle};
    if (semaphore == nullptr)
        CloseHandle(handle);
    return semaphore;
}

void destroySemaphore(Semaphore* semaphore)
{
    if (semaphore == nullptr)
        return;
    CloseHandle(semaphore->handle);
    delete semaphore;
}

void postSemaphore(Semaphore* semaphore)
{
    if (semaphore != nullptr)
        ReleaseSemaphore(semaphore->handle, 1, nullptr);
}

bool waitSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs)
{
    const DWORD limit = timeoutMs == kWaitForever ? INFINITE : timeoutMs;
    return semaphore != nullptr && WaitForSingleObject(semaphore->handle, limit) == WAIT_OBJECT_0;
}

} // namespace platform
