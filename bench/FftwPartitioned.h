// Reference for the engine benchmark: a uniformly partitioned convolver written the plain
// way on top of FFTW (double precision): partitions of the hop, transforms of twice the
// hop, one frequency-domain delay line per input shared by the slots that read it, one
// inverse transform per slot, then the same strip as the engine's (low-pass and high-pass
// sections in direct form I, a delay line, volume and pan) and the stereo mix. It leaves
// out only what does not cost (glides of settled values, the hand-over).
//
// FFTW is GPL: it is used by the benchmark only and never linked into the product.
#pragma once

#include <fftw3.h>

#include <vector>

class FftwPartitioned {
public:
    static constexpr int kSlots = 6;

    // irs: six time-domain IRs of at most 1024 taps; slot k convolves input k % 2 with a
    // delay of 10 k samples, as the benchmark configures the engine.
    FftwPartitioned(int hop, double sampleRate, const std::vector<std::vector<double>>& irs);
    ~FftwPartitioned();
    FftwPartitioned(const FftwPartitioned&) = delete;
    FftwPartitioned& operator=(const FftwPartitioned&) = delete;

    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);

private:
    struct Section {
        double b0, b1, b2, a1, a2;  // normalised coefficients
        double x1 = 0, x2 = 0;      // input history
        double y1 = 0, y2 = 0;      // output history
        void run(double* x, int n);
    };

    void hopStep();

    int b_;                               // hop and partition length
    int m_;                               // transform size, 2 b_
    int bins_;                            // m_ / 2 + 1
    int stride_;                          // complex values per spectrum in memory: bins_
                                          // rounded up, so every entry keeps the planned alignment
    int parts_;                           // partitions per IR
    int head_ = 0;                        // delay-line entry of the newest hop
    int pos_ = 0;                         // position in the hop
    double* gather_[2];                   // input of the current hop, zero padded to m_
    fftw_complex* fdl_[2];                // parts_ spectra per input, newest at head_
    fftw_complex* weights_[kSlots];       // parts_ partition spectra per slot, scaled by 1/m_
    fftw_complex* sum_;                   // a slot's sum of products (destroyed by the inverse)
    double* result_;                      // its inverse transform
    fftw_plan forward_[2];                // gather_[c] -> the head entry of fdl_[c]
    fftw_plan inverse_;                   // sum_ -> result_
    std::vector<double> tail_[kSlots];    // second half of the last inverse
    std::vector<double> out_[kSlots];     // this hop's output per slot
    std::vector<double> line_[kSlots];    // delay lines
    int linePos_[kSlots] = {};            // delay-line positions
    Section lowPass_[kSlots];             // per-slot low-pass
    Section highPass_[kSlots];            // per-slot high-pass
    double gainLeft_[kSlots];             // mix gain to the left output
    double gainRight_[kSlots];            // mix gain to the right output
};
