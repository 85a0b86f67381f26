// Reads one RIFF/WAVE impulse-response file into memory as interleaved doubles, from its
// path (only a regular file is opened, see platform::openRegularFile) or from its bytes
// already in memory; both give the same for the same bytes.
//
// Accepted: integer PCM of 8, 16, 24 or 32 bits and 32-bit IEEE float (also through the
// extensible format tag), any channel count above zero, any sample rate above zero. The
// format chunk must follow "WAVE" directly; chunks between it and "data" are skipped.
// Integer depths map full scale to [-1, 1); nothing is normalised, dithered or clipped.
//
// Not real-time: the loads allocate, load() opens a file. A reader is used by one thread,
// loaded once, read through with readNext() and discarded. Nothing is ever printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace files {

class WavReader {
public:
    // Most bytes of sample data that are read: a file that holds more is refused. An IR is
    // a few thousand samples, so this leaves ample room for long or high-rate files while
    // memory stays bounded. A header that claims more than the file holds is not refused
    // for that: the bytes present are decoded.
    static constexpr std::int32_t kMaxDataBytes = 64 * 1024 * 1024;

    WavReader() = default;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // Reads the file at `path` (a zero-terminated narrow path). Sets loadOk to 0 when the
    // file is not accepted and leaves it untouched (the caller sets it to 1) on success.
    // On failure samples stays absent and sampleCount 0; sampleRate, bitsPerSample and
    // channels are then not meaningful.
    void load(const char* path, int& loadOk);
    // The same for a file's bytes already in memory: `size` bytes at `bytes` (which may be
    // null when size is 0). Nothing refers to them afterwards.
    void loadFromMemory(const unsigned char* bytes, std::size_t size, int& loadOk);

    // The next interleaved value. Pulling before a successful load or past sampleCount is
    // a caller error: it is caught by an assertion in checked builds and otherwise answers
    // 0.0 without moving, since ending the process would take the host down with it.
    double readNext();

    double sampleRate = 0.0;           // Hz, from the format chunk
    int bitsPerSample = 0;             // 8, 16, 24 or 32
    int channels = 0;                  // channel count from the format chunk, above zero
    std::unique_ptr<double[]> samples; // sampleCount interleaved values; null until loaded
    int readPosition = 0;              // index of the value readNext() returns next
    int sampleCount = 0;               // decoded values over all channels (not frames)
    const char* refusal = nullptr;     // why the last load refused the file (a fixed text), or null
};

} // namespace files
