// Lv2Host: finding and instantiating the plug-in, its ports, patch messages, running it.
#include "Lv2Host.h"
#include "Lv2HostImpl.h"

#include "lv2/Lv2Ports.h"

#include <lv2/patch/patch.h>
#include <lv2/units/units.h>

#include <cmath>
#include <cstring>
#include <filesystem>

namespace cli {

using lv2host::kAtomCapacity;
using lv2host::Node;
using lv2host::text;

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

} // namespace cli
