#include "ProcessStats.h"

#include <cstdio>
#if !defined(_WIN32)
#include <time.h>
#endif

namespace cli {

double ProcessStats::threadSeconds()
{
#if !defined(_WIN32) && defined(CLOCK_THREAD_CPUTIME_ID)
    timespec t;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
#endif
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void ProcessStats::begin()
{
    start_ = Clock::now();
    startCpu_ = threadSeconds();
}

void ProcessStats::end(int frames)
{
    const double s = threadSeconds() - startCpu_;
    const double wall = std::chrono::duration<double>(Clock::now() - start_).count();
    wallTotal_ += wall;
    wallWorst_ = wall > wallWorst_ ? wall : wallWorst_;
    total_ += s;
    if (s > worst_) {
        worst_ = s;
        worstFrames_ = frames;
        worstIndex_ = calls_;
    }
    ++calls_;
    frames_ += frames;
}

void ProcessStats::print(std::ostream& out) const
{
    const double audio = rate_ > 0.0 ? static_cast<double>(frames_) / rate_ : 0.0;
    const double perSecond = audio > 0.0 ? total_ / audio : 0.0;
    const double blockLasts = rate_ > 0.0 ? worstFrames_ / rate_ : 0.0;
    char line[256];
    std::snprintf(line, sizeof line,
                  "processing: %.3f ms inside the plug-in per second of audio (%.3f %% of one core), "
                  "%lld calls, %.3f ms in all for %.3f s\n",
                  perSecond * 1000.0, perSecond * 100.0, static_cast<long long>(calls_), total_ * 1000.0, audio);
    out << line;
    std::snprintf(line, sizeof line,
                  "worst block: %.3f ms for %d frames (call %lld), %.1f %% of the %.3f ms the block lasts\n",
                  worst_ * 1000.0, worstFrames_, static_cast<long long>(worstIndex_),
                  blockLasts > 0.0 ? 100.0 * worst_ / blockLasts : 0.0, blockLasts * 1000.0);
    out << line;
    std::snprintf(line, sizeof line, "wall clock: %.3f ms per second of audio, worst block %.3f ms\n",
                  audio > 0.0 ? 1000.0 * wallTotal_ / audio : 0.0, wallWorst_ * 1000.0);
    out << line;
}

} // namespace cli
