// The passes RealFft runs, each over the whole array of n values: the fused first stages
// (bit reversal with passes 1 to 3) and their inverse, single radix-2 passes and pairs of
// them fused into one sweep. Twiddles come from RealFft's per-pass table. Every path (SSE2
// two butterflies at a time, or scalar) gives the bits of the plain scalar formulation.
#pragma once

namespace dsp {
namespace realfft {

// Forward passes of half-blocks h and 2h together (h >= 8), from s into d.
void forwardFusedPasses(const double* s, double* d, int n, int h, const double* t1, const double* t2);
// Inverse passes of half-blocks 2h and h together (h >= 8), from s into d.
void inverseFusedPasses(const double* s, double* d, int n, int h, const double* t1, const double* t2);
// One forward radix-2 pass of half-blocks h (h >= 8); tw holds its cosines, then its sines.
void forwardPass(const double* s, double* d, int n, int h, const double* tw);
// Undoes forwardPass without halving.
void inversePass(const double* s, double* d, int n, int h, const double* tw);
// Bit reversal with passes 1 and 2, and pass 3, from the input into dst.
void forwardFirstStages(const double* input, double* dst, int n, const int* rev);
// Undoes pass 3 and the first stage, scattering through the bit-reverse table.
void inverseLastStages(const double* src, double* output, int n, const int* rev);

} // namespace realfft
} // namespace dsp
