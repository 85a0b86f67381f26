// Programs and saved state: the ten records are the effect's working state and its chunk.
#include "effect/Orvex.h"

#include "effect/OrvexDetail.h"
#include "host/HostStrings.h"

#include <cstring>

namespace orvex {

using namespace detail;

void Orvex::setProgram(vst::Int32 program)
{
    if (program < 0 || program >= kNumPrograms)
        return;
    // The index is the host's to read back at once (getProgram answers from program_, not
    // from the base's curProgram); applying it reads files.
    program_.store(program, std::memory_order_release);
    if (onFileThread())
        applyProgram(program);
    else
        postJob(kJobProgram, program);
}

void Orvex::applyProgram(int program)
{
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    // A newer program change may have been asked for while this one waited its turn.
    if (program != getProgramIndex())
        return;
    ProgramRecord& rec = programs_[program];
    terminateFields(rec);
    static const int links[] = {kLink12, kLink34, kLink56, kBlend13, kBlend24};
    // Every value applied below comes from the record as it was when we started. The steps
    // write into the same record as they go (switching a link on copies the working volume
    // of one cab into its partner, before the saved volumes are applied), and reading the
    // live record would bring back those writes instead of what was saved. File names and
    // folders are read live: a link shares them on purpose.
    float saved[kNumStoredParams];
    for (int slot = 0; slot < kNumStoredParams; ++slot)
        saved[slot] = loadRecordValue(rec.values[slot]);
    auto setStored = [&](int index) { setParameter(index, saved[recordSlot(index)]); };

    setStored(kLatency);
    setSampleRate(sampleRate);
    reloadAllCabs();
    for (int index : links)
        setStored(index);
    for (int first : {kVolume, kSolo, kChannel, kPhase, kPan, kFreqHp, kFreqLp, kDelay}) {
        for (int cab = 0; cab < kNumCabs; ++cab)
            setStored(first + cab);
    }
    setStored(kOutput);
    setStored(kOnOff);
    setParameter(kRequestPushFolders, 0.0f);
    for (int cab = 0; cab < kNumCabs; ++cab) {
        char path[kFolderSize];
        if (fieldLength(rec.fileName[cab], kFileNameSize) >= kMinNameLength) {
            if (joinPath(cab, path))
                loadCabIr(cab + 1, path);
            setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));
        } else {
            setParameter(kRequestClearCab, static_cast<float>(cab + 1));
        }
    }
    for (int cab = 0; cab < kNumCabs; ++cab)
        setStored(kBypass + cab);
    for (int index : links)
        setStored(index);
    setStored(kLatency);
}

void Orvex::setProgramName(char* name)
{
    hoststr::copy(record().name, name, kProgramNameSize - 1);
}

void Orvex::getProgramName(char* name)
{
    char copy[kProgramNameSize];
    std::memcpy(copy, record().name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(name, copy, kProgramNameSize - 1);
}

bool Orvex::getProgramNameIndexed(vst::Int32, vst::Int32 index, char* text)
{
    if (index < 0 || index >= kNumPrograms)
        return false;
    char copy[kProgramNameSize];
    std::memcpy(copy, programs_[index].name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(text, copy, kProgramNameSize - 1);
    return true;
}

vst::Int32 Orvex::getChunk(void** data, bool isPreset)
{
    if (isPreset) {
        *data = &record();
        return kPresetChunkSize;
    }
    *data = programs_;
    return kBankChunkSize;
}

vst::Int32 Orvex::setChunk(void* data, vst::Int32 byteSize, bool isPreset)
{
    if (!data || byteSize != (isPreset ? kPresetChunkSize : kBankChunkSize))
        return 0;
    if (onFileThread()) {
        restoreChunk(data, isPreset);
        return 1;
    }
    // A thread that may not read files: the bytes are kept aside (the host may free its
    // copy as soon as we return) and the loader restores them. Only while the loader is
    // copying an earlier chunk out is there no room; the host then hears that this one was
    // not taken. A chunk staged but not yet taken is replaced: the newest restore wins.
    int state = kChunkFree;
    if (!stagedChunkState_.compare_exchange_strong(state, kChunkWriting)) {
        state = kChunkReady;
        if (!stagedChunkState_.compare_exchange_strong(state, kChunkWriting))
            return 0;
    }
    std::memcpy(stagedChunk_.get(), data, static_cast<std::size_t>(byteSize));
    stagedChunkPreset_.store(isPreset ? 1 : 0, std::memory_order_relaxed);
    stagedChunkState_.store(kChunkReady, std::memory_order_release);
    postJob(kJobChunk);
    return 1;
}

void Orvex::applyStagedChunk()
{
    int state = kChunkReady;
    if (!stagedChunkState_.compare_exchange_strong(state, kChunkReading, std::memory_order_acquire))
        return; // an earlier job took the newest chunk already
    restoreChunk(stagedChunk_.get(), stagedChunkPreset_.load(std::memory_order_relaxed) != 0);
    stagedChunkState_.store(kChunkFree, std::memory_order_release);
}

void Orvex::restoreChunk(const void* data, bool isPreset)
{
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    const int program = getProgramIndex();
    if (isPreset) {
        // memmove: a host may hand back the very pointer getChunk gave it.
        std::memmove(&programs_[program], data, kPresetChunkSize);
        terminateFields(programs_[program]);
    } else {
        std::memmove(programs_, data, kBankChunkSize);
        for (auto& rec : programs_)
            terminateFields(rec);
    }
    applyProgram(program);
}

} // namespace orvex
