// The ten programs: at once the effect's working state and its saved chunk. The records are
// handed to the host as they are (getChunk), so their bytes are the format (ProgramRecord.h).
//
// Threads. Any thread may write a parameter value into the current record (one store each;
// the host may be reading the chunk meanwhile) and read the current program's index. The
// records' file fields (folder, file name, file index) and whole-record copies belong to the
// effect's file threads (its owner and its loader), which take fileState() around them; a
// chunk that arrives on any other thread is staged here, copied whole, for the loader.
#pragma once

#include "effect/ProgramRecord.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace orvex {

class ProgramStore {
public:
    // Ten fresh "Init" records; program 0 current. Allocates the staging bank.
    ProgramStore();
    ProgramStore(const ProgramStore&) = delete;
    ProgramStore& operator=(const ProgramStore&) = delete;

    // The current program's index (any thread) and its change (the index only: applying it
    // is the effect's program change).
    int current() const { return current_.load(std::memory_order_acquire); }
    void setCurrent(int program) { current_.store(program, std::memory_order_release); }
    ProgramRecord& record() { return records_[current()]; }
    const ProgramRecord& record() const { return records_[current()]; }
    const ProgramRecord& record(int program) const { return records_[program]; }
    ProgramRecord& record(int program) { return records_[program]; }

    // A parameter value into the current record, at its record slot (any thread).
    void storeValue(int slot, float value);
    // The values a program holds now, each read whole (any thread).
    void values(int program, float out[kNumStoredParams]) const;

    // Program names: at most 24 characters, always terminated.
    void setName(const char* name);
    void getName(char* name) const;
    bool getNameIndexed(int program, char* text) const;

    // The chunk a host saves: the current record (a preset) or all ten (a bank), in place.
    int getChunk(void** data, bool isPreset);
    // Whether size is what a chunk of that kind has.
    static bool chunkSizeFits(int size, bool isPreset);
    // A chunk's bytes into the records (a preset: the current one); every text field is
    // terminated inside its field. File threads, under fileState().
    void restore(const void* data, bool isPreset);
    // A chunk that arrived on a thread that may not restore it: copied aside, the newest
    // replacing one not yet taken. False only while the loader is copying an earlier one out.
    bool stage(const void* data, int size, bool isPreset);
    // The loader: restores the staged chunk, if one is waiting; false when none was.
    bool restoreStaged();

    // The cab's folder and file name joined into path (kFolderSize bytes) from the current
    // record; false, with an empty path, when they do not fit. File threads.
    bool joinPath(int cab, char* path) const;

    // Serialises the file threads' work on the records' file fields, the current program's
    // application and the editor's file views. Recursive: an action's own parameter writes
    // come back through the effect's setParameter.
    std::recursive_mutex& fileState() { return fileState_; }

private:
    enum ChunkState : int { kChunkFree, kChunkWriting, kChunkReady, kChunkReading };

    ProgramRecord records_[kNumPrograms];            // the ten programs, also the saved chunk
    std::atomic<int> current_{0};                    // current program
    std::unique_ptr<ProgramRecord[]> staged_;        // a chunk for the loader (bank size)
    std::atomic<int> stagedState_{kChunkFree};       // who has staged_
    std::atomic<int> stagedPreset_{0};               // 1: staged_ holds one preset
    std::recursive_mutex fileState_;                 // see fileState()
};

} // namespace orvex
