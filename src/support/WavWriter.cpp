#include "support/WavWriter.h"

#include "platform/OutputFile.h"

#include <cmath>
#include <cstring>

namespace support {

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xfffe;
// The sub-format GUID after its first two bytes (the format tag), as every extensible file has.
constexpr unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void putId(std::vector<unsigned char>& out, const char* id)
{
    out.insert(out.end(), id, id + 4);
}

void putLe(std::vector<unsigned char>& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

// Rounds to the nearest step of a signed integer of `bits`, clipping at full scale.
std::int32_t quantise(float v, int bits)
{
    const double full = std::ldexp(1.0, bits - 1);
    double x = std::nearbyint(static_cast<double>(v) * full);
    if (!(x >= -full)) // also NaN
        x = std::isnan(x) ? 0.0 : -full;
    if (x > full - 1.0)
        x = full - 1.0;
    return static_cast<std::int32_t>(x);
}

} // namespace

int bytesPerSample(WavEncoding encoding)
{
    switch (encoding) {
    case WavEncoding::pcm16: return 2;
    case WavEncoding::pcm24: return 3;
    default: return 4;
    }
}

bool wavHeader(WavEncoding encoding, int channels, std::uint32_t sampleRate, std::uint64_t frames,
               std::vector<unsigned char>& out)
{
    if (channels < 1 || channels > 0xFFFF)
        return false;
    const bool isFloat = encoding == WavEncoding::float32;
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels * bytesPerSample(encoding));
    if (frames > (0xFFFFFFFFull - kMaxWavHeaderBytes) / blockAlign)
        return false;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * blockAlign);
    const bool extensible = isFloat && channels > 2;
    const std::uint32_t fmtSize = extensible ? 40 : isFloat ? 18 : 16;
    const std::uint32_t factBytes = isFloat ? 8 + 4 : 0;
    putId(out, "RIFF");
    putLe(out, 4 + (8 + fmtSize) + factBytes + 8 + dataBytes, 4);
    putId(out, "WAVE");
    putId(out, "fmt ");
    putLe(out, fmtSize, 4);
    putLe(out, extensible ? kTagExtensible : isFloat ? kTagFloat : kTagPcm, 2);
    putLe(out, static_cast<std::uint32_t>(channels), 2);
    putLe(out, sampleRate, 4);
    putLe(out, sampleRate * blockAlign, 4);
    putLe(out, blockAlign, 2);
    putLe(out, static_cast<std::uint32_t>(bytesPerSample(encoding) * 8), 2);
    if (extensible) {
        putLe(out, 22, 2); // extension size
        putLe(out, 32, 2); // valid bits
        putLe(out, 0, 4);  // channel mask: no speaker positions claimed
        putLe(out, kTagFloat, 2);
        out.insert(out.end(), kSubFormatTail, kSubFormatTail + sizeof kSubFormatTail);
    } else if (isFloat) {
        putLe(out, 0, 2);
    }
    if (isFloat) {
        putId(out, "fact");
        putLe(out, 4, 4);
        putLe(out, static_cast<std::uint32_t>(frames), 4);
    }
    putId(out, "data");
    putLe(out, dataBytes, 4);
    return true;
}

void appendSamples(WavEncoding encoding, const float* samples, std::size_t count, std::vector<unsigned char>& out)
{
    const int bytes = bytesPerSample(encoding);
    out.reserve(out.size() + count * static_cast<std::size_t>(bytes));
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        if (encoding == WavEncoding::float32)
            std::memcpy(&word, &samples[i], sizeof word);
        else
            word = static_cast<std::uint32_t>(quantise(samples[i], bytes * 8));
        putLe(out, word, bytes);
    }
}

bool writeWavFile(const std::string& path, WavEncoding encoding, int channels, std::uint32_t sampleRate,
                  const std::vector<float>& interleaved, std::string& error)
{
    if (channels < 1 || interleaved.size() % static_cast<std::size_t>(channels) != 0) {
        error = "the samples do not make whole frames";
        return false;
    }
    std::vector<unsigned char> bytes;
    if (!wavHeader(encoding, channels, sampleRate, interleaved.size() / static_cast<std::size_t>(channels), bytes)) {
        error = "longer than a WAV file can hold (4 GiB)";
        return false;
    }
    appendSamples(encoding, interleaved.data(), interleaved.size(), bytes);
    return platform::writeOutputFile(path, bytes.data(), bytes.size(), error);
}

bool writeWavFile(const std::string& path, WavEncoding encoding, int channels, std::uint32_t sampleRate,
                  const std::vector<float>& interleaved)
{
    std::string error;
    return writeWavFile(path, encoding, channels, sampleRate, interleaved, error);
}

} // namespace support
