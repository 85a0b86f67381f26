#include "files/WavReader.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace files {

namespace {

constexpr int kHeaderBytes = 36;         // RIFF header plus the 16-byte format body
constexpr int kExtensibleTag = 0xFFFE;   // WAVE_FORMAT_EXTENSIBLE
constexpr int kExtensionBytes = 24;      // cbSize .. first bytes of the sub-format GUID
constexpr int kSubFormatOffset = 8;      // sub-format GUID within that extension

std::uint32_t u16(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint32_t u32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t s32(const unsigned char* p)
{
    const std::uint32_t u = u32(p);
    return u >= 0x80000000u ? static_cast<std::int32_t>(static_cast<std::int64_t>(u) - 0x100000000LL)
                            : static_cast<std::int32_t>(u);
}

int s16(const unsigned char* p)
{
    const int u = static_cast<int>(u16(p));
    return u >= 0x8000 ? u - 0x10000 : u;
}

// Closes the file on every way out of load().
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// How the samples of the data chunk are laid out.
enum class Encoding { U8, S16, S24, S32, F32 };

bool decode(const unsigned char* bytes, int count, Encoding enc, double* out)
{
    switch (enc) {
    case Encoding::U8:
        for (int i = 0; i < count; ++i)
            out[i] = (static_cast<int>(bytes[i]) - 128) * 0.0078125;
        break;
    case Encoding::S16:
        for (int i = 0; i < count; ++i)
            out[i] = s16(bytes + 2 * i) * 0.000030517578125;
        break;
    case Encoding::S24:
        for (int i = 0; i < count; ++i) {
            const unsigned char* p = bytes + 3 * i;
            int v = static_cast<int>(p[0]) | (static_cast<int>(p[1]) << 8) | (static_cast<int>(p[2]) << 16);
            if (v & 0x800000)
                v -= 0x1000000;
            out[i] = v * 1.1920928955078125e-07;
        }
        break;
    case Encoding::S32:
        for (int i = 0; i < count; ++i)
            out[i] = s32(bytes + 4 * i) / 2147483648.0;
        break;
    case Encoding::F32:
        for (int i = 0; i < count; ++i) {
            const std::uint32_t bits = u32(bytes + 4 * i);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            // Infinities and NaNs would poison the whole spectrum and then the host's
            // output; such a file is damaged and is refused.
            if (!std::isfinite(f))
                return false;
            out[i] = static_cast<double>(f);
        }
        break;
    }
    return true;
}

// Where a file's bytes come from: the file itself, read as far as the header says, or all
// of its bytes already in memory. The parser sees no difference.
class FileSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}

    // The file's length, found by seeking to its end and back. False when seeking fails.
    bool measure(std::int64_t& size)
    {
        if (std::fseek(file_, 0, SEEK_END) != 0)
            return false;
        const long endPos = std::ftell(file_);
        if (endPos < 0 || std::fseek(file_, 0, SEEK_SET) != 0)
            return false;
        size = endPos;
        return true;
    }
    // Exactly n bytes from the current position on, or false.
    bool read(unsigned char* out, std::size_t n) { return std::fread(out, 1, n, file_) == n; }
    // n bytes further on; the caller has checked them against the length.
    bool skip(std::int64_t n) { return std::fseek(file_, static_cast<long>(n), SEEK_CUR) == 0; }
    // Up to n bytes from the current position on (fewer where the file ends early), copied
    // into `storage`, which is allocated here; null when that allocation fails.
    const unsigned char* take(std::size_t n, std::unique_ptr<unsigned char[]>& storage, std::size_t& got)
    {
        storage.reset(new (std::nothrow) unsigned char[n + 1]);
        if (!storage)
            return nullptr;
        got = n == 0 ? 0 : std::fread(storage.get(), 1, n, file_);
        return storage.get();
    }

private:
    std::FILE* file_; // open for reading, owned by the caller
};

class MemorySource {
public:
    MemorySource(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool measure(std::int64_t& size)
    {
        size = static_cast<std::int64_t>(size_);
        return true;
    }
    bool read(unsigned char* out, std::size_t n)
    {
        if (n > size_ - pos_)
            return false;
        std::memcpy(out, bytes_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool skip(std::int64_t n)
    {
        if (n < 0 || static_cast<std::uint64_t>(n) > size_ - pos_)
            return false;
        pos_ += static_cast<std::size_t>(n);
        return true;
    }
    // The bytes in place: nothing is copied.
    const unsigned char* take(std::size_t n, std::unique_ptr<unsigned char[]>&, std::size_t& got)
    {
        got = std::min(n, size_ - pos_);
        return bytes_ + pos_;
    }

private:
    const unsigned char* bytes_; // the file's bytes (the caller's)
    std::size_t size_;           // how many
    std::size_t pos_ = 0;        // current position, at most size_
};

// What a file holds, once it is accepted.
struct Decoded {
    std::unique_ptr<double[]> samples; // count interleaved values
    int count = 0;                     // decoded values over all channels
    double rate = 0.0;                 // Hz
    int bits = 0;                      // 8, 16, 24 or 32
    int channels = 0;                  // above zero
};

// Reads a WAV file from `in` into `out`; false when the file is not accepted.
// What the format chunk says, once read.
struct Format {
    Encoding encoding = Encoding::U8; // how each sample is stored
    int bits = 0;                     // 8, 16, 24 or 32
    int channels = 0;                 // above zero
    std::int32_t rate = 0;            // Hz, above zero
};

// The RIFF header and the format chunk, which must follow it directly; `pos` is left just
// past the format chunk. Why the file is refused, or null.
template <typename Source> const char* readFormat(Source& in, std::int64_t fileSize, Format& format, std::int64_t& pos)
{
    unsigned char header[kHeaderBytes];
    if (!in.read(header, kHeaderBytes))
        return "it is too short to be a WAV file";
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return "it is not a RIFF/WAVE file";
    if (std::memcmp(header + 12, "fmt", 3) != 0)
        return "its format chunk does not follow the RIFF header directly";
    const std::uint32_t fmtSize = u32(header + 16);
    const int formatTag = static_cast<int>(u16(header + 20));
    format.channels = s16(header + 22);
    format.rate = s32(header + 24);
    format.bits = s16(header + 34);
    if (format.bits != 8 && format.bits != 16 && format.bits != 24 && format.bits != 32)
        return "its samples are not 8, 16, 24 or 32 bits wide";
    // Later stages divide by the channel count and by the rate.
    if (format.channels <= 0 || format.rate <= 0)
        return "its format chunk names no channels or no sample rate";

    // The rest of the format chunk. A body that states fewer than 16 bytes is taken as
    // 16 bytes, and the next chunk follows them directly: a pad byte belongs to a body of
    // odd length, and the body read here is 16 bytes long. A longer body of odd length is
    // followed by its pad byte, as every RIFF chunk is.
    pos = kHeaderBytes;
    std::int64_t rest = 0;
    if (fmtSize > 16)
        rest = static_cast<std::int64_t>(fmtSize) - 16 + (fmtSize & 1u);

    if (format.bits == 8) {
        format.encoding = Encoding::U8;
    } else if (format.bits == 16) {
        format.encoding = Encoding::S16;
    } else if (format.bits == 24) {
        format.encoding = Encoding::S24;
    } else {
        int tag = formatTag;
        if (formatTag == kExtensibleTag) {
            // The real format is named by the first two bytes of the sub-format GUID.
            if (fmtSize < 16u + kExtensionBytes)
                return "its extensible format chunk is too short";
            unsigned char ext[kExtensionBytes];
            if (!in.read(ext, kExtensionBytes))
                return "its extensible format chunk is cut short";
            pos += kExtensionBytes;
            rest -= kExtensionBytes;
            tag = static_cast<int>(u16(ext + kSubFormatOffset));
        }
        if (tag == 1)
            format.encoding = Encoding::S32;
        else if (tag == 3)
            format.encoding = Encoding::F32;
        else
            return "its 32-bit samples are neither integer PCM nor IEEE float";
    }
    if (pos + rest > fileSize || !in.skip(rest))
        return "its format chunk is cut short";
    pos += rest;
    return nullptr;
}

// Walks the chunks from `pos` up to "data", skipping the others; `pos` is left at the first
// sample byte and `dataSize` holds what the chunk states. Why the file is refused, or null.
template <typename Source>
const char* findData(Source& in, std::int64_t fileSize, std::int64_t& pos, std::int32_t& dataSize)
{
    for (;;) {
        unsigned char chunk[8];
        if (pos + 8 > fileSize || !in.read(chunk, 8))
            return "it has no data chunk";
        pos += 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            dataSize = s32(chunk + 4);
            return dataSize < 0 ? "its data chunk states a negative size" : nullptr;
        }
        const std::uint32_t size = u32(chunk + 4);
        const std::int64_t skip = static_cast<std::int64_t>(size) + (size & 1u);
        if (pos + skip > fileSize || !in.skip(skip))
            return "it has no data chunk";
        pos += skip;
    }
}

// Reads a WAV file from `in` into `out`; why the file is not accepted, or null when it is.
template <typename Source> const char* parse(Source& in, Decoded& out)
{
    // Every skip is checked against the real length: seeking past the end of a file
    // succeeds in C, so a corrupt size would otherwise go unnoticed.
    std::int64_t fileSize = 0;
    if (!in.measure(fileSize))
        return "its length cannot be read";
    Format format;
    std::int64_t pos = 0;
    if (const char* why = readFormat(in, fileSize, format, pos))
        return why;
    std::int32_t dataSize = 0;
    if (const char* why = findData(in, fileSize, pos, dataSize))
        return why;

    // A data chunk that claims more than the file holds yields the whole samples present.
    // The size limit applies to those bytes, not to what the header claims.
    const int bytesPerSample = format.bits / 8;
    std::int64_t wanted = dataSize;
    if (wanted > fileSize - pos)
        wanted = fileSize - pos;
    if (wanted > WavReader::kMaxDataBytes)
        return "it holds more than 64 MB of samples";
    const int wantedCount = static_cast<int>(wanted / bytesPerSample);
    const size_t wantedBytes = static_cast<size_t>(wantedCount) * static_cast<size_t>(bytesPerSample);

    std::unique_ptr<unsigned char[]> storage;
    std::size_t got = 0;
    const unsigned char* bytes = in.take(wantedBytes, storage, got);
    if (bytes == nullptr)
        return "its samples cannot be read";
    const int count = static_cast<int>(got / static_cast<size_t>(bytesPerSample));

    std::unique_ptr<double[]> decoded(new (std::nothrow) double[static_cast<size_t>(count) + 1]);
    if (!decoded)
        return "there is no memory for its samples";
    if (!decode(bytes, count, format.encoding, decoded.get()))
        return "it holds NaN or infinite samples";

    out.samples = std::move(decoded);
    out.count = count;
    out.rate = static_cast<double>(format.rate);
    out.bits = format.bits;
    out.channels = format.channels;
    return nullptr;
}

// Loads `reader` from `source`: its fields as the header describes them, or loadOk 0.
template <typename Source> void loadFrom(WavReader& reader, Source& source, int& loadOk)
{
    Decoded d;
    reader.refusal = parse(source, d);
    if (reader.refusal != nullptr) {
        loadOk = 0;
        return;
    }
    reader.samples = std::move(d.samples);
    reader.sampleCount = d.count;
    reader.readPosition = 0;
    reader.sampleRate = d.rate;
    reader.bitsPerSample = d.bits;
    reader.channels = d.channels;
}

} // namespace

void WavReader::load(const char* path, int& loadOk)
{
    samples.reset();
    readPosition = 0;
    sampleCount = 0;
    // Only a regular file, opened without waiting: a saved state may name a FIFO or a
    // device, and opening one must not hang the thread that restores it.
    refusal = nullptr;
    FilePtr file(path != nullptr ? platform::openRegularFile(path) : nullptr);
    if (!file) {
        refusal = "it does not exist, cannot be opened or is not a regular file";
        loadOk = 0;
        return;
    }
    FileSource source(file.get());
    loadFrom(*this, source, loadOk);
}

void WavReader::loadFromMemory(const unsigned char* bytes, std::size_t size, int& loadOk)
{
    samples.reset();
    readPosition = 0;
    sampleCount = 0;
    refusal = nullptr;
    if (bytes == nullptr && size != 0) {
        refusal = "its bytes are missing";
        loadOk = 0;
        return;
    }
    static const unsigned char kNothing = 0;
    MemorySource source(bytes != nullptr ? bytes : &kNothing, size);
    loadFrom(*this, source, loadOk);
}

double WavReader::readNext()
{
    const bool ready = samples && sampleCount > 0 && readPosition >= 0 && readPosition < sampleCount;
    assert(ready && "WavReader::readNext before a load or past the end");
    if (!ready)
        return 0.0;
    return samples[static_cast<size_t>(readPosition++)];
}

} // namespace files
