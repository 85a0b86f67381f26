// Our own declarations of the VST 2.4 binary interface: the effect record a host keeps,
// the opcodes of both directions, the callback signature, and the few records passed by
// pointer (key codes, editor rectangle, file-select requests). Both the plug-in and the
// `orvex` host are built on these, so one set of offsets serves both sides.
//
// Layout notes: every field has its natural alignment, which is what hosts compiled with
// the published interface expect on both word sizes (the record is 144 bytes on 32-bit
// Windows and 192 bytes on 64-bit targets). Calls use the platform's C convention
// (cdecl on 32-bit Windows).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

namespace vst {

using Int16 = std::int16_t;
using Int32 = std::int32_t;
using IntPtr = std::intptr_t;

struct AEffect;

using HostCallback = IntPtr(VSTCALLBACK*)(AEffect* effect, Int32 opcode, Int32 index, IntPtr value,
                                          void* ptr, float opt);
using DispatcherProc = IntPtr(VSTCALLBACK*)(AEffect* effect, Int32 opcode, Int32 index, IntPtr value,
                                            void* ptr, float opt);
using ProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs, Int32 sampleFrames);
using ProcessDoubleProc = void(VSTCALLBACK*)(AEffect* effect, double** inputs, double** outputs,
                                             Int32 sampleFrames);
using SetParameterProc = void(VSTCALLBACK*)(AEffect* effect, Int32 index, float parameter);
using GetParameterProc = float(VSTCALLBACK*)(AEffect* effect, Int32 index);

// A four-character code, first character in the most significant byte.
constexpr Int32 fourCC(char a, char b, char c, char d)
{
    return static_cast<Int32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr Int32 kEffectMagic = fourCC('V', 's', 't', 'P');

struct AEffect {
    Int32 magic;                     // kEffectMagic
    DispatcherProc dispatcher;       // host -> effect opcodes
    ProcessProc process;             // deprecated accumulating process
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    Int32 numPrograms;
    Int32 numParams;
    Int32 numInputs;
    Int32 numOutputs;
    Int32 flags;                     // EffectFlags
    IntPtr resvd1;                   // reserved for the host, 0
    IntPtr resvd2;                   // reserved for the host, 0
    Int32 initialDelay;              // latency in samples reported to the host
    Int32 realQualities;             // deprecated
    Int32 offQualities;              // deprecated
    float ioRatio;                   // deprecated
    void* object;                    // the plug-in's own object
    void* user;                      // free for the host
    Int32 uniqueID;
    Int32 version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum EffectFlags : Int32 {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,        // deprecated
    effFlagsHasVu = 1 << 2,          // deprecated
    effFlagsCanMono = 1 << 3,        // deprecated
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,    // deprecated
    effFlagsExtHasBuffer = 1 << 11,  // deprecated
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Host -> effect.
enum EffectOpcodes : Int32 {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,                  // 9, deprecated
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,               // 16, deprecated
    effEditMouse,              // 17, deprecated
    effEditKey,                // 18, deprecated
    effEditIdle,
    effEditTop,                // 20, deprecated
    effEditSleep,              // 21, deprecated
    effIdentify,               // 22, deprecated
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories, // 28, deprecated
    effGetProgramNameIndexed,
    effCopyProgram,            // 30, deprecated
    effConnectInput,           // 31, deprecated
    effConnectOutput,          // 32, deprecated
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,     // 36, deprecated
    effGetDestinationBuffer,   // 37, deprecated
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate, // 43, deprecated
    effSetBypass,
    effGetEffectName,
    effGetErrorText,           // 46, deprecated
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle,                   // 53, deprecated
    effGetIcon,                // 54, deprecated
    effSetViewPosition,        // 55, deprecated
    effGetParameterProperties,
    effKeysRequired,           // 57, deprecated
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,
};

// Effect -> host.
enum HostOpcodes : Int32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,   // deprecated
    audioMasterWantMidi = 6,       // deprecated
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterSetTime = 9,        // deprecated
    audioMasterTempoAt = 10,       // deprecated
    audioMasterGetNumAutomatableParameters = 11, // deprecated
    audioMasterGetParameterQuantization = 12,    // deprecated
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,      // deprecated
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20, // deprecated
    audioMasterGetNextPlug = 21,     // deprecated
    audioMasterWillReplaceOrAccumulate = 22, // deprecated
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30, // deprecated
    audioMasterGetOutputSpeakerArrangement = 31, // deprecated
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterSetIcon = 36,       // deprecated
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,    // deprecated
    audioMasterCloseWindow = 40,   // deprecated
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterEditFile = 47,      // deprecated
    audioMasterGetChunkFile = 48,  // deprecated
    audioMasterGetInputSpeakerArrangement = 49, // deprecated
};

// What audioMasterGetCurrentProcessLevel answers.
enum ProcessLevel : Int32 {
    kVstProcessLevelUnknown = 0,  // the host cannot tell
    kVstProcessLevelUser = 1,     // the user interface thread
    kVstProcessLevelRealtime = 2, // the audio thread, in real time
    kVstProcessLevelPrefetch = 3, // a sequencer thread ahead of time
    kVstProcessLevelOffline = 4,  // rendering offline, no deadline
};

// Customary buffer sizes of the interface's text queries.
enum StringLimits : Int32 {
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxEffectNameLen = 32,
};

enum PlugCategory : Int32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect,
    kPlugCategSynth,
};

struct VstKeyCode {
    Int32 character;
    unsigned char virt;      // virtual key code
    unsigned char modifier;  // modifier bits
};

// Editor rectangle handed out by effEditGetRect.
struct ERect {
    Int16 top;
    Int16 left;
    Int16 bottom;
    Int16 right;
};

struct VstFileType {
    char name[128];
    char macType[8];
    char dosType[8];
    char unixType[8];
    char mimeType1[128];
    char mimeType2[128];
};

enum VstFileCommand : Int32 {
    kVstFileLoad = 0,
    kVstFileSave,
    kVstMultipleFilesLoad,
    kVstDirectorySelect,
};

enum VstFileKind : Int32 {
    kVstFileType = 0,
};

struct VstFileSelect {
    Int32 command;              // VstFileCommand
    Int32 type;                 // VstFileKind
    Int32 macCreator;
    Int32 nbFileTypes;
    VstFileType* fileTypes;
    char title[1024];
    char* initialPath;
    char* returnPath;           // caller's buffer, or null for one the selector allocates
    Int32 sizeReturnPath;
    char** returnMultiplePaths;
    Int32 nbReturnPath;
    IntPtr reserved;
    char future[116];
};

// The exported entry point's signature.
using MainProc = AEffect*(VSTCALLBACK*)(HostCallback host);

} // namespace vst
