#include "FftwOverlapAdd.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

void FftwOverlapAdd::Section::run(double* x, int n)
{
    for (int i = 0; i < n; ++i) {
        const double y = b0 * x[i] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x[i];
        y2 = y1;
        y1 = y;
        x[i] = y;
    }
}

FftwOverlapAdd::FftwOverlapAdd(int fftSize, int hop, double sampleRate, const std::vector<std::vector<double>>& irs)
    : n_(fftSize)
    , b_(hop)
{
    const int bins = n_ / 2 + 1;
    for (int c = 0; c < 2; ++c) {
        gather_[c] = fftw_alloc_real(static_cast<size_t>(n_));
        inputSpectrum_[c] = fftw_alloc_complex(static_cast<size_t>(bins));
    }
    product_ = fftw_alloc_complex(static_cast<size_t>(bins));
    result_ = fftw_alloc_real(static_cast<size_t>(n_));
    // Planning with FFTW_MEASURE overwrites the arrays, so it comes before they are filled.
    for (int c = 0; c < 2; ++c) {
        forward_[c] = fftw_plan_dft_r2c_1d(n_, gather_[c], inputSpectrum_[c], FFTW_MEASURE);
    }
    inverse_ = fftw_plan_dft_c2r_1d(n_, product_, result_, FFTW_MEASURE);

    double* time = fftw_alloc_real(static_cast<size_t>(n_));
    for (int k = 0; k < kSlots; ++k) {
        irSpectrum_[k] = fftw_alloc_complex(static_cast<size_t>(bins));
        std::fill(time, time + n_, 0.0);
        const std::vector<double>& ir = irs[static_cast<size_t>(k)];
        std::copy(ir.begin(), ir.begin() + std::min<long>(static_cast<long>(ir.size()), n_ / 2), time);
        fftw_execute_dft_r2c(forward_[0], time, irSpectrum_[k]);
        for (int i = 0; i < bins; ++i) {
            irSpectrum_[k][i][0] /= n_;
            irSpectrum_[k][i][1] /= n_;
        }
        tail_[k].assign(static_cast<size_t>(n_), 0.0);
        out_[k].assign(static_cast<size_t>(n_), 0.0);

        // Textbook bilinear Butterworth-style sections, Q 0.7.
        const double q = 0.7;
        const double lk = std::tan(kPi * 6000.0 / sampleRate);
        const double hk = std::tan(kPi * 80.0 / sampleRate);
        const double ln = 1.0 / (lk * lk + lk / q + 1.0);
        const double hn = 1.0 / (hk * hk + hk / q + 1.0);
        lowPass_[k] = Section{lk * lk * ln, 2 * lk * lk * ln, lk * lk * ln, 2 * (lk * lk - 1) * ln,
                              (lk * lk - lk / q + 1) * ln};
        highPass_[k] = Section{hn, -2 * hn, hn, 2 * (hk * hk - 1) * hn, (hk * hk - hk / q + 1) * hn};
        const double pan = k / 5.0;
        gainLeft_[k] = 5.0 * 0.5 * std::min(1.0, 2.0 - 2.0 * pan);
        gainRight_[k] = 5.0 * 0.5 * std::min(1.0, 2.0 * pan);
    }
    fftw_free(time);
    for (int c = 0; c < 2; ++c) {
        std::fill(gather_[c], gather_[c] + n_, 0.0);
    }
}

FftwOverlapAdd::~FftwOverlapAdd()
{
    fftw_destroy_plan(inverse_);
    for (int c = 0; c < 2; ++c) {
        fftw_destroy_plan(forward_[c]);
        fftw_free(gather_[c]);
        fftw_free(inputSpectrum_[c]);
    }
    for (int k = 0; k < kSlots; ++k) {
        fftw_free(irSpectrum_[k]);
    }
    fftw_free(product_);
    fftw_free(result_);
}

void FftwOverlapAdd::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    for (int i = 0; i < frames; ++i) {
        gather_[0][pos_] = inL[i];
        gather_[1][pos_] = inR[i];
        double l = 0.0;
        double r = 0.0;
        for (int k = 0; k < kSlots; ++k) {
            const double s = out_[k][static_cast<size_t>(pos_)];
            l += gainLeft_[k] * s;
            r += gainRight_[k] * s;
        }
        outL[i] = static_cast<float>(l);
        outR[i] = static_cast<float>(r);
        if (++pos_ == b_) {
            hopStep();
            pos_ = 0;
        }
    }
}

void FftwOverlapAdd::hopStep()
{
    fftw_execute(forward_[0]);
    fftw_execute(forward_[1]);
    const int bins = n_ / 2 + 1;
    for (int k = 0; k < kSlots; ++k) {
        const fftw_complex* in = inputSpectrum_[k % 2];
        const fftw_complex* ir = irSpectrum_[k];
        for (int i = 0; i < bins; ++i) {
            product_[i][0] = ir[i][0] * in[i][0] - ir[i][1] * in[i][1];
            product_[i][1] = ir[i][0] * in[i][1] + ir[i][1] * in[i][0];
        }
        fftw_execute(inverse_);
        double* out = out_[k].data();
        double* tail = tail_[k].data();
        for (int i = 0; i < b_; ++i) {
            out[i] = tail[i] + result_[i];
        }
        lowPass_[k].run(out, b_);
        highPass_[k].run(out, b_);
        for (int i = b_; i < n_; ++i) {
            tail[i - b_] = result_[i] + tail[i];
        }
    }
}
