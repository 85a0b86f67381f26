// Reference for the engine benchmark: the same single-partition overlap-add convolution
// (six slots, two inputs, one FFT size, one hop) written the plain way on top of FFTW,
// with a fixed low-pass and high-pass per slot and a static stereo mix. It does the work
// the engine does without the engine's strip details (glides, delay lines, hand-over).
#pragma once

#include <fftw3.h>

#include <vector>

class FftwOverlapAdd {
public:
    static constexpr int kSlots = 6;

    // irs: six time-domain IRs of at most fftSize/2 samples; slot k convolves input k % 2.
    FftwOverlapAdd(int fftSize, int hop, double sampleRate, const std::vector<std::vector<double>>& irs);
    ~FftwOverlapAdd();
    FftwOverlapAdd(const FftwOverlapAdd&) = delete;
    FftwOverlapAdd& operator=(const FftwOverlapAdd&) = delete;

    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);

private:
    struct Section {
        double b0, b1, b2, a1, a2;  // normalised coefficients
        double x1 = 0, x2 = 0;      // input history
        double y1 = 0, y2 = 0;      // output history
        void run(double* x, int n);
    };

    void hopStep();

    int n_;                               // FFT size
    int b_;                               // hop
    int pos_ = 0;                         // position in the hop
    double* gather_[2];                   // input of the current hop, zero padded to n_
    fftw_complex* inputSpectrum_[2];      // transforms of gather_
    fftw_complex* irSpectrum_[kSlots];    // transforms of the IRs, scaled by 1/n_
    fftw_complex* product_;               // work area of the inverse (destroyed by it)
    double* result_;                      // inverse transform
    fftw_plan forward_[2];                // gather_[c] -> inputSpectrum_[c]
    fftw_plan inverse_;                   // product_ -> result_
    std::vector<double> tail_[kSlots];    // overlap still to add to coming hops
    std::vector<double> out_[kSlots];     // this hop's output per slot
    Section lowPass_[kSlots];             // per-slot low-pass
    Section highPass_[kSlots];            // per-slot high-pass
    double gainLeft_[kSlots];             // mix gain to the left output
    double gainRight_[kSlots];            // mix gain to the right output
};
