// Compile-time proof that host/VstAbi.h lays the VST 2.4 records out as hosts expect. This
// file holds nothing but assertions: for the 32-bit Windows product, which no machine of
// ours can run, compiling it is the test.
#include "VstAbiPublished.h"
#include "vst/VstAbi.h"

#include <cstddef>
#include <type_traits>

using orvex_abi::published;

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "only 32- and 64-bit targets exist");
static_assert(sizeof(vst::IntPtr) == sizeof(void*), "IntPtr must be pointer-sized");
static_assert(sizeof(vst::Int32) == 4 && sizeof(vst::Int16) == 2 && sizeof(float) == 4,
              "fixed-width fields");
static_assert(vst::kEffectMagic == 0x56737450, "magic is 'VstP' with V in the top byte");

#define ORVEX_CHECK_FIELD(record, field, on32, on64)                               \
    static_assert(offsetof(vst::record, field) == published(on32, on64),           \
                  #record "::" #field " is not at its published offset");

#define ORVEX_CHECK_RECORD(record, sizes)                                  \
    static_assert(std::is_standard_layout<vst::record>::value,                     \
                  #record " must be standard-layout to have a fixed layout");      \
    static_assert(sizeof(vst::record) == published(sizes),                         \
                  #record " does not have its published size");

#define ORVEX_AEFFECT_ROW(field, on32, on64) ORVEX_CHECK_FIELD(AEffect, field, on32, on64)
#define ORVEX_VSTKEYCODE_ROW(field, on32, on64) ORVEX_CHECK_FIELD(VstKeyCode, field, on32, on64)
#define ORVEX_ERECT_ROW(field, on32, on64) ORVEX_CHECK_FIELD(ERect, field, on32, on64)
#define ORVEX_VSTFILETYPE_ROW(field, on32, on64) ORVEX_CHECK_FIELD(VstFileType, field, on32, on64)
#define ORVEX_VSTFILESELECT_ROW(field, on32, on64) \
    ORVEX_CHECK_FIELD(VstFileSelect, field, on32, on64)

ORVEX_CHECK_RECORD(AEffect, ORVEX_AEFFECT_SIZE)
ORVEX_AEFFECT_FIELDS(ORVEX_AEFFECT_ROW)
ORVEX_CHECK_RECORD(VstKeyCode, ORVEX_VSTKEYCODE_SIZE)
ORVEX_VSTKEYCODE_FIELDS(ORVEX_VSTKEYCODE_ROW)
ORVEX_CHECK_RECORD(ERect, ORVEX_ERECT_SIZE)
ORVEX_ERECT_FIELDS(ORVEX_ERECT_ROW)
ORVEX_CHECK_RECORD(VstFileType, ORVEX_VSTFILETYPE_SIZE)
ORVEX_VSTFILETYPE_FIELDS(ORVEX_VSTFILETYPE_ROW)
ORVEX_CHECK_RECORD(VstFileSelect, ORVEX_VSTFILESELECT_SIZE)
ORVEX_VSTFILESELECT_FIELDS(ORVEX_VSTFILESELECT_ROW)

static_assert(sizeof(vst::AEffect::future) == 56, "AEffect keeps 56 reserved bytes");
static_assert(sizeof(vst::VstFileSelect::title) == 1024 && sizeof(vst::VstFileSelect::future) == 116,
              "VstFileSelect text and reserved fields");

#if defined(_WIN32) && !defined(_WIN64)
// 32-bit hosts call every entry with the caller-cleans convention; a callee-cleans
// (stdcall) slip would corrupt the host's stack on the first call.
using CdeclDispatcher = vst::IntPtr(__cdecl*)(vst::AEffect*, vst::Int32, vst::Int32, vst::IntPtr, void*,
                                              float);
using CdeclMain = vst::AEffect*(__cdecl*)(vst::HostCallback);
using StdcallMain = vst::AEffect*(__stdcall*)(vst::HostCallback);
static_assert(std::is_same<vst::DispatcherProc, CdeclDispatcher>::value, "dispatcher must be cdecl");
static_assert(std::is_same<vst::HostCallback, CdeclDispatcher>::value, "host callback must be cdecl");
static_assert(std::is_same<vst::MainProc, CdeclMain>::value, "entry point must be cdecl");
static_assert(!std::is_same<vst::MainProc, StdcallMain>::value, "entry point must not be stdcall");
#endif
