#include "editor/AEffGUIEditor.h"

#include "gui/CFrame.h"
#include "vst/AudioEffectX.h"
#include "platform/WindowLayer.h"

#include <cstring>

AEffGUIEditor::AEffGUIEditor(AudioEffectX* effect) : AEffEditor(effect), effectX(effect)
{
    // No frame and no layer of its own yet: the default layer's clock starts the pacing.
    lastTicks = platform::defaultLayer().getTicks();
}

AEffGUIEditor::~AEffGUIEditor()
{
    AEffGUIEditor::close();
}

bool AEffGUIEditor::getRect(vst::ERect** r)
{
    if (!r)
        return false;
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow)
{
    systemWindow = parentWindow;
    return true;
}

void AEffGUIEditor::close()
{
    if (frame) {
        gui::CFrame* old = frame;
        frame = nullptr;
        old->forget();
    }
}

void AEffGUIEditor::idle()
{
    if (inIdleStuff)
        return;
    if (frame)
        frame->idle();
}

bool AEffGUIEditor::onKeyDown(vst::VstKeyCode& key)
{
    return frame ? frame->onKeyDown(key) == 1 : false;
}

bool AEffGUIEditor::onKeyUp(vst::VstKeyCode& key)
{
    return frame ? frame->onKeyUp(key) == 1 : false;
}

bool AEffGUIEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    // The host reports no position: the wheel acts where the cursor is over our window.
    gui::CPoint where;
    frame->getCurrentLocation(where);
    return frame->onWheel(nullptr, where, distance);
}

bool AEffGUIEditor::setKnobMode(vst::Int32 mode)
{
    gui::CFrame::setGlobalKnobMode(mode);
    return true;
}

void AEffGUIEditor::setParameter(vst::Int32, float) {}

void AEffGUIEditor::beginEdit(std::int32_t index)
{
    if (effectX)
        effectX->beginEdit(index);
}

void AEffGUIEditor::endEdit(std::int32_t index)
{
    if (effectX)
        effectX->endEdit(index);
}

void AEffGUIEditor::doIdleStuff()
{
    // Tick arithmetic is done on signed differences, so the counter's wrap after 49 days
    // (and a lastTicks below 50) cannot turn "a little early" into "ages late".
    // Time, sleeping and paints are the frame's layer's: an editor drawn offline runs on its
    // fake clock and must not sleep the host's thread or take the screen's paints.
    platform::WindowLayer& layer = frame ? frame->getWindowLayer() : windowLayer();
    std::uint32_t now = layer.getTicks();
    if (static_cast<std::int32_t>(now - lastTicks) < 0) {
        layer.sleepMs(4);
        now += 4;
        if (static_cast<std::int32_t>(now - (lastTicks - 50)) < 0)
            return;
    }
    idle();
    layer.dispatchPendingPaint();
    lastTicks = now + 100;
    if (effectX) {
        inIdleStuff = true;
        effectX->masterIdle();
        inIdleStuff = false;
    }
}

bool AEffGUIEditor::canHostDo(const char* text)
{
    if (!effectX || !text)
        return false;
    char copy[64];
    std::strncpy(copy, text, sizeof copy - 1);
    copy[sizeof copy - 1] = 0;
    return effectX->canHostDo(copy) != 0;
}

platform::WindowLayer& AEffGUIEditor::windowLayer()
{
    return layer_ ? *layer_ : platform::defaultLayer();
}

void AEffGUIEditor::setWindowLayer(platform::WindowLayer* layer)
{
    if (!frame)
        layer_ = layer;
}

bool AEffGUIEditor::sizeWindow(std::int32_t width, std::int32_t height)
{
    return effectX ? effectX->sizeWindow(width, height) : false;
}
