// A WAV file read or written a block at a time, so that a long recording never has to fit
// in memory. Reading accepts RIFF/WAVE files with integer PCM of 8, 16, 24 or 32 bits or IEEE
// float of 32 or 64 bits, plain or WAVE_FORMAT_EXTENSIBLE, skipping chunks it does not know.
// Writing produces 32-bit float files. Samples are exchanged as one float array per channel.
//
// A writer never leaves half a file under a requested file name: it writes beside it and
// moves the finished file into place in finish(), so an earlier file of that name survives
// any failure (including the output naming the input file). A device, a FIFO or "-"
// (standard output) is written in place instead (platform/OutputFile.h); nothing can seek
// back there, so such a writer is told the length first and writes the header only once.
#pragma once

#include "platform/OutputFile.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace cli {

class WavFile {
public:
    // How the samples of the data chunk are stored.
    enum class Encoding { pcm8, pcm16, pcm24, pcm32, float32, float64 };

    // Limits of what is accepted: more channels or a faster rate than this is not audio we
    // can sensibly hand to a plug-in, and is far more likely a damaged header.
    static constexpr int kMaxChannels = 64;
    static constexpr std::uint32_t kMaxSampleRate = 10000000;

    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Opens `path` and reads its header; on refusal returns false with a reason in `error`.
    bool openRead(const std::string& path, std::string& error);

    // Reads up to `frames` frames into `channels` (channels() arrays of at least `frames`
    // floats). Returns the number of frames read, 0 at the end of the data, -1 on a read
    // failure (reason in `error`).
    std::int64_t read(float* const* channels, std::int64_t frames, std::string& error);

    // Starts a 32-bit float file of `channels` channels at `sampleRate` that will become `path`.
    // With `frames` known (>= 0) the header says so from the start, which a device, a FIFO or
    // standard output needs; a length of kUnknownLength is only accepted for a file.
    static constexpr std::int64_t kUnknownLength = -1;
    bool openWrite(const std::string& path, int channels, std::uint32_t sampleRate, std::int64_t frames,
                   std::string& error);
    bool openWrite(const std::string& path, int channels, std::uint32_t sampleRate, std::string& error)
    {
        return openWrite(path, channels, sampleRate, kUnknownLength, error);
    }

    // Appends `frames` frames taken from `channels` (channels() arrays); never more than a
    // known length.
    bool write(const float* const* channels, std::int64_t frames, std::string& error);

    // Completes the header and moves the written file to its name. After a failure the
    // temporary file is removed and the name keeps what it had before. Written in place, a
    // stream that got fewer frames than its header announced is a failure too.
    bool finish(std::string& error);

    // Ends reading, or abandons an unfinished write (its temporary file is removed).
    void close();

    int channels() const { return m_channels; }
    std::uint32_t sampleRate() const { return m_sampleRate; }
    std::int64_t frames() const { return m_frames; }
    Encoding encoding() const { return m_encoding; }
    int bitsPerSample() const { return m_bytesPerSample * 8; }
    // Whether the format chunk follows the RIFF header directly (some readers require it).
    bool formatFirst() const { return m_formatFirst; }

private:
    bool parseFormat(const std::vector<unsigned char>& body, std::string& error);

    std::ifstream m_in;                    // the file being read
    platform::OutputFile m_out;            // where a writer's bytes go
    std::string m_path;                    // the file's name (for a writer, the final name)
    bool m_writing = false;                // true between openWrite() and finish()/close()
    std::int64_t m_announced = kUnknownLength; // a writer's length as its first header says
    bool m_formatFirst = false;            // the first chunk after "WAVE" is the format chunk
    int m_channels = 0;                    // channels per frame
    std::uint32_t m_sampleRate = 0;        // frames per second
    Encoding m_encoding = Encoding::float32; // storage of one sample
    int m_bytesPerSample = 0;              // bytes of one stored sample
    std::int64_t m_frames = 0;             // frames in the data chunk (reader) or written so far (writer)
    std::int64_t m_framesRead = 0;         // frames already handed out by read()
    std::uint64_t m_dataOffset = 0;        // file offset of the first data byte
    std::vector<unsigned char> m_bytes;    // raw bytes of one block, reused between calls
    std::vector<float> m_interleaved;      // a writer's block, interleaved, reused
};

} // namespace cli
