// What the plug-in's audio callback costs during `orvex render --stats`: the time spent
// inside each process call, summed and set against the audio it produced (the share of one
// core a real-time host would need), and the longest single call against the time its
// block lasts. Any VST 2 plug-in can be measured the same way on the same input.
//
// Where the system keeps a clock per thread (POSIX), the figures are the calling thread's
// CPU time, so that time the machine gave to other programs during a call does not count
// against the plug-in; the wall-clock figures follow on a line of their own. Elsewhere both
// are wall-clock time.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace cli {

class ProcessStats {
public:
    explicit ProcessStats(double sampleRate) : rate_(sampleRate) {}

    // Around each call; frames is the length of the block handed over.
    void begin();
    void end(int frames);

    // Three lines: the cost per second of audio, the worst block, and both in wall-clock time.
    void print(std::ostream& out) const;

    double seconds() const { return total_; }      // inside the plug-in, in all
    double worstSeconds() const { return worst_; } // the longest call
    std::int64_t calls() const { return calls_; }

private:
    using Clock = std::chrono::steady_clock;

    double rate_;                 // sample rate of the rendered audio, Hz
    static double threadSeconds(); // CPU time of the calling thread (wall clock where there is none)

    Clock::time_point start_;     // wall-clock start of the current call
    double startCpu_ = 0.0;       // thread time at the start of the current call
    double total_ = 0.0;          // seconds inside the plug-in
    double worst_ = 0.0;          // longest call, seconds
    double wallTotal_ = 0.0;      // the same two in wall-clock time
    double wallWorst_ = 0.0;
    int worstFrames_ = 0;         // frames of that call
    std::int64_t worstIndex_ = 0; // which call it was (0 the first)
    std::int64_t calls_ = 0;      // calls timed
    std::int64_t frames_ = 0;     // frames processed
};

} // namespace cli
