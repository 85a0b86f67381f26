#include "ProgressBar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define ORVEX_ISATTY _isatty
#define ORVEX_FILENO _fileno
#else
#include <unistd.h>
#define ORVEX_ISATTY isatty
#define ORVEX_FILENO fileno
#endif

namespace cli {

ProgressBar::ProgressBar(std::int64_t total, bool enabled) : m_total(total), m_enabled(enabled && total > 0) {}

bool ProgressBar::wanted(std::int64_t frames, double sampleRate)
{
    return static_cast<double>(frames) >= kMinimumSeconds * sampleRate && ORVEX_ISATTY(ORVEX_FILENO(stderr)) != 0;
}

void ProgressBar::update(std::int64_t done)
{
    if (!m_enabled)
        return;
    const int percent = static_cast<int>(done >= m_total ? 100 : done * 100 / m_total);
    if (percent == m_shown)
        return;
    m_shown = percent;
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    const int filled = percent * kWidth / 100;
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = 0;
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
}

void ProgressBar::finish()
{
    if (m_enabled && m_shown >= 0) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
}

} // namespace cli
