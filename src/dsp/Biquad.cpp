#include "dsp/Biquad.h"

#include <cmath>

namespace dsp {

namespace {

// Slightly above 2*pi; the designs are tuned with this value, so it stays.
constexpr double kTwoPi = 6.28319304;

// A corner at or above Nyquist would put tan() past its pole and give an unstable section
// (at a 22050 Hz host a 12 kHz low-pass would blow up). Designs are therefore clamped just
// below Nyquist, where the low-pass is as good as open; below that nothing changes.
constexpr double kHighestCorner = 0.49;

} // namespace

void Biquad::design(Kind kind, double frequency, double quality, double sampleRate)
{
    frequency_ = frequency;
    quality_ = quality;
    rate_ = sampleRate;
    kind_ = kind;

    double f = frequency;
    if (!(f > 0.0)) {
        f = 0.0; // negative or NaN: a zero corner (low-pass silent, high-pass open)
    }
    if (f > sampleRate * kHighestCorner) {
        f = sampleRate * kHighestCorner;
    }
    const double k = std::tan(f * kTwoPi / sampleRate * 0.5);
    const double kk = k * k;
    inverseA0_ = 1.0 / (kk + k / quality + 1.0);
    a1_ = 2.0 * (kk - 1.0);
    a2_ = kk + (1.0 - k / quality);
    if (kind == Kind::highPass) {
        b0_ = 1.0;
        b1_ = -2.0;
        b2_ = 1.0;
    } else {
        b0_ = kk;
        b1_ = 2.0 * kk;
        b2_ = kk;
    }
}

inline double Biquad::step(double x)
{
    // Evaluation order is part of the behaviour (results are compared bit for bit).
    const double y = (b1_ * x1_ + b0_ * x + b2_ * x2_ - a1_ * y1_ - a2_ * y2_) * inverseA0_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
}

void Biquad::highPass(double frequency, double quality, double sampleRate, double& sample)
{
    highPassBlock(frequency, quality, sampleRate, &sample, 1);
}

void Biquad::lowPass(double frequency, double quality, double sampleRate, double& sample)
{
    lowPassBlock(frequency, quality, sampleRate, &sample, 1);
}

void Biquad::prepareHighPass(double frequency, double quality, double sampleRate)
{
    // The stored design is reused only for an exact match. Besides the frequency, the
    // quality, the sample rate and the kind are compared too: a host rate change must
    // re-tune a filter whose cutoff has long settled.
    if (frequency != frequency_ || quality != quality_ || sampleRate != rate_ || kind_ != Kind::highPass) {
        design(Kind::highPass, frequency, quality, sampleRate);
    }
}

void Biquad::prepareLowPass(double frequency, double quality, double sampleRate)
{
    if (frequency != frequency_ || quality != quality_ || sampleRate != rate_ || kind_ != Kind::lowPass) {
        design(Kind::lowPass, frequency, quality, sampleRate);
    }
}

void Biquad::highPassBlock(double frequency, double quality, double sampleRate, double* samples, int n)
{
    prepareHighPass(frequency, quality, sampleRate);
    for (int i = 0; i < n; ++i) {
        samples[i] = step(samples[i]);
    }
}

void Biquad::lowPassBlock(double frequency, double quality, double sampleRate, double* samples, int n)
{
    prepareLowPass(frequency, quality, sampleRate);
    for (int i = 0; i < n; ++i) {
        samples[i] = step(samples[i]);
    }
}

void Biquad::clear()
{
    *this = Biquad();
}

} // namespace dsp
