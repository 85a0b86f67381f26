#include "dsp/ConvolutionEngine.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(__x86_64__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ORVEX_HAVE_SSE2 1
#endif

namespace dsp {

namespace {

constexpr double kQuality = 0.7;       // every strip filter uses this quality factor
constexpr double kMixScale = 5.0;      // each slot enters the mix at five times its level
constexpr double kGlideNew = 0.001;    // one-pole glide: share of the target per sample
constexpr double kGlideOld = 0.999;    // one-pole glide: share of the previous value

// Denormals would make the recursive filters and decaying tails crawl. process() flushes
// them (FTZ and DAZ) and gives the caller its floating-point mode back on the way out.
class FlushDenormals {
public:
#if defined(ORVEX_HAVE_SSE2)
    FlushDenormals() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040u); }
    ~FlushDenormals() { _mm_setcsr(saved_); }
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
    unsigned int saved_; // the caller's MXCSR
#endif
};

// The glide computes in double and keeps the result as a float: the smoothed values are
// floats, the targets are a float (volume) and doubles (corners).
inline float glide(double target, float previous)
{
    return static_cast<float>(target * kGlideNew + static_cast<double>(previous) * kGlideOld);
}

// A non-finite control value would poison a glide or a filter for good; it reads as 0.
inline double finiteOrZero(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

void clearArray(std::vector<double>& a)
{
    std::fill(a.begin(), a.end(), 0.0);
}

// The per-hop loops below are written two lanes at a time where SSE2 exists: the compiler
// leaves them scalar otherwise (it cannot rule out aliasing). Each lane performs the same
// operations in the same order as the scalar form, so the results are bit-identical.

// Bin-by-bin complex product of two packed spectra of n = 2h values.
void multiplyPacked(const double* a, const double* b, double* p, int h)
{
    p[0] = a[0] * b[0];
    p[h] = a[h] * b[h];
    int i = 1;
#if defined(ORVEX_HAVE_SSE2)
    for (; i + 1 < h; i += 2) {
        const __m128d ar = _mm_loadu_pd(a + i);
        const __m128d ai = _mm_loadu_pd(a + h + i);
        const __m128d br = _mm_loadu_pd(b + i);
        const __m128d bi = _mm_loadu_pd(b + h + i);
        _mm_storeu_pd(p + i, _mm_sub_pd(_mm_mul_pd(ar, br), _mm_mul_pd(ai, bi)));
        _mm_storeu_pd(p + h + i, _mm_add_pd(_mm_mul_pd(ai, br), _mm_mul_pd(bi, ar)));
    }
#endif
    for (; i < h; ++i) {
        p[i] = a[i] * b[i] - a[h + i] * b[h + i];
        p[h + i] = a[h + i] * b[i] + b[h + i] * a[i];
    }
}

// out[i] = tail[i] + result[i] * scale for i < count.
void addScaled(const double* tail, const double* result, double scale, double* out, int count)
{
    int i = 0;
#if defined(ORVEX_HAVE_SSE2)
    const __m128d s = _mm_set1_pd(scale);
    for (; i + 1 < count; i += 2) {
        _mm_storeu_pd(out + i, _mm_add_pd(_mm_loadu_pd(tail + i), _mm_mul_pd(_mm_loadu_pd(result + i), s)));
    }
#endif
    for (; i < count; ++i) {
        out[i] = tail[i] + result[i] * scale;
    }
}

// tail[i - b] = result[i] * scale + tail[i] for b <= i < n. Every value of tail is read
// before the store that replaces it (stores trail the loads by b >= 1 positions, and a
// pair is loaded before it is stored), so the two-lane form is safe for any hop.
void shiftTail(double* tail, const double* result, double scale, int b, int n)
{
    int i = b;
#if defined(ORVEX_HAVE_SSE2)
    const __m128d s = _mm_set1_pd(scale);
    for (; i + 1 < n; i += 2) {
        const __m128d v = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(result + i), s), _mm_loadu_pd(tail + i));
        _mm_storeu_pd(tail + i - b, v);
    }
#endif
    for (; i < n; ++i) {
        tail[i - b] = result[i] * scale + tail[i];
    }
}

} // namespace

ConvolutionEngine::ConvolutionEngine(float sampleRate)
    : requestedRate_(std::isfinite(sampleRate) && sampleRate > 0.0f ? sampleRate : 44100.0f)
    , fft_(kFftSize)
    , gatherLeft_(kFftSize, 0.0)
    , gatherRight_(kFftSize, 0.0)
    , spectrumLeft_(kFftSize, 0.0)
    , spectrumRight_(kFftSize, 0.0)
{
    rate_ = requestedRate_.load(std::memory_order_relaxed);
}

int ConvolutionEngine::hop() const
{
    const int chosen = requestedHop_.load(std::memory_order_acquire);
    return chosen != 0 ? chosen : kInitialHop;
}

void ConvolutionEngine::setSampleRate(float rate)
{
    if (!std::isfinite(rate) || !(rate > 0.0f)) {
        return;
    }
    requestedRate_.store(rate, std::memory_order_release);
}

bool ConvolutionEngine::loadSlot(int slot, const double* spectrum, int fftSize)
{
    if (slot < 0 || slot >= kSlots || spectrum == nullptr || fftSize != kFftSize) {
        return false;
    }
    // Publishing also stands for the clears of a load: the audio thread applies them
    // when it takes the new spectrum, so the new IR always starts from silence and never
    // meets a tail that the old IR left.
    slots_[static_cast<size_t>(slot)].spectrum.publish(spectrum);
    return true;
}

void ConvolutionEngine::reset(int hop)
{
    // The overlap-add needs B + H - 1 <= N, so 512 is the largest hop; 0 or less cannot
    // make progress. Out-of-range hops are clamped rather than refused so that the reset
    // (which callers rely on for starting clean) still happens.
    const int b = std::clamp(hop, 1, kMaxHop);
    requestedHop_.store(b, std::memory_order_release);
    resetRequest_.store(b, std::memory_order_release);
}

void ConvolutionEngine::clearSlot(int slot)
{
    if (slot < 0 || slot >= kSlots) {
        return;
    }
    slots_[static_cast<size_t>(slot)].clearRequest.store(true, std::memory_order_release);
}

CabSlotControls& ConvolutionEngine::slot(int k)
{
    if (k < 0 || k >= kSlots) {
        return spareControls_;
    }
    return slots_[static_cast<size_t>(k)].controls;
}

void ConvolutionEngine::clearGathering()
{
    clearArray(gatherLeft_);
    clearArray(gatherRight_);
}

void ConvolutionEngine::applyRequests()
{
    // Spectra are taken first: a writer sets the rate and the hop before it publishes the
    // spectra prepared for them, so seeing a spectrum means seeing those requests too.
    bool taken[kSlots];
    bool anyTaken = false;
    for (int k = 0; k < kSlots; ++k) {
        taken[k] = slots_[static_cast<size_t>(k)].spectrum.acquire();
        anyTaken = anyTaken || taken[k];
    }
    int reset = 0;
    if (resetRequest_.load(std::memory_order_relaxed) != 0) {
        reset = resetRequest_.exchange(0, std::memory_order_acq_rel);
    }
    // A new rate only changes what the filters compute with: delay lines and filter
    // histories are plain time signals and are kept, as on every other change.
    rate_ = requestedRate_.load(std::memory_order_acquire);
    if (reset != 0) {
        b_ = reset;
        clearGathering();
        for (CabSlot& s : slots_) {
            s.clearConvolution();
        }
        pos_ = 0;
    }
    if (anyTaken) {
        clearGathering();
    }
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = slots_[static_cast<size_t>(k)];
        if (taken[k]) {
            s.clearConvolution();
        }
        if (s.clearRequest.load(std::memory_order_relaxed)
            && s.clearRequest.exchange(false, std::memory_order_acq_rel)) {
            s.clearConvolution();
        }
    }
}

void ConvolutionEngine::loadStrips()
{
    // Loading the relaxed atomics once per block is the same as loading them every sample
    // when nobody writes during the block, and keeps the sample loop free of them.
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = slots_[static_cast<size_t>(k)];
        const CabSlotControls& c = s.controls;
        Strip& t = strips_[static_cast<size_t>(k)];
        t.volume = finiteOrZero(c.volume.load(std::memory_order_relaxed));
        t.hpFrequency = finiteOrZero(c.hpFrequency.load(std::memory_order_relaxed));
        t.lpFrequency = finiteOrZero(c.lpFrequency.load(std::memory_order_relaxed));
        t.panLeft = finiteOrZero(c.panLeft.load(std::memory_order_relaxed));
        t.panRight = finiteOrZero(c.panRight.load(std::memory_order_relaxed));
        // Flags are normalised so that a stray value cannot scale the signal or index
        // past the delay line.
        const double polarity = c.polarity.load(std::memory_order_relaxed) < 0 ? -1.0 : 1.0;
        const double audible = c.audible.load(std::memory_order_relaxed) != 0 ? 1.0 : 0.0;
        t.gain = polarity * audible;
        t.delayLength = std::clamp(c.delayLength.load(std::memory_order_relaxed), 0, kDelayCapacity);
        t.leftInput = c.leftInput.load(std::memory_order_relaxed) != 0 ? 1 : 0;
        t.rightInput = c.rightInput.load(std::memory_order_relaxed) != 0 ? 2 : 0;
        t.active = c.active.load(std::memory_order_relaxed) != 0;
        t.hpEnabled = c.hpEnabled.load(std::memory_order_relaxed) != 0;
        t.lpEnabled = c.lpEnabled.load(std::memory_order_relaxed) != 0;
        s.route = (t.leftInput + t.rightInput) * (t.active ? 1 : 0);
    }
    const float level = output_.load(std::memory_order_relaxed);
    outputLevel_ = std::isfinite(level) ? level : 0.0f;
}

void ConvolutionEngine::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    if (frames < 1 || inL == nullptr || inR == nullptr || outL == nullptr || outR == nullptr) {
        return;
    }
    [[maybe_unused]] FlushDenormals flush;
    applyRequests();
    loadStrips();
    if (running_.load(std::memory_order_relaxed) != 0) {
        processRunning(inL, inR, outL, outR, frames);
    } else {
        processStopped(inL, inR, outL, outR, frames);
    }
}

void ConvolutionEngine::processStopped(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    // Off: the input passes unchanged and only the glides move.
    for (int i = 0; i < frames; ++i) {
        const float l = inL[i];
        const float r = inR[i];
        outL[i] = l;
        outR[i] = r;
    }
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = slots_[static_cast<size_t>(k)];
        const Strip& t = strips_[static_cast<size_t>(k)];
        float v = s.volumeSmoothed;
        float hp = s.hpSmoothed;
        float lp = s.lpSmoothed;
        for (int i = 0; i < frames; ++i) {
            v = glide(t.volume, v);
            hp = glide(t.hpFrequency, hp);
            lp = glide(t.lpFrequency, lp);
        }
        s.volumeSmoothed = v;
        s.hpSmoothed = hp;
        s.lpSmoothed = lp;
    }
}

void ConvolutionEngine::processRunning(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    // The loop state lives in locals for the whole block.
    float volume[kSlots];
    double volumeTarget[kSlots];
    double panLeft[kSlots];
    double panRight[kSlots];
    double gain[kSlots];
    double* line[kSlots];
    const double* blockOut[kSlots];
    int readPos[kSlots];
    int length[kSlots];
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = slots_[static_cast<size_t>(k)];
        const Strip& t = strips_[static_cast<size_t>(k)];
        volume[k] = s.volumeSmoothed;
        volumeTarget[k] = t.volume;
        panLeft[k] = t.panLeft;
        panRight[k] = t.panRight;
        gain[k] = t.gain;
        line[k] = s.delayLine.data();
        blockOut[k] = s.blockOutput.data();
        readPos[k] = s.delayReadPos;
        length[k] = t.delayLength;
    }
    const double outputGain = static_cast<double>(outputLevel_) * kMixScale;
    double* gatherL = gatherLeft_.data();
    double* gatherR = gatherRight_.data();

    int i = 0;
    while (i < frames) {
        // Run up to the end of the current hop (or of the block).
        const int run = std::min(frames - i, b_ - pos_);
        const int end = i + run;
        int pos = pos_;
        for (; i < end; ++i, ++pos) {
            const float l = inL[i];
            const float r = inR[i];
            gatherL[pos] = l;
            gatherR[pos] = r;
            double sumL = 0.0;
            double sumR = 0.0;
            for (int k = 0; k < kSlots; ++k) {
                volume[k] = glide(volumeTarget[k], volume[k]);
                const double v = static_cast<double>(volume[k]);
                const double d = line[k][readPos[k]];
                sumL += panLeft[k] * d * v * gain[k];
                sumR += panRight[k] * d * v * gain[k];
                // The line holds `length` samples; 0 and 1 both give one sample of delay.
                line[k][readPos[k]] = blockOut[k][pos];
                if (++readPos[k] >= length[k]) {
                    readPos[k] = 0;
                }
            }
            outL[i] = static_cast<float>(outputGain * sumL);
            outR[i] = static_cast<float>(outputGain * sumR);
        }
        // The corner glides are independent of the samples; stepping them over the run at
        // once gives the same values at the hop step as stepping them sample by sample.
        for (int k = 0; k < kSlots; ++k) {
            CabSlot& s = slots_[static_cast<size_t>(k)];
            const Strip& t = strips_[static_cast<size_t>(k)];
            float hp = s.hpSmoothed;
            float lp = s.lpSmoothed;
            for (int j = 0; j < run; ++j) {
                hp = glide(t.hpFrequency, hp);
                lp = glide(t.lpFrequency, lp);
            }
            s.hpSmoothed = hp;
            s.lpSmoothed = lp;
        }
        pos_ = pos;
        if (pos_ >= b_) {
            hopStep();
            pos_ = 0;
        }
    }

    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = slots_[static_cast<size_t>(k)];
        s.volumeSmoothed = volume[k];
        s.delayReadPos = readPos[k];
    }
}

void ConvolutionEngine::hopStep()
{
    bool anyActive = false;
    int leftUsers = 0;
    int rightUsers = 0;
    for (const Strip& t : strips_) {
        anyActive = anyActive || t.active;
        leftUsers += t.active ? t.leftInput : 0;
        rightUsers += t.active ? t.rightInput : 0;
    }
    if (!anyActive) {
        return;
    }
    const int n = kFftSize;
    const int h = kHalfSize;
    const int b = b_;
    if (leftUsers > 0) {
        fft_.forward(gatherLeft_.data(), spectrumLeft_.data());
    }
    if (rightUsers > 0) {
        fft_.forward(gatherRight_.data(), spectrumRight_.data());
    }
    const double rate = static_cast<double>(rate_);
    const double scale = 1.0 / n; // 2^-11, exact
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = slots_[static_cast<size_t>(k)];
        const Strip& t = strips_[static_cast<size_t>(k)];
        double* product = s.productSpectrum.data();
        if (s.route == 1 || s.route == 2) {
            // Until a first load the spectrum is all zeros, which multiplies to silence.
            const double* in = s.route == 1 ? spectrumLeft_.data() : spectrumRight_.data();
            multiplyPacked(s.spectrum.values(), in, product, h);
        }
        if (!t.active) {
            continue;
        }
        // The 1/N of the inverse is applied while adding rather than in a pass of its own.
        // N is a power of two, so each scaled value is exactly what rescale() would give;
        // blockResult itself keeps the unscaled inverse.
        double* result = s.blockResult.data();
        fft_.inverse(product, result);
        double* out = s.blockOutput.data();
        double* tail = s.overlapTail.data();
        addScaled(tail, result, scale, out, b);
        // Per sample the low-pass runs before the high-pass; with separate states that is
        // the same as the whole hop through one and then the other.
        if (t.lpEnabled) {
            s.lpFilter.lowPassBlock(static_cast<double>(s.lpSmoothed), kQuality, rate, out, b);
        }
        if (t.hpEnabled) {
            s.hpFilter.highPassBlock(static_cast<double>(s.hpSmoothed), kQuality, rate, out, b);
        }
        // Tail positions n-b .. n-1 are never written and stay zero.
        shiftTail(tail, result, scale, b, n);
    }
}

} // namespace dsp
