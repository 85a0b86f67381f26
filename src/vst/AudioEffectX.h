// The extended effect base: the opcodes added after the first version of the interface
// (names, vendor, capabilities, keys, speaker arrangement, MIDI programs...) and the host
// services an editor needs (edit gestures, capability queries, window sizing).
#pragma once

#include "vst/AudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(vst::HostCallback audioMaster, vst::Int32 numPrograms, vst::Int32 numParams);

    vst::IntPtr dispatcher(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr, float opt) override;

    // Asks for events only for synthesizers or effects that receive MIDI.
    void resume() override;

    // Parameters and programs.
    virtual bool canParameterBeAutomated(vst::Int32) { return true; }
    virtual bool string2parameter(vst::Int32, char*) { return false; }
    virtual bool getParameterProperties(vst::Int32, void*) { return false; }
    virtual bool beginEdit(vst::Int32 index);
    virtual bool endEdit(vst::Int32 index);
    virtual bool getProgramNameIndexed(vst::Int32, vst::Int32, char*) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual vst::Int32 beginLoadBank(void*) { return 0; }
    virtual vst::Int32 beginLoadProgram(void*) { return 0; }

    // Host queries.
    virtual bool ioChanged();
    virtual double updateSampleRate();
    virtual vst::Int32 updateBlockSize();
    virtual vst::Int32 getInputLatency();
    virtual vst::Int32 getOutputLatency();

    // Input and output description.
    virtual bool getInputProperties(vst::Int32, void*) { return false; }
    virtual bool getOutputProperties(vst::Int32, void*) { return false; }
    virtual bool setSpeakerArrangement(void*, void*) { return false; }
    virtual bool getSpeakerArrangement(void** pluginInput, void** pluginOutput);
    virtual bool setBypass(bool) { return false; }
    virtual bool setPanLaw(vst::Int32, float) { return false; }
    virtual bool setProcessPrecision(vst::Int32) { return false; }
    virtual vst::Int32 getNumMidiInputChannels() { return 0; }
    virtual vst::Int32 getNumMidiOutputChannels() { return 0; }

    // Time and processing.
    virtual void* getTimeInfo(vst::Int32 filter);
    virtual vst::Int32 getCurrentProcessLevel();
    virtual vst::Int32 getAutomationState();
    virtual vst::Int32 processEvents(void*) { return 0; }
    virtual vst::Int32 startProcess() { return 0; }
    virtual vst::Int32 stopProcess() { return 0; }
    virtual bool processVariableIo(void*) { return false; }
    virtual vst::Int32 setTotalSampleToProcess(vst::Int32 value) { return value; }

    // Host identity.
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual vst::Int32 getHostVendorVersion();
    virtual vst::IntPtr hostVendorSpecific(vst::Int32 arg1, vst::IntPtr arg2, void* ptrArg, float floatArg);
    virtual vst::Int32 canHostDo(char* text);
    virtual vst::Int32 getHostLanguage();

    // Effect identity.
    virtual void isSynth(bool state = true) { setFlag(vst::effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(vst::effFlagsNoSoundInStop, state); }
    virtual vst::Int32 getGetTailSize() { return 0; }
    virtual void* getDirectory();
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual vst::Int32 getVendorVersion() { return 0; }
    virtual vst::IntPtr vendorSpecific(vst::Int32, vst::IntPtr, void*, float) { return 0; }
    virtual vst::Int32 canDo(char*) { return 0; }
    virtual vst::Int32 getVstVersion() { return 2400; }
    virtual vst::Int32 getPlugCategory();

    // MIDI programs (unused by effects without MIDI).
    virtual vst::Int32 getMidiProgramName(vst::Int32, void*) { return 0; }
    virtual vst::Int32 getCurrentMidiProgram(vst::Int32, void*) { return -1; }
    virtual vst::Int32 getMidiProgramCategory(vst::Int32, void*) { return 0; }
    virtual bool hasMidiProgramsChanged(vst::Int32) { return false; }
    virtual bool getMidiKeyName(vst::Int32, void*) { return false; }

    // Editor support.
    virtual bool updateDisplay();
    virtual bool sizeWindow(vst::Int32 width, vst::Int32 height);
    virtual bool openFileSelector(vst::VstFileSelect* select);
    virtual bool closeFileSelector(vst::VstFileSelect* select);
    virtual vst::Int32 getNextShellPlugin(char*) { return 0; }

    // Deprecated: event input of earlier interface versions.
    virtual bool wantEvents(vst::Int32 filter = 1);
};
