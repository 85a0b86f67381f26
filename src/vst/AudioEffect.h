// Base of every effect: owns the effect record the host keeps, holds the host callback,
// sample rate and block size, and turns the host's opcodes into virtual operations.
//
// Threads: the host calls the dispatcher on its user-interface thread, setParameter from
// user-interface or automation threads and processReplacing on its audio thread; the base
// forwards each call on the caller's thread and locks nothing.
#pragma once

#include "vst/VstAbi.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(vst::HostCallback audioMaster, vst::Int32 numPrograms, vst::Int32 numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // Opcode routing; host UI thread.
    virtual vst::IntPtr dispatcher(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(vst::Int32 size) { blockSize = size; }

    // Audio thread.
    virtual void processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double**, double**, vst::Int32) {}

    // Parameters: any thread the host chooses.
    virtual void setParameter(vst::Int32, float) {}
    virtual float getParameter(vst::Int32) { return 0.0f; }
    // Applies the value, then tells the host about it (the editor's path for user changes).
    virtual void setParameterAutomated(vst::Int32 index, float value);

    virtual vst::Int32 getProgram() { return curProgram; }
    virtual void setProgram(vst::Int32 program) { curProgram = program; }
    virtual void setProgramName(char*) {}
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(vst::Int32, char* label) { *label = 0; }
    virtual void getParameterDisplay(vst::Int32, char* text) { *text = 0; }
    virtual void getParameterName(vst::Int32, char* text) { *text = 0; }
    virtual vst::Int32 getChunk(void** data, bool isPreset = false);
    virtual vst::Int32 setChunk(void* data, vst::Int32 byteSize, bool isPreset = false);

    virtual void setUniqueID(vst::Int32 id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(vst::Int32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(vst::Int32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(vst::effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) { setFlag(vst::effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(vst::effFlagsProgramChunks, state); }
    virtual void setInitialDelay(vst::Int32 delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    // Takes ownership; the flag effFlagsHasEditor follows whether an editor is attached.
    virtual void setEditor(AEffEditor* newEditor);
    virtual vst::AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual vst::Int32 getBlockSize() { return blockSize; }
    virtual vst::Int32 getMasterVersion();
    virtual vst::Int32 getCurrentUniqueId();
    virtual void masterIdle();

    virtual void dB2string(float value, char* text, vst::Int32 maxLen);
    virtual void Hz2string(float samples, char* text, vst::Int32 maxLen);
    virtual void ms2string(float samples, char* text, vst::Int32 maxLen);
    virtual void float2string(float value, char* text, vst::Int32 maxLen);
    virtual void int2string(vst::Int32 value, char* text, vst::Int32 maxLen);

    // Deprecated pin queries: true when there is no host or it does not answer.
    virtual bool isInputConnected(vst::Int32 input);
    virtual bool isOutputConnected(vst::Int32 output);

    vst::HostCallback getAudioMaster() const { return audioMaster; }

protected:
    void setFlag(vst::Int32 flag, bool state);
    // Calls the host with this effect's record; 0 without a host.
    vst::IntPtr callHost(vst::Int32 opcode, vst::Int32 index = 0, vst::IntPtr value = 0, void* ptr = nullptr,
                         float opt = 0.0f);

    vst::HostCallback audioMaster; // every host service goes through it; may be null
    AEffEditor* editor;            // owned; deleted by the destructor
    float sampleRate;              // current host rate, Hz
    vst::Int32 blockSize;          // largest block the host will pass
    vst::Int32 numPrograms;        // bound for effSetProgram
    vst::Int32 numParams;          // number of host parameters
    vst::Int32 curProgram;         // index of the current program
    vst::AEffect cEffect;          // the record handed to the host

private:
    static vst::IntPtr VSTCALLBACK dispatchEffectClass(vst::AEffect* e, vst::Int32 opcode, vst::Int32 index,
                                                       vst::IntPtr value, void* ptr, float opt);
    static void VSTCALLBACK processClass(vst::AEffect* e, float** inputs, float** outputs, vst::Int32 frames);
    static void VSTCALLBACK processClassReplacing(vst::AEffect* e, float** inputs, float** outputs,
                                                  vst::Int32 frames);
    static void VSTCALLBACK processClassDoubleReplacing(vst::AEffect* e, double** inputs, double** outputs,
                                                        vst::Int32 frames);
    static void VSTCALLBACK setParameterClass(vst::AEffect* e, vst::Int32 index, float value);
    static float VSTCALLBACK getParameterClass(vst::AEffect* e, vst::Int32 index);

    // The deprecated accumulating process call: does nothing.
    virtual void process(float**, float**, vst::Int32) {}
};
