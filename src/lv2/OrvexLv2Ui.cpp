// The LV2 UI: Orvex's own editor (SDEditor, on the X11 window layer) embedded in the host's
// window.
//
// Data flow. The editor works on an effect, as it does under VST2; here that effect is a
// mirror, an Orvex of the UI's own that plays no audio. What the editor changes in the
// mirror goes to the plug-in the LV2 way:
// - a control (knob, switch, menu) -> the port's value through the host (write_function),
//   with ui:touch around a gesture when the host offers it;
// - a file action (a menu choice, previous/next, the load button's dialog) -> the mirror
//   steps through the cab's folder as the VST2 plug-in does, and every cab whose file it
//   changed is sent as patch:Set of the cab's atom:Path property; a port the action changed
//   (the load button switches its cab on) is written as well.
// What the plug-in changes comes back the same ways: port events set the mirror's
// parameters, patch:Set notifications its files and program. On opening, the UI asks the
// plug-in for its properties with patch:Get. Where the host offers instance-access, the
// mirror copies the plug-in's ten program records (and its rate) from the instance itself,
// when it opens and when the program changes (the only use of the instance), so that the
// editor shows every saved setting at once, values the plug-in moved on its own through
// links and blends included.
//
// Threads: every call comes on the host's UI thread, which also owns the mirror (so its file
// work runs in line there).
#include "editor/EditorSnapshot.h"
#include "editor/SDEditor.h"
#include "effect/Orvex.h"
#include "effect/ParameterTable.h"
#include "gui/CFrame.h"
#include "vst/VstAbi.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "lv2/OrvexLv2.h"
#include "lv2/SnapshotInterface.h"
#include "platform/Platform.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const void* feature(const LV2_Feature* const* features, const char* uri)
{
    for (int i = 0; features && features[i]; ++i) {
        if (std::strcmp(features[i]->URI, uri) == 0)
            return features[i]->data;
    }
    return nullptr;
}

// The mirror's loader: the mirror is used on one thread only, which owns it, so its disk
// work always runs in line and nothing is ever handed over; were something handed over, it
// would run at once.
class InlineLoader : public orvex::Loader {
public:
    InlineLoader(LoadFunction load, JobFunction work) : load_(std::move(load)), work_(std::move(work)) {}
    bool request(int cab, const char* path, std::atomic<std::uint32_t>& tickets) override
    {
        load_(cab, path, tickets.fetch_add(1) + 1);
        return true;
    }
    bool post(const Job& job) override
    {
        work_(job);
        return true;
    }
    void stop() override {}
    bool busy() const override { return false; }
    std::uint64_t threadId() const override { return 0; }
    long long wakeUps() const override { return 0; }

private:
    LoadFunction load_;
    JobFunction work_;
};

class OrvexUi;

vst::IntPtr mirrorCallback(vst::AEffect* effect, vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr,
                           float opt);

// The effect the editor works on.
class Mirror : public orvex::Orvex {
public:
    Mirror()
        : orvex::Orvex(mirrorCallback,
                       [](orvex::Loader::LoadFunction load, orvex::Loader::JobFunction work) -> std::unique_ptr<orvex::Loader> {
              return std::make_unique<InlineLoader>(std::move(load), std::move(work));
          })
    {
        editor_ = new editor::SDEditor(this); // owned through AudioEffect
    }
    editor::SDEditor& editor() { return *editor_; }

private:
    editor::SDEditor* editor_;
};

class OrvexUi {
public:
    OrvexUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features)
        : write_(write), controller_(controller)
    {
        map_ = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
        if (!map_)
            return;
        uris_.map(map_);
        lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(map_));
        touch_ = static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch));
        resize_ = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));
        parent_ = const_cast<void*>(feature(features, LV2_UI__parent));
        for (float& v : lastWritten_)
            v = NAN;
        for (float& v : known_)
            v = NAN;
        mirror_ = std::make_unique<Mirror>();
        mirror_->getAeffect()->user = this;
        instance_ = static_cast<lv2wrap::OrvexLv2*>(const_cast<void*>(feature(features, LV2_INSTANCE_ACCESS_URI)));
        if (instance_)
            copyFrom(instance_->effect());
        rememberFiles();
    }

    bool valid() const { return mirror_ != nullptr; }

    // Opens the editor in the host's window; false when it could not be opened.
    bool open(LV2UI_Widget* widget)
    {
        if (!parent_)
            return true; // pictures only (SnapshotInterface)
        editor::SDEditor& editor = mirror_->editor();
        if (!editor.open(parent_))
            return false;
        gui::CFrame* frame = editor.getFrame();
        if (!frame || !frame->getWindow())
            return false;
        *widget = frame->getWindowLayer().getNativeHandle(frame->getWindow());
        if (resize_)
            resize_->ui_resize(resize_->handle, editor::SDEditor::kWidth, editor::SDEditor::kHeight);
        sendGet();
        return true;
    }

    void close()
    {
        if (mirror_)
            mirror_->editor().close();
    }

    int idle()
    {
        mirror_->editor().idle();
        return 0;
    }

    int snapshot(const char* path) { return editor::writeEditorSnapshot(mirror_->editor(), path) ? 1 : 0; }

    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer)
    {
        if (format == 0 && size == sizeof(float)) {
            const lv2port::ControlPort* control = lv2port::controlPort(port);
            if (!control)
                return;
            const float value = *static_cast<const float*>(buffer);
            known_[port] = value;
            // Our own write coming back: the mirror holds it already.
            if (value == lastWritten_[port])
                return;
            lastWritten_[port] = NAN;
            const float normalised = lv2port::toEffect(*control, value);
            if (normalised != mirror_->getParameter(control->parameter))
                mirror_->setParameter(control->parameter, normalised);
            rememberFiles();
            return;
        }
        if (format == uris_.atomEventTransfer && port == lv2port::kNotify)
            notification(static_cast<const LV2_Atom*>(buffer));
    }

    // The editor changed a parameter of the mirror (audioMasterAutomate).
    void automate(int index, float value)
    {
        const int port = lv2port::portOfParameter(index);
        if (port >= 0) {
            const float portValue = lv2port::toPort(*lv2port::controlPort(static_cast<std::uint32_t>(port)), value);
            lastWritten_[port] = portValue;
            known_[port] = portValue;
            write_(controller_, static_cast<std::uint32_t>(port), sizeof portValue, 0, &portValue);
            rememberFiles(); // a link shares files in the mirror as in the plug-in
            return;
        }
        // A file action: the cabs whose file it changed.
        const orvex::ParamKind kind = orvex::paramInfo(index).kind;
        if (kind == orvex::ParamKind::Load || kind == orvex::ParamKind::FileMenu ||
            kind == orvex::ParamKind::Previous || kind == orvex::ParamKind::Next) {
            sendChangedFiles();
            sendChangedPorts();
        }
    }

    void touch(int index, bool grabbed)
    {
        const int port = lv2port::portOfParameter(index);
        if (touch_ && port >= 0)
            touch_->touch(touch_->handle, static_cast<std::uint32_t>(port), grabbed);
    }

private:
    std::string cabPath(int cab) const
    {
        const orvex::ProgramRecord& record = mirror_->currentProgram();
        const std::size_t nameLength = strnlen(record.fileName[cab], orvex::kFileNameSize - 1);
        if (nameLength == 0)
            return std::string();
        return std::string(record.folder[cab], strnlen(record.folder[cab], orvex::kFolderSize - 1)) +
               std::string(record.fileName[cab], nameLength);
    }

    void rememberFiles()
    {
        for (int cab = 0; cab < orvex::kNumCabs; ++cab)
            files_[cab] = cabPath(cab);
    }

    void copyFrom(orvex::Orvex& plugin)
    {
        void* data = nullptr;
        if (plugin.getChunk(&data, false) != orvex::kBankChunkSize || !data)
            return;
        std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
        std::memcpy(bank.data(), data, orvex::kBankChunkSize);
        // The rate first: the latency's text in milliseconds depends on it.
        mirror_->setSampleRate(plugin.getSampleRate());
        mirror_->setProgram(plugin.getProgram());
        mirror_->setChunk(bank.data(), orvex::kBankChunkSize, false);
    }

    // What a file action changed among the ports (the load button switches its cab on): the
    // host hears it as a port write. A port the host never told us about is left alone.
    void sendChangedPorts()
    {
        for (std::uint32_t port = lv2port::kFirstParameter; port < static_cast<std::uint32_t>(lv2port::kNumPorts); ++port) {
            const lv2port::ControlPort& control = *lv2port::controlPort(port);
            const float value = lv2port::toPort(control, mirror_->getParameter(control.parameter));
            if (std::isnan(known_[port]) || value == known_[port])
                continue;
            known_[port] = value;
            lastWritten_[port] = value;
            write_(controller_, port, sizeof value, 0, &value);
        }
    }

    void sendChangedFiles()
    {
        for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
            const std::string now = cabPath(cab);
            if (now == files_[cab])
                continue;
            files_[cab] = now;
            if (!now.empty())
                sendSet(uris_.cab[cab], now);
        }
    }

    template <typename Body>
    void sendMessage(Body body)
    {
        std::vector<std::uint8_t> buffer(orvex::kFolderSize + 256);
        lv2_atom_forge_set_buffer(&forge_, buffer.data(), buffer.size());
        LV2_Atom_Forge_Frame frame;
        const LV2_Atom_Forge_Ref ref = body(frame);
        if (!ref)
            return;
        lv2_atom_forge_pop(&forge_, &frame);
        const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer.data());
        write_(controller_, lv2port::kControl, lv2_atom_total_size(atom), uris_.atomEventTransfer, atom);
    }

    void sendSet(LV2_URID property, const std::string& path)
    {
        sendMessage([&](LV2_Atom_Forge_Frame& frame) {
            return lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchSet) &&
                           lv2_atom_forge_key(&forge_, uris_.patchProperty) &&
                           lv2_atom_forge_urid(&forge_, property) && lv2_atom_forge_key(&forge_, uris_.patchValue)
                       ? lv2_atom_forge_path(&forge_, path.c_str(), static_cast<std::uint32_t>(path.size()))
                       : LV2_Atom_Forge_Ref(0);
        });
    }

    void sendGet()
    {
        sendMessage([&](LV2_Atom_Forge_Frame& frame) { return lv2_atom_forge_object(&forge_, &frame, 0, uris_.patchGet); });
    }

    void notification(const LV2_Atom* atom)
    {
        if (atom->type != uris_.atomObject && atom->type != uris_.atomBlank)
            return;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
        if (object->body.otype != uris_.patchSet)
            return;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
        if (!property || property->type != uris_.atomUrid || !value)
            return;
        const LV2_URID key = reinterpret_cast<const LV2_Atom_URID*>(property)->body;
        if (key == uris_.program && value->type == uris_.atomInt) {
            const int program = reinterpret_cast<const LV2_Atom_Int*>(value)->body - 1;
            if (program >= 0 && program < orvex::kNumPrograms && program != mirror_->getProgram()) {
                // With the instance at hand, the ten programs as the plug-in holds them now;
                // otherwise the mirror's own copy of the program.
                if (instance_)
                    copyFrom(instance_->effect());
                else
                    mirror_->setProgram(program);
            }
        } else if (const int cab = uris_.cabOf(key); cab >= 0 && value->type == uris_.atomPath) {
            const char* path = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
            const std::string text(path, strnlen(path, value->size));
            if (!text.empty() && text != cabPath(cab))
                mirror_->chooseCabFile(cab + 1, text.c_str());
        }
        rememberFiles();
    }

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2_URID_Map* map_ = nullptr;
    const LV2UI_Touch* touch_ = nullptr;
    const LV2UI_Resize* resize_ = nullptr;
    void* parent_ = nullptr;                       // the host's window, or null (pictures only)
    lv2wrap::Uris uris_;
    LV2_Atom_Forge forge_{};
    lv2wrap::OrvexLv2* instance_ = nullptr;        // the plug-in, through instance-access, or null
    std::unique_ptr<Mirror> mirror_;               // the effect the editor works on
    std::string files_[orvex::kNumCabs];           // each cab's file as the plug-in has it
    float lastWritten_[lv2port::kNumPorts];        // each port's value we last wrote, NaN after its echo
    float known_[lv2port::kNumPorts];              // each port's value as the host has it, NaN: not told
};

vst::IntPtr mirrorCallback(vst::AEffect* effect, vst::Int32 opcode, vst::Int32 index, vst::IntPtr, void*, float opt)
{
    if (opcode == vst::audioMasterVersion)
        return 2400;
    OrvexUi* ui = effect ? static_cast<OrvexUi*>(effect->user) : nullptr;
    if (!ui)
        return 0;
    switch (opcode) {
    case vst::audioMasterAutomate:
        ui->automate(index, opt);
        return 1;
    case vst::audioMasterBeginEdit:
        ui->touch(index, true);
        return 1;
    case vst::audioMasterEndEdit:
        ui->touch(index, false);
        return 1;
    default:
        return 0;
    }
}

OrvexUi* self(LV2UI_Handle handle)
{
    return static_cast<OrvexUi*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    try {
        auto ui = std::make_unique<OrvexUi>(write, controller, features);
        if (!ui->valid() || !ui->open(widget))
            return nullptr;
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle)
{
    self(handle)->close();
    delete self(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle)
{
    return self(handle)->idle();
}

int snapshot(void* handle, const char* path)
{
    return path ? self(handle)->snapshot(path) : 0;
}

const void* extensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idleInterface = {idle};
    static const lv2wrap::SnapshotInterface snapshotInterface = {snapshot};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &idleInterface;
    if (std::strcmp(uri, lv2wrap::kSnapshotUri) == 0)
        return &snapshotInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {lv2port::kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
