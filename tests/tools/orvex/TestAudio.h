// Signals and WAV files for the host tests: generated sines and noise, whole-file reads and
// writes through WavFile, and raw byte images of hand-made WAV files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Channels = std::vector<std::vector<float>>; // one vector of samples per channel

class TestAudio {
public:
    static std::vector<float> sine(double frequency, double sampleRate, double amplitude, std::size_t frames);
    // Deterministic white noise in [-amplitude, amplitude].
    static std::vector<float> noise(std::uint32_t seed, double amplitude, std::size_t frames);

    // Whole files through WavFile; failures are reported through gtest and return false.
    static bool writeFloat(const std::string& path, const Channels& channels, std::uint32_t sampleRate);
    static bool read(const std::string& path, Channels& channels, std::uint32_t& sampleRate);

    // RMS of a range of samples.
    static double rms(const std::vector<float>& x, std::size_t first, std::size_t last);

    // Writes raw bytes to a file.
    static void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
};

// Builds the bytes of a WAV file chunk by chunk, so that tests can make exactly the
// (broken or unusual) files they need.
class WavBytes {
public:
    WavBytes& id(const char* fourChars);
    WavBytes& u16(std::uint32_t v);
    WavBytes& u32(std::uint32_t v);
    WavBytes& raw(const std::vector<unsigned char>& bytes);
    // A canonical "RIFF....WAVE" header with a correct size, around `body`.
    static std::vector<unsigned char> riff(const std::vector<unsigned char>& body);
    // A plain 16-byte "fmt " chunk.
    static std::vector<unsigned char> format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                             std::uint16_t bits);
    // A chunk with any identifier (odd sizes get their pad byte).
    static std::vector<unsigned char> chunk(const char* id, const std::vector<unsigned char>& body);

    const std::vector<unsigned char>& bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes; // what has been built so far
};
