#include "vst/AudioEffectX.h"

#include "vst/AEffEditor.h"

#include <cstring>

using namespace vst;

AudioEffectX::AudioEffectX(HostCallback audioMaster_, Int32 numPrograms_, Int32 numParams_)
    : AudioEffect(audioMaster_, numPrograms_, numParams_)
{
}

void AudioEffectX::resume()
{
    char receive[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(receive) == 1)
        wantEvents();
}

bool AudioEffectX::beginEdit(Int32 index)
{
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(Int32 index)
{
    return callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::ioChanged()
{
    return callHost(audioMasterIOChanged) != 0;
}

double AudioEffectX::updateSampleRate()
{
    const IntPtr res = callHost(audioMasterGetSampleRate);
    if (res > 0)
        sampleRate = static_cast<float>(res);
    return sampleRate;
}

Int32 AudioEffectX::updateBlockSize()
{
    const IntPtr res = callHost(audioMasterGetBlockSize);
    if (res > 0)
        blockSize = static_cast<Int32>(res);
    return blockSize;
}

Int32 AudioEffectX::getInputLatency()
{
    return static_cast<Int32>(callHost(audioMasterGetInputLatency));
}

Int32 AudioEffectX::getOutputLatency()
{
    return static_cast<Int32>(callHost(audioMasterGetOutputLatency));
}

bool AudioEffectX::getSpeakerArrangement(void** pluginInput, void** pluginOutput)
{
    if (pluginInput)
        *pluginInput = nullptr;
    if (pluginOutput)
        *pluginOutput = nullptr;
    return false;
}

void* AudioEffectX::getTimeInfo(Int32 filter)
{
    return reinterpret_cast<void*>(callHost(audioMasterGetTime, 0, filter));
}

Int32 AudioEffectX::getCurrentProcessLevel()
{
    return static_cast<Int32>(callHost(audioMasterGetCurrentProcessLevel));
}

Int32 AudioEffectX::getAutomationState()
{
    return static_cast<Int32>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text)
{
    if (text)
        *text = 0;
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text)
{
    if (text)
        *text = 0;
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

Int32 AudioEffectX::getHostVendorVersion()
{
    return static_cast<Int32>(callHost(audioMasterGetVendorVersion));
}

IntPtr AudioEffectX::hostVendorSpecific(Int32 arg1, IntPtr arg2, void* ptrArg, float floatArg)
{
    return callHost(audioMasterVendorSpecific, arg1, arg2, ptrArg, floatArg);
}

Int32 AudioEffectX::canHostDo(char* text)
{
    return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}

Int32 AudioEffectX::getHostLanguage()
{
    return static_cast<Int32>(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::getDirectory()
{
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

Int32 AudioEffectX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::updateDisplay()
{
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::sizeWindow(Int32 width, Int32 height)
{
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select)
{
    return select && callHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select)
{
    return select && callHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::wantEvents(Int32 filter)
{
    return callHost(audioMasterWantMidi, 0, filter) != 0;
}

IntPtr AudioEffectX::dispatcher(Int32 opcode, Int32 index, IntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effProcessEvents:
        processEvents(ptr);
        return 0;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return 0;
    case effGetProgramNameIndexed:
        return (ptr && getProgramNameIndexed(static_cast<Int32>(value), index, static_cast<char*>(ptr))) ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties:
        return 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
        return 0;
    case effSetBypass:
        setBypass(value != 0);
        return 0;
    case effGetEffectName:
        return (ptr && getEffectName(static_cast<char*>(ptr))) ? 1 : 0;
    case effGetVendorString:
        return (ptr && getVendorString(static_cast<char*>(ptr))) ? 1 : 0;
    case effGetProductString:
        return (ptr && getProductString(static_cast<char*>(ptr))) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return ptr ? canDo(static_cast<char*>(ptr)) : 0;
    case effGetTailSize:
        return getGetTailSize();
    case effGetParameterProperties:
        return 0;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
        if (editor) {
            VstKeyCode key;
            key.character = index;
            key.virt = static_cast<unsigned char>(value & 0xFF);
            key.modifier = static_cast<unsigned char>(static_cast<Int32>(opt) & 0xFF);
            const bool handled = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
            return handled ? 1 : 0;
        }
        return 0;
    case effSetEditKnobMode:
        return editor ? (editor->setKnobMode(static_cast<Int32>(value)) ? 1 : 0) : 0;
    case effGetMidiProgramName:
        return 0;
    case effGetCurrentMidiProgram:
        return -1;
    case effGetMidiProgramCategory:
    case effHasMidiProgramsChanged:
    case effGetMidiKeyName:
    case effBeginSetProgram:
    case effEndSetProgram:
        return 0;
    case effGetSpeakerArrangement:
        getSpeakerArrangement(reinterpret_cast<void**>(value), static_cast<void**>(ptr));
        return 0;
    case effShellGetNextPlugin:
        return 0;
    case effStartProcess:
    case effStopProcess:
        return 0;
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(static_cast<Int32>(value));
    case effSetPanLaw:
    case effBeginLoadBank:
    case effBeginLoadProgram:
    case effSetProcessPrecision:
    case effGetNumMidiInputChannels:
    case effGetNumMidiOutputChannels:
        return 0;
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}
