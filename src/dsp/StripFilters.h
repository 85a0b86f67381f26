// Runs the strip filters of several slots over one hop. Each slot's low-pass and then its
// high-pass (either may be off) is a recursive filter: on its own it is bound by the latency
// of its feedback, one sample after the other. Two slots with the same filters switched on
// run side by side in the two lanes of an SSE2 register, each lane doing exactly the
// operations of Biquad's own loop, so the samples are the same bits as filtering the slots
// one by one.
//
// Audio thread; allocates nothing.
#pragma once

#include "dsp/Biquad.h"

namespace dsp {

class StripFilters {
public:
    struct Job {
        double* samples;  // the slot's hop, filtered in place
        Biquad* lowPass;  // prepared low-pass, or null when it is off
        Biquad* highPass; // prepared high-pass, or null when it is off
    };

    // Filters n samples of every job: low-pass first, then high-pass, both already designed
    // (Biquad::prepareLowPass / prepareHighPass).
    static void run(const Job* jobs, int count, int n);

private:
    static void runOne(const Job& job, int n);
    template <bool kLow, bool kHigh> static void runPair(const Job& a, const Job& b, int n);
};

} // namespace dsp
