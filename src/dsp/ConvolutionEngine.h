// The audio path of the cabinet effect: six slots, each convolving the left or the right
// input with its IR (single-partition overlap-add FFT convolution in hops of B samples),
// then its strip (low-pass and high-pass filters once per hop, a delay line, volume, pan,
// phase and solo), summed into the stereo output and scaled by the output level.
//
// Real-time rule: the constructor allocates everything, for the largest sizes the engine
// can switch to (FFT size 4096, delay line of 960 samples). process() never allocates,
// locks, waits or makes a system call.
//
// Threads:
//  - process() runs on the host's audio thread, one call at a time.
//  - Everything else may be called from any other thread while process() runs.
//    loadSlot() calls must not overlap each other (the effect serialises IR loads with a
//    mutex that the audio thread never takes); the other calls are plain atomic stores.
// Requests (a new spectrum and the clears of a load, a bypass clear, a new hop, a new
// sample rate) are picked up by the audio thread at the start of its next process()
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
    static constexpr int kMaxFftSize = CabSlot::kMaxFftSize;
    static constexpr int kMaxDelay = CabSlot::kMaxDelay;

    // Sizes follow from the rate: N = 2048 up to 50000 Hz, 4096 above; D = floor(rate *
    // 0.005), at most kMaxDelay; the hop is 100 (200 above 50000 Hz) until reset() sets one.
    explicit ConvolutionEngine(float sampleRate = 44100.0f);
    ConvolutionEngine(const ConvolutionEngine&) = delete;
    ConvolutionEngine& operator=(const ConvolutionEngine&) = delete;

    // Any thread: the sizes in force from the next process() block on, so that a loader
    // prepares its spectrum for the size that will be used.
    int fftSize() const;
    int halfSize() const { return fftSize() / 2; }
    int hop() const;
    int delayCapacity() const;
    float sampleRate() const { return requestedRate_.load(std::memory_order_acquire); }

    // Non-audio threads. A rate that is not a positive finite number is ignored. Crossing
    // 50000 Hz switches the FFT size; the switch clears every buffer, and spectra built for
    // the other size play as silence until spectra of the new size are loaded.
    void setSampleRate(float rate);

    // Publishes a prepared spectrum (packed layout, fftSize doubles) for a slot, and asks
    // for the clears of a load: both input gathering buffers and the slot's overlapTail
    // and blockOutput. fftSize must be 2048 or 4096; a spectrum whose size differs from the
    // engine's current one is kept but treated as silence. Returns false, changing
    // nothing, for a bad slot, a null spectrum or another size.
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
    int currentFftSize() const { return n_; }
    int currentHop() const { return b_; }
    const CabSlot& slotState(int k) const { return slots_[static_cast<std::size_t>(k)]; } // k in 0 .. 5

private:
    static int fftSizeFor(float rate);
    static int delayFor(float rate);
    static int initialHopFor(int fftSize);

    void applyRequests();
    void applyRate(float rate);
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
    RealFft fftSmall_;                // audio-path transform of length 2048
    RealFft fftLarge_;                // audio-path transform of length 4096
    RealFft* fft_;                    // the one of length n_
    float rate_;                      // sample rate in force (filters use it)
    int n_;                           // FFT size N in force
    int b_;                           // hop B in force
    int d_;                           // delay capacity D in force
    int pos_ = 0;                     // hop position, 0 .. b_-1
    bool hopChosen_ = false;          // a reset() has set the hop (else it follows N)
    std::vector<double> gatherLeft_;  // left input of the current hop, zero past b_
    std::vector<double> gatherRight_; // right input of the current hop, zero past b_
    std::vector<double> spectrumLeft_;  // transform of gatherLeft_ at the last hop step
    std::vector<double> spectrumRight_; // transform of gatherRight_ at the last hop step
    std::array<Strip, kSlots> strips_;  // this block's controls
    float outputLevel_ = 0.0f;        // this block's output level
};

} // namespace dsp
