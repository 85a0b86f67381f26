// The editor side of the host bridge: what the dispatcher's editor opcodes reach. The
// effect owns one editor object (deleted by AudioEffect's destructor); the concrete editor
// lives in the editor layer.
#pragma once

#include "vst/VstAbi.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect* getEffect() { return effect; }
    // Hands out the editor rectangle (owned by the editor); false when there is none.
    virtual bool getRect(vst::ERect** r)
    {
        *r = nullptr;
        return false;
    }
    virtual bool open(void* parentWindow)
    {
        systemWindow = parentWindow;
        return false;
    }
    virtual void close() {}
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(vst::VstKeyCode&) { return false; }
    virtual bool onKeyUp(vst::VstKeyCode&) { return false; }
    virtual bool onWheel(float) { return false; }
    virtual bool setKnobMode(vst::Int32) { return false; }

protected:
    AudioEffect* effect;           // the owning effect, not owned
    void* systemWindow = nullptr;  // the host's parent window of the last open()
};
