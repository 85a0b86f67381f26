// The frame's window events: what the platform reports about the frame's window (paints,
// presses, wheel, keys, drags from other programs, destruction) turned into the frame's
// drawing and input calls.
#include "gui/CFrame.h"

#include "gui/CDrawContext.h"
#include "gui/CDropTarget.h"

namespace gui {

void CFrame::windowDestroyed()
{
    // The host destroyed its window (and ours with it), or the frame is going: no drawing
    // from now on, and the window handle is no longer ours to use.
    openFlag = false;
    parentWindow = nullptr;
    revokeDropTarget();
    window = nullptr;
}

void CFrame::WindowEvents::onPaint(const platform::Rect& damaged)
{
    frame.paintWindow(CRect(damaged.left, damaged.top, damaged.right, damaged.bottom));
}

void CFrame::WindowEvents::onButtonDown(const platform::Point& where)
{
    if (frame.destroying)
        return;
    CDrawContext* context = frame.createDrawContext();
    frame.mouse(context, CPoint(where.x, where.y), -1);
    if (context)
        context->forget();
}

void CFrame::WindowEvents::onButtonPress(const platform::Point& where, std::int32_t buttons)
{
    if (frame.destroying)
        return;
    // The platform's bits are the toolkit's (left 1, middle 2, right 4, shift 8, control 16,
    // alt 32).
    CDrawContext* context = frame.createDrawContext();
    frame.mouse(context, CPoint(where.x, where.y), buttons);
    if (context)
        context->forget();
}

void CFrame::WindowEvents::onWheel(const platform::Point& where, float distance)
{
    if (frame.destroying)
        return;
    CDrawContext* context = frame.createDrawContext();
    frame.onWheel(context, CPoint(where.x, where.y), distance);
    if (context)
        context->forget();
}

void CFrame::WindowEvents::onDestroy()
{
    frame.windowDestroyed();
}

void CFrame::WindowEvents::onKey(const platform::KeyEvent& key, bool down)
{
    if (frame.destroying)
        return;
    CKeyCode code{};
    code.character = key.character;
    code.virt = key.virtualKey;
    code.modifier = key.modifiers;
    if (down)
        frame.onKeyDown(code);
    else
        frame.onKeyUp(code);
}

void CFrame::WindowEvents::onHorizontalWheel(const platform::Point& where, float distance)
{
    if (frame.destroying)
        return;
    CDrawContext* context = frame.createDrawContext();
    frame.onWheel(context, CPoint(where.x, where.y), kMouseWheelAxisX, distance);
    if (context)
        context->forget();
}

namespace {

// A drag from another program as the views see it: what it offers, without its items (the
// data is never fetched; no view of this system reads a drag).
class OfferedDrag : public CDragData {
public:
    explicit OfferedDrag(const platform::DragOffer& offer) : offer_(offer) {}
    bool hasText() const override { return offer_.text; }
    std::int32_t getFileCount() const override { return 0; }
    bool getText(char* buffer, std::size_t size) const override
    {
        if (buffer && size > 0)
            buffer[0] = 0;
        return false;
    }
    bool getFile(std::int32_t, char* buffer, std::size_t size) const override { return getText(buffer, size); }

private:
    platform::DragOffer offer_; // the types the source listed
};

} // namespace

std::uint32_t CFrame::WindowEvents::onDrag(platform::DragPhase phase, const platform::Point& screenPos,
                                           const platform::DragOffer& offer)
{
    CDropTarget* target = frame.getDropTarget();
    if (frame.destroying || !target)
        return 0;
    // The source allows copying and moving; the drop target picks the feedback.
    std::uint32_t effect = kDropEffectCopy | kDropEffectMove;
    const CPoint where(screenPos.x, screenPos.y);
    switch (phase) {
    case platform::DragPhase::enter:
        drag = std::make_unique<OfferedDrag>(offer);
        target->dragEnter(drag.get(), 0, where, &effect);
        break;
    case platform::DragPhase::over:
        target->dragOver(0, where, &effect);
        break;
    case platform::DragPhase::leave:
        target->dragLeave();
        drag.reset();
        effect = 0;
        break;
    case platform::DragPhase::drop:
        target->drop(drag.get(), 0, where, &effect);
        drag.reset();
        break;
    }
    return effect;
}

} // namespace gui
