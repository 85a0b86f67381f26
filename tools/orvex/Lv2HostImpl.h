// The inside of Lv2Host, shared by its two files (Lv2Host.cpp: loading, ports, running;
// Lv2HostState.cpp: state, Orvex's bank and the editor's picture).
#pragma once

#include "Lv2Host.h"

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace cli {

namespace lv2host {

inline constexpr std::size_t kAtomCapacity = 65536;

// lilv nodes freed with their owner.
struct Node {
    LilvNode* node;
    explicit Node(LilvNode* n) : node(n) {}
    ~Node() { lilv_node_free(node); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    operator const LilvNode*() const { return node; }
};

inline std::string text(const LilvNode* node)
{
    return node ? std::string(lilv_node_as_string(node)) : std::string();
}

} // namespace lv2host

struct Lv2Host::Impl {
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    double rate = 44100.0;
    int blockSize = 512;
    bool active = false;

    // urid:map and unmap.
    std::unordered_map<std::string, LV2_URID> ids;
    std::vector<std::string> uris{""};
    LV2_URID_Map map{this, &Impl::mapUri};
    LV2_URID_Unmap unmap{this, &Impl::unmapUri};
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri)
    {
        Impl* self = static_cast<Impl*>(handle);
        auto found = self->ids.find(uri);
        if (found != self->ids.end())
            return found->second;
        const LV2_URID id = static_cast<LV2_URID>(self->uris.size());
        self->uris.emplace_back(uri);
        self->ids.emplace(uri, id);
        return id;
    }
    static const char* unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID id)
    {
        Impl* self = static_cast<Impl*>(handle);
        return id < self->uris.size() ? self->uris[id].c_str() : nullptr;
    }
    LV2_URID id(const char* uri) { return mapUri(this, uri); }

    // The worker: work scheduled in run() is carried out after it, answers before the next.
    std::deque<std::vector<unsigned char>> work, answers;
    LV2_Worker_Schedule schedule{this, &Impl::scheduleWork};
    const LV2_Worker_Interface* worker = nullptr;
    static LV2_Worker_Status scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data)
    {
        auto* bytes = static_cast<const unsigned char*>(data);
        static_cast<Impl*>(handle)->work.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
    {
        auto* bytes = static_cast<const unsigned char*>(data);
        static_cast<Impl*>(handle)->answers.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }

    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[4] = {&mapFeature, &unmapFeature, &scheduleFeature, nullptr};

    // Port buffers.
    std::vector<float> controls;                 // one per port (controls only use theirs)
    std::vector<std::vector<float>> audio;       // one per port (audio only)
    std::vector<float> silence;                  // unconnected audio inputs
    std::vector<int> atomIn, atomOut;            // port indices
    std::vector<std::vector<std::uint64_t>> atoms; // one per port (atom only), 8-byte aligned
    std::vector<std::vector<unsigned char>> events; // patch messages for the next run

    LV2_Atom_Sequence* sequence(int port) { return reinterpret_cast<LV2_Atom_Sequence*>(atoms[port].data()); }

    void prepareAtoms()
    {
        for (int port : atomIn) {
            LV2_Atom_Forge forge;
            lv2_atom_forge_init(&forge, &map);
            lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(atoms[port].data()), lv2host::kAtomCapacity);
            LV2_Atom_Forge_Frame frame;
            lv2_atom_forge_sequence_head(&forge, &frame, 0);
            for (const auto& event : events) {
                lv2_atom_forge_frame_time(&forge, 0);
                lv2_atom_forge_write(&forge, event.data(), static_cast<std::uint32_t>(event.size()));
            }
            lv2_atom_forge_pop(&forge, &frame);
        }
        events.clear();
        for (int port : atomOut) {
            LV2_Atom_Sequence* seq = sequence(port);
            seq->atom.type = id(LV2_ATOM__Chunk);
            seq->atom.size = static_cast<std::uint32_t>(lv2host::kAtomCapacity - sizeof(LV2_Atom));
        }
    }

    void runWorker()
    {
        // A worker's work may schedule more; each round is bounded by what it queued.
        for (int round = 0; round < 64 && !work.empty(); ++round) {
            std::deque<std::vector<unsigned char>> pending;
            pending.swap(work);
            for (auto& item : pending) {
                if (worker && worker->work)
                    worker->work(lilv_instance_get_handle(instance), respond, this,
                                 static_cast<std::uint32_t>(item.size()), item.data());
            }
        }
    }

    void deliverAnswers()
    {
        while (!answers.empty()) {
            std::vector<unsigned char> answer = std::move(answers.front());
            answers.pop_front();
            if (worker && worker->work_response)
                worker->work_response(lilv_instance_get_handle(instance), static_cast<std::uint32_t>(answer.size()),
                                      answer.data());
        }
        if (worker && worker->end_run)
            worker->end_run(lilv_instance_get_handle(instance));
    }

    void run(std::uint32_t frames)
    {
        deliverAnswers();
        prepareAtoms();
        lilv_instance_run(instance, frames);
        runWorker();
    }
};

} // namespace cli
