// Conversion of an impulse response from the file's sample rate to the host's.
//
// Piecewise cubic (Catmull-Rom) interpolation over time grids built by running sums, with
// straight lines for the first two output samples and an extrapolated last one. Runs at
// load time only: it allocates its grids and its result.
#pragma once

#include <vector>

namespace dsp {

// Output length for n input samples: ceil(outputRate * ((n - 1) / inputRate)). Answers 0
// when no usable output exists: n < 2, a length below 2, a rate that is not positive and
// finite, or more than kMaxResampledLength samples.
int resampledLength(int n, float outputRate, double inputRate);

// Upper bound of a resampled IR. The longest IR (2048 samples) stays under it for rate
// ratios up to 512, far beyond any real pair of rates; a damaged header asking for more
// would otherwise cost gigabytes for samples that are cut away afterwards anyway.
constexpr int kMaxResampledLength = 1 << 20;

// Resamples input[0 .. n-1] (spaced 1/inputRate s apart) to outputRate. Returns exactly
// resampledLength(n, outputRate, inputRate) samples, or an empty array when that is 0 or
// memory runs out. Reads nothing past input[n-1]: the sample after the last counts as 0.
std::vector<double> resampleIr(int n, const double* input, float outputRate, double inputRate);

} // namespace dsp
