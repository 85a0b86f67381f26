// OutputFile on Windows: a name is opened as it is first, and what the handle turns out to
// be decides. A device name (NUL, CON, COM1, also inside a folder or with an extension on
// older systems) or a pipe opens as a handle of another type than a disk file and is written
// in place; a disk file is written aside and moved over with MoveFileEx, since a plain
// rename refuses an existing target there.
#include "platform/OutputFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

namespace platform {

namespace {

std::string reason(DWORD code)
{
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof(text), nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(code) : message;
}

HANDLE handleOf(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

// Tells apart the files aside of two outputs written at once by one process.
std::atomic<unsigned> asideCount{0};

// A name for a file beside `target`, in the same folder (so the move stays on one volume) and
// recognisable should a crash leave it behind.
std::string asideName(const std::string& target)
{
    const std::size_t cut = target.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    const std::string name = target.substr(cut == std::string::npos ? 0 : cut + 1, 64);
    return folder + "." + name + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(asideCount++) +
           ".partial";
}

bool writeAll(HANDLE handle, const unsigned char* bytes, std::size_t size, DWORD& code)
{
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(handle, bytes, chunk, &done, nullptr)) {
            code = GetLastError();
            return false;
        }
        if (done == 0) {
            code = ERROR_WRITE_FAULT;
            return false;
        }
        bytes += done;
        size -= done;
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
        // Bytes go to the handle itself, past the C runtime; whatever else reaches standard
        // output through the runtime must not get its line ends translated either.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (out == nullptr || out == INVALID_HANDLE_VALUE) {
            error = "there is no standard output to write to";
            return false;
        }
        m_kind = Kind::standardOutput;
        m_handle = reinterpret_cast<std::intptr_t>(out);
        return true;
    }
    m_target = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    // OPEN_EXISTING neither creates nor truncates: opening only tells what the name is.
    HANDLE existing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        if (GetFileType(existing) != FILE_TYPE_DISK) {
            m_kind = Kind::inPlace;
            m_handle = reinterpret_cast<std::intptr_t>(existing);
            return true;
        }
        CloseHandle(existing);
    }
    // A disk file, a new name, or one we may not open for writing (the move reports that).
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string aside = asideName(path);
        HANDLE file = CreateFileA(aside.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
                continue;
            error = "cannot create " + aside + " (to become " + path + "): " + reason(code);
            return false;
        }
        m_kind = Kind::aside;
        m_handle = reinterpret_cast<std::intptr_t>(file);
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
    DWORD code = 0;
    if (!writeAll(handleOf(m_handle), static_cast<const unsigned char*>(data), size, code)) {
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
    HANDLE file = handleOf(m_handle);
    LARGE_INTEGER end{};
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    const LARGE_INTEGER none{};
    DWORD code = 0;
    // Back to where appending stopped afterwards, so that write() goes on at the end.
    const bool done = SetFilePointerEx(file, none, &end, FILE_CURRENT) && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                      writeAll(file, static_cast<const unsigned char*>(data), size, code) &&
                      SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    if (!done) {
        error = "write failed on " + m_path + ": " + reason(code != 0 ? code : GetLastError());
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error)
{
    const Kind kind = m_kind;
    HANDLE handle = handleOf(m_handle);
    m_kind = Kind::none;
    m_handle = -1;
    switch (kind) {
    case Kind::none:
        error = "no output is open";
        return false;
    case Kind::standardOutput:
        return true;
    case Kind::inPlace:
        CloseHandle(handle);
        return true;
    case Kind::aside:
        break;
    }
    if (!CloseHandle(handle) ||
        !MoveFileExA(m_asidePath.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = "cannot move " + m_asidePath + " to " + m_target + ": " + reason(GetLastError());
        DeleteFileA(m_asidePath.c_str());
        m_asidePath.clear();
        return false;
    }
    m_asidePath.clear();
    return true;
}

void OutputFile::abandon()
{
    if (m_kind == Kind::inPlace || m_kind == Kind::aside)
        CloseHandle(handleOf(m_handle));
    if (m_kind == Kind::aside)
        DeleteFileA(m_asidePath.c_str());
    m_kind = Kind::none;
    m_handle = -1;
    m_asidePath.clear();
}

} // namespace platform
