// The operating system's half of the platform layer on POSIX systems, apart from text and
// the window layer (x11/): resources (the in-process table only), directory listing and
// thread identity.
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// A generated resource table may define this to register its pictures on first use. It
// must be linked as an object of the final program (an archive member would never be pulled
// in by a weak reference); a table that registers from a static initialiser works too.
extern "C" void orvex_register_resources() __attribute__((weak));

namespace platform {

ResourceBytes findModuleResource(const char* type, std::int32_t id)
{
    static std::atomic<bool> builtinsAsked{false};
    if (!builtinsAsked.exchange(true) && orvex_register_resources != nullptr) {
        orvex_register_resources();
        return findResource(type, id);
    }
    return {};
}

namespace {

// '*' any run, '?' any one character; letter case not distinguished (as the Windows search).
bool wildcardMatch(const char* mask, const char* name)
{
    const char* star = nullptr; // last '*' seen in mask
    const char* resume = nullptr; // name position to retry from after that '*'
    while (*name != '\0') {
        if (*mask == '*') {
            star = mask++;
            resume = name;
        } else if (*mask == '?' || std::tolower(static_cast<unsigned char>(*mask))
                                       == std::tolower(static_cast<unsigned char>(*name))) {
            ++mask;
            ++name;
        } else if (star != nullptr) {
            mask = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*mask == '*')
        ++mask;
    return *mask == '\0';
}

} // namespace

std::vector<DirectoryEntry> listDirectory(const char* pattern)
{
    std::vector<DirectoryEntry> result;
    if (pattern == nullptr || *pattern == '\0')
        return result;
    noteFileSystemCall(FileSystemCall::listFolder, pattern);
    // The product's paths use backslashes as separators; here both count.
    std::string text(pattern);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    std::string folder;
    std::string mask = text;
    std::size_t cut = text.find_last_of('/');
    if (cut != std::string::npos) {
        folder = text.substr(0, cut + 1);
        mask = text.substr(cut + 1);
    }
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return result;
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::string(name) == "." || std::string(name) == "..")
            continue;
        if (!wildcardMatch(mask.c_str(), name))
            continue;
        DirectoryEntry e;
        e.name = name;
        struct stat st {};
        std::string full = (folder.empty() ? std::string("./") : folder) + name;
        e.isDirectory = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        result.push_back(std::move(e));
    }
    ::closedir(dir);
    return result;
}

std::FILE* openRegularFile(const char* path)
{
    if (path == nullptr || *path == '\0')
        return nullptr;
    noteFileSystemCall(FileSystemCall::openFile, path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. The type is
    // checked on the descriptor, so nothing can swap the file between check and use.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr)
        ::close(fd);
    return file;
}

bool regularFileStamp(const char* path, FileStamp& stamp)
{
    if (path == nullptr || *path == '\0')
        return false;
    noteFileSystemCall(FileSystemCall::fileStatus, path);
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.written = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    // The status-change time moves on every write, even one that sets the old write time back.
    stamp.changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

std::uint64_t currentThreadId()
{
    // The thread's own handle rather than a thread_local counter: a plug-in module that a
    // host loads and unloads is better off without thread-local storage of its own.
    return static_cast<std::uint64_t>(::pthread_self());
}

void lowerCurrentThreadPriority()
{
#if defined(SCHED_BATCH)
    // A batch thread never preempts the thread that woke it, which a normal one would do
    // as soon as it has slept a while; asking for it needs no privilege.
    sched_param none{};
    ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &none);
#endif
    // On Linux a nice value belongs to a thread, named by its kernel id. Raising it needs
    // no privilege either; failing leaves the thread as it was, which is harmless.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
}

struct Semaphore {
    sem_t sem; // an unnamed process-private semaphore
};

Semaphore* createSemaphore()
{
    auto* semaphore = new (std::nothrow) Semaphore;
    if (semaphore != nullptr && ::sem_init(&semaphore->sem, 0, 0) != 0) {
        delete semaphore;
        return nullptr;
    }
    return semaphore;
}

void destroySemaphore(Semaphore* semaphore)
{
    if (semaphore == nullptr)
        return;
    ::sem_destroy(&semaphore->sem);
    delete semaphore;
}

void postSemaphore(Semaphore* semaphore)
{
    if (semaphore != nullptr)
        ::sem_post(&semaphore->sem); // lock-free; wakes a waiter with a futex call at most
}

bool waitSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs)
{
    if (semaphore == nullptr)
        return false;
    if (timeoutMs == kWaitForever) {
        while (::sem_wait(&semaphore->sem) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }
    timespec until{};
    ::clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (::sem_timedwait(&semaphore->sem, &until) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace platform
