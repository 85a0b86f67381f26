#include "dsp/ConvolutionEngine.h"

#include "dsp/StripFilters.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(__x86_64__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ORVEX_HAVE_SSE2 1
#endif

namespace dsp {

namespace {

constexpr double kQuality = 0.7;       // every strip filter uses this quality factor

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

// A non-finite control value would poison a glide or a filter for good; it reads as 0.
inline double finiteOrZero(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

void clearArray(std::vector<double>& a)
{
    std::fill(a.begin(), a.end(), 0.0);
}

} // namespace

ConvolutionEngine::ConvolutionEngine(float sampleRate)
    : requestedRate_(std::isfinite(sampleRate) && sampleRate > 0.0f ? sampleRate : 44100.0f)
    , loadInverse_(kFftSize)
    , loadTaps_(kFftSize, 0.0)
    , mac_(bestComplexMac())
    , gatherLeft_(IrPartitioner::kMaxTransform, 0.0)
    , gatherRight_(IrPartitioner::kMaxTransform, 0.0)
    , heldHistoryLeft_(kHistoryCapacity, 0.0)
    , heldHistoryRight_(kHistoryCapacity, 0.0)
    , heldInputs_(kRingCapacity, nullptr)
    , heldWeights_(kRingCapacity, nullptr)
    , sum_(IrPartitioner::kMaxTransform, 0.0)
    , result_(IrPartitioner::kMaxTransform, 0.0)
    , delayed_(kMaxHop, 0.0)
    , volumes_(kMaxHop, 0.0)
    , mixLeft_(kMaxHop, 0.0)
    , mixRight_(kMaxHop, 0.0)
{
    static_assert(IrPartitioner::layout(64, kHalfSize) == SlotIr::kPartitionSet
                      && IrPartitioner::layout(512, kHalfSize) == SlotIr::kPartitionSet,
                  "a prepared IR holds the partitions of each of the effect's hops");
    for (auto& s : slots_) {
        s = std::make_unique<CabSlot>(kRingCapacity);
    }
    rate_ = requestedRate_.load(std::memory_order_relaxed);
    applyHop(kInitialHop);
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

bool ConvolutionEngine::loadSlot(int slot, const double* spectrum, int fftSize, int irLength)
{
    if (slot < 0 || slot >= kSlots || spectrum == nullptr || fftSize != kFftSize) {
        return false;
    }
    SlotIr& ir = slots_[static_cast<size_t>(slot)]->spectrum.writable();
    std::copy(spectrum, spectrum + kFftSize, ir.spectrum.begin());
    // The taps are what the spectrum stands for: the IR as prepared and normalised. Past
    // H (and past the caller's length) the period holds only rounding noise, and trailing
    // exact zeros need no partitions.
    double* taps = loadTaps_.data();
    loadInverse_.inverse(spectrum, taps);
    loadInverse_.rescale(taps);
    int length = std::clamp(irLength, 0, kHalfSize);
    while (length > 0 && taps[length - 1] == 0.0) {
        --length;
    }
    if (!std::all_of(taps, taps + length, [](double x) { return std::isfinite(x); })) {
        // A broken spectrum would poison the slot's output until the next load: it plays
        // silence instead.
        std::fill(ir.spectrum.begin(), ir.spectrum.end(), 0.0);
        length = 0;
    }
    std::copy(taps, taps + length, ir.taps.begin());
    std::fill(ir.taps.begin() + length, ir.taps.end(), 0.0);
    ir.length = length;
    // Cut for the hop in force. The effect loads every IR again after a "Latency" change,
    // so the audio thread rarely has to cut one again for another hop (see bindWeights).
    const int hop = this->hop();
    ir.hop = 0;
    ir.cut = 0;
    if (partitionsHeld(hop)) {
        loadPartitioner_.partition(ir.taps.data(), length, hop, ir.partitions.data());
        ir.hop = hop;
        ir.cut = IrPartitioner::partitionCount(hop, length);
    } else if (length > 0) {
        holdWide();
    }
    // Publishing also stands for the clears of a load: the audio thread applies them
    // when it takes the new IR, so the new IR always starts from silence and never
    // meets a tail or a history that the old IR left.
    slots_[static_cast<size_t>(slot)]->spectrum.publish();
    return true;
}

void ConvolutionEngine::reset(int hop)
{
    // Partitions of more than 512 would make the transforms larger than the 2048 points
    // the old single transform used; 0 or less cannot make progress. Out-of-range hops
    // are clamped rather than refused so that the reset (which callers rely on for
    // starting clean) still happens.
    const int b = std::clamp(hop, 1, kMaxHop);
    if (!historyHeld(b) || !partitionsHeld(b)) {
        holdWide();
    }
    // The request before the hop: a loader that sees the new hop and publishes an IR cut
    // for it then also makes the request visible to the audio thread that takes the IR.
    resetRequest_.store(b, std::memory_order_release);
    requestedHop_.store(b, std::memory_order_release);
}

void ConvolutionEngine::clearSlot(int slot)
{
    if (slot < 0 || slot >= kSlots) {
        return;
    }
    slots_[static_cast<size_t>(slot)]->clearRequest.store(true, std::memory_order_release);
}

CabSlotControls& ConvolutionEngine::slot(int k)
{
    if (k < 0 || k >= kSlots) {
        return spareControls_;
    }
    return slots_[static_cast<size_t>(k)]->controls;
}

void ConvolutionEngine::clearGathering()
{
    clearArray(gatherLeft_);
    clearArray(gatherRight_);
}

void ConvolutionEngine::applyRequests()
{
    // IRs are taken first: a writer sets the rate and the hop before it publishes the
    // IRs prepared for them, so seeing an IR means seeing those requests too.
    bool taken[kSlots];
    bool anyTaken = false;
    for (int k = 0; k < kSlots; ++k) {
        taken[k] = slots_[static_cast<size_t>(k)]->spectrum.acquire();
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
        // Binds every slot's weights for the new hop, the IRs just taken included.
        applyHop(reset);
    }
    if (anyTaken) {
        clearGathering();
    }
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = *slots_[static_cast<size_t>(k)];
        if (taken[k]) {
            s.clearConvolution();
            if (reset == 0) {
                bindWeights(k);
            }
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
        CabSlot& s = *slots_[static_cast<size_t>(k)];
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
        // Every slot sits out this hop (see below): nothing is transformed.
        for (auto& s : slots_) {
            s->history = 0;
        }
        return;
    }
    const int m = m_;
    RealFft& fft = partitioner_.fft(m);
    // The newest hop takes the place of the oldest in both histories. An input that no
    // active slot uses is not transformed: its entry is stale, and no slot reads it,
    // because a slot reads an entry only through the input it convolved at that hop.
    head_ = head_ + 1 == ring_ ? 0 : head_ + 1;
    const size_t entry = static_cast<size_t>(head_) * static_cast<size_t>(m);
    if (leftUsers > 0) {
        fft.forward(gatherLeft_.data(), historyLeft_ + entry);
        ++transforms_;
    }
    if (rightUsers > 0) {
        fft.forward(gatherRight_.data(), historyRight_ + entry);
        ++transforms_;
    }
    const double rate = static_cast<double>(rate_);
    StripFilters::Job jobs[kSlots];
    int jobCount = 0;
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = *slots_[static_cast<size_t>(k)];
        const Strip& t = strips_[static_cast<size_t>(k)];
        if (!t.active) {
            // A slot that sits out a hop keeps its overlap and output block as they are
            // and forgets the inputs it heard: when it comes back it plays the kept
            // overlap and then only the new hops. The effect clears a slot when it
            // switches it off, so through the plug-in it simply restarts from silence;
            // the single-block scheme replayed its whole frozen tail instead, which has
            // no meaning worth keeping for a slot nobody cleared.
            s.history = 0;
            continue;
        }
        s.source[static_cast<size_t>(head_)] = static_cast<unsigned char>(s.route);
        if (s.history < ring_) {
            ++s.history;
        }
        convolveSlot(s);
        // Per sample the low-pass runs before the high-pass; with separate states that is
        // the same as the whole hop through one and then the other.
        StripFilters::Job& job = jobs[jobCount++];
        job.samples = s.blockOutput.data();
        job.lowPass = nullptr;
        job.highPass = nullptr;
        if (t.lpEnabled) {
            s.lpFilter.prepareLowPass(static_cast<double>(s.lpSmoothed), kQuality, rate);
            job.lowPass = &s.lpFilter;
        }
        if (t.hpEnabled) {
            s.hpFilter.prepareHighPass(static_cast<double>(s.hpSmoothed), kQuality, rate);
            job.highPass = &s.hpFilter;
        }
    }
    StripFilters::run(jobs, jobCount, b_);
}

void ConvolutionEngine::convolveSlot(CabSlot& s)
{
    const int m = m_;
    const int b = b_;
    // Partition p meets the input of p hops ago, through the input the slot convolved then.
    const int count = std::min(s.history, s.partitions);
    if (*s.cut < count) {
        // Cut for this hop after the IR was prepared: partition p is first needed p hops
        // after the change (the history starts empty), so the cutting is spread over them.
        const SlotIr& ir = s.spectrum.current();
        for (int p = *s.cut; p < count; ++p) {
            partitioner_.partitionOne(ir.taps.data(), ir.length, b, p, s.weights + static_cast<size_t>(p) * static_cast<size_t>(m));
        }
        *s.cut = count;
    }
    int used = 0;
    int entry = head_;
    for (int p = 0; p < count; ++p) {
        const int channel = s.source[static_cast<size_t>(entry)];
        const size_t offset = static_cast<size_t>(entry) * static_cast<size_t>(m);
        if (channel != 0) {
            inputs_[static_cast<size_t>(used)] = (channel == 1 ? historyLeft_ : historyRight_) + offset;
            weights_[static_cast<size_t>(used)] = s.weights + static_cast<size_t>(p) * static_cast<size_t>(m);
            ++used;
        }
        entry = entry == 0 ? ring_ - 1 : entry - 1;
    }
    double* out = s.blockOutput.data();
    double* tail = s.overlapTail.data();
    s.outputZero = false;
    if (used == 0) {
        // Silence convolved: only the overlap of the last hop remains.
        std::copy(tail, tail + b, out);
        std::fill(tail, tail + b, 0.0);
        return;
    }
    mac_(inputs_, weights_, used, sum_.data(), m);
    // The partition spectra carry the 1/M of the inverse transform.
    double* result = result_.data();
    partitioner_.fft(m).inverse(sum_.data(), result);
    ++transforms_;
    // The linear convolution of a hop with a partition spans 2B - 1 samples: the first B
    // are this hop's, the rest the next hop's.
    for (int i = 0; i < b; ++i) {
        out[i] = tail[i] + result[i];
        tail[i] = result[b + i];
    }
}

} // namespace dsp
