#include "dsp/ContentHash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace {

// Every bit and the length count: runs of 0 .. 80 bytes (the four-lane part, the words after
// it and a partial last word) with any one bit flipped, the same runs unflipped, and runs of
// zeros of every length all hash differently from each other.
TEST(ContentHash, EveryBitAndTheLengthCount)
{
    std::mt19937 rng(5);
    std::vector<unsigned char> bytes(80);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(rng());
    const std::vector<unsigned char> zeros(80, 0);
    std::set<std::uint64_t> seen;
    std::size_t variants = 0;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        seen.insert(dsp::contentHash(bytes.data(), size));
        seen.insert(dsp::contentHash(zeros.data(), size));
        variants += 2;
        for (std::size_t bit = 0; bit < 8 * size; ++bit) {
            bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
            seen.insert(dsp::contentHash(bytes.data(), size));
            bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
            ++variants;
        }
    }
    EXPECT_EQ(seen.size(), variants - 1); // the two empty runs are the same run
}

} // namespace
