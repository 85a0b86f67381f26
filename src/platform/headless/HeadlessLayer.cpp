#include "platform/headless/HeadlessLayer.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

Rect unite(const Rect& a, const Rect& b)
{
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void copyText(char* buffer, std::size_t size, const std::string& text)
{
    if (buffer == nullptr || size == 0)
        return;
    std::size_t n = std::min(size - 1, text.size());
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace

HeadlessLayer::HeadlessLayer() { reset(); }
HeadlessLayer::~HeadlessLayer() = default;

WindowLayer& headlessLayer()
{
    static HeadlessLayer layer;
    return layer;
}

void HeadlessLayer::reset()
{
    mouseScript.clear();
    mouse = headless::MouseState{};
    now = 0;
    tickStep = 0;
    paintDispatches = 0;
    cursor = getSystemCursor(CursorShape::arrow);
    popupAnswers.clear();
    lastPopup.clear();
    lastPopupAt = Point{};
    popups = 0;
    dialogAnswers.clear();
    dialogs.clear();
    enables.clear();
    disabled.clear();
    oleCount = 0;
    // Windows of ours that still hang below a fake host keep working, detached from it.
    for (auto& w : windows)
        if (findHost(w->parent) != nullptr)
            w->parent = nullptr;
    hosts.clear();
    foreground = createHost(800, 600, nullptr, "HostFrame", true);
}

HeadlessLayer::HeadlessWindow* HeadlessLayer::findWindow(const void* handle) const
{
    for (const auto& w : windows)
        if (w.get() == handle)
            return w.get();
    return nullptr;
}

HeadlessLayer::HostWindow* HeadlessLayer::findHost(const void* handle) const
{
    for (const auto& h : hosts)
        if (h.get() == handle)
            return h.get();
    return nullptr;
}

NativeHandle HeadlessLayer::createHost(std::int32_t width, std::int32_t height, NativeHandle parent,
                                       const char* className, bool caption)
{
    auto host = std::make_unique<HostWindow>();
    host->width = std::max(0, width);
    host->height = std::max(0, height);
    host->parent = parent;
    host->className = className != nullptr ? className : "";
    host->caption = caption;
    NativeHandle handle = host.get();
    hosts.push_back(std::move(host));
    return handle;
}

void HeadlessLayer::destroyHost(NativeHandle handle)
{
    if (findHost(handle) == nullptr)
        return;
    // Children first, as a real parent destroys its children before itself.
    std::vector<NativeHandle> childHosts;
    for (const auto& h : hosts)
        if (h->parent == handle)
            childHosts.push_back(h.get());
    for (NativeHandle child : childHosts)
        destroyHost(child);
    for (auto& w : windows) {
        if (w->parent == handle && w->listener != nullptr) {
            WindowListener* listener = w->listener;
            w->listener = nullptr;
            w->parent = nullptr;
            listener->onDestroy();
        }
    }
    hosts.erase(std::remove_if(hosts.begin(), hosts.end(), [&](const auto& h) { return h.get() == handle; }),
                hosts.end());
    if (foreground == handle)
        foreground = nullptr;
}

Window* HeadlessLayer::createWindow(NativeHandle parent, std::int32_t width, std::int32_t height,
                                    WindowListener* listener)
{
    if (parent == nullptr || listener == nullptr)
        return nullptr;
    auto w = std::make_unique<HeadlessWindow>(this);
    w->listener = listener;
    w->parent = parent;
    w->width = std::max(0, width);
    w->height = std::max(0, height);
    w->pixels.assign(static_cast<std::size_t>(w->width) * static_cast<std::size_t>(w->height), 0u);
    newest = w.get();
    windows.push_back(std::move(w));
    return newest;
}

void HeadlessLayer::destroyWindow(Window* window)
{
    HeadlessWindow* w = findWindow(window);
    if (w == nullptr)
        return;
    if (w->listener != nullptr) {
        WindowListener* listener = w->listener;
        w->listener = nullptr;
        listener->onDestroy();
    }
    if (newest == w)
        newest = nullptr;
    windows.erase(std::remove_if(windows.begin(), windows.end(), [&](const auto& p) { return p.get() == w; }),
                  windows.end());
}

NativeHandle HeadlessLayer::getNativeHandle(const Window* window)
{
    return const_cast<Window*>(window);
}

void HeadlessLayer::setWindowSize(Window* window, std::int32_t width, std::int32_t height)
{
    HeadlessWindow* w = findWindow(window);
    if (w == nullptr)
        return;
    width = std::max(0, width);
    height = std::max(0, height);
    std::vector<std::uint32_t> resized(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    for (std::int32_t y = 0; y < std::min(height, w->height); ++y)
        for (std::int32_t x = 0; x < std::min(width, w->width); ++x)
            resized[static_cast<std::size_t>(y) * width + x] = w->pixels[static_cast<std::size_t>(y) * w->width + x];
    w->pixels.swap(resized);
    w->width = width;
    w->height = height;
}

Rect HeadlessLayer::getWindowSize(const Window* window)
{
    HeadlessWindow* w = findWindow(window);
    return w != nullptr ? Rect{0, 0, w->width, w->height} : Rect{};
}

Point HeadlessLayer::getWindowScreenOrigin(const Window* window)
{
    HeadlessWindow* w = findWindow(window);
    return w != nullptr ? w->origin : Point{};
}

void HeadlessLayer::invalidateWindow(Window* window, const Rect& area)
{
    HeadlessWindow* w = findWindow(window);
    if (w == nullptr || area.right <= area.left || area.bottom <= area.top)
        return;
    w->invalid = w->hasInvalid ? unite(w->invalid, area) : area;
    w->hasInvalid = true;
}

void HeadlessLayer::presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                                  std::int32_t height, std::int32_t stride)
{
    HeadlessWindow* w = findWindow(window);
    if (w == nullptr)
        return;
    ++w->presents;
    const std::int32_t left = std::max({area.left, 0});
    const std::int32_t top = std::max({area.top, 0});
    const std::int32_t right = std::min({area.right, width, w->width});
    const std::int32_t bottom = std::min({area.bottom, height, w->height});
    for (std::int32_t y = top; y < bottom; ++y) {
        const std::uint32_t* src = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        std::uint32_t* dst = w->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w->width);
        for (std::int32_t x = left; x < right; ++x)
            dst[x] = src[x];
    }
}

bool HeadlessLayer::registerDropTarget(Window* window, void* dropTarget)
{
    HeadlessWindow* w = findWindow(window);
    if (w == nullptr || dropTarget == nullptr || w->dropTarget != nullptr)
        return false; // as RegisterDragDrop: one target per window
    w->dropTarget = dropTarget;
    return true;
}

bool HeadlessLayer::revokeDropTarget(Window* window)
{
    HeadlessWindow* w = findWindow(window);
    if (w == nullptr || w->dropTarget == nullptr)
        return false;
    w->dropTarget = nullptr;
    return true;
}

NativeHandle HeadlessLayer::getParentHandle(NativeHandle handle)
{
    if (HeadlessWindow* w = findWindow(handle))
        return w->parent;
    if (HostWindow* h = findHost(handle))
        return h->parent;
    return nullptr;
}

Rect HeadlessLayer::getHandleRectInParent(NativeHandle handle)
{
    if (HeadlessWindow* w = findWindow(handle))
        return Rect{0, 0, w->width, w->height};
    if (HostWindow* h = findHost(handle))
        return Rect{0, 0, h->width, h->height};
    return Rect{};
}

bool HeadlessLayer::setHandleSize(NativeHandle handle, std::int32_t width, std::int32_t height)
{
    if (HeadlessWindow* w = findWindow(handle)) {
        setWindowSize(w, width, height);
        return true;
    }
    if (HostWindow* h = findHost(handle)) {
        h->width = std::max(0, width);
        h->height = std::max(0, height);
        return true;
    }
    return false;
}

void HeadlessLayer::getHandleClassName(NativeHandle handle, char* buffer, std::size_t size)
{
    copyText(buffer, size, std::string());
    if (findWindow(handle) != nullptr)
        copyText(buffer, size, "OrvexFrame");
    else if (HostWindow* h = findHost(handle))
        copyText(buffer, size, h->className);
}

bool HeadlessLayer::handleHasCaption(NativeHandle handle)
{
    HostWindow* h = findHost(handle);
    return h != nullptr && h->caption;
}

std::int32_t HeadlessLayer::getDialogFrameHeight() { return 3; } // the classic Win32 value

std::int32_t HeadlessLayer::getMouseButtons()
{
    if (mouseScript.empty()) {
        mouse.buttons = 0;
    } else {
        mouse = mouseScript.front();
        mouseScript.pop_front();
    }
    return mouse.buttons;
}

Point HeadlessLayer::getCursorPosition() { return mouse.position; }

CursorId HeadlessLayer::getSystemCursor(CursorShape shape) { return static_cast<CursorId>(shape) + 1; }
CursorId HeadlessLayer::getCurrentCursor() { return cursor; }
void HeadlessLayer::setCurrentCursor(CursorId c) { cursor = c; }

std::uint32_t HeadlessLayer::getTicks()
{
    now += tickStep;
    return now;
}

void HeadlessLayer::sleepMs(std::uint32_t ms) { now += ms; }

// Events reach headless windows only through the send*() helpers of Headless.h.
void HeadlessLayer::dispatchWindowEvents(Window*) {}

std::int32_t HeadlessLayer::showPopupMenu(Window*, const Point& screenPos, const std::vector<MenuItem>& items, bool)
{
    ++popups;
    lastPopup = items;
    lastPopupAt = screenPos;
    if (popupAnswers.empty())
        return -1;
    std::int32_t answer = popupAnswers.front();
    popupAnswers.pop_front();
    return answer;
}

bool HeadlessLayer::showOpenFileDialog(OpenFileRequest& request)
{
    if (request.fileBuffer == nullptr || request.fileBufferSize == 0)
        return false;
    headless::DialogRecord record;
    record.owner = request.owner;
    record.title = request.title != nullptr ? request.title : "";
    record.initialDir = request.initialDir != nullptr ? request.initialDir : "";
    record.flags = request.flags;
    record.ownerEnabled = request.owner == nullptr || headless::isEnabled(request.owner);
    // The filter is a list of zero-terminated texts ended by an empty one.
    for (const char* p = request.filter; p != nullptr && *p != '\0'; p += std::strlen(p) + 1)
        record.filter.emplace_back(p);
    dialogs.push_back(record);

    if (dialogAnswers.empty())
        return false;
    DialogAnswer answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    request.unavailable = answer.unavailable;
    // A path that does not fit fails as the system dialog does (buffer too small), leaving
    // the caller's buffers alone.
    if (!answer.choose || answer.path.empty() || answer.path.size() + 1 > request.fileBufferSize)
        return false;
    copyText(request.fileBuffer, request.fileBufferSize, answer.path);
    std::size_t cut = answer.path.find_last_of("\\/");
    std::string name = cut == std::string::npos ? answer.path : answer.path.substr(cut + 1);
    copyText(request.fileTitleBuffer, request.fileTitleSize, name);
    return true;
}

NativeHandle HeadlessLayer::getForegroundRootOwner() { return foreground; }

bool HeadlessLayer::enableWindow(NativeHandle handle, bool enable)
{
    if (handle == nullptr)
        return false;
    enables.push_back(headless::EnableRecord{handle, enable});
    auto it = std::find(disabled.begin(), disabled.end(), handle);
    bool wasDisabled = it != disabled.end();
    if (enable && wasDisabled)
        disabled.erase(it);
    else if (!enable && !wasDisabled)
        disabled.push_back(handle);
    return wasDisabled;
}

bool HeadlessLayer::initializeOle()
{
    ++oleCount;
    return true;
}

void HeadlessLayer::uninitializeOle()
{
    if (oleCount > 0)
        --oleCount;
}

} // namespace platform
