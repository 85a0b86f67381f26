// The process's default window layer, and the in-process resource table.
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace platform {

// Looks a resource up in the module that holds this code (Windows); nothing elsewhere.
ResourceBytes findModuleResource(const char* type, std::int32_t id);

namespace {

// The default layer (setBackend); null until the first use: the build's native one. Atomic,
// because a frame on one thread may read it while a test selects a backend on another.
std::atomic<WindowLayer*> selectedLayer{nullptr};

// Registered resources: (type, id) -> bytes owned by the registrant. Guarded, because a
// generated table may register from a static initialiser while another thread looks up.
struct ResourceTable {
    std::mutex lock;                                                    // guards entries
    std::map<std::pair<std::string, std::int32_t>, ResourceBytes> entries; // registrations
};

ResourceTable& resourceTable()
{
    static ResourceTable table;
    return table;
}

} // namespace

WindowLayer& defaultLayer()
{
    WindowLayer* selected = selectedLayer.load(std::memory_order_acquire);
    if (selected == nullptr) {
        WindowLayer* native = &nativeLayer();
        selectedLayer.compare_exchange_strong(selected, native, std::memory_order_acq_rel);
        selected = selectedLayer.load(std::memory_order_acquire);
    }
    return *selected;
}

void setBackend(Backend backend)
{
    selectedLayer.store(backend == Backend::headless ? &headlessLayer() : &nativeLayer(), std::memory_order_release);
}

Backend getBackend()
{
    return &defaultLayer() == &headlessLayer() ? Backend::headless : Backend::native;
}

bool registerResource(const char* type, std::int32_t id, const std::uint8_t* bytes, std::size_t size)
{
    if (type == nullptr || bytes == nullptr)
        return false;
    ResourceTable& t = resourceTable();
    std::lock_guard<std::mutex> guard(t.lock);
    t.entries[{std::string(type), id}] = ResourceBytes{bytes, size};
    return true;
}

bool unregisterResource(const char* type, std::int32_t id)
{
    if (type == nullptr)
        return false;
    ResourceTable& t = resourceTable();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.entries.erase({std::string(type), id}) > 0;
}

ResourceBytes findResource(const char* type, std::int32_t id)
{
    if (type == nullptr)
        return {};
    {
        ResourceTable& t = resourceTable();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.entries.find({std::string(type), id});
        if (it != t.entries.end())
            return it->second;
    }
    return findModuleResource(type, id);
}

} // namespace platform
