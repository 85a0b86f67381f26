// The LV2 plug-in: a thin wrapper over the Orvex effect, beside the VST2 one (neither knows
// the other). It owns one effect, turns control ports into parameter writes, the cabs' file
// properties (patch:Set of an atom:Path) into file choices carried out in the host's worker,
// the effect's own disk work into work:schedule requests, and the ten programs with their
// files into LV2 state.
//
// Threads, as LV2 defines them:
// - instantiate, restore, cleanup: a non-real-time thread, never during run(). These do
//   their disk work in line (the thread counts as the effect's owner while inside).
// - run: the audio thread. Never touches the disk: what a port change or a property needs
//   from the disk goes to the effect's loader, whose work is scheduled on the host's worker.
// - work: the host's worker thread, the effect's loader thread while inside.
// - save: any non-real-time thread, also during run(); it only copies the records.
// Without a worker (a host that offers none, such as lv2apply) the effect keeps its own
// loader thread, as under VST2, and the cabs' file properties are taken from saved state only.
#pragma once

#include "effect/Orvex.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <memory>
#include <string>

namespace lv2wrap {

class WorkerLoader;

class OrvexLv2 {
public:
    OrvexLv2(double rate, const LV2_Feature* const* features);
    ~OrvexLv2();

    // The effect itself: the UI reads its records through instance-access.
    orvex::Orvex& effect() { return *effect_; }
    bool valid() const { return effect_ != nullptr; }

    void connectPort(std::uint32_t port, void* data);
    void run(std::uint32_t frames);
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle, const LV2_Feature* const* features);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                             const LV2_Feature* const* features);
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle, std::uint32_t size,
                           const void* data);
    LV2_Worker_Status workResponse(std::uint32_t size, const void* data);

private:
    // What run() asks of the worker, and what the worker answers.
    enum WorkKind : std::uint32_t { kDrain = 1, kChoose = 2, kNotifyAll = 3 };
    struct WorkMessage {
        std::uint32_t kind = 0;
        std::int32_t cab = 0;                 // kChoose: 0..5
        char path[orvex::kFolderSize] = {};   // kChoose: the file, zero-terminated
    };
    struct Response {
        std::int32_t cab = 0;                 // 0..5
        char path[orvex::kFolderSize] = {};   // its file now ("" for none)
    };

    void readEvents();
    void readPorts();
    void writeNotifications();
    bool schedule(const WorkMessage& message);
    // The cab's file in the current program, folder and name joined (file threads).
    std::string cabPath(int cab) const;

    std::unique_ptr<orvex::Orvex> effect_;          // the effect
    WorkerLoader* workerLoader_ = nullptr;          // the effect's loader under a host worker, or null
    const LV2_Worker_Schedule* schedule_ = nullptr; // the host's worker, or null
    std::uint64_t owner_ = 0;                       // the effect's owner outside restore(): 0 under a worker
    Uris uris_;                                     // mapped URIDs (when mapped_)
    bool mapped_ = false;                           // the host offered urid:map
    LV2_Atom_Forge forge_{};                        // writes the notify port (audio thread)
    const float* in_[2] = {};                       // audio inputs
    float* out_[2] = {};                            // audio outputs
    const LV2_Atom_Sequence* control_ = nullptr;    // patch messages in
    LV2_Atom_Sequence* notify_ = nullptr;           // patch messages out
    float* latencyOut_ = nullptr;                   // the reported latency
    const float* controls_[lv2port::kNumParameterPorts] = {}; // control inputs
    float lastPort_[lv2port::kNumParameterPorts];   // each control's value last seen (NaN: none yet)
    std::atomic<bool> adoptPorts_{false};           // after a restore: take the ports as they are
    std::atomic<bool> notifyAll_{false};            // after a restore: tell every property
    std::atomic<bool> drainScheduled_{false};       // a kDrain is on its way to the worker
    bool notifyProgram_ = false;                    // tell the program property (audio thread)
    bool pathPending_[orvex::kNumCabs] = {};        // a cab's file to tell (audio thread)
    Response pending_[orvex::kNumCabs];             // what to tell (audio thread)
    std::string notified_[orvex::kNumCabs];         // each cab's file last told (worker)
};

} // namespace lv2wrap
