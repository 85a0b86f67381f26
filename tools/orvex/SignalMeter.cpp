#include "SignalMeter.h"

#include <cmath>
#include <limits>

namespace cli {

SignalMeter::SignalMeter(int channels)
    : m_peak(static_cast<std::size_t>(channels), 0.0),
      m_sumOfSquares(static_cast<std::size_t>(channels), 0.0),
      m_nonFinite(static_cast<std::size_t>(channels), 0)
{
}

void SignalMeter::add(const float* const* channels, std::int64_t frames)
{
    if (frames <= 0)
        return;
    for (std::size_t c = 0; c < m_peak.size(); ++c) {
        double peak = m_peak[c];
        double sum = 0.0;
        for (std::int64_t i = 0; i < frames; ++i) {
            const double x = channels[c][i];
            if (!std::isfinite(x)) {
                ++m_nonFinite[c];
                continue;
            }
            peak = std::fmax(peak, std::fabs(x));
            sum += x * x;
        }
        m_peak[c] = peak;
        m_sumOfSquares[c] += sum;
    }
    m_frames += frames;
}

double SignalMeter::rms(int channel) const
{
    if (m_frames == 0)
        return 0.0;
    return std::sqrt(m_sumOfSquares[static_cast<std::size_t>(channel)] / static_cast<double>(m_frames));
}

double SignalMeter::toDecibels(double level)
{
    if (!(level > 0.0))
        return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(level);
}

} // namespace cli
