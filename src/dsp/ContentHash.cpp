#include "dsp/ContentHash.h"

#include <cstring>

namespace dsp {

namespace {

constexpr std::uint64_t kOdd = 0x9E3779B97F4A7C15ull;  // 2^64 / golden ratio, made odd
constexpr std::uint64_t kMix1 = 0xBF58476D1CE4E5B9ull; // the final mix's multipliers
constexpr std::uint64_t kMix2 = 0x94D049BB133111EBull;

// Spreads every bit of x over the whole word; a bijection, so nothing is lost.
inline std::uint64_t finalMix(std::uint64_t x)
{
    x ^= x >> 30;
    x *= kMix1;
    x ^= x >> 27;
    x *= kMix2;
    x ^= x >> 31;
    return x;
}

// One word into a lane: the multiply by an odd number carries each bit upward, the shift
// brings the high bits back down. For a fixed lane value it is a bijection of the word, so
// two runs that differ in one word differ in that lane from then on.
inline std::uint64_t step(std::uint64_t lane, std::uint64_t word)
{
    lane = (lane ^ word) * kOdd;
    return lane ^ (lane >> 29);
}

inline std::uint64_t wordAt(const unsigned char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

} // namespace

std::uint64_t contentHash(const unsigned char* bytes, std::size_t size)
{
    // Four lanes over consecutive words, so that four multiplies are in flight at once:
    // hashing a file then costs less than reading it.
    std::uint64_t lanes[4] = {kOdd, kMix1, kMix2, kOdd ^ kMix1};
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int k = 0; k < 4; ++k)
            lanes[k] = step(lanes[k], wordAt(bytes + i + 8 * k));
    }
    std::uint64_t h = finalMix(static_cast<std::uint64_t>(size) ^ kOdd);
    for (std::uint64_t lane : lanes)
        h = step(h, finalMix(lane));
    for (; i + 8 <= size; i += 8)
        h = step(h, wordAt(bytes + i));
    if (i < size) {
        // The last bytes, zero padded; the length above tells them from real zeros.
        unsigned char tail[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        std::memcpy(tail, bytes + i, size - i);
        h = step(h, wordAt(tail));
    }
    return finalMix(h);
}

} // namespace dsp
