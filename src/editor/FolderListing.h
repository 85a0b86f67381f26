// What a cab's file menu and folder label show for a folder: the folder's WAV files and the
// folder's shortened text. Plain functions over the platform's directory search, usable on
// any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace editor {

constexpr std::size_t kPathBufferSize = 1024;  // folder, pattern and shortened-path buffers
constexpr std::size_t kMaxListedEntries = 1024; // a file menu holds at most this many
constexpr std::size_t kMaxListedNameLength = 63; // longest name a cab's record can hold
constexpr std::size_t kShortTailLength = 47;    // longest folder tail the label shows

// folder followed directly by "*.wav" into a kPathBufferSize buffer. False (and an empty
// pattern) when the two do not fit: the search is then not made at all, since a cut pattern
// would search some other folder.
bool buildSearchPattern(const char* folder, char* pattern);

// The entries a cab's file menu lists for a search pattern, in menu order.
std::vector<std::string> listWavFiles(const char* pattern);

// The folder label's text: "...\" and the shortest tail of at most 47 characters that starts
// after a separator. Folders that give no such tail are shown whole.
std::string shortenFolderPath(const char* folder);

} // namespace editor
