#include "TestAudio.h"

#include "WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

std::vector<float> TestAudio::sine(double frequency, double sampleRate, double amplitude, std::size_t frames)
{
    std::vector<float> x(frames);
    const double pi = std::acos(-1.0);
    for (std::size_t i = 0; i < frames; ++i)
        x[i] = static_cast<float>(amplitude * std::sin(2.0 * pi * frequency * static_cast<double>(i) / sampleRate));
    return x;
}

std::vector<float> TestAudio::noise(std::uint32_t seed, double amplitude, std::size_t frames)
{
    std::vector<float> x(frames);
    std::uint32_t state = seed ? seed : 1;
    for (std::size_t i = 0; i < frames; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        x[i] = static_cast<float>(amplitude * (static_cast<double>(state) / 2147483648.0 - 1.0));
    }
    return x;
}

bool TestAudio::writeFloat(const std::string& path, const Channels& channels, std::uint32_t sampleRate)
{
    cli::WavFile file;
    std::string error;
    std::vector<const float*> pointers;
    for (const auto& channel : channels)
        pointers.push_back(channel.data());
    const bool ok = file.openWrite(path, static_cast<int>(channels.size()), sampleRate, error) &&
                    file.write(pointers.data(), static_cast<std::int64_t>(channels[0].size()), error) &&
                    file.finish(error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

bool TestAudio::read(const std::string& path, Channels& channels, std::uint32_t& sampleRate)
{
    cli::WavFile file;
    std::string error;
    if (!file.openRead(path, error)) {
        ADD_FAILURE() << error;
        return false;
    }
    channels.assign(static_cast<std::size_t>(file.channels()), std::vector<float>(static_cast<std::size_t>(file.frames())));
    std::vector<float*> pointers;
    for (auto& channel : channels)
        pointers.push_back(channel.data());
    sampleRate = file.sampleRate();
    const std::int64_t got = file.read(pointers.data(), file.frames(), error);
    EXPECT_EQ(got, file.frames()) << error;
    return got == file.frames();
}

double TestAudio::rms(const std::vector<float>& x, std::size_t first, std::size_t last)
{
    double sum = 0.0;
    for (std::size_t i = first; i < last; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0.0;
}

void TestAudio::writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

WavBytes& WavBytes::id(const char* fourChars)
{
    m_bytes.insert(m_bytes.end(), fourChars, fourChars + 4);
    return *this;
}

WavBytes& WavBytes::u16(std::uint32_t v)
{
    m_bytes.push_back(static_cast<unsigned char>(v & 0xff));
    m_bytes.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
    return *this;
}

WavBytes& WavBytes::u32(std::uint32_t v)
{
    u16(v & 0xffff);
    return u16(v >> 16);
}

WavBytes& WavBytes::raw(const std::vector<unsigned char>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<unsigned char> WavBytes::riff(const std::vector<unsigned char>& body)
{
    return WavBytes().id("RIFF").u32(static_cast<std::uint32_t>(body.size() + 4)).id("WAVE").raw(body).bytes();
}

std::vector<unsigned char> WavBytes::format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                            std::uint16_t bits)
{
    const std::uint32_t align = channels * bits / 8u;
    return WavBytes().id("fmt ").u32(16).u16(tag).u16(channels).u32(rate).u32(rate * align).u16(align).u16(bits).bytes();
}

std::vector<unsigned char> WavBytes::chunk(const char* id, const std::vector<unsigned char>& body)
{
    WavBytes b;
    b.id(id).u32(static_cast<std::uint32_t>(body.size())).raw(body);
    if (body.size() % 2)
        b.raw({0});
    return b.bytes();
}
