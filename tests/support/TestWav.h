// Writes small WAV files for tests: real files on disk, in a temporary folder that the
// TempFolder removes again.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace testwav {

// 32-bit float or 16-bit PCM, interleaved frames.
inline bool write(const std::string& path, const std::vector<float>& samples, int channels = 1, int rate = 44100,
                  bool asFloat = true)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const int bytes = asFloat ? 4 : 2;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * static_cast<size_t>(bytes));
    auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + dataSize);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(asFloat ? 3 : 1);
    u16(static_cast<std::uint16_t>(channels));
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate * channels * bytes));
    u16(static_cast<std::uint16_t>(channels * bytes));
    u16(static_cast<std::uint16_t>(bytes * 8));
    std::fwrite("data", 1, 4, f);
    u32(dataSize);
    for (float s : samples) {
        if (asFloat) {
            std::fwrite(&s, 4, 1, f);
        } else {
            long v = static_cast<long>(s * 32768.0f);
            v = v > 32767 ? 32767 : v < -32768 ? -32768 : v;
            u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
        }
    }
    std::fclose(f);
    return true;
}

// A decaying noise burst, like a short cabinet IR.
inline std::vector<float> decayingIr(int length, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> ir(static_cast<size_t>(length));
    float env = 1.0f;
    for (float& s : ir) {
        s = dist(rng) * env;
        env *= 0.99f;
    }
    ir[0] = 0.9f;
    return ir;
}

class TempFolder {
public:
    explicit TempFolder(const std::string& name)
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder as the effect stores it: ending with the platform's separator.
    std::string folder() const
    {
        std::string s = path_.string();
        s.push_back(static_cast<char>(std::filesystem::path::preferred_separator));
        return s;
    }
    std::string file(const std::string& name) const { return folder() + name; }

private:
    std::filesystem::path path_;
};

} // namespace testwav
