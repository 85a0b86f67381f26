// Dispatch of the window layer to the selected backend, and the in-process resource table.
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

WindowLayer& layer() { return defaultLayer(); }

WindowLayer* layerOf(const Window* window) { return window != nullptr ? window->layer : nullptr; }

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
    return &layer() == &headlessLayer() ? Backend::headless : Backend::native;
}

Window* createWindow(NativeHandle parent, std::int32_t width, std::int32_t height, WindowListener* listener)
{
    if (parent == nullptr || listener == nullptr)
        return nullptr;
    return layer().createWindow(parent, width, height, listener);
}

void destroyWindow(Window* window)
{
    if (WindowLayer* l = layerOf(window))
        l->destroyWindow(window);
}

NativeHandle getNativeHandle(const Window* window)
{
    WindowLayer* l = layerOf(window);
    return l != nullptr ? l->getNativeHandle(window) : nullptr;
}

void setWindowSize(Window* window, std::int32_t width, std::int32_t height)
{
    if (WindowLayer* l = layerOf(window))
        l->setWindowSize(window, width, height);
}

Rect getWindowSize(const Window* window)
{
    WindowLayer* l = layerOf(window);
    return l != nullptr ? l->getWindowSize(window) : Rect{};
}

Point getWindowScreenOrigin(const Window* window)
{
    WindowLayer* l = layerOf(window);
    return l != nullptr ? l->getWindowScreenOrigin(window) : Point{};
}

void invalidateWindow(Window* window, const Rect& area)
{
    if (WindowLayer* l = layerOf(window))
        l->invalidateWindow(window, area);
}

void presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                   std::int32_t height, std::int32_t stride)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || stride < width)
        return;
    if (WindowLayer* l = layerOf(window))
        l->presentPixels(window, area, pixels, width, height, stride);
}

void dispatchWindowEvents(Window* window)
{
    if (WindowLayer* l = layerOf(window))
        l->dispatchWindowEvents(window);
}

NativeHandle getParentHandle(NativeHandle handle)
{
    return handle != nullptr ? layer().getParentHandle(handle) : nullptr;
}

Rect getHandleRectInParent(NativeHandle handle)
{
    return handle != nullptr ? layer().getHandleRectInParent(handle) : Rect{};
}

bool setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height)
{
    return handle != nullptr && layer().setHandleSize(handle, width, height);
}

void getHandleClassName(NativeHandle handle, char* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0)
        return;
    buffer[0] = '\0';
    if (handle != nullptr)
        layer().getHandleClassName(handle, buffer, size);
    buffer[size - 1] = '\0';
}

bool handleHasCaption(NativeHandle handle) { return handle != nullptr && layer().handleHasCaption(handle); }
std::int32_t getDialogFrameHeight() { return layer().getDialogFrameHeight(); }

std::int32_t getMouseButtons() { return layer().getMouseButtons(); }
Point getCursorPosition() { return layer().getCursorPosition(); }
CursorId getSystemCursor(CursorShape shape) { return layer().getSystemCursor(shape); }
CursorId getCurrentCursor() { return layer().getCurrentCursor(); }
void setCurrentCursor(CursorId cursor) { layer().setCurrentCursor(cursor); }

std::uint32_t getTicks() { return layer().getTicks(); }
void sleepMs(std::uint32_t ms) { layer().sleepMs(ms); }
void dispatchPendingPaint() { layer().dispatchPendingPaint(); }

std::int32_t showPopupMenu(Window* owner, const Point& screenPos, const std::vector<MenuItem>& items, bool trackRight)
{
    WindowLayer* l = owner != nullptr ? layerOf(owner) : &layer();
    return l->showPopupMenu(owner, screenPos, items, trackRight);
}

bool showOpenFileDialog(OpenFileRequest& request)
{
    if (request.fileBuffer == nullptr || request.fileBufferSize == 0)
        return false;
    return layer().showOpenFileDialog(request);
}

NativeHandle getForegroundRootOwner() { return layer().getForegroundRootOwner(); }

bool enableWindow(NativeHandle handle, bool enable)
{
    return handle != nullptr && layer().enableWindow(handle, enable);
}

bool registerDropTarget(Window* window, void* dropTarget)
{
    WindowLayer* l = layerOf(window);
    return l != nullptr && dropTarget != nullptr && l->registerDropTarget(window, dropTarget);
}

bool revokeDropTarget(Window* window)
{
    WindowLayer* l = layerOf(window);
    return l != nullptr && l->revokeDropTarget(window);
}

bool initializeOle() { return layer().initializeOle(); }
void uninitializeOle() { layer().uninitializeOle(); }

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
