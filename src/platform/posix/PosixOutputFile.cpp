// OutputFile on POSIX systems: the kind of the name decides, from stat(), between writing
// in place and writing aside, and the descriptor opened is checked again with fstat().
#include "platform/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string reason(int code)
{
    return std::strerror(code);
}

// Tells apart the files aside of two outputs written at once by one process.
std::atomic<unsigned> asideCount{0};

// A name for a file beside `target`: hidden, in the same folder (so the move is a rename
// within one file system), and recognisable should a crash leave it behind.
std::string asideName(const std::string& target)
{
    const std::size_t cut = target.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    // Cut short so that a long name plus the suffix stays within the system's name limit.
    const std::string name = target.substr(cut == std::string::npos ? 0 : cut + 1, 64);
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(asideCount++) + ".partial";
}

bool writeAll(int fd, const unsigned char* bytes, std::size_t size, int& code)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            code = errno;
            return false;
        }
        if (done == 0) {
            code = EIO;
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

} // namespace

bool OutputFile::open(const std::string& path, std::string& error)
{
    abandon();
    if (path.empty()) {
        error = "no output file named";
        return false;
    }
    m_path = path;
    if (path == "-") {
        m_kind = Kind::standardOutput;
        m_handle = STDOUT_FILENO;
        return true;
    }
    m_target = path;
    mode_t keepMode = 0;
    bool replacing = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = "cannot write " + path + ": it is a folder";
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            // Opened as it is: no O_CREAT (it exists), no O_TRUNC (a device is not ours to
            // empty), and never moved over.
            const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (fd < 0) {
                error = "cannot open " + path + " for writing: " + reason(errno);
                return false;
            }
            struct stat opened {};
            if (::fstat(fd, &opened) == 0 && !S_ISREG(opened.st_mode)) {
                m_kind = Kind::inPlace;
                m_handle = fd;
                return true;
            }
            // It became a regular file in between: written aside like any other.
            ::close(fd);
        }
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) {
            error = "cannot write " + path + ": " + reason(errno);
            return false;
        }
        m_target = resolved;
        keepMode = st.st_mode & 07777;
        replacing = true;
    } else if (errno != ENOENT) {
        error = "cannot write " + path + ": " + reason(errno);
        return false;
    } else {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) {
            // Renaming over a link to nothing would replace the link, not make its file.
            error = "cannot write " + path + ": it is a symbolic link to a file that does not exist";
            return false;
        }
    }

    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string aside = asideName(m_target);
        const int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            error = "cannot create " + aside + " (to become " + path + "): " + reason(errno);
            return false;
        }
        // The replacement gets the permissions of what it replaces; should that fail it has
        // the usual ones, which loses nothing written.
        if (replacing)
            (void)::fchmod(fd, keepMode);
        m_kind = Kind::aside;
        m_handle = fd;
        m_asidePath = aside;
        return true;
    }
    error = "cannot create a file beside " + path + ": every name tried is taken";
    return false;
}

bool OutputFile::write(const void* data, std::size_t size, std::string& error)
{
    if (m_kind == Kind::none) {
        error = "no output is open";
        return false;
    }
    int code = 0;
    if (!writeAll(static_cast<int>(m_handle), static_cast<const unsigned char*>(data), size, code)) {
        error = "write failed on " + m_path + ": " + reason(code);
        return false;
    }
    return true;
}

bool OutputFile::rewrite(std::uint64_t offset, const void* data, std::size_t size, std::string& error)
{
    if (m_kind != Kind::aside) {
        error = m_path + " cannot be rewritten (it is not a file of ours)";
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t done = ::pwrite(static_cast<int>(m_handle), bytes, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            error = "write failed on " + m_path + ": " + reason(done < 0 ? errno : EIO);
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

bool OutputFile::commit(std::string& error)
{
    const Kind kind = m_kind;
    const int fd = static_cast<int>(m_handle);
    m_kind = Kind::none;
    m_handle = -1;
    switch (kind) {
    case Kind::none:
        error = "no output is open";
        return false;
    case Kind::standardOutput:
        return true;
    case Kind::inPlace:
        // A close can be where a device or a network file system reports a lost write.
        if (::close(fd) != 0) {
            error = "write failed on " + m_path + ": " + reason(errno);
            return false;
        }
        return true;
    case Kind::aside:
        break;
    }
    const bool closed = ::close(fd) == 0;
    const int closeCode = errno;
    if (!closed || ::rename(m_asidePath.c_str(), m_target.c_str()) != 0) {
        const int code = closed ? errno : closeCode;
        error = (closed ? "cannot move " + m_asidePath + " to " + m_target : "write failed on " + m_path) + ": " +
                reason(code);
        ::unlink(m_asidePath.c_str());
        m_asidePath.clear();
        return false;
    }
    m_asidePath.clear();
    return true;
}

void OutputFile::abandon()
{
    if (m_kind == Kind::inPlace || m_kind == Kind::aside)
        ::close(static_cast<int>(m_handle));
    if (m_kind == Kind::aside)
        ::unlink(m_asidePath.c_str());
    m_kind = Kind::none;
    m_handle = -1;
    m_asidePath.clear();
}

} // namespace platform
