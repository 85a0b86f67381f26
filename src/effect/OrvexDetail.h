// Helpers shared by the effect's parts (the parameter router, the program store, the cab
// files): field lengths of a record, one-store access to its values, the cab pairs of links
// and blends.
#pragma once

#include "effect/ProgramRecord.h"

#include <cstddef>
#include <cstring>

namespace orvex::detail {

// A cab counts as having a file when its name has at least this many characters; the
// file-menu and stepping actions ask the same of the folder.
constexpr std::size_t kMinNameLength = 3;

// Length of a text inside a fixed field; a field without terminator counts as full.
inline std::size_t fieldLength(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, 0, size);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size;
}

// Terminates every string field of a record inside its field. A chunk comes from a project
// file of unknown origin; after this every field can be read as an ordinary string.
inline void terminateFields(ProgramRecord& record)
{
    record.name[kProgramNameSize - 1] = 0;
    for (int cab = 0; cab < kNumCabs; ++cab) {
        record.folder[cab][kFolderSize - 1] = 0;
        record.fileName[cab][kFileNameSize - 1] = 0;
    }
}

// A record's parameter value as one store and one load: the host may read the record (it
// is the chunk) on its own thread while an audio thread writes a value into it.
inline void storeRecordValue(float& field, float value)
{
    __atomic_store(&field, &value, __ATOMIC_RELAXED);
}
inline float loadRecordValue(const float& field)
{
    float value;
    __atomic_load(&field, &value, __ATOMIC_RELAXED);
    return value;
}

inline int linkPartner(int cab) { return cab ^ 1; }                  // 0<->1, 2<->3, 4<->5
inline int linkPair(int cab) { return cab / 2; }                     // which "Link IR" flag
inline int blendPartner(int cab) { return cab < 4 ? cab ^ 2 : -1; }  // 0<->2, 1<->3
inline int blendPair(int cab) { return cab & 1; }                    // 0: "Blend IR1&3", 1: "Blend IR2&4"

} // namespace orvex::detail
