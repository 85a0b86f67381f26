#include "effect/ProgramStore.h"

#include "effect/OrvexDetail.h"
#include "vst/HostStrings.h"

#include <cstring>

namespace orvex {

using namespace detail;

ProgramStore::ProgramStore() : staged_(std::make_unique<ProgramRecord[]>(kNumPrograms))
{
    for (auto& rec : records_)
        rec.makeFresh();
}

void ProgramStore::storeValue(int slot, float value)
{
    if (slot >= 0 && slot < kNumStoredParams)
        storeRecordValue(record().values[slot], value);
}

void ProgramStore::values(int program, float out[kNumStoredParams]) const
{
    for (int slot = 0; slot < kNumStoredParams; ++slot)
        out[slot] = loadRecordValue(records_[program].values[slot]);
}

void ProgramStore::setName(const char* name)
{
    hoststr::copy(record().name, name, kProgramNameSize - 1);
}

void ProgramStore::getName(char* name) const
{
    getNameIndexed(current(), name);
}

bool ProgramStore::getNameIndexed(int program, char* text) const
{
    if (program < 0 || program >= kNumPrograms)
        return false;
    char copy[kProgramNameSize];
    std::memcpy(copy, records_[program].name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(text, copy, kProgramNameSize - 1);
    return true;
}

int ProgramStore::getChunk(void** data, bool isPreset)
{
    if (isPreset) {
        *data = &record();
        return kPresetChunkSize;
    }
    *data = records_;
    return kBankChunkSize;
}

bool ProgramStore::chunkSizeFits(int size, bool isPreset)
{
    return size == (isPreset ? kPresetChunkSize : kBankChunkSize);
}

void ProgramStore::restore(const void* data, bool isPreset)
{
    if (isPreset) {
        // memmove: a host may hand back the very pointer getChunk gave it.
        std::memmove(&record(), data, kPresetChunkSize);
        terminateFields(record());
    } else {
        std::memmove(records_, data, kBankChunkSize);
        for (auto& rec : records_)
            terminateFields(rec);
    }
}

bool ProgramStore::stage(const void* data, int size, bool isPreset)
{
    int state = kChunkFree;
    if (!stagedState_.compare_exchange_strong(state, kChunkWriting)) {
        state = kChunkReady;
        if (!stagedState_.compare_exchange_strong(state, kChunkWriting))
            return false;
    }
    std::memcpy(staged_.get(), data, static_cast<std::size_t>(size));
    stagedPreset_.store(isPreset ? 1 : 0, std::memory_order_relaxed);
    stagedState_.store(kChunkReady, std::memory_order_release);
    return true;
}

bool ProgramStore::restoreStaged()
{
    int state = kChunkReady;
    if (!stagedState_.compare_exchange_strong(state, kChunkReading, std::memory_order_acquire))
        return false; // an earlier job took the newest chunk already
    restore(staged_.get(), stagedPreset_.load(std::memory_order_relaxed) != 0);
    stagedState_.store(kChunkFree, std::memory_order_release);
    return true;
}

bool ProgramStore::joinPath(int cab, char* path) const
{
    // Folder and file name joined in a 1024-byte buffer. A join that does not fit is not
    // loaded at all: cutting it would load some other file, or none that the user named.
    const ProgramRecord& rec = record();
    const std::size_t folderLength = fieldLength(rec.folder[cab], kFolderSize);
    const std::size_t nameLength = fieldLength(rec.fileName[cab], kFileNameSize);
    if (folderLength >= kFolderSize || nameLength >= kFileNameSize || folderLength + nameLength > kFolderSize - 1) {
        path[0] = 0;
        return false;
    }
    std::memcpy(path, rec.folder[cab], folderLength);
    std::memcpy(path + folderLength, rec.fileName[cab], nameLength);
    path[folderLength + nameLength] = 0;
    return true;
}

} // namespace orvex
