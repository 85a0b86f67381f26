// The published binary layout of the VST 2.4 records that cross the host boundary, as
// (field, offset on 32-bit Windows, offset on 64-bit targets) rows. Hosts were compiled
// against these offsets, so our declarations in host/VstAbi.h must land every field exactly
// here; both the compile-time and the run-time checks read these rows.
#pragma once

#include <cstddef>

// Sizes of the whole records: 32-bit, 64-bit.
#define ORVEX_AEFFECT_SIZE 144, 192
#define ORVEX_VSTKEYCODE_SIZE 8, 8
#define ORVEX_ERECT_SIZE 8, 8
#define ORVEX_VSTFILETYPE_SIZE 408, 408
#define ORVEX_VSTFILESELECT_SIZE 1184, 1216

#define ORVEX_AEFFECT_FIELDS(X)        \
    X(magic, 0, 0)                     \
    X(dispatcher, 4, 8)                \
    X(process, 8, 16)                  \
    X(setParameter, 12, 24)            \
    X(getParameter, 16, 32)            \
    X(numPrograms, 20, 40)             \
    X(numParams, 24, 44)               \
    X(numInputs, 28, 48)               \
    X(numOutputs, 32, 52)              \
    X(flags, 36, 56)                   \
    X(resvd1, 40, 64)                  \
    X(resvd2, 44, 72)                  \
    X(initialDelay, 48, 80)            \
    X(realQualities, 52, 84)           \
    X(offQualities, 56, 88)            \
    X(ioRatio, 60, 92)                 \
    X(object, 64, 96)                  \
    X(user, 68, 104)                   \
    X(uniqueID, 72, 112)               \
    X(version, 76, 116)                \
    X(processReplacing, 80, 120)       \
    X(processDoubleReplacing, 84, 128) \
    X(future, 88, 136)

#define ORVEX_VSTKEYCODE_FIELDS(X) \
    X(character, 0, 0)             \
    X(virt, 4, 4)                  \
    X(modifier, 5, 5)

#define ORVEX_ERECT_FIELDS(X) \
    X(top, 0, 0)              \
    X(left, 2, 2)             \
    X(bottom, 4, 4)           \
    X(right, 6, 6)

#define ORVEX_VSTFILETYPE_FIELDS(X) \
    X(name, 0, 0)                   \
    X(macType, 128, 128)            \
    X(dosType, 136, 136)            \
    X(unixType, 144, 144)           \
    X(mimeType1, 152, 152)          \
    X(mimeType2, 280, 280)

#define ORVEX_VSTFILESELECT_FIELDS(X)  \
    X(command, 0, 0)                   \
    X(type, 4, 4)                      \
    X(macCreator, 8, 8)                \
    X(nbFileTypes, 12, 12)             \
    X(fileTypes, 16, 16)               \
    X(title, 20, 24)                   \
    X(initialPath, 1044, 1048)         \
    X(returnPath, 1048, 1056)          \
    X(sizeReturnPath, 1052, 1064)      \
    X(returnMultiplePaths, 1056, 1072) \
    X(nbReturnPath, 1060, 1080)        \
    X(reserved, 1064, 1088)            \
    X(future, 1068, 1096)

namespace orvex_abi {

// Picks the column of the rows above that applies to the target being compiled.
constexpr std::size_t published(std::size_t on32, std::size_t on64)
{
    return sizeof(void*) == 4 ? on32 : on64;
}

} // namespace orvex_abi
