// Lv2Host's state: LV2 state folders through lilv, Orvex's whole state as a VST2 bank chunk
// through its state interface, and the picture its UI draws of the editor.
#include "Lv2Host.h"
#include "Lv2HostImpl.h"

#include "Commands.h"

#include "effect/ProgramRecord.h"
#include "lv2/Lv2Ports.h"
#include "lv2/CabStatusInterface.h"
#include "lv2/SnapshotInterface.h"
#include "lv2/StateFormat.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

namespace cli {

using lv2host::Node;
using lv2host::text;

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

int Lv2Host::cabStatus(int cab, std::string& why)
{
    Impl& d = *impl_;
    if (!isOrvex() || d.instance == nullptr)
        return 0;
    const auto* cabs = static_cast<const lv2wrap::CabStatusInterface*>(
        lilv_instance_get_extension_data(d.instance, lv2wrap::kCabStatusUri));
    if (cabs == nullptr || cabs->status == nullptr)
        return 0;
    char text[256] = {};
    const int answer = cabs->status(lilv_instance_get_handle(d.instance), cab, text, static_cast<int>(sizeof text));
    why = text;
    return answer;
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
