// Peak and RMS of each channel of a rendered signal, accumulated block by block.
#pragma once

#include <cstdint>
#include <vector>

namespace cli {

class SignalMeter {
public:
    explicit SignalMeter(int channels);

    // Takes `frames` samples of every channel (one array per channel).
    void add(const float* const* channels, std::int64_t frames);

    int channels() const { return static_cast<int>(m_peak.size()); }
    std::int64_t frames() const { return m_frames; }
    double peak(int channel) const { return m_peak[static_cast<std::size_t>(channel)]; }
    double rms(int channel) const;
    // Samples that were NaN or infinite; they are left out of peak and RMS.
    std::int64_t nonFinite(int channel) const { return m_nonFinite[static_cast<std::size_t>(channel)]; }

    // 20 log10 of a linear level; minus infinity for silence.
    static double toDecibels(double level);

private:
    std::vector<double> m_peak;              // largest magnitude per channel
    std::vector<double> m_sumOfSquares;      // per channel, over every finite sample
    std::vector<std::int64_t> m_nonFinite;   // NaN or infinite samples per channel
    std::int64_t m_frames = 0;               // frames taken so far
};

} // namespace cli
