// One program of the effect: everything a user sets, in the exact byte layout that is also
// the saved state (a preset chunk is one record, a bank chunk ten records back to back).
// No header, no version: the layout itself is the format, so it must never move. Strings
// are narrow and zero-terminated inside their field; bytes after the terminator do not count.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

constexpr int kNumCabs = 6;
constexpr int kNumStoredParams = 62;
constexpr int kProgramNameSize = 25;   // 24 characters and a terminator
constexpr int kFolderSize = 1024;      // 1023 characters and a terminator
constexpr int kFileNameSize = 64;      // 63 characters and a terminator
constexpr int kNumPrograms = 10;

struct ProgramRecord {
    char name[kProgramNameSize];                // program name
    char folder[kNumCabs][kFolderSize];         // folder of each cab's IR, ends with a separator, or empty
    char fileName[kNumCabs][kFileNameSize];     // IR file name inside that folder, or empty
    char reserved[3];                           // not interpreted
    std::int32_t fileIndex[kNumCabs];           // position of the IR in the cab's file menu
    float values[kNumStoredParams];             // normalised values, in record order (see RecordSlot)

    // A fresh "Init" program: empty paths and the fresh parameter values.
    void makeFresh();
};

static_assert(sizeof(ProgramRecord) == 6828, "the saved state depends on this size");
static_assert(offsetof(ProgramRecord, folder) == 25, "record layout");
static_assert(offsetof(ProgramRecord, fileName) == 6169, "record layout");
static_assert(offsetof(ProgramRecord, reserved) == 6553, "record layout");
static_assert(offsetof(ProgramRecord, fileIndex) == 6556, "record layout");
static_assert(offsetof(ProgramRecord, values) == 6580, "record layout");
static_assert(alignof(ProgramRecord) == 4, "records are laid back to back in a bank");

constexpr int kPresetChunkSize = static_cast<int>(sizeof(ProgramRecord));
constexpr int kBankChunkSize = kPresetChunkSize * kNumPrograms;

// Positions of the stored parameters inside ProgramRecord::values. The record's order is
// not the parameter index order (Solo follows Channel here, for instance).
enum RecordSlot : int {
    kRecPhase = 0,     // 6 values
    kRecVolume = 6,    // 6 values
    kRecPan = 12,      // 6 values
    kRecFreqHp = 18,   // 6 values
    kRecFreqLp = 24,   // 6 values
    kRecBypass = 30,   // 6 values
    kRecDelay = 36,    // 6 values
    kRecChannel = 42,  // 6 values
    kRecSolo = 48,     // 6 values
    kRecOutput = 54,
    kRecLatency = 55,
    kRecOnOff = 56,
    kRecLink12 = 57,
    kRecLink34 = 58,
    kRecLink56 = 59,
    kRecBlend13 = 60,
    kRecBlend24 = 61,
};

} // namespace orvex
