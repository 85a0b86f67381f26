// Second-order filter section (direct form I) with the bilinear-transform high-pass and
// low-pass designs of a cabinet strip. The coefficients are recomputed only when the
// requested frequency (or the quality factor or sample rate) differs from the last design,
// and the history survives a recomputation, so a gliding cutoff moves without clicks.
// Allocation free; one instance belongs to one thread (the audio thread in the engine).
#pragma once

namespace dsp {

class Biquad {
public:
    Biquad() = default;

    // Filters one sample in place.
    void highPass(double frequency, double quality, double sampleRate, double& sample);
    void lowPass(double frequency, double quality, double sampleRate, double& sample);

    // The same for n consecutive samples with one design: identical to calling the
    // per-sample form n times with the same arguments.
    void highPassBlock(double frequency, double quality, double sampleRate, double* samples, int n);
    void lowPassBlock(double frequency, double quality, double sampleRate, double* samples, int n);

    // Brings the design up to date for a block, as the *Block calls do before filtering.
    void prepareHighPass(double frequency, double quality, double sampleRate);
    void prepareLowPass(double frequency, double quality, double sampleRate);

    // Forgets the history and the design (back to the constructed state).
    void clear();

    // Coefficients of the current design, for inspection.
    double inverseA0() const { return inverseA0_; }
    double a1() const { return a1_; }
    double a2() const { return a2_; }
    double b0() const { return b0_; }
    double b1() const { return b1_; }
    double b2() const { return b2_; }
    double frequency() const { return frequency_; }

private:
    friend class StripFilters; // runs several sections side by side on their fields

    enum class Kind { highPass, lowPass };

    void design(Kind kind, double frequency, double quality, double sampleRate);
    double step(double x);

    double inverseA0_ = 0.0; // 1 / a0 of the current design
    double a1_ = 0.0;        // feedback coefficient of y[n-1] (not yet divided by a0)
    double a2_ = 0.0;        // feedback coefficient of y[n-2]
    double b0_ = 0.0;        // feed-forward coefficient of x[n]
    double b1_ = 0.0;        // feed-forward coefficient of x[n-1]
    double b2_ = 0.0;        // feed-forward coefficient of x[n-2]
    double x1_ = 0.0;        // last input
    double x2_ = 0.0;        // input before the last
    double y1_ = 0.0;        // last output
    double y2_ = 0.0;        // output before the last
    double frequency_ = 0.0; // frequency (Hz) the coefficients were computed for
    double quality_ = 0.0;   // quality factor of the current design
    double rate_ = 0.0;      // sample rate (Hz) of the current design
    Kind kind_ = Kind::highPass; // which design the coefficients hold
};

} // namespace dsp
