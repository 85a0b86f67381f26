// The audio path of the cabinet effect: six slots, each convolving the left or the right
// input with its IR (single-partition overlap-add FFT convolution in hops of B samples),
// then its strip (low-pass and high-pass filters once per hop, a delay line, volume, pan,
// phase and solo), summed into the stereo output and scaled by the output level.
//
// Sizes are fixed for the engine's whole life: FFT size N = 2048, half size H = 1024 (also
// the longest IR), delay capacity D = 220 samples (5 ms at the 44100 Hz an effect is built
// at). A later host rate changes only what the filters compute with: a stored "Delay" value
// is a number of samples of D, so a project must come back with the same delay whatever
// rate the host runs at.
//
// Real-time rule: the constructor allocates everything. process() never allocates, locks,
// waits or makes a system call.
//
// Threads:
//  - process() runs on the host's audio thread, one call at a time.
//  - Everything else may be called from any other thread while process() runs.
//    loadSlot() calls must not overlap each other (the effect serialises IR loads with a
//    mutex that the audio thread never takes); the other calls are plain atomic stores.
// Requests (a new spectrum and the clears of a load, a bypass clear, a new hop, a new
// filter rate) are picked up by the audio thread at the start of its next process()
// block, never in the middle of one. With no audio thread running concurrently, this
// gives exactly the samples that applying each change in place would give.
//
// Slots are numbered 0 .. 5 here.
#pragma once

#include "dsp/CabSlot.h"
#include "dsp/CabSlotControls.h"
#include "dsp/RealFft.h"

#include <array>
#include <cstddef>
#include <atomic>
#include <vector>

namespace dsp {

class ConvolutionEngine {
public:
    static constexpr int kSlots = 6;
    static constexpr int kMaxHop = 512;
    static constexpr int kFftSize = CabSlot::kFftSize;
    static constexpr int kHalfSize = kFftSize / 2;
    static constexpr int kDelayCapacity = CabSlot::kDelayCapacity;
    static constexpr int kInitialHop = 100; // until the first reset() chooses one

    // The rate is what the strip filters compute with; the sizes do not depend on it.
    explicit ConvolutionEngine(float sampleRate = 44100.0f);
    ConvolutionEngine(const ConvolutionEngine&) = delete;
    ConvolutionEngine& operator=(const ConvolutionEngine&) = delete;

    // Any thread.
    int fftSize() const { return kFftSize; }
    int halfSize() const { return kHalfSize; }
    int delayCapacity() const { return kDelayCapacity; }
    // The hop in force from the next process() block on.
    int hop() const;
    float sampleRate() const { return requestedRate_.load(std::memory_order_acquire); }

    // Non-audio threads: the rate the filters use from the next block on. A rate that is
    // not a positive finite number is ignored.
    void setSampleRate(float rate);

    // Publishes a prepared spectrum (packed layout, fftSize doubles) for a slot, and asks
    // for the clears of a load: both input gathering buffers and the slot's overlapTail
    // and blockOutput. Returns false, changing nothing, for a bad slot, a null spectrum or
    // an fftSize other than kFftSize.
    bool loadSlot(int slot, const double* spectrum, int fftSize);

    // Starts over with a new hop (1 .. kMaxHop; values outside are clamped): clears the
    // gathering buffers and every slot's overlapTail and blockOutput, hop position 0.
    void reset(int hop);

    // A slot switched off: clears its overlapTail and blockOutput. Bad slots are ignored.
    void clearSlot(int slot);

    // The slot's parameter-derived values. A bad slot number gets a spare record that
    // nothing reads, so a stray write cannot reach a real slot.
    CabSlotControls& slot(int k);

    void setOutput(float level) { output_.store(level, std::memory_order_relaxed); }
    void setRunning(bool on) { running_.store(on ? 1 : 0, std::memory_order_relaxed); }

    // Audio thread. Any block length; the host may pass the same arrays for input and
    // output. Null arrays or a length below 1 do nothing.
    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);

    // Inspection, for the audio thread or while no audio thread runs.
    int hopPosition() const { return pos_; }
    int currentHop() const { return b_; }
    const CabSlot& slotState(int k) const { return slots_[static_cast<std::size_t>(k)]; } // k in 0 .. 5

private:
    void applyRequests();
    void clearGathering();
    void processRunning(const float* inL, const float* inR, float* outL, float* outR, int frames);
    void processStopped(const float* inL, const float* inR, float* outL, float* outR, int frames);
    void hopStep();

    // Per-block copy of the controls: loaded once at the start of a block.
    struct Strip {
        double volume = 0.0;     // volume target
        double hpFrequency = 0.0; // high-pass target, Hz
        double lpFrequency = 0.0; // low-pass target, Hz
        double panLeft = 0.0;    // left pan gain
        double panRight = 0.0;   // right pan gain
        double gain = 0.0;       // polarity times solo mask: -1, 0 or +1
        int delayLength = 0;     // delay, clamped to the current capacity
        int leftInput = 0;       // 1 when convolving the left input
        int rightInput = 0;      // 2 when convolving the right input
        bool active = false;     // slot in the mix and convolved
        bool hpEnabled = false;  // high-pass on
        bool lpEnabled = false;  // low-pass on
    };
    void loadStrips();

    // Shared with non-audio threads (requests and effect-wide controls).
    std::atomic<float> requestedRate_;  // sample rate the next block uses
    std::atomic<int> requestedHop_{0};  // hop of the last reset(), 0 before the first one
    std::atomic<int> resetRequest_{0};  // hop of a reset not yet applied, 0 for none
    std::atomic<float> output_{0.5f};   // output level ("Output")
    std::atomic<int> running_{1};       // 0 passes the input through ("On/Off" off)

    std::array<CabSlot, kSlots> slots_; // the six slots
    CabSlotControls spareControls_;     // sink for writes to a bad slot number

    // Audio thread only.
    RealFft fft_;                     // audio-path transform of length kFftSize
    float rate_;                      // sample rate in force (filters use it)
    int b_ = kInitialHop;             // hop B in force
    int pos_ = 0;                     // hop position, 0 .. b_-1
    std::vector<double> gatherLeft_;  // left input of the current hop, zero past b_
    std::vector<double> gatherRight_; // right input of the current hop, zero past b_
    std::vector<double> spectrumLeft_;  // transform of gatherLeft_ at the last hop step
    std::vector<double> spectrumRight_; // transform of gatherRight_ at the last hop step
    std::array<Strip, kSlots> strips_;  // this block's controls
    float outputLevel_ = 0.0f;        // this block's output level
};

} // namespace dsp
