#include "dsp/Resampler.h"

#include <cmath>
#include <new>

namespace dsp {

int resampledLength(int n, float outputRate, double inputRate)
{
    if (n < 2 || !(inputRate > 0.0) || !std::isfinite(inputRate) || !(outputRate > 0.0f) ||
        !std::isfinite(outputRate))
        return 0;
    // The division comes first, as the caller computes the same length itself.
    const double m = std::ceil(static_cast<double>(outputRate) * (static_cast<double>(n - 1) / inputRate));
    // Written so that a NaN also lands in the refusal.
    if (!(m >= 2.0 && m <= static_cast<double>(kMaxResampledLength)))
        return 0;
    return static_cast<int>(m);
}

std::vector<double> resampleIr(int n, const double* input, float outputRate, double inputRate)
{
    const int m = resampledLength(n, outputRate, inputRate);
    if (m == 0 || input == nullptr)
        return {};

    std::vector<double> tIn, tOut, out;
    try {
        tIn.resize(static_cast<size_t>(n));
        tOut.resize(static_cast<size_t>(m));
        out.assign(static_cast<size_t>(m), 0.0);
    } catch (const std::bad_alloc&) {
        return {};
    }

    // Running sums rather than i * period: grid points may land a hair off the exact
    // multiples, and the tie-break below depends on that very arithmetic.
    const double inPeriod = 1.0 / inputRate;
    const double outPeriod = 1.0 / static_cast<double>(outputRate);
    tIn[0] = 0.0;
    for (int i = 1; i < n; ++i)
        tIn[static_cast<size_t>(i)] = tIn[static_cast<size_t>(i - 1)] + inPeriod;
    tOut[0] = 0.0;
    for (int j = 1; j < m; ++j)
        tOut[static_cast<size_t>(j)] = tOut[static_cast<size_t>(j - 1)] + outPeriod;

    const double* x = input;
    auto at = [&](int i) { return (i >= 0 && i < n) ? x[i] : 0.0; };

    out[0] = x[0];
    out[1] = x[0] + (x[1] - x[0]) * (tOut[1] - tOut[0]) / (tIn[1] - tIn[0]);
    out[static_cast<size_t>(m - 1)] =
        x[n - 1] + (x[n - 1] - x[n - 2]) * (tOut[static_cast<size_t>(m - 1)] - tOut[static_cast<size_t>(m - 2)]) /
                       (tIn[static_cast<size_t>(n - 1)] - tIn[static_cast<size_t>(n - 2)]);

    // The interval for t is the last i in 0 .. n-2 with tIn[i] <= t <= tIn[i+1]: on an
    // exact grid point the later interval (u = 0) wins. Output times only grow, so the
    // interval index only moves forward.
    int i = 0;
    for (int j = 2; j <= m - 2; ++j) {
        const double t = tOut[static_cast<size_t>(j)];
        while (i + 1 <= n - 2 && tIn[static_cast<size_t>(i + 1)] <= t)
            ++i;
        if (t < tIn[static_cast<size_t>(i)] || t > tIn[static_cast<size_t>(i + 1)])
            continue; // outside the input span; cannot happen for lengths from resampledLength
        const double u = (t - tIn[static_cast<size_t>(i)]) / (tIn[static_cast<size_t>(i + 1)] - tIn[static_cast<size_t>(i)]);
        const double p0 = at(i - 1);
        const double p1 = x[i];
        const double p2 = x[i + 1];
        const double p3 = at(i + 2);
        const double a = (p2 - p0) * 0.5;
        const double b = (p1 - p2) + a;
        const double c = (p3 - p1) * 0.5 + b + (p1 - p2);
        out[static_cast<size_t>(j)] = ((c * u - (b + c)) * u + a) * u + p1;
    }
    return out;
}

} // namespace dsp
