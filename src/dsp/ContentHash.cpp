#include "dsp/ContentHash.h"

#include <cstring>
#include <initializer_list>

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
// two runs that differ in one word differ in that lane from then on. Each lane shifts by
// its own amount: the four lanes stay four independent scalar chains, which run faster than
// the vector forms a compiler would otherwise make of them (x86 has no 64-bit vector
// multiply in its baseline).
template <int kShift> inline std::uint64_t step(std::uint64_t lane, std::uint64_t word)
{
    lane = (lane ^ word) * kOdd;
    return lane ^ (lane >> kShift);
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
    // Four lanes over consecutive words, so that four multiplies are in flight at once.
    std::uint64_t a = kOdd;
    std::uint64_t b = kMix1;
    std::uint64_t c = kMix2;
    std::uint64_t d = kOdd ^ kMix1;
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        a = step<29>(a, wordAt(bytes + i));
        b = step<30>(b, wordAt(bytes + i + 8));
        c = step<31>(c, wordAt(bytes + i + 16));
        d = step<28>(d, wordAt(bytes + i + 24));
    }
    std::uint64_t h = finalMix(static_cast<std::uint64_t>(size) ^ kOdd);
    for (std::uint64_t lane : {a, b, c, d})
        h = step<29>(h, finalMix(lane));
    for (; i + 8 <= size; i += 8)
        h = step<29>(h, wordAt(bytes + i));
    if (i < size) {
        // The last bytes, zero padded; the length above tells them from real zeros.
        unsigned char tail[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        std::memcpy(tail, bytes + i, size - i);
        h = step<29>(h, wordAt(tail));
    }
    return finalMix(h);
}

} // namespace dsp
