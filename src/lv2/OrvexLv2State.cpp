// The plug-in's LV2 state: the ten program records as the VST2 bank chunk holds them, with
// each cab's file as a path the host maps (so a session moved elsewhere finds its IRs), and
// the current program.
#include "lv2/OrvexLv2.h"

#include "lv2/StateFormat.h"
#include "lv2/WrapperDetail.h"

#include <cstring>
#include <string>
#include <vector>

namespace lv2wrap {

using detail::feature;
using detail::OwnerScope;

LV2_State_Status OrvexLv2::save(LV2_State_Store_Function store, LV2_State_Handle handle,
                                const LV2_Feature* const* features)
{
    if (!effect_)
        return LV2_STATE_ERR_UNKNOWN;
    if (!mapped_)
        return LV2_STATE_ERR_NO_FEATURE;
    const auto* mapPath = static_cast<const LV2_State_Map_Path*>(feature(features, LV2_STATE__mapPath));
    const auto* freePath = static_cast<const LV2_State_Free_Path*>(feature(features, LV2_STATE__freePath));
    // A copy, taken at once: the records are the effect's working state and may change
    // while we write (save may run during run()).
    std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
    void* chunk = nullptr;
    if (effect_->getChunk(&chunk, false) != orvex::kBankChunkSize || !chunk)
        return LV2_STATE_ERR_UNKNOWN;
    std::memcpy(bank.data(), chunk, orvex::kBankChunkSize);
    std::vector<lv2state::CabPath> paths;
    lv2state::takePaths(bank.data(), paths);

    const std::uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    const std::int32_t program = effect_->getProgram() + 1;
    LV2_State_Status status = store(handle, uris_.program, &program, sizeof program, uris_.atomInt, flags);
    if (status == LV2_STATE_SUCCESS)
        status = store(handle, uris_.bank, bank.data(), orvex::kBankChunkSize, uris_.atomChunk, flags);
    for (const lv2state::CabPath& p : paths) {
        if (status != LV2_STATE_SUCCESS)
            break;
        const LV2_URID key = uris_.paths[p.program][p.cab];
        if (!lv2state::isAbsolute(p.path)) {
            status = store(handle, key, p.path.c_str(), static_cast<std::uint32_t>(p.path.size() + 1), uris_.atomString,
                           flags);
            continue;
        }
        char* abstract = mapPath ? mapPath->abstract_path(mapPath->handle, p.path.c_str()) : nullptr;
        const char* stored = abstract ? abstract : p.path.c_str();
        status = store(handle, key, stored, static_cast<std::uint32_t>(std::strlen(stored) + 1), uris_.atomPath, flags);
        if (abstract) {
            if (freePath)
                freePath->free_path(freePath->handle, abstract);
            else
                std::free(abstract);
        }
    }
    return status;
}

LV2_State_Status OrvexLv2::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                   const LV2_Feature* const* features)
{
    if (!effect_)
        return LV2_STATE_ERR_UNKNOWN;
    if (!mapped_)
        return LV2_STATE_ERR_NO_FEATURE;
    const auto* mapPath = static_cast<const LV2_State_Map_Path*>(feature(features, LV2_STATE__mapPath));
    const auto* freePath = static_cast<const LV2_State_Free_Path*>(feature(features, LV2_STATE__freePath));
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t valueFlags = 0;
    const void* bankData = retrieve(handle, uris_.bank, &size, &type, &valueFlags);
    if (!bankData)
        return LV2_STATE_SUCCESS; // a state without our settings (an empty preset) changes nothing
    if (type != uris_.atomChunk || size != static_cast<std::size_t>(orvex::kBankChunkSize))
        return LV2_STATE_ERR_BAD_TYPE; // not ours, or damaged: the effect keeps what it has
    std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
    std::memcpy(bank.data(), bankData, orvex::kBankChunkSize);

    int program = 1;
    if (const void* value = retrieve(handle, uris_.program, &size, &type, &valueFlags)) {
        if (type == uris_.atomInt && size == sizeof(std::int32_t))
            std::memcpy(&program, value, sizeof program);
    }
    if (program < 1 || program > orvex::kNumPrograms)
        program = 1;

    for (int p = 0; p < orvex::kNumPrograms; ++p) {
        for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
            const void* value = retrieve(handle, uris_.paths[p][cab], &size, &type, &valueFlags);
            if (!value || size == 0)
                continue;
            const std::string stored(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), size));
            if (type == uris_.atomString) {
                lv2state::putPath(bank[p], cab, stored);
            } else if (type == uris_.atomPath) {
                char* absolute = mapPath ? mapPath->absolute_path(mapPath->handle, stored.c_str()) : nullptr;
                lv2state::putPath(bank[p], cab, absolute ? std::string(absolute) : stored);
                if (absolute) {
                    if (freePath)
                        freePath->free_path(freePath->handle, absolute);
                    else
                        std::free(absolute);
                }
            }
        }
    }

    {
        // Not during run(): this thread may read the files in line.
        OwnerScope owner(*effect_, owner_);
        effect_->setChunk(bank.data(), orvex::kBankChunkSize, false);
        if (program - 1 != effect_->getProgram())
            effect_->setProgram(program - 1);
    }
    adoptPorts_.store(true, std::memory_order_release);
    notifyAll_.store(true, std::memory_order_release);
    return LV2_STATE_SUCCESS;
}

} // namespace lv2wrap
