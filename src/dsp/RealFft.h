// Real-input FFT of one fixed power-of-two length (16 .. 4096) in a packed spectrum
// layout: element k (0..N/2) is the real part of bin k, element N/2+k (1..N/2-1) its
// imaginary part, with the kernel e^(+2*pi*i*k*n/N). Neither transform scales; call
// rescale() after inverse(). All tables and the scratch buffer are allocated by the
// constructor; the transforms allocate nothing and are safe on the audio thread. One
// engine is not re-entrant (the scratch buffer is shared by both transforms).
#pragma once

#include <vector>

namespace dsp {

class RealFft {
public:
    static constexpr int kMinSize = 16;
    static constexpr int kMaxSize = 4096;
    static bool isSupportedSize(int size); // a power of two in kMinSize .. kMaxSize

    explicit RealFft(int size); // an unsupported size gets the 2048 engine
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    int size() const { return n_; }

    // input: n time samples (read only); output: packed spectrum. Distinct arrays.
    void forward(const double* input, double* output);
    // spectrum: packed spectrum (read only); output: n times the time signal. Distinct arrays.
    void inverse(const double* spectrum, double* output);
    // Multiplies n values by 1/n.
    void rescale(double* data) const;

    const std::vector<int>& bitReverseTable() const { return bitReverse_; }
    const std::vector<double>& cosineTable() const { return cosine_; }

private:
    int n_;                        // transform length N
    int log2n_;                    // L with N = 2^L
    std::vector<double> scratch_;  // N doubles, work area of both transforms
    std::vector<int> bitReverse_;  // N/4 entries: 4*i with its lowest L bits reversed
    std::vector<double> cosine_;   // N/4 entries: cos(i*2*pi/N), a quarter wave
    // Twiddles of the radix-2 passes with h = 8 .. N/2, copied from cosine_ so that the
    // butterflies read them in order: the pass of half-block h keeps, from index h - 8, h/2
    // cosines and then h/2 sines, each indexed by k (index 0 unused). N - 8 entries.
    std::vector<double> twiddle_;
};

} // namespace dsp
