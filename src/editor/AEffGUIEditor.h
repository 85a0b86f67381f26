// An editor drawn with the toolkit: owns the frame while open, forwards the host's idle, keys
// and wheel to it, keeps the host alive during long mouse gestures (doIdleStuff) and passes
// edit gestures from the frame to the effect and on to the host.
//
// Thread: the host's user-interface thread, which also runs the frame's window.
#pragma once

#include "gui/CFrameEditor.h"
#include "vst/AEffEditor.h"

#include <cstdint>

class AudioEffectX;

namespace gui {
class CFrame;
}

class AEffGUIEditor : public AEffEditor, public gui::CFrameEditor {
public:
    explicit AEffGUIEditor(AudioEffectX* effect);
    ~AEffGUIEditor() override;

    bool getRect(vst::ERect** r) override;
    // Remembers the parent window; the derived editor builds the frame.
    bool open(void* parentWindow) override;
    // Destroys the frame and every view in it.
    void close() override;
    // Redraws the dirty views (nothing while doIdleStuff is calling the host).
    void idle() override;
    bool onKeyDown(vst::VstKeyCode& key) override;
    bool onKeyUp(vst::VstKeyCode& key) override;
    // A wheel turn reported by the host: delivered at the cursor's position over the frame.
    bool onWheel(float distance) override;
    // Stores the toolkit's knob mode.
    bool setKnobMode(vst::Int32 mode) override;
    // A parameter changed in the effect; the derived editor shows it.
    virtual void setParameter(vst::Int32 index, float value);

    // gui::CFrameEditor
    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;
    // Paced by the tick counter: at most one round every ~100 ms runs idle(), one pending
    // paint of this thread's windows and the host's idle.
    void doIdleStuff() override;
    bool canHostDo(const char* text) override;
    bool sizeWindow(std::int32_t width, std::int32_t height) override;
    // The layer the next frame is made on: the process's default, or the one given here.
    platform::WindowLayer& windowLayer() override;
    // Draws the next frames on this layer (null: the process's default again). Only while
    // no frame is open: an open frame keeps the layer it was made on.
    void setWindowLayer(platform::WindowLayer* layer);

    gui::CFrame* getFrame() const { return frame; }

protected:
    AudioEffectX* effectX;          // the owning effect, not owned
    vst::ERect rect{};              // reported to the host: top, left, bottom, right
    std::uint32_t lastTicks = 0;    // tick count before which doIdleStuff holds back
    bool inIdleStuff = false;       // doIdleStuff is calling the host's idle
    gui::CFrame* frame = nullptr;   // the frame while open, else null
    platform::WindowLayer* layer_ = nullptr; // set by setWindowLayer; null: the process's default
};
