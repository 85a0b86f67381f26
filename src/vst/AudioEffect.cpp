#include "vst/AudioEffect.h"

#include "vst/AEffEditor.h"
#include "vst/HostStrings.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace vst;

AudioEffect::AudioEffect(HostCallback audioMaster_, Int32 numPrograms_, Int32 numParams_)
    : audioMaster(audioMaster_),
      editor(nullptr),
      sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(numPrograms_),
      numParams(numParams_),
      curProgram(0)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms_;
    cEffect.numParams = numParams_;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(Int32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

IntPtr AudioEffect::callHost(Int32 opcode, Int32 index, IntPtr value, void* ptr, float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(Int32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

Int32 AudioEffect::getChunk(void**, bool)
{
    return 0;
}

Int32 AudioEffect::setChunk(void*, Int32, bool)
{
    return 0;
}

Int32 AudioEffect::getMasterVersion()
{
    Int32 version = 1;
    if (audioMaster) {
        version = static_cast<Int32>(callHost(audioMasterVersion));
        if (!version)
            version = 1;
    }
    return version;
}

Int32 AudioEffect::getCurrentUniqueId()
{
    return static_cast<Int32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(Int32 input)
{
    return audioMaster ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}

bool AudioEffect::isOutputConnected(Int32 output)
{
    return audioMaster ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

void AudioEffect::dB2string(float value, char* text, Int32 maxLen)
{
    if (value <= 0.0f)
        hoststr::copy(text, "-oo", maxLen);
    else
        float2string(20.0f * std::log10(value), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, Int32 maxLen)
{
    const float hz = samples == 0.0f ? 0.0f : sampleRate / samples;
    float2string(hz, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, Int32 maxLen)
{
    float2string(samples * 1000.0f / sampleRate, text, maxLen);
}

void AudioEffect::float2string(float value, char* text, Int32 maxLen)
{
    hoststr::float2string(value, text, maxLen);
}

void AudioEffect::int2string(Int32 value, char* text, Int32 maxLen)
{
    hoststr::int2string(value, text, maxLen);
}

IntPtr AudioEffect::dispatcher(Int32 opcode, Int32 index, IntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 1;
    case effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<Int32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr)
            setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr)
            getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr)
            getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr)
            getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr)
            getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<Int32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        if (editor && ptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        return editor ? (editor->open(ptr) ? 1 : 0) : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify:
        return fourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        return setChunk(ptr, static_cast<Int32>(value), index != 0);
    default:
        return 0;
    }
}

// Static routing: the record's object field leads back to the effect.

IntPtr VSTCALLBACK AudioEffect::dispatchEffectClass(AEffect* e, Int32 opcode, Int32 index, IntPtr value, void* ptr,
                                                    float opt)
{
    auto* effect = static_cast<AudioEffect*>(e->object);
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void VSTCALLBACK AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, Int32 frames)
{
    static_cast<AudioEffect*>(e->object)->process(inputs, outputs, frames);
}

void VSTCALLBACK AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs, Int32 frames)
{
    static_cast<AudioEffect*>(e->object)->processReplacing(inputs, outputs, frames);
}

void VSTCALLBACK AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                                          Int32 frames)
{
    static_cast<AudioEffect*>(e->object)->processDoubleReplacing(inputs, outputs, frames);
}

void VSTCALLBACK AudioEffect::setParameterClass(AEffect* e, Int32 index, float value)
{
    static_cast<AudioEffect*>(e->object)->setParameter(index, value);
}

float VSTCALLBACK AudioEffect::getParameterClass(AEffect* e, Int32 index)
{
    return static_cast<AudioEffect*>(e->object)->getParameter(index);
}
