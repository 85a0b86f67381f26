// Writes small WAV files for tests: real files on disk, in a temporary folder that the
// TempFolder removes again.
#pragma once

#include "support/WavWriter.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace testwav {

// 32-bit float or 16-bit PCM, interleaved frames, through the one WAV writer.
inline bool write(const std::string& path, const std::vector<float>& samples, int channels = 1, int rate = 44100,
                  bool asFloat = true)
{
    return support::writeWavFile(path, asFloat ? support::WavEncoding::float32 : support::WavEncoding::pcm16,
                                 channels, static_cast<std::uint32_t>(rate), samples);
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
