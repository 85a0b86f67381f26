// Feeds random saved states and random parameter writes to the effect. A chunk comes from a
// project file of unknown origin: no input may make the effect read or write outside its
// records, divide by zero, or hang.
//
// Input layout: byte 0 chooses a preset (even) or a bank (odd) chunk and whether an editor
// is attached; byte 1 is a number n of parameter writes of 5 bytes each (index byte, float
// value) that follow; the remaining bytes fill the chunk (repeated when shorter).
#include "RecordingEditor.h"

#include "effect/Orvex.h"
#include "platform/Headless.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

vst::IntPtr VSTCALLBACK fuzzHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static orvex::Orvex* effect = [] {
        platform::setBackend(platform::Backend::headless);
        return new orvex::Orvex(fuzzHost);
    }();
    static orvex::testing::RecordingEditor editor;
    if (size < 1)
        return 0;

    // The headless platform records every dialog and window enabling for tests to read;
    // forget them, or a long run grows without end.
    platform::headless::reset();
    const bool bank = data[0] & 1;
    effect->setEditorLink((data[0] & 2) ? &editor : nullptr);
    editor.calls.clear();
    const std::size_t chunkSize = bank ? 68280 : 6828;
    std::size_t writes = 0;
    if (size >= 2)
        writes = std::min<std::size_t>(data[1], (size - 2) / 5);
    const std::uint8_t* writeData = data + 2;
    static std::vector<std::uint8_t> chunk;
    chunk.assign(chunkSize, 0);
    const std::size_t used = size >= 2 ? 2 + writes * 5 : 1;
    const std::uint8_t* body = data + used;
    const std::size_t bodySize = size - used;
    for (std::size_t at = 0; bodySize > 0 && at < chunkSize; at += bodySize)
        std::memcpy(chunk.data() + at, body, std::min(bodySize, chunkSize - at));
    effect->setChunk(chunk.data(), static_cast<vst::Int32>(chunkSize), !bank);

    for (std::size_t w = 0; w < writes; ++w) {
        const std::uint8_t* at = writeData + w * 5;
        int index = at[0];
        if (index >= 86 && index < 160)
            index = 7777 + (index % 3) * 1111; // the editor requests
        float value;
        std::memcpy(&value, at + 1, sizeof value);
        effect->setParameter(index, value);
        char text[64];
        effect->getParameterDisplay(index, text);
    }
    float in[64] = {0.0f}, outL[64], outR[64];
    in[0] = 1.0f;
    float* ins[2] = {in, in};
    float* outs[2] = {outL, outR};
    effect->processReplacing(ins, outs, 64);
    return 0;
}
