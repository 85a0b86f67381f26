// The controls of platform/Headless.h: scripts, answers and records of the headless layer,
// for tests and offline rendering.
#include "platform/headless/HeadlessLayer.h"

#include <algorithm>

namespace platform {

namespace headless {

namespace {
HeadlessLayer& state() { return static_cast<HeadlessLayer&>(headlessLayer()); }
} // namespace

void reset() { state().reset(); }

void queueMouse(const MouseState& s) { state().mouseScript.push_back(s); }
void queueMouse(const std::vector<MouseState>& states)
{
    for (const MouseState& s : states)
        state().mouseScript.push_back(s);
}
void setMouse(const MouseState& s) { state().mouse = s; }
std::size_t pendingMouseStates() { return state().mouseScript.size(); }

void setTicks(std::uint32_t now) { state().now = now; }
void setTickStep(std::uint32_t step) { state().tickStep = step; }
std::uint32_t peekTicks() { return state().now; }
std::size_t paintDispatchCount() { return state().paintDispatches; }

CursorShape currentCursorShape()
{
    CursorId c = state().cursor;
    if (c < 1 || c > static_cast<CursorId>(CursorShape::hand) + 1)
        return CursorShape::arrow;
    return static_cast<CursorShape>(c - 1);
}

void queuePopupAnswer(std::int32_t number) { state().popupAnswers.push_back(number); }
const std::vector<MenuItem>& lastPopupItems() { return state().lastPopup; }
Point lastPopupPosition() { return state().lastPopupAt; }
std::size_t popupCount() { return state().popups; }

void queueDialogChoose(const std::string& path) { state().dialogAnswers.push_back({true, path}); }
void queueDialogCancel() { state().dialogAnswers.push_back({false, std::string()}); }
void queueDialogUnavailable(const char* text) { state().dialogAnswers.push_back({false, std::string(), text}); }
const std::vector<DialogRecord>& dialogRecords() { return state().dialogs; }

NativeHandle createHostWindow(std::int32_t width, std::int32_t height, NativeHandle parent, const char* className,
                              bool hasCaption)
{
    return state().createHost(width, height, parent, className, hasCaption);
}
void destroyHostWindow(NativeHandle handle) { state().destroyHost(handle); }
void setForegroundRootOwner(NativeHandle handle) { state().foreground = handle; }
const std::vector<EnableRecord>& enableRecords() { return state().enables; }
bool isEnabled(NativeHandle handle)
{
    const auto& d = state().disabled;
    return std::find(d.begin(), d.end(), handle) == d.end();
}

Snapshot snapshot(const Window* window)
{
    Snapshot s;
    if (HeadlessLayer::HeadlessWindow* w = state().findWindow(window)) {
        s.width = w->width;
        s.height = w->height;
        s.pixels = w->pixels;
    }
    return s;
}

std::size_t presentCount(const Window* window)
{
    HeadlessLayer::HeadlessWindow* w = state().findWindow(window);
    return w != nullptr ? w->presents : 0;
}

Rect takeInvalidArea(Window* window)
{
    HeadlessLayer::HeadlessWindow* w = state().findWindow(window);
    if (w == nullptr || !w->hasInvalid)
        return Rect{};
    w->hasInvalid = false;
    return w->invalid;
}

void sendPaint(Window* window, const Rect& damaged)
{
    HeadlessLayer::HeadlessWindow* w = state().findWindow(window);
    if (w != nullptr && w->listener != nullptr)
        w->listener->onPaint(damaged);
}

void sendButtonDown(Window* window, const Point& where)
{
    HeadlessLayer::HeadlessWindow* w = state().findWindow(window);
    if (w != nullptr && w->listener != nullptr)
        w->listener->onButtonDown(where);
}

void sendWheel(Window* window, const Point& screenPos, float distance)
{
    HeadlessLayer::HeadlessWindow* w = state().findWindow(window);
    if (w != nullptr && w->listener != nullptr)
        w->listener->onWheel(Point{screenPos.x - w->origin.x, screenPos.y - w->origin.y}, distance);
}

void setWindowScreenOrigin(Window* window, const Point& origin)
{
    if (HeadlessLayer::HeadlessWindow* w = state().findWindow(window))
        w->origin = origin;
}

Window* lastWindow() { return state().newest; }

void* registeredDropTarget(const Window* window)
{
    HeadlessLayer::HeadlessWindow* w = state().findWindow(window);
    return w != nullptr ? w->dropTarget : nullptr;
}

std::int32_t oleInitCount() { return state().oleCount; }

} // namespace headless

} // namespace platform
