#include "editor/FolderListing.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace editor {

namespace {

bool endsWithWav(const std::string& name)
{
    static const char kExtension[] = ".wav";
    const std::size_t n = sizeof kExtension - 1;
    if (name.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != kExtension[i])
            return false;
    }
    return true;
}

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

} // namespace

bool buildSearchPattern(const char* folder, char* pattern)
{
    static const char kMask[] = "*.wav";
    pattern[0] = 0;
    if (!folder)
        return false;
    const std::size_t length = strnlen(folder, kPathBufferSize);
    if (length + sizeof kMask > kPathBufferSize)
        return false;
    std::memcpy(pattern, folder, length);
    std::memcpy(pattern + length, kMask, sizeof kMask);
    return true;
}

std::vector<std::string> listWavFiles(const char* pattern)
{
    std::vector<std::string> names;
    if (!pattern || !*pattern)
        return names;
    for (const platform::DirectoryEntry& entry : platform::listDirectory(pattern)) {
        // Only files: a sub-folder named like a WAV file is nothing a cab can load.
        // The extension is checked again here because the Windows search also matches
        // "*.wav" against the short names of longer extensions (x.wave).
        // A name longer than the cab's record field is left out: it could be listed but
        // never be stored or loaded, and stepping would stop on it.
        if (entry.isDirectory || !endsWithWav(entry.name) || entry.name.size() > kMaxListedNameLength)
            continue;
        names.push_back(entry.name);
    }
    // One order on every system: the order of names, letter case aside (what NTFS gives
    // anyway; a POSIX directory is unordered, and stepping must not jump about).
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    if (names.size() > kMaxListedEntries)
        names.resize(kMaxListedEntries);
    return names;
}

std::string shortenFolderPath(const char* folder)
{
    if (!folder)
        return std::string();
    const std::string text(folder, strnlen(folder, kPathBufferSize - 1));
    // Both separators count: Windows takes '/' as well, and the Linux build's folders use it.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isSeparator(text[i]) && text.size() - (i + 1) <= kShortTailLength)
            return std::string("...") + text[i] + text.substr(i + 1);
    }
    // No separator, or none followed by a short enough tail (a folder that does not end with
    // a separator, as only a foreign chunk can give): shown whole rather than cut somewhere.
    return text;
}

} // namespace editor
