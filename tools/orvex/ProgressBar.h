// A progress bar on standard error for long renders. It draws only when standard error is
// a terminal, so logs and pipes never receive carriage-return noise.
#pragma once

#include <cstdint>

namespace cli {

class ProgressBar {
public:
    // Renders shorter than this many seconds of audio finish before a bar would help.
    static constexpr double kMinimumSeconds = 30.0;

    // A bar over `total` frames, drawn when `enabled` is true.
    ProgressBar(std::int64_t total, bool enabled);

    // Whether a render of `frames` at `sampleRate` should show a bar on this standard error.
    static bool wanted(std::int64_t frames, double sampleRate);

    void update(std::int64_t done);

    // Completes the line (when a bar was drawn).
    void finish();

private:
    std::int64_t m_total;   // frames of the whole render
    bool m_enabled;         // whether anything is drawn
    int m_shown = -1;       // last percentage drawn, -1 before the first
};

} // namespace cli
