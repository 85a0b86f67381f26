#include "dsp/Biquad.h"
#include "dsp/StripFilters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Slots filtered side by side give the same bits as each slot through Biquad's own block
// calls, whatever mix of filters is on, for odd counts of slots and over several hops
// (the history carries from one run to the next).
TEST(StripFilters, SideBySideEqualsOneSlotAtATime)
{
    // Low-pass, high-pass on per slot: both, both, low only, high only, none, low only, both.
    const bool low[] = {true, true, true, false, false, true, true};
    const bool high[] = {true, true, false, true, false, false, true};
    const int slots = 7;
    const int n = 61;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<dsp::Biquad> lpA(slots), hpA(slots), lpB(slots), hpB(slots);
    for (int hop = 0; hop < 4; ++hop) {
        SCOPED_TRACE(hop);
        std::vector<std::vector<double>> a(slots, std::vector<double>(n + 2, 7.0));
        for (auto& v : a)
            for (int i = 1; i <= n; ++i)
                v[static_cast<size_t>(i)] = u(rng);
        std::vector<std::vector<double>> b = a;
        std::vector<dsp::StripFilters::Job> jobs;
        for (int k = 0; k < slots; ++k) {
            const double lf = 1000.0 + 900.0 * k + 10.0 * hop;
            const double hf = 40.0 + 30.0 * k + hop;
            double* x = a[static_cast<size_t>(k)].data() + 1;
            if (low[k])
                lpA[static_cast<size_t>(k)].lowPassBlock(lf, 0.7, 48000.0, x, n);
            if (high[k])
                hpA[static_cast<size_t>(k)].highPassBlock(hf, 0.7, 48000.0, x, n);
            dsp::StripFilters::Job job{b[static_cast<size_t>(k)].data() + 1, nullptr, nullptr};
            if (low[k]) {
                lpB[static_cast<size_t>(k)].prepareLowPass(lf, 0.7, 48000.0);
                job.lowPass = &lpB[static_cast<size_t>(k)];
            }
            if (high[k]) {
                hpB[static_cast<size_t>(k)].prepareHighPass(hf, 0.7, 48000.0);
                job.highPass = &hpB[static_cast<size_t>(k)];
            }
            jobs.push_back(job);
        }
        dsp::StripFilters::run(jobs.data(), slots, n);
        for (int k = 0; k < slots; ++k) {
            // Guard values around each hop stay untouched.
            ASSERT_EQ(0, std::memcmp(a[static_cast<size_t>(k)].data(), b[static_cast<size_t>(k)].data(),
                                     (n + 2) * sizeof(double)))
                << "slot " << k;
        }
    }
}

} // namespace
