#include "lv2/OrvexLv2.h"

#include "effect/CabStatusRequest.h"
#include "effect/ParameterTable.h"
#include "vst/VstAbi.h"
#include "lv2/CabStatusInterface.h"
#include "lv2/WrapperDetail.h"
#include "lv2/WorkerLoader.h"
#include "platform/Platform.h"

#include <lv2/atom/util.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace lv2wrap {

using detail::feature;
using detail::OwnerScope;

namespace {

// The effect's host callback: this wrapper is its only host, and answers nothing but the
// version (no automation lanes, no editor, no time info; the process level is "unknown",
// so the effect never holds a block back waiting for the disk).
vst::IntPtr hostCallback(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

} // namespace

OrvexLv2::OrvexLv2(double rate, const LV2_Feature* const* features)
{
    for (float& v : lastPort_)
        v = std::numeric_limits<float>::quiet_NaN();
    // Without urid:map (lv2apply offers no feature at all) the plug-in plays with its
    // control ports alone: no file properties, no notifications, no state.
    if (const auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map))) {
        uris_.map(map);
        lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(map));
        mapped_ = true;
    }
    schedule_ = static_cast<const LV2_Worker_Schedule*>(feature(features, LV2_WORKER__schedule));
    if (schedule_) {
        effect_ = std::make_unique<orvex::Orvex>(
            hostCallback, [this](orvex::Loader::LoadFunction load, orvex::Loader::JobFunction work) {
                auto loader = std::make_unique<WorkerLoader>(std::move(load), std::move(work));
                workerLoader_ = loader.get();
                return std::unique_ptr<orvex::Loader>(std::move(loader));
            });
    } else {
        effect_ = std::make_unique<orvex::Orvex>(hostCallback);
    }
    effect_->setSampleRate(static_cast<float>(rate));
    // With a worker, run() must never touch the disk, whichever thread the host runs it on
    // (some run it on the thread that instantiated us): from here on only restore() and the
    // worker are file threads.
    owner_ = schedule_ ? 0 : platform::currentThreadId();
    effect_->setOwnerThread(owner_);
}

OrvexLv2::~OrvexLv2() = default;

void OrvexLv2::connectPort(std::uint32_t port, void* data)
{
    switch (port) {
    case lv2port::kInLeft: in_[0] = static_cast<const float*>(data); break;
    case lv2port::kInRight: in_[1] = static_cast<const float*>(data); break;
    case lv2port::kOutLeft: out_[0] = static_cast<float*>(data); break;
    case lv2port::kOutRight: out_[1] = static_cast<float*>(data); break;
    case lv2port::kControl: control_ = static_cast<const LV2_Atom_Sequence*>(data); break;
    case lv2port::kNotify: notify_ = static_cast<LV2_Atom_Sequence*>(data); break;
    case lv2port::kLatencyOut: latencyOut_ = static_cast<float*>(data); break;
    default:
        if (port < static_cast<std::uint32_t>(lv2port::kNumPorts))
            controls_[port - lv2port::kFirstParameter] = static_cast<const float*>(data);
        break;
    }
}

std::string OrvexLv2::cabPath(int cab) const
{
    const orvex::ProgramRecord& record = effect_->currentProgram();
    const char* folder = record.folder[cab];
    const char* name = record.fileName[cab];
    const std::size_t folderLength = strnlen(folder, orvex::kFolderSize - 1);
    const std::size_t nameLength = strnlen(name, orvex::kFileNameSize - 1);
    if (nameLength == 0)
        return std::string();
    return std::string(folder, folderLength) + std::string(name, nameLength);
}

bool OrvexLv2::schedule(const WorkMessage& message)
{
    if (!schedule_)
        return false;
    const std::uint32_t size = static_cast<std::uint32_t>(offsetof(WorkMessage, path) + std::strlen(message.path) + 1);
    return schedule_->schedule_work(schedule_->handle, size, &message) == LV2_WORKER_SUCCESS;
}

void OrvexLv2::readEvents()
{
    if (!control_ || !mapped_)
        return;
    LV2_ATOM_SEQUENCE_FOREACH (control_, event) {
        if (event->body.type != uris_.atomObject && event->body.type != uris_.atomBlank)
            continue;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (object->body.otype == uris_.patchGet) {
            WorkMessage message;
            message.kind = kNotifyAll;
            schedule(message);
            notifyProgram_ = true;
            continue;
        }
        if (object->body.otype != uris_.patchSet)
            continue;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
        if (!property || property->type != uris_.atomUrid || !value)
            continue;
        const LV2_URID key = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
        if (key == uris_.program && value->type == uris_.atomInt) {
            const int program = reinterpret_cast<const LV2_Atom_Int*>(value)->body;
            if (program >= 1 && program <= orvex::kNumPrograms)
                effect_->setProgram(program - 1);
            notifyProgram_ = true;
            continue;
        }
        const int cab = uris_.cabOf(key);
        if (cab < 0 || (value->type != uris_.atomPath && value->type != uris_.atomString))
            continue;
        // The path goes to the worker whole; one that does not fit a record is refused there
        // and here alike (the effect would not take it).
        const char* path = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        const std::size_t length = strnlen(path, value->size);
        if (length == 0 || length >= orvex::kFolderSize)
            continue;
        WorkMessage message;
        message.kind = kChoose;
        message.cab = cab;
        std::memcpy(message.path, path, length);
        message.path[length] = 0;
        schedule(message);
    }
}

void OrvexLv2::readPorts()
{
    // Right after a restore, the state is what plays: the ports the host restored with it
    // (or did not) are taken as seen, not written over it. A port the user moves afterwards
    // writes the effect as usual.
    const bool adopt = adoptPorts_.exchange(false, std::memory_order_acq_rel);
    for (int i = 0; i < lv2port::kNumParameterPorts; ++i) {
        if (!controls_[i])
            continue;
        const float value = *controls_[i];
        // Only a change counts: a host writes every port before every block.
        if (value == lastPort_[i] || (std::isnan(value) && std::isnan(lastPort_[i])))
            continue;
        lastPort_[i] = value;
        if (adopt)
            continue;
        const lv2port::ControlPort& port = *lv2port::controlPort(static_cast<std::uint32_t>(lv2port::kFirstParameter + i));
        const float normalised = lv2port::toEffect(port, value);
        // A port that names what the effect already holds writes nothing: writing it again
        // would propagate a link or blend once more, or reload every cab for a latency.
        if (normalised == effect_->getParameter(port.parameter))
            continue;
        effect_->setParameter(port.parameter, normalised);
    }
}

void OrvexLv2::run(std::uint32_t frames)
{
    if (!effect_)
        return;
    if (notifyAll_.exchange(false, std::memory_order_acq_rel)) {
        WorkMessage message;
        message.kind = kNotifyAll;
        schedule(message);
        notifyProgram_ = true;
    }
    readPorts();
    readEvents();
    if (frames > 0 && in_[0] && in_[1] && out_[0] && out_[1]) {
        float* inputs[2] = {const_cast<float*>(in_[0]), const_cast<float*>(in_[1])};
        float* outputs[2] = {out_[0], out_[1]};
        effect_->processReplacing(inputs, outputs, static_cast<vst::Int32>(frames));
    }
    if (latencyOut_) {
        // Switched off, the effect passes its input straight through.
        const bool running = effect_->getParameter(orvex::kOnOff) >= 0.5f;
        *latencyOut_ = running ? static_cast<float>(lv2port::latencySamplesOfHop(static_cast<int>(effect_->latencyValue())))
                               : 0.0f;
    }
    writeNotifications();
    // What the effect handed to its loader during this block is carried out by the worker.
    if (workerLoader_ && workerLoader_->busy() && !drainScheduled_.exchange(true, std::memory_order_acq_rel)) {
        WorkMessage message;
        message.kind = kDrain;
        if (!schedule(message))
            drainScheduled_.store(false, std::memory_order_release); // asked again next block
    }
}

void OrvexLv2::writeNotifications()
{
    if (!notify_ || !mapped_)
        return;
    const std::uint32_t capacity = notify_->atom.size;
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(notify_), capacity);
    LV2_Atom_Forge_Frame sequence;
    if (!lv2_atom_forge_sequence_head(&forge_, &sequence, 0))
        return;
    auto setHead = [&](LV2_Atom_Forge_Frame& frame, LV2_URID property) {
        return lv2_atom_forge_frame_time(&forge_, 0) && lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchSet) &&
               lv2_atom_forge_key(&forge_, uris_.patchProperty) && lv2_atom_forge_urid(&forge_, property) &&
               lv2_atom_forge_key(&forge_, uris_.patchValue);
    };
    if (notifyProgram_) {
        LV2_Atom_Forge_Frame frame;
        if (setHead(frame, uris_.program) && lv2_atom_forge_int(&forge_, effect_->getProgram() + 1)) {
            lv2_atom_forge_pop(&forge_, &frame);
            notifyProgram_ = false;
        }
    }
    for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
        if (!pathPending_[cab])
            continue;
        const std::uint32_t length = static_cast<std::uint32_t>(strnlen(pending_[cab].path, orvex::kFolderSize - 1));
        LV2_Atom_Forge_Frame frame;
        if (!setHead(frame, uris_.cab[cab]) || !lv2_atom_forge_path(&forge_, pending_[cab].path, length))
            break; // no room left in this block: the rest goes out with the next one
        lv2_atom_forge_pop(&forge_, &frame);
        pathPending_[cab] = false;
    }
    lv2_atom_forge_pop(&forge_, &sequence);
}

LV2_Worker_Status OrvexLv2::work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                                 std::uint32_t size, const void* data)
{
    if (!effect_ || !workerLoader_ || size < offsetof(WorkMessage, path) || size > sizeof(WorkMessage))
        return LV2_WORKER_ERR_UNKNOWN;
    WorkMessage message;
    std::memcpy(&message, data, size);
    message.path[orvex::kFolderSize - 1] = 0;
    workerLoader_->enter();
    switch (message.kind) {
    case kChoose:
        effect_->chooseCabFile(message.cab + 1, message.path);
        break;
    case kNotifyAll:
        for (std::string& told : notified_)
            told = std::string(1, '\0'); // differs from every path, "" included
        break;
    case kDrain:
        drainScheduled_.store(false, std::memory_order_release);
        break;
    default:
        break;
    }
    // Whatever the message, the effect's hand-over is emptied: a choice may have handed on.
    workerLoader_->drain();
    workerLoader_->leave();
    // Every cab whose file changed (a choice, a link, a program change, a restore) is told.
    for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
        const std::string now = cabPath(cab);
        if (now == notified_[cab] || now.size() >= orvex::kFolderSize)
            continue;
        notified_[cab] = now;
        Response response;
        response.cab = cab;
        std::memcpy(response.path, now.c_str(), now.size() + 1);
        respond(handle, static_cast<std::uint32_t>(offsetof(Response, path) + now.size() + 1), &response);
    }
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status OrvexLv2::workResponse(std::uint32_t size, const void* data)
{
    if (size < offsetof(Response, path) + 1 || size > sizeof(Response))
        return LV2_WORKER_ERR_UNKNOWN;
    Response response;
    std::memcpy(&response, data, size);
    if (response.cab < 0 || response.cab >= orvex::kNumCabs)
        return LV2_WORKER_ERR_UNKNOWN;
    response.path[orvex::kFolderSize - 1] = 0;
    pending_[response.cab] = response;
    pathPending_[response.cab] = true;
    return LV2_WORKER_SUCCESS;
}

} // namespace lv2wrap

// --- the descriptor -------------------------------------------------------------------------

namespace {

using lv2wrap::OrvexLv2;

OrvexLv2* self(LV2_Handle instance)
{
    return static_cast<OrvexLv2*>(instance);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    // Nothing may escape to the host: a failed construction yields no instance.
    try {
        auto* plugin = new OrvexLv2(rate, features);
        if (!plugin->valid()) {
            delete plugin;
            return nullptr;
        }
        return plugin;
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    self(instance)->connectPort(port, data);
}

void run(LV2_Handle instance, uint32_t frames)
{
    self(instance)->run(frames);
}

void cleanup(LV2_Handle instance)
{
    delete self(instance);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const* features)
{
    try {
        return self(instance)->save(store, handle, features);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                         const LV2_Feature* const* features)
{
    try {
        return self(instance)->restore(retrieve, handle, features);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_Worker_Status work(LV2_Handle instance, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                       uint32_t size, const void* data)
{
    try {
        return self(instance)->work(respond, handle, size, data);
    } catch (...) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
}

LV2_Worker_Status workResponse(LV2_Handle instance, uint32_t size, const void* data)
{
    return self(instance)->workResponse(size, data);
}

int cabStatus(void* instance, int cab, char* text, int size)
{
    if (text == nullptr || size <= 0)
        return 0;
    char reason[orvex::kCabStatusTextSize] = {};
    const auto answer = self(instance)->effect().vendorSpecific(orvex::kCabStatusIndex, cab, reason, 0.0f);
    std::snprintf(text, static_cast<std::size_t>(size), "%s", reason);
    return static_cast<int>(answer);
}

const void* extensionData(const char* uri)
{
    static const LV2_State_Interface state = {save, restore};
    static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
    static const lv2wrap::CabStatusInterface cabs = {cabStatus};
    if (std::strcmp(uri, LV2_STATE__interface) == 0)
        return &state;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0)
        return &worker;
    if (std::strcmp(uri, lv2wrap::kCabStatusUri) == 0)
        return &cabs;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {lv2port::kPluginUri, instantiate, connectPort, nullptr, run, nullptr, cleanup,
                                    extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
