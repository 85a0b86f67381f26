// The per-sample half of the engine: glides, the delay lines, and the mix of the six
// strips into the stereo output, run a stretch at a time (up to the end of the current
// hop or of the host's block) rather than sample by sample.
//
// Every stretch gives the same bits as the sample-by-sample formulation: each output
// sample is 5 x output x the sum, over slots in order 0 .. 5 starting from 0.0, of
// ((pan x delayed sample) x smoothed volume) x (polarity x solo mask), and the glides
// step once per sample. What changes is the order of the loops: slot by slot over the
// stretch instead of sample by sample over the slots, so that the arithmetic runs two
// samples at a time and a glide that has come to rest costs nothing.
#include "dsp/ConvolutionEngine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dsp {

namespace {

constexpr double kMixScale = 5.0;   // each slot enters the mix at five times its level
constexpr double kGlideNew = 0.001; // one-pole glide: share of the target per sample
constexpr double kGlideOld = 0.999; // one-pole glide: share of the previous value

// The glide computes in double and keeps the result as a float: the smoothed values are
// floats, the targets are a float (volume) and doubles (corners).
inline float glide(double target, float previous)
{
    return static_cast<float>(target * kGlideNew + static_cast<double>(previous) * kGlideOld);
}

// A float glide ends on a value it maps to itself; from then on it never moves again.
inline bool atRest(double target, float value)
{
    return glide(target, value) == value;
}

// Steps the glides of `count` values `steps` times, all values side by side so that their
// chains of dependent operations overlap. Values already at rest are left alone.
void stepGlides(const double* targets, float* values, int count, int steps)
{
    int moving[3 * ConvolutionEngine::kSlots];
    int n = 0;
    for (int k = 0; k < count; ++k) {
        if (!atRest(targets[k], values[k])) {
            moving[n++] = k;
        }
    }
    if (n == 0) {
        return;
    }
    for (int j = 0; j < steps; ++j) {
        for (int m = 0; m < n; ++m) {
            values[moving[m]] = glide(targets[moving[m]], values[moving[m]]);
        }
    }
}

// A NaN or an infinity from the host is taken as silence. Kept, it would stay in the
// convolution history for a whole IR length and in a strip filter's feedback for good,
// silencing the cab long after the host's burst is over. The test is on the bits (every
// exponent bit set), so that every finite sample, denormals and -0 included, passes as it
// came, and the loops stay free of branches.
inline float silenceIfNotFinite(float x)
{
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits = (bits & 0x7f800000u) == 0x7f800000u ? 0u : bits;
    float y;
    std::memcpy(&y, &bits, sizeof y);
    return y;
}

// Takes `count` input samples into a gathering buffer as doubles, non-finite ones as silence:
// four at a time where SSE2 is there (the same conversion, so the same bits).
void gatherInput(const float* in, double* out, int count)
{
    int j = 0;
#if defined(__SSE2__)
    const __m128i exponent = _mm_set1_epi32(0x7f800000);
    for (; j + 4 <= count; j += 4) {
        const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j));
        const __m128i bad = _mm_cmpeq_epi32(_mm_and_si128(bits, exponent), exponent);
        const __m128 x = _mm_castsi128_ps(_mm_andnot_si128(bad, bits));
        _mm_storeu_pd(out + j, _mm_cvtps_pd(x));
        _mm_storeu_pd(out + j + 2, _mm_cvtps_pd(_mm_movehl_ps(x, x)));
    }
#endif
    for (; j < count; ++j) {
        out[j] = silenceIfNotFinite(in[j]);
    }
}

// The delay line of `length` samples (0 and 1 both give one sample) over a stretch: each
// sample reads the oldest value and stores the new one in its place.
void runDelay(double* line, int& readPos, int length, const double* in, double* delayed, int count)
{
    const int size = std::max(length, 1);
    int i = 0;
    if (readPos >= size && count > 0) {
        // The line was shortened: one read at the old place, then it wraps.
        delayed[0] = line[readPos];
        line[readPos] = in[0];
        readPos = 0;
        i = 1;
    }
    if (size == 1) {
        // The common case (no extra delay): one sample late.
        if (i < count) {
            delayed[i] = line[0];
            for (int j = i + 1; j < count; ++j) {
                delayed[j] = in[j - 1];
            }
            line[0] = in[count - 1];
        }
        return;
    }
    while (i < count) {
        // Plain loops: the runs are short, a library copy call would cost more than them.
        const int n = std::min(count - i, size - readPos);
        double* slot = line + readPos;
        for (int j = 0; j < n; ++j) {
            delayed[i + j] = slot[j];
            slot[j] = in[i + j];
        }
        readPos += n;
        i += n;
        if (readPos >= size) {
            readPos = 0;
        }
    }
}

// acc[j] += ((pan * d[j]) * v) * g, v fixed or per sample.
void addSlot(double* accL, double* accR, const double* d, const double* volumes, double volume, double panL,
             double panR, double g, int count)
{
    int j = 0;
#if defined(__SSE2__)
    const __m128d pl = _mm_set1_pd(panL);
    const __m128d pr = _mm_set1_pd(panR);
    const __m128d gg = _mm_set1_pd(g);
    const __m128d fixed = _mm_set1_pd(volume);
    for (; j + 1 < count; j += 2) {
        const __m128d x = _mm_loadu_pd(d + j);
        const __m128d v = volumes != nullptr ? _mm_loadu_pd(volumes + j) : fixed;
        const __m128d l = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(pl, x), v), gg);
        const __m128d r = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(pr, x), v), gg);
        _mm_storeu_pd(accL + j, _mm_add_pd(_mm_loadu_pd(accL + j), l));
        _mm_storeu_pd(accR + j, _mm_add_pd(_mm_loadu_pd(accR + j), r));
    }
#endif
    for (; j < count; ++j) {
        const double v = volumes != nullptr ? volumes[j] : volume;
        accL[j] += panL * d[j] * v * g;
        accR[j] += panR * d[j] * v * g;
    }
}

} // namespace

bool ConvolutionEngine::quiet(CabSlot& s, const Strip& t)
{
    // A slot switched off and cleared stops costing anything once its delay line has
    // played out: every line position is then checked to hold zero (once; a position the
    // line no longer uses may still hold an old sample, and a longer delay would read it).
    if (t.active || !s.outputZero) {
        return false;
    }
    if (!s.lineClear && s.zerosFed >= std::max(t.delayLength, 1)) {
        s.lineClear = std::all_of(s.delayLine.begin(), s.delayLine.end(), [](double x) { return x == 0.0; });
    }
    return s.lineClear;
}

void ConvolutionEngine::processStopped(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    // Off: the input passes unchanged (but for NaNs and infinities, which pass as silence)
    // and only the glides move.
    for (int i = 0; i < frames; ++i) {
        const float l = silenceIfNotFinite(inL[i]);
        const float r = silenceIfNotFinite(inR[i]);
        outL[i] = l;
        outR[i] = r;
    }
    double targets[3 * kSlots];
    float values[3 * kSlots];
    for (int k = 0; k < kSlots; ++k) {
        const CabSlot& s = *slots_[static_cast<size_t>(k)];
        const Strip& t = strips_[static_cast<size_t>(k)];
        targets[3 * k] = t.volume;
        targets[3 * k + 1] = t.hpFrequency;
        targets[3 * k + 2] = t.lpFrequency;
        values[3 * k] = s.volumeSmoothed;
        values[3 * k + 1] = s.hpSmoothed;
        values[3 * k + 2] = s.lpSmoothed;
    }
    stepGlides(targets, values, 3 * kSlots, frames);
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = *slots_[static_cast<size_t>(k)];
        s.volumeSmoothed = values[3 * k];
        s.hpSmoothed = values[3 * k + 1];
        s.lpSmoothed = values[3 * k + 2];
    }
}

void ConvolutionEngine::processRunning(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    const double outputGain = static_cast<double>(outputLevel_) * kMixScale;
    double* accL = mixLeft_.data();
    double* accR = mixRight_.data();
    double* delayed = delayed_.data();
    double* volumes = volumes_.data();
    double cornerTargets[2 * kSlots];
    float corners[2 * kSlots];
    for (int k = 0; k < kSlots; ++k) {
        cornerTargets[2 * k] = strips_[static_cast<size_t>(k)].hpFrequency;
        cornerTargets[2 * k + 1] = strips_[static_cast<size_t>(k)].lpFrequency;
    }

    int i = 0;
    while (i < frames) {
        // Up to the end of the current hop (or of the block).
        const int run = std::min(frames - i, b_ - pos_);
        // The input is taken first: the host may pass the same arrays for the output.
        gatherInput(inL + i, gatherLeft_.data() + pos_, run);
        gatherInput(inR + i, gatherRight_.data() + pos_, run);
        std::fill(accL, accL + run, 0.0);
        std::fill(accR, accR + run, 0.0);
        for (int k = 0; k < kSlots; ++k) {
            CabSlot& s = *slots_[static_cast<size_t>(k)];
            const Strip& t = strips_[static_cast<size_t>(k)];
            if (quiet(s, t)) {
                // Only zeros in and out: its terms would add nothing to the sums. Where
                // the line's read position stands does not matter while it holds zeros.
                float v = s.volumeSmoothed;
                if (!atRest(t.volume, v)) {
                    for (int j = 0; j < run; ++j) {
                        v = glide(t.volume, v);
                    }
                }
                s.volumeSmoothed = v;
                continue;
            }
            if (s.outputZero) {
                s.zerosFed = std::min(s.zerosFed + run, kDelayCapacity);
            } else {
                s.zerosFed = 0;
                s.lineClear = false;
            }
            runDelay(s.delayLine.data(), s.delayReadPos, t.delayLength, s.blockOutput.data() + pos_, delayed, run);
            float v = s.volumeSmoothed;
            const double* perSample = nullptr;
            if (!atRest(t.volume, v)) {
                for (int j = 0; j < run; ++j) {
                    v = glide(t.volume, v);
                    volumes[j] = static_cast<double>(v);
                }
                perSample = volumes;
            }
            addSlot(accL, accR, delayed, perSample, static_cast<double>(v), t.panLeft, t.panRight, t.gain, run);
            s.volumeSmoothed = v;
        }
        for (int j = 0; j < run; ++j) {
            outL[i + j] = static_cast<float>(outputGain * accL[j]);
            outR[i + j] = static_cast<float>(outputGain * accR[j]);
        }
        // The corner glides are independent of the samples; stepping them over the run at
        // once gives the same values at the hop step as stepping them sample by sample.
        for (int k = 0; k < kSlots; ++k) {
            corners[2 * k] = slots_[static_cast<size_t>(k)]->hpSmoothed;
            corners[2 * k + 1] = slots_[static_cast<size_t>(k)]->lpSmoothed;
        }
        stepGlides(cornerTargets, corners, 2 * kSlots, run);
        for (int k = 0; k < kSlots; ++k) {
            slots_[static_cast<size_t>(k)]->hpSmoothed = corners[2 * k];
            slots_[static_cast<size_t>(k)]->lpSmoothed = corners[2 * k + 1];
        }
        i += run;
        pos_ += run;
        if (pos_ >= b_) {
            hopStep();
            pos_ = 0;
        }
    }
}

} // namespace dsp
