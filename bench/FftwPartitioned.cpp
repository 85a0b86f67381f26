#include "FftwPartitioned.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

void FftwPartitioned::Section::run(double* x, int n)
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

FftwPartitioned::FftwPartitioned(int hop, double sampleRate, const std::vector<std::vector<double>>& irs)
    : b_(hop)
    , m_(2 * hop)
    , bins_(hop + 1)
    , stride_(hop + 2)
    , parts_((1024 + hop - 1) / hop)
{
    for (int c = 0; c < 2; ++c) {
        gather_[c] = fftw_alloc_real(static_cast<size_t>(m_));
        fdl_[c] = fftw_alloc_complex(static_cast<size_t>(stride_ * parts_));
    }
    sum_ = fftw_alloc_complex(static_cast<size_t>(bins_));
    result_ = fftw_alloc_real(static_cast<size_t>(m_));
    // Planning with FFTW_MEASURE overwrites the arrays, so it comes before they are filled.
    for (int c = 0; c < 2; ++c) {
        forward_[c] = fftw_plan_dft_r2c_1d(m_, gather_[c], fdl_[c], FFTW_MEASURE);
    }
    inverse_ = fftw_plan_dft_c2r_1d(m_, sum_, result_, FFTW_MEASURE);
    for (int c = 0; c < 2; ++c) {
        std::fill(gather_[c], gather_[c] + m_, 0.0);
        std::fill(&fdl_[c][0][0], &fdl_[c][0][0] + 2 * stride_ * parts_, 0.0);
    }

    double* time = fftw_alloc_real(static_cast<size_t>(m_));
    for (int k = 0; k < kSlots; ++k) {
        weights_[k] = fftw_alloc_complex(static_cast<size_t>(stride_ * parts_));
        const std::vector<double>& ir = irs[static_cast<size_t>(k)];
        for (int p = 0; p < parts_; ++p) {
            std::fill(time, time + m_, 0.0);
            for (int i = 0; i < b_ && p * b_ + i < static_cast<int>(ir.size()); ++i) {
                time[i] = ir[static_cast<size_t>(p * b_ + i)];
            }
            fftw_complex* w = weights_[k] + p * stride_;
            fftw_execute_dft_r2c(forward_[0], time, w);
            for (int i = 0; i < bins_; ++i) {
                w[i][0] /= m_;
                w[i][1] /= m_;
            }
        }
        tail_[k].assign(static_cast<size_t>(b_), 0.0);
        out_[k].assign(static_cast<size_t>(b_), 0.0);
        line_[k].assign(static_cast<size_t>(std::max(1, 10 * k)), 0.0);

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
        gainLeft_[k] = 5.0 * 0.5 * 0.5 * std::min(1.0, 2.0 - 2.0 * pan);
        gainRight_[k] = 5.0 * 0.5 * 0.5 * std::min(1.0, 2.0 * pan);
    }
    fftw_free(time);
}

FftwPartitioned::~FftwPartitioned()
{
    fftw_destroy_plan(inverse_);
    for (int c = 0; c < 2; ++c) {
        fftw_destroy_plan(forward_[c]);
        fftw_free(gather_[c]);
        fftw_free(fdl_[c]);
    }
    for (int k = 0; k < kSlots; ++k) {
        fftw_free(weights_[k]);
    }
    fftw_free(sum_);
    fftw_free(result_);
}

void FftwPartitioned::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    for (int i = 0; i < frames; ++i) {
        gather_[0][pos_] = inL[i];
        gather_[1][pos_] = inR[i];
        double l = 0.0;
        double r = 0.0;
        for (int k = 0; k < kSlots; ++k) {
            std::vector<double>& line = line_[k];
            const double d = line[static_cast<size_t>(linePos_[k])];
            l += gainLeft_[k] * d;
            r += gainRight_[k] * d;
            line[static_cast<size_t>(linePos_[k])] = out_[k][static_cast<size_t>(pos_)];
            if (++linePos_[k] == static_cast<int>(line.size())) {
                linePos_[k] = 0;
            }
        }
        outL[i] = static_cast<float>(l);
        outR[i] = static_cast<float>(r);
        if (++pos_ == b_) {
            hopStep();
            pos_ = 0;
        }
    }
}

void FftwPartitioned::hopStep()
{
    head_ = head_ + 1 == parts_ ? 0 : head_ + 1;
    for (int c = 0; c < 2; ++c) {
        fftw_execute_dft_r2c(forward_[c], gather_[c], fdl_[c] + head_ * stride_);
    }
    for (int k = 0; k < kSlots; ++k) {
        std::fill(&sum_[0][0], &sum_[0][0] + 2 * bins_, 0.0);
        int entry = head_;
        for (int p = 0; p < parts_; ++p) {
            const fftw_complex* x = fdl_[k % 2] + entry * stride_;
            const fftw_complex* w = weights_[k] + p * stride_;
            for (int i = 0; i < bins_; ++i) {
                sum_[i][0] += x[i][0] * w[i][0] - x[i][1] * w[i][1];
                sum_[i][1] += x[i][0] * w[i][1] + x[i][1] * w[i][0];
            }
            entry = entry == 0 ? parts_ - 1 : entry - 1;
        }
        fftw_execute(inverse_);
        double* out = out_[k].data();
        double* tail = tail_[k].data();
        for (int i = 0; i < b_; ++i) {
            out[i] = tail[i] + result_[i];
            tail[i] = result_[b_ + i];
        }
        lowPass_[k].run(out, b_);
        highPass_[k].run(out, b_);
    }
}
