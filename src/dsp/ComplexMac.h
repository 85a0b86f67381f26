// The inner loop of the partitioned convolution: the sum, over a slot's partitions, of
// input spectrum times partition spectrum, bin by bin, in the packed layout of RealFft
// (real parts at 0 .. m/2, imaginary parts of bins 1 .. m/2-1 after them).
//
// Real-time safe: no allocation, no state. The routine is picked once, when a
// ConvolutionEngine is built: SSE2 (the baseline of both Windows targets and of every
// x86-64), or AVX2 with FMA where the processor has them (x86-64 Linux builds only, see
// ComplexMac.cpp). The AVX2 form rounds differently (fused multiply-adds); both stay far
// inside the engine's tolerance, and one engine always uses one form, so its results do
// not depend on the host's block sizes.
#pragma once

namespace dsp {

// acc = sum over j < count of x[j] * w[j] (complex, per bin). m is a power of two >= 16;
// count >= 0 (0 gives all zeros). acc may not alias any x[j] or w[j].
using ComplexMacFn = void (*)(const double* const* x, const double* const* w, int count, double* acc, int m);

// The fastest form this processor runs.
ComplexMacFn bestComplexMac();
// The portable form (SSE2 where the compiler targets it, plain C++ otherwise).
void complexMacBaseline(const double* const* x, const double* const* w, int count, double* acc, int m);
// Whether bestComplexMac() picked the AVX2 form (reported by the benchmark).
bool complexMacUsesAvx2();

} // namespace dsp
