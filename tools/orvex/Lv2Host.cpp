#include "Lv2Host.h"

#include "Commands.h"

#include "effect/ProgramRecord.h"
#include "lv2/Lv2Ports.h"
#include "lv2/SnapshotInterface.h"
#include "lv2/StateFormat.h"

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/patch/patch.h>
#include <lv2/port-props/port-props.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <unordered_map>

namespace cli {

namespace {

constexpr std::size_t kAtomCapacity = 65536;

// lilv nodes freed with their owner.
struct Node {
    LilvNode* node;
    explicit Node(LilvNode* n) : node(n) {}
    ~Node() { lilv_node_free(node); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    operator const LilvNode*() const { return node; }
};

std::string text(const LilvNode* node)
{
    return node ? std::string(lilv_node_as_string(node)) : std::string();
}

} // namespace

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
            lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(atoms[port].data()), kAtomCapacity);
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
            seq->atom.size = static_cast<std::uint32_t>(kAtomCapacity - sizeof(LV2_Atom));
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

bool Lv2Host::isLv2(const std::string& plugin)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (plugin.rfind("urn:", 0) == 0 || plugin.rfind("http://", 0) == 0 || plugin.rfind("https://", 0) == 0)
        return true;
    return fs::is_directory(fs::u8path(plugin), ec) && fs::exists(fs::u8path(plugin) / "manifest.ttl", ec);
}

Lv2Host::Lv2Host() : impl_(std::make_unique<Impl>()) {}

Lv2Host::~Lv2Host()
{
    close();
}

bool Lv2Host::load(const std::string& pluginArg, double sampleRate, int blockSize, std::string& error)
{
    close();
    Impl& d = *impl_;
    d.rate = sampleRate;
    d.blockSize = blockSize;
    d.world = lilv_world_new();
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool bundle = fs::is_directory(fs::u8path(pluginArg), ec);
    std::string bundleUri;
    if (bundle) {
        std::string folder = fs::absolute(fs::u8path(pluginArg), ec).lexically_normal().u8string();
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        Node node(lilv_new_file_uri(d.world, nullptr, folder.c_str()));
        bundleUri = text(node);
        lilv_world_load_bundle(d.world, node);
    } else {
        lilv_world_load_all(d.world);
    }
    const LilvPlugins* plugins = lilv_world_get_all_plugins(d.world);
    LILV_FOREACH (plugins, i, plugins) {
        const LilvPlugin* p = lilv_plugins_get(plugins, i);
        const std::string uri = text(lilv_plugin_get_uri(p));
        const std::string in = text(lilv_plugin_get_bundle_uri(p));
        if (bundle ? in == bundleUri : uri == pluginArg) {
            d.plugin = p;
            break;
        }
    }
    if (!d.plugin) {
        error = bundle ? "the folder " + pluginArg + " holds no LV2 plug-in"
                       : "no LV2 plug-in with the URI " + pluginArg + " (searched LV2_PATH)";
        close();
        return false;
    }
    d.instance = lilv_plugin_instantiate(d.plugin, sampleRate, d.features);
    if (!d.instance) {
        error = "the LV2 plug-in " + uri() + " could not be instantiated";
        close();
        return false;
    }
    d.worker = static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(d.instance, LV2_WORKER__interface));

    Node audioClass(lilv_new_uri(d.world, LV2_CORE__AudioPort));
    Node controlClass(lilv_new_uri(d.world, LV2_CORE__ControlPort));
    Node atomClass(lilv_new_uri(d.world, LV2_ATOM__AtomPort));
    Node inputClass(lilv_new_uri(d.world, LV2_CORE__InputPort));
    Node unitPredicate(lilv_new_uri(d.world, LV2_UNITS__unit));
    Node reportsLatency(lilv_new_uri(d.world, LV2_CORE__reportsLatency));
    const std::uint32_t count = lilv_plugin_get_num_ports(d.plugin);
    std::vector<float> minimum(count), maximum(count), deflt(count);
    lilv_plugin_get_port_ranges_float(d.plugin, minimum.data(), maximum.data(), deflt.data());
    d.controls.assign(count, 0.0f);
    d.audio.assign(count, {});
    d.atoms.assign(count, {});
    d.silence.assign(static_cast<std::size_t>(blockSize), 0.0f);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(d.plugin, i);
        Port info;
        info.symbol = text(lilv_port_get_symbol(d.plugin, port));
        LilvNode* name = lilv_port_get_name(d.plugin, port);
        info.name = text(name);
        lilv_node_free(name);
        info.input = lilv_port_is_a(d.plugin, port, inputClass);
        info.minimum = minimum[i];
        info.maximum = maximum[i];
        info.deflt = deflt[i];
        info.reportsLatency = lilv_port_has_property(d.plugin, port, reportsLatency);
        if (LilvNodes* units = lilv_port_get_value(d.plugin, port, unitPredicate)) {
            const std::string unit = text(lilv_nodes_get_first(units));
            const std::size_t hash = unit.find('#');
            info.unit = hash == std::string::npos ? unit : unit.substr(hash + 1);
            lilv_nodes_free(units);
        }
        if (LilvScalePoints* points = lilv_port_get_scale_points(d.plugin, port)) {
            LILV_FOREACH (scale_points, j, points) {
                const LilvScalePoint* point = lilv_scale_points_get(points, j);
                info.points.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                         text(lilv_scale_point_get_label(point)));
            }
            lilv_scale_points_free(points);
        }
        void* buffer = nullptr;
        if (lilv_port_is_a(d.plugin, port, audioClass)) {
            info.type = PortType::audio;
            d.audio[i].assign(static_cast<std::size_t>(blockSize), 0.0f);
            buffer = d.audio[i].data();
            (info.input ? audioIn_ : audioOut_).push_back(static_cast<int>(i));
        } else if (lilv_port_is_a(d.plugin, port, controlClass)) {
            info.type = PortType::control;
            d.controls[i] = std::isnan(deflt[i]) ? (std::isnan(minimum[i]) ? 0.0f : minimum[i]) : deflt[i];
            buffer = &d.controls[i];
        } else if (lilv_port_is_a(d.plugin, port, atomClass)) {
            info.type = PortType::atom;
            d.atoms[i].assign(kAtomCapacity / sizeof(std::uint64_t), 0);
            buffer = d.atoms[i].data();
            (info.input ? d.atomIn : d.atomOut).push_back(static_cast<int>(i));
        }
        lilv_instance_connect_port(d.instance, i, buffer);
        ports_.push_back(std::move(info));
    }
    return true;
}

void Lv2Host::close()
{
    Impl& d = *impl_;
    if (d.instance) {
        deactivate();
        lilv_instance_free(d.instance);
        d.instance = nullptr;
    }
    if (d.world) {
        lilv_world_free(d.world);
        d.world = nullptr;
    }
    d.plugin = nullptr;
    d.work.clear();
    d.answers.clear();
    d.events.clear();
    d.atomIn.clear();
    d.atomOut.clear();
    ports_.clear();
    audioIn_.clear();
    audioOut_.clear();
}

std::string Lv2Host::uri() const
{
    return impl_->plugin ? text(lilv_plugin_get_uri(impl_->plugin)) : std::string();
}

std::string Lv2Host::name() const
{
    if (!impl_->plugin)
        return std::string();
    LilvNode* n = lilv_plugin_get_name(impl_->plugin);
    const std::string result = text(n);
    lilv_node_free(n);
    return result;
}

std::string Lv2Host::bundle() const
{
    return impl_->plugin ? text(lilv_plugin_get_bundle_uri(impl_->plugin)) : std::string();
}

bool Lv2Host::hasUi() const
{
    if (!impl_->plugin)
        return false;
    LilvUIs* uis = lilv_plugin_get_uis(impl_->plugin);
    const bool any = uis && lilv_uis_size(uis) > 0;
    lilv_uis_free(uis);
    return any;
}

bool Lv2Host::isOrvex() const
{
    return uri() == lv2port::kPluginUri;
}

std::vector<Lv2Host::Property> Lv2Host::writableProperties() const
{
    std::vector<Property> result;
    const Impl& d = *impl_;
    if (!d.plugin)
        return result;
    Node writable(lilv_new_uri(d.world, LV2_PATCH__writable));
    Node label(lilv_new_uri(d.world, LILV_NS_RDFS "label"));
    Node range(lilv_new_uri(d.world, LILV_NS_RDFS "range"));
    LilvNodes* properties = lilv_plugin_get_value(d.plugin, writable);
    LILV_FOREACH (nodes, i, properties) {
        const LilvNode* property = lilv_nodes_get(properties, i);
        Property p;
        p.uri = text(property);
        LilvNode* l = lilv_world_get(d.world, property, label, nullptr);
        LilvNode* r = lilv_world_get(d.world, property, range, nullptr);
        p.label = text(l);
        p.range = text(r);
        lilv_node_free(l);
        lilv_node_free(r);
        result.push_back(p);
    }
    lilv_nodes_free(properties);
    return result;
}

int Lv2Host::findPort(const std::string& symbol) const
{
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i].symbol == symbol)
            return static_cast<int>(i);
    }
    return -1;
}

float Lv2Host::control(int port) const
{
    return impl_->controls[static_cast<std::size_t>(port)];
}

void Lv2Host::setControl(int port, float value)
{
    impl_->controls[static_cast<std::size_t>(port)] = value;
}

void Lv2Host::setPathProperty(const std::string& property, const std::string& path)
{
    Impl& d = *impl_;
    std::vector<unsigned char> buffer(path.size() + 256);
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &d.map);
    lv2_atom_forge_set_buffer(&forge, buffer.data(), buffer.size());
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge, &frame, 0, d.id(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge, d.id(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, d.id(property.c_str()));
    lv2_atom_forge_key(&forge, d.id(LV2_PATCH__value));
    lv2_atom_forge_path(&forge, path.c_str(), static_cast<std::uint32_t>(path.size()));
    lv2_atom_forge_pop(&forge, &frame);
    const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer.data());
    buffer.resize(lv2_atom_total_size(atom));
    d.events.push_back(std::move(buffer));
}

void Lv2Host::setIntProperty(const std::string& property, int value)
{
    Impl& d = *impl_;
    std::vector<unsigned char> buffer(256);
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &d.map);
    lv2_atom_forge_set_buffer(&forge, buffer.data(), buffer.size());
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge, &frame, 0, d.id(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge, d.id(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, d.id(property.c_str()));
    lv2_atom_forge_key(&forge, d.id(LV2_PATCH__value));
    lv2_atom_forge_int(&forge, value);
    lv2_atom_forge_pop(&forge, &frame);
    const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer.data());
    buffer.resize(lv2_atom_total_size(atom));
    d.events.push_back(std::move(buffer));
}

void Lv2Host::settle()
{
    Impl& d = *impl_;
    if (!d.instance)
        return;
    // Work can schedule work for the next run (a drain after a choice): a few rounds end it.
    for (int round = 0; round < 8; ++round) {
        d.run(0);
        if (d.events.empty() && d.work.empty() && d.answers.empty())
            break;
    }
}

void Lv2Host::activate()
{
    if (impl_->instance && !impl_->active) {
        lilv_instance_activate(impl_->instance);
        impl_->active = true;
    }
}

void Lv2Host::deactivate()
{
    if (impl_->instance && impl_->active) {
        lilv_instance_deactivate(impl_->instance);
        impl_->active = false;
    }
}

void Lv2Host::process(const float* const* inputs, float* const* outputs, int frames)
{
    Impl& d = *impl_;
    for (std::size_t i = 0; i < audioIn_.size(); ++i)
        std::memcpy(d.audio[static_cast<std::size_t>(audioIn_[i])].data(), inputs[i], sizeof(float) * frames);
    d.run(static_cast<std::uint32_t>(frames));
    for (std::size_t i = 0; i < audioOut_.size(); ++i)
        std::memcpy(outputs[i], d.audio[static_cast<std::size_t>(audioOut_[i])].data(), sizeof(float) * frames);
}

// --- state ----------------------------------------------------------------------------------

namespace {

void setPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type)
{
    auto* host = static_cast<Lv2Host*>(user);
    (void)type;
    const int port = host->findPort(symbol);
    if (port >= 0 && size == sizeof(float) && host->ports()[static_cast<std::size_t>(port)].type == Lv2Host::PortType::control &&
        host->ports()[static_cast<std::size_t>(port)].input)
        host->setControl(port, *static_cast<const float*>(value));
}

struct PortValueSource {
    Lv2Host* host;
    LV2_URID floatType;
    float value = 0.0f;
};

const void* getPortValue(const char* symbol, void* user, uint32_t* size, uint32_t* type)
{
    auto* source = static_cast<PortValueSource*>(user);
    const int port = source->host->findPort(symbol);
    if (port < 0 || source->host->ports()[static_cast<std::size_t>(port)].type != Lv2Host::PortType::control ||
        !source->host->ports()[static_cast<std::size_t>(port)].input) {
        *size = 0;
        *type = 0;
        return nullptr;
    }
    // lilv copies the value at once.
    source->value = source->host->control(port);
    *size = sizeof(float);
    *type = source->floatType;
    return &source->value;
}

// Properties handed to or taken from the plug-in's state interface.
struct StateValue {
    std::vector<unsigned char> value;
    LV2_URID type = 0;
};
using PropertyMap = std::map<LV2_URID, StateValue>;

const void* retrieveProperty(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
    auto* properties = static_cast<PropertyMap*>(handle);
    auto found = properties->find(key);
    if (found == properties->end())
        return nullptr;
    *size = found->second.value.size();
    *type = found->second.type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return found->second.value.data();
}

LV2_State_Status storeProperty(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                               uint32_t)
{
    auto* properties = static_cast<PropertyMap*>(handle);
    const auto* bytes = static_cast<const unsigned char*>(value);
    (*properties)[key] = StateValue{std::vector<unsigned char>(bytes, bytes + size), type};
    return LV2_STATE_SUCCESS;
}

} // namespace

bool Lv2Host::restoreState(const std::string& folder, std::string& error)
{
    Impl& d = *impl_;
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string file = (fs::absolute(fs::u8path(folder), ec) / "state.ttl").u8string();
    if (!fs::is_regular_file(fs::u8path(file), ec)) {
        error = "no LV2 state in " + folder + " (state.ttl is missing)";
        return false;
    }
    LilvState* state = lilv_state_new_from_file(d.world, &d.map, nullptr, file.c_str());
    if (!state) {
        error = "cannot read the LV2 state " + file;
        return false;
    }
    lilv_state_restore(state, d.instance, setPortValue, this, 0, d.features);
    lilv_state_free(state);
    settle();
    return true;
}

bool Lv2Host::saveState(const std::string& folder, std::string& error)
{
    Impl& d = *impl_;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::u8path(folder), ec);
    const std::string dir = fs::absolute(fs::u8path(folder), ec).lexically_normal().u8string();
    PortValueSource source{this, d.id(LV2_ATOM__Float)};
    // Files inside the folder are stored relative to it (so the folder can move with them),
    // any other as its absolute path. lilv_state_save() is not used: given a file outside
    // the folder and no link folder, lilv 0.24 deletes that file while "linking" it.
    LilvState* state = lilv_state_new_from_instance(d.plugin, d.instance, &d.map, nullptr, nullptr, nullptr,
                                                    dir.c_str(), getPortValue, &source,
                                                    LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, d.features);
    if (!state) {
        error = "the plug-in gave no state";
        return false;
    }
    Node base(lilv_new_file_uri(d.world, nullptr, (dir + "/").c_str()));
    Node file(lilv_new_file_uri(d.world, nullptr, (dir + "/state.ttl").c_str()));
    char* turtle = lilv_state_to_string(d.world, &d.map, &d.unmap, state, lilv_node_as_uri(file), lilv_node_as_uri(base));
    lilv_state_free(state);
    if (!turtle) {
        error = "the plug-in's state could not be written as Turtle";
        return false;
    }
    // lilv writes the prefixed names without declaring their prefixes.
    const std::string text = std::string("@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                                         "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                         "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                                         "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n") +
                             turtle;
    lilv_free(turtle);
    const std::string manifest = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                 "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                 "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
                                 "<state.ttl>\n    a pset:Preset ;\n    lv2:appliesTo <" +
                                 uri() + "> ;\n    rdfs:seeAlso <state.ttl> .\n";
    const std::vector<unsigned char> stateBytes(text.begin(), text.end());
    const std::vector<unsigned char> manifestBytes(manifest.begin(), manifest.end());
    if (!Commands::writeFile(dir + "/state.ttl", stateBytes, error) ||
        !Commands::writeFile(dir + "/manifest.ttl", manifestBytes, error))
        return false;
    return true;
}

bool Lv2Host::restoreBank(const std::vector<unsigned char>& bankBytes, int program, std::string& error)
{
    Impl& d = *impl_;
    if (!isOrvex()) {
        error = "a VST2 chunk fits only the Orvex plug-in";
        return false;
    }
    if (bankBytes.size() != static_cast<std::size_t>(orvex::kBankChunkSize)) {
        error = "a bank chunk has " + std::to_string(orvex::kBankChunkSize) + " bytes, this one " +
                std::to_string(bankBytes.size());
        return false;
    }
    const auto* iface = static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(d.instance, LV2_STATE__interface));
    if (!iface) {
        error = "the plug-in has no state interface";
        return false;
    }
    std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
    std::memcpy(bank.data(), bankBytes.data(), bankBytes.size());
    std::vector<lv2state::CabPath> paths;
    lv2state::takePaths(bank.data(), paths);
    PropertyMap properties;
    const auto* bankData = reinterpret_cast<const unsigned char*>(bank.data());
    properties[d.id(lv2state::bankKey().c_str())] =
        StateValue{std::vector<unsigned char>(bankData, bankData + orvex::kBankChunkSize), d.id(LV2_ATOM__Chunk)};
    const std::int32_t number = program + 1;
    const auto* numberData = reinterpret_cast<const unsigned char*>(&number);
    properties[d.id(lv2state::programKey().c_str())] =
        StateValue{std::vector<unsigned char>(numberData, numberData + sizeof number), d.id(LV2_ATOM__Int)};
    for (const lv2state::CabPath& p : paths) {
        // No mapPath is offered: the plug-in takes the paths as they stand.
        StateValue stored;
        stored.value.assign(p.path.begin(), p.path.end());
        stored.value.push_back(0);
        stored.type = d.id(lv2state::isAbsolute(p.path) ? LV2_ATOM__Path : LV2_ATOM__String);
        properties[d.id(lv2state::pathKey(p.program, p.cab).c_str())] = stored;
    }
    const LV2_Feature* features[] = {&d.mapFeature, nullptr};
    const LV2_State_Status status =
        iface->restore(lilv_instance_get_handle(d.instance), retrieveProperty, &properties, 0, features);
    if (status != LV2_STATE_SUCCESS) {
        error = "the plug-in refused the state (status " + std::to_string(status) + ")";
        return false;
    }
    settle();
    return true;
}

bool Lv2Host::saveBank(std::vector<unsigned char>& bankBytes, int& program, std::string& error)
{
    Impl& d = *impl_;
    const auto* iface = isOrvex() ? static_cast<const LV2_State_Interface*>(
                                        lilv_instance_get_extension_data(d.instance, LV2_STATE__interface))
                                  : nullptr;
    if (!iface) {
        error = "only the Orvex plug-in's state is a VST2 bank";
        return false;
    }
    PropertyMap properties;
    const LV2_Feature* features[] = {&d.mapFeature, nullptr};
    if (iface->save(lilv_instance_get_handle(d.instance), storeProperty, &properties,
                    LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features) != LV2_STATE_SUCCESS) {
        error = "the plug-in could not save its state";
        return false;
    }
    const auto bank = properties.find(d.id(lv2state::bankKey().c_str()));
    if (bank == properties.end() || bank->second.value.size() != static_cast<std::size_t>(orvex::kBankChunkSize)) {
        error = "the plug-in's state holds no bank";
        return false;
    }
    std::vector<orvex::ProgramRecord> records(orvex::kNumPrograms);
    std::memcpy(records.data(), bank->second.value.data(), orvex::kBankChunkSize);
    for (int p = 0; p < orvex::kNumPrograms; ++p) {
        for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
            const auto found = properties.find(d.id(lv2state::pathKey(p, cab).c_str()));
            if (found == properties.end())
                continue;
            const std::vector<unsigned char>& v = found->second.value;
            lv2state::putPath(records[static_cast<std::size_t>(p)], cab,
                              std::string(v.begin(), std::find(v.begin(), v.end(), 0)));
        }
    }
    program = 0;
    const auto number = properties.find(d.id(lv2state::programKey().c_str()));
    if (number != properties.end() && number->second.value.size() == sizeof(std::int32_t)) {
        std::int32_t value = 1;
        std::memcpy(&value, number->second.value.data(), sizeof value);
        program = value - 1;
    }
    bankBytes.resize(orvex::kBankChunkSize);
    std::memcpy(bankBytes.data(), records.data(), orvex::kBankChunkSize);
    return true;
}

bool Lv2Host::snapshot(const std::string& pngPath, std::string& error)
{
    Impl& d = *impl_;
    if (!isOrvex()) {
        error = "only Orvex's UI draws pictures of its editor";
        return false;
    }
    LilvUIs* uis = lilv_plugin_get_uis(d.plugin);
    const LilvUI* ui = nullptr;
    LILV_FOREACH (uis, i, uis) {
        if (text(lilv_ui_get_uri(lilv_uis_get(uis, i))) == lv2port::kUiUri)
            ui = lilv_uis_get(uis, i);
    }
    if (!ui) {
        lilv_uis_free(uis);
        error = "the plug-in's UI is not described";
        return false;
    }
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    char* bundlePath = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);
    const std::string binaryPath = binary ? binary : "";
    const std::string bundleFolder = bundlePath ? bundlePath : "";
    lilv_free(binary);
    lilv_free(bundlePath);
    lilv_uis_free(uis);

    void* module = dlopen(binaryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        error = "cannot load the UI " + binaryPath + ": " + dlerror();
        return false;
    }
    bool written = false;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
    const LV2UI_Descriptor* descriptor = entry ? entry(0) : nullptr;
    if (descriptor) {
        LV2_Feature instanceAccess{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(d.instance)};
        const LV2_Feature* features[] = {&d.mapFeature, &d.unmapFeature, &instanceAccess, nullptr};
        LV2UI_Widget widget = nullptr;
        auto ignoreWrite = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
        LV2UI_Handle handle = descriptor->instantiate(descriptor, uri().c_str(), bundleFolder.c_str(), ignoreWrite,
                                                      nullptr, &widget, features);
        if (handle) {
            const auto* pictures =
                static_cast<const lv2wrap::SnapshotInterface*>(descriptor->extension_data(lv2wrap::kSnapshotUri));
            written = pictures && pictures->write(handle, pngPath.c_str()) == 1;
            descriptor->cleanup(handle);
        }
    }
    dlclose(module);
    if (!written)
        error = "the UI wrote no picture of the editor to " + pngPath;
    return written;
}

} // namespace cli
