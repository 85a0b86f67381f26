#include "WavFile.h"

#include "support/WavWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

std::uint16_t readU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A chunk identifier as it may be shown in a message (unprintable bytes as '?').
std::string idText(const unsigned char* id)
{
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += (id[i] >= 0x20 && id[i] < 0x7f) ? static_cast<char>(id[i]) : '?';
    return text;
}

// The 14 bytes that follow the format tag in the sub-format GUID of WAVE_FORMAT_EXTENSIBLE
// (the GUID is the tag's 00000000-0000-0010-8000-00aa00389b71 form).
const unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xfffe;

// Header of a written file: 32-bit float, the length as given (support/WavWriter.h).
std::vector<unsigned char> floatHeader(int channels, std::uint32_t sampleRate, std::uint64_t frames)
{
    std::vector<unsigned char> h;
    support::wavHeader(support::WavEncoding::float32, channels, sampleRate, frames, h);
    return h;
}

constexpr std::uint64_t kFloatHeaderSizeMax = support::kMaxWavHeaderBytes;

} // namespace

WavFile::~WavFile()
{
    close();
}

bool WavFile::openRead(const std::string& path, std::string& error)
{
    close();
    m_path = path;
    m_in.open(path, std::ios::binary);
    if (!m_in) {
        error = "cannot open " + path + " for reading";
        return false;
    }
    m_in.seekg(0, std::ios::end);
    const std::streamoff end = m_in.tellg();
    if (!m_in || end < 0) {
        error = "cannot read " + path + " (not a regular file?)";
        close();
        return false;
    }
    const std::uint64_t fileSize = static_cast<std::uint64_t>(end);
    m_in.seekg(0);

    auto refuse = [&](const std::string& why) {
        error = path + ": " + why;
        close();
        return false;
    };

    unsigned char riff[12];
    if (fileSize < sizeof(riff) || !m_in.read(reinterpret_cast<char*>(riff), sizeof(riff)))
        return refuse("not a WAV file (shorter than a RIFF header)");
    if (std::memcmp(riff, "RIFX", 4) == 0)
        return refuse("big-endian (RIFX) WAV files are not supported");
    if (std::memcmp(riff, "RF64", 4) == 0)
        return refuse("RF64 WAV files are not supported");
    if (std::memcmp(riff, "RIFF", 4) != 0)
        return refuse("not a WAV file (no RIFF header)");
    if (std::memcmp(riff + 8, "WAVE", 4) != 0)
        return refuse("not a WAV file (the RIFF form is not WAVE)");

    // Walk the chunks by the file's real size: the RIFF size field is often wrong in files
    // written by programs that were interrupted, and it is not needed to find the chunks.
    std::uint64_t pos = sizeof(riff);
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t dataSize = 0;
    std::string overrun; // a chunk that claimed more bytes than the file holds
    while (pos + 8 <= fileSize && !(haveFormat && haveData)) {
        unsigned char header[8];
        m_in.seekg(static_cast<std::streamoff>(pos));
        if (!m_in.read(reinterpret_cast<char*>(header), sizeof(header)))
            return refuse("read failed in the chunk list");
        if (pos == sizeof(riff))
            m_formatFirst = std::memcmp(header, "fmt ", 4) == 0;
        pos += 8;
        const std::uint64_t size = readU32(header + 4);
        const bool fits = size <= fileSize - pos;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (haveFormat)
                return refuse("two format chunks");
            if (!fits)
                return refuse("the format chunk runs past the end of the file");
            if (size < 16)
                return refuse("the format chunk is too short (" + std::to_string(size) + " bytes)");
            if (size > 4096)
                return refuse("the format chunk is implausibly long (" + std::to_string(size) + " bytes)");
            std::vector<unsigned char> body(static_cast<std::size_t>(size));
            if (!m_in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(size)))
                return refuse("read failed in the format chunk");
            if (!parseFormat(body, error)) {
                error = path + ": " + error;
                close();
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
            if (!fits)
                return refuse("the data chunk runs past the end of the file (" + std::to_string(size) +
                              " bytes declared, " + std::to_string(fileSize - pos) + " present): truncated file");
            m_dataOffset = pos;
            dataSize = size;
            haveData = true;
        } else if (!fits) {
            overrun = idText(header);
        }
        pos += size + (size & 1); // chunks are padded to even lengths
    }
    if (!haveFormat || !haveData) {
        std::string why = haveFormat ? "no data chunk" : "no format chunk";
        if (!overrun.empty())
            why += " (chunk '" + overrun + "' runs past the end of the file)";
        return refuse(why);
    }
    // A partial last frame or a data chunk longer than the file means the file was cut
    // short; rendering it would silently drop or invent audio, so it is refused instead.
    const std::uint64_t blockAlign = static_cast<std::uint64_t>(m_channels) * m_bytesPerSample;
    if (dataSize % blockAlign != 0)
        return refuse("the data chunk (" + std::to_string(dataSize) + " bytes) is not a whole number of frames of " +
                      std::to_string(blockAlign) + " bytes: truncated or damaged file");
    m_frames = static_cast<std::int64_t>(dataSize / blockAlign);
    m_framesRead = 0;
    m_in.clear();
    m_in.seekg(static_cast<std::streamoff>(m_dataOffset));
    return true;
}

bool WavFile::parseFormat(const std::vector<unsigned char>& body, std::string& error)
{
    std::uint16_t tag = readU16(&body[0]);
    const std::uint16_t channels = readU16(&body[2]);
    const std::uint32_t rate = readU32(&body[4]);
    const std::uint16_t blockAlign = readU16(&body[12]);
    const std::uint16_t bits = readU16(&body[14]);

    if (tag == kTagExtensible) {
        if (body.size() < 40 || readU16(&body[16]) < 22) {
            error = "the extensible format chunk is too short";
            return false;
        }
        if (std::memcmp(&body[26], kSubFormatTail, sizeof(kSubFormatTail)) != 0) {
            error = "unknown sub-format in the extensible format chunk";
            return false;
        }
        // Valid bits may be fewer than the container (24 in 32); decoding by the container
        // is still right, since the unused low bits are zero.
        tag = readU16(&body[24]);
    }
    if (channels == 0) {
        error = "the format chunk declares 0 channels";
        return false;
    }
    if (channels > kMaxChannels) {
        error = std::to_string(channels) + " channels (at most " + std::to_string(kMaxChannels) + " accepted)";
        return false;
    }
    if (rate == 0 || rate > kMaxSampleRate) {
        error = "implausible sample rate " + std::to_string(rate) + " Hz";
        return false;
    }
    if (tag == kTagPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
        m_encoding = bits == 8 ? Encoding::pcm8 : bits == 16 ? Encoding::pcm16 : bits == 24 ? Encoding::pcm24 : Encoding::pcm32;
    } else if (tag == kTagFloat && (bits == 32 || bits == 64)) {
        m_encoding = bits == 32 ? Encoding::float32 : Encoding::float64;
    } else if (tag == kTagPcm || tag == kTagFloat) {
        error = "unsupported sample format: " + std::to_string(bits) + "-bit " +
                (tag == kTagPcm ? "integer PCM" : "float");
        return false;
    } else {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "0x%04x", tag);
        error = std::string("unsupported format tag ") + hex + " (integer PCM and IEEE float are read)";
        return false;
    }
    m_bytesPerSample = bits / 8;
    if (blockAlign != channels * m_bytesPerSample) {
        error = "block align " + std::to_string(blockAlign) + " does not match " + std::to_string(channels) +
                " channels of " + std::to_string(bits) + " bits";
        return false;
    }
    m_channels = channels;
    m_sampleRate = rate;
    return true;
}

std::int64_t WavFile::read(float* const* channels, std::int64_t frames, std::string& error)
{
    if (!m_in.is_open()) {
        error = "no file is open for reading";
        return -1;
    }
    const std::int64_t count = std::min(frames, m_frames - m_framesRead);
    if (count <= 0)
        return 0;
    const std::size_t stride = static_cast<std::size_t>(m_channels) * static_cast<std::size_t>(m_bytesPerSample);
    const std::size_t byteCount = static_cast<std::size_t>(count) * stride;
    m_bytes.resize(byteCount);
    if (!m_in.read(reinterpret_cast<char*>(m_bytes.data()), static_cast<std::streamsize>(byteCount))) {
        error = m_path + ": read failed (the file changed or became unreadable)";
        return -1;
    }
    for (std::int64_t f = 0; f < count; ++f) {
        const unsigned char* frame = m_bytes.data() + static_cast<std::size_t>(f) * stride;
        for (int c = 0; c < m_channels; ++c) {
            const unsigned char* p = frame + static_cast<std::size_t>(c) * static_cast<std::size_t>(m_bytesPerSample);
            float value = 0.0f;
            switch (m_encoding) {
            case Encoding::pcm8:
                value = static_cast<float>(static_cast<int>(p[0]) - 128) / 128.0f;
                break;
            case Encoding::pcm16:
                value = static_cast<float>(static_cast<std::int16_t>(readU16(p))) / 32768.0f;
                break;
            case Encoding::pcm24: {
                std::int32_t v = static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
                if (v & 0x800000)
                    v -= 0x1000000;
                value = static_cast<float>(v) / 8388608.0f;
                break;
            }
            case Encoding::pcm32:
                value = static_cast<float>(static_cast<double>(static_cast<std::int32_t>(readU32(p))) / 2147483648.0);
                break;
            case Encoding::float32: {
                const std::uint32_t bitsValue = readU32(p);
                std::memcpy(&value, &bitsValue, sizeof(value));
                break;
            }
            case Encoding::float64: {
                const std::uint64_t bitsValue = readU32(p) | (static_cast<std::uint64_t>(readU32(p + 4)) << 32);
                double wide = 0.0;
                std::memcpy(&wide, &bitsValue, sizeof(wide));
                value = static_cast<float>(wide);
                break;
            }
            }
            channels[c][f] = value;
        }
    }
    m_framesRead += count;
    return count;
}

bool WavFile::openWrite(const std::string& path, int channels, std::uint32_t sampleRate, std::int64_t frames,
                        std::string& error)
{
    close();
    if (channels < 1 || channels > kMaxChannels) {
        error = "cannot write a WAV file of " + std::to_string(channels) + " channels";
        return false;
    }
    if (sampleRate == 0 || sampleRate > kMaxSampleRate) {
        error = "cannot write a WAV file at " + std::to_string(sampleRate) + " Hz";
        return false;
    }
    const std::uint64_t stride = static_cast<std::uint64_t>(channels) * 4;
    if (frames >= 0 && static_cast<std::uint64_t>(frames) > (0xffffffffull - kFloatHeaderSizeMax) / stride) {
        error = path + ": the output would be longer than a WAV file can hold (4 GiB)";
        return false;
    }
    if (!m_out.open(path, error))
        return false;
    if (frames < 0 && !m_out.canRewrite()) {
        error = "cannot write a WAV file of unknown length to " + path + " (a device, a FIFO or standard output)";
        m_out.abandon();
        return false;
    }
    m_path = path;
    m_writing = true;
    m_announced = frames;
    m_channels = channels;
    m_sampleRate = sampleRate;
    m_encoding = Encoding::float32;
    m_bytesPerSample = 4;
    m_frames = 0;
    const std::vector<unsigned char> header =
        floatHeader(channels, sampleRate, frames >= 0 ? static_cast<std::uint64_t>(frames) : 0);
    if (!m_out.write(header.data(), header.size(), error)) {
        close();
        return false;
    }
    return true;
}

bool WavFile::write(const float* const* channels, std::int64_t frames, std::string& error)
{
    if (!m_writing) {
        error = "no file is open for writing";
        return false;
    }
    if (frames <= 0)
        return true;
    const std::uint64_t stride = static_cast<std::uint64_t>(m_channels) * 4;
    const std::uint64_t total = static_cast<std::uint64_t>(m_frames + frames) * stride;
    if (total > 0xffffffffull - kFloatHeaderSizeMax) {
        error = m_path + ": the output is longer than a WAV file can hold (4 GiB)";
        return false;
    }
    if (m_announced >= 0 && m_frames + frames > m_announced) {
        error = m_path + ": more frames than the " + std::to_string(m_announced) + " announced in its header";
        return false;
    }
    // Interleaved, then encoded by the one WAV writer.
    m_interleaved.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_channels));
    float* p = m_interleaved.data();
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < m_channels; ++c)
            *p++ = channels[c][f];
    m_bytes.clear();
    support::appendSamples(support::WavEncoding::float32, m_interleaved.data(), m_interleaved.size(), m_bytes);
    if (!m_out.write(m_bytes.data(), m_bytes.size(), error))
        return false;
    m_frames += frames;
    return true;
}

bool WavFile::finish(std::string& error)
{
    if (!m_writing) {
        error = "no file is open for writing";
        return false;
    }
    if (m_frames != m_announced) {
        // A stream already carries its header; only a file of ours can still be corrected.
        const std::vector<unsigned char> header =
            floatHeader(m_channels, m_sampleRate, static_cast<std::uint64_t>(m_frames));
        if (!m_out.canRewrite()) {
            error = m_path + ": " + std::to_string(m_frames) + " frames written where the header announced " +
                    std::to_string(m_announced);
            close();
            return false;
        }
        if (!m_out.rewrite(0, header.data(), header.size(), error)) {
            close();
            return false;
        }
    }
    if (!m_out.commit(error)) {
        close();
        return false;
    }
    m_writing = false;
    return true;
}

void WavFile::close()
{
    if (m_in.is_open())
        m_in.close();
    m_in.clear();
    if (m_writing) {
        m_out.abandon();
        m_writing = false;
    }
    m_announced = kUnknownLength;
    m_channels = 0;
    m_sampleRate = 0;
    m_bytesPerSample = 0;
    m_frames = 0;
    m_framesRead = 0;
    m_dataOffset = 0;
    m_formatFirst = false;
}

} // namespace cli
