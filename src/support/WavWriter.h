// The one way we write WAV files: the orvex host's renders, riffgen's riff, the IRs that tests
// and benchmarks make. Samples are floats in [-1, 1) (integer encodings round and clip),
// interleaved frame by frame.
//
// The header carries the data length, so a stream (standard output, a FIFO) can take a file
// whose length is known at the start; a file of ours is given the header again once its
// length is known. Float files have an 18-byte format chunk and a "fact" chunk, and the
// extensible form beyond two channels; integer files the plain 16-byte format chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

enum class WavEncoding { pcm16, pcm24, pcm32, float32 };

int bytesPerSample(WavEncoding encoding);

// The bytes from "RIFF" to the data chunk's size field, for `frames` frames; the samples
// follow directly. False (and nothing written) when the length does not fit a WAV file.
bool wavHeader(WavEncoding encoding, int channels, std::uint32_t sampleRate, std::uint64_t frames,
               std::vector<unsigned char>& out);
// The largest header wavHeader makes.
constexpr std::size_t kMaxWavHeaderBytes = 12 + (8 + 40) + (8 + 4) + 8;

// Appends `count` interleaved samples, encoded little-endian.
void appendSamples(WavEncoding encoding, const float* samples, std::size_t count, std::vector<unsigned char>& out);

// A whole file: the header and `interleaved` (frames x channels samples), written as
// platform/OutputFile.h writes (a file replaced only once complete; a device, a FIFO or "-"
// in place). False with a reason on failure.
bool writeWavFile(const std::string& path, WavEncoding encoding, int channels, std::uint32_t sampleRate,
                  const std::vector<float>& interleaved, std::string& error);
// The same without a reason, for tools and tests that only need to know.
bool writeWavFile(const std::string& path, WavEncoding encoding, int channels, std::uint32_t sampleRate,
                  const std::vector<float>& interleaved);

} // namespace support
