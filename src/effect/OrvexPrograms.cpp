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
    curProgram = program;
    ProgramRecord& record = programs_[curProgram];
    terminateFields(record);
    static const int links[] = {kLink12, kLink34, kLink56, kBlend13, kBlend24};
    // Every value applied below comes from the record as it was when we started. The steps
    // write into the same record as they go (switching a link on copies the working volume
    // of one cab into its partner, before the saved volumes are applied), and reading the
    // live record would bring back those writes instead of what was saved. File names and
    // folders are read live: a link shares them on purpose.
    const ProgramRecord saved = record;
    auto setStored = [&](int index) { setParameter(index, saved.values[recordSlot(index)]); };

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
        if (fieldLength(record.fileName[cab], kFileNameSize) >= kMinNameLength) {
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
    hoststr::copy(programs_[curProgram].name, name, kProgramNameSize - 1);
}

void Orvex::getProgramName(char* name)
{
    char copy[kProgramNameSize];
    std::memcpy(copy, programs_[curProgram].name, kProgramNameSize);
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
        *data = &programs_[curProgram];
        return kPresetChunkSize;
    }
    *data = programs_;
    return kBankChunkSize;
}

vst::Int32 Orvex::setChunk(void* data, vst::Int32 byteSize, bool isPreset)
{
    if (!data)
        return 0;
    if (isPreset) {
        if (byteSize != kPresetChunkSize)
            return 0;
        // memmove: a host may hand back the very pointer getChunk gave it.
        std::memmove(&programs_[curProgram], data, kPresetChunkSize);
        terminateFields(programs_[curProgram]);
    } else {
        if (byteSize != kBankChunkSize)
            return 0;
        std::memmove(programs_, data, kBankChunkSize);
        for (auto& record : programs_)
            terminateFields(record);
    }
    setProgram(curProgram);
    return 1;
}

} // namespace orvex
