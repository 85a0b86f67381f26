// A 64-bit hash of a run of bytes, for telling files apart by what they hold (the IR cache
// keys on it). Fast rather than secret: anyone can make two inputs that collide, and the
// worst that buys them is a cab playing the other file's IR.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dsp {

// Depends on every byte and on the length (a run and the same run with a zero byte more
// hash differently). Equal for equal bytes within one program run; the value may differ
// between builds, so it is never stored.
std::uint64_t contentHash(const unsigned char* bytes, std::size_t size);

} // namespace dsp
