// The audio path of the cabinet effect: six slots, each convolving the left or the right
// input with its IR, then its strip (low-pass and high-pass filters once per hop, a delay
// line, volume, pan, phase and solo), summed into the stereo output and scaled by the
// output level.
//
// The convolution is uniformly partitioned: the IR (at most H = 1024 taps) is cut into
// partitions of the hop B, each transformed at M = 2B points when it is loaded. At the end
// of every hop the engine transforms the hop's input once per input channel into a
// frequency-domain history (one per channel, shared by every slot that reads it), sums per
// slot the products of the recent input spectra with the partition spectra, transforms
// that sum back once per slot and overlap-adds it. The output is the linear convolution of
// the input with the IR, B samples late, as with a single transform of the whole IR per
// hop, at a fraction of the cost: M-point transforms instead of 2048-point ones.
//
// Real-time rule: the constructor allocates everything the effect's hops (64, 128, 256 and
// 512, chosen by "Latency") and the initial hop need, for the largest of them, so that a
// "Latency" change allocates nothing. Any other hop has partition layouts or input
// histories longer than these; what it needs is allocated once, by the first reset() that
// asks for such a hop (or loadSlot() while the initial hop is in force), and then kept.
// process() never allocates, locks, waits or makes a system call.
//
// Threads:
//  - process() runs on the host's audio thread, one call at a time.
//  - Everything else may be called from any other thread while process() runs.
//    loadSlot() calls must not overlap each other (the effect serialises IR loads with a
//    mutex that the audio thread never takes); the other calls are plain atomic stores
//    (reset() also takes a mutex of its own, for a hop none of the effect's, to allocate).
// Requests (a new IR and the clears of a load, a bypass clear, a new hop, a new sample
// rate) are picked up by the audio thread at the start of its next process() block, never
// in the middle of one. With no audio thread running concurrently, this gives exactly the
// samples that applying each change in place would give.
//
// Slots are numbered 0 .. 5 here.
#pragma once

#include "dsp/CabSlot.h"
#include "dsp/CabSlotControls.h"
#include "dsp/IrPartitioner.h"
#include "dsp/RealFft.h"
#include "dsp/ComplexMac.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace dsp {

class ConvolutionEngine {
public:
    static constexpr int kSlots = 6;
    static constexpr int kMaxHop = CabSlot::kMaxHop;
    static constexpr int kFftSize = IrHandover::kSize; // N of the prepared spectra
    static constexpr int kHalfSize = kFftSize / 2;     // H, also the longest IR
    static constexpr int kDelayCapacity = CabSlot::kDelayCapacity;
    static constexpr int kInitialHop = 100; // until the first reset() chooses one

    // Sizes are fixed for the engine's whole life (N, H, D above). The rate is what the
    // strip filters compute with; the sizes do not depend on it.
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
    // for the clears of a load: both input gathering buffers and the slot's overlap and
    // history. The IR's taps are recovered from the spectrum and cut into partitions for
    // the hop of the last reset() here, on the caller's thread (while the initial hop is in
    // force, the audio thread cuts them, in storage allocated here once). irLength, when the
    // caller knows it, is the number of taps the IR really has (the rest of the spectrum's
    // period is rounding noise and is not convolved); it is at most H. A spectrum holding a
    // NaN or an infinity loads as silence. Returns false, changing nothing, for a bad slot,
    // a null spectrum or an fftSize other than kFftSize.
    bool loadSlot(int slot, const double* spectrum, int fftSize, int irLength = kHalfSize);

    // Starts over with a new hop (1 .. kMaxHop; values outside are clamped): clears the
    // gathering buffers, the input history and every slot's overlap, hop position 0. A hop
    // other than 64, 128, 256, 512 and kInitialHop may allocate (once, and it may throw
    // std::bad_alloc): ask for such a hop off the audio thread.
    void reset(int hop);

    // A slot switched off: clears its overlap, output block and history. Bad slots are ignored.
    void clearSlot(int slot);

    // The slot's parameter-derived values. A bad slot number gets a spare record that
    // nothing reads, so a stray write cannot reach a real slot.
    CabSlotControls& slot(int k);

    void setOutput(float level) { output_.store(level, std::memory_order_relaxed); }
    void setRunning(bool on) { running_.store(on ? 1 : 0, std::memory_order_relaxed); }

    // Audio thread. Any block length; the host may pass the same arrays for input and
    // output. Null arrays or a length below 1 do nothing. A NaN or infinite input sample
    // counts as silence, running or not: nothing non-finite reaches the slots or the output.
    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);

    // Inspection, for the audio thread or while no audio thread runs.
    int hopPosition() const { return pos_; }
    int currentHop() const { return b_; }
    const CabSlot& slotState(int k) const { return *slots_[static_cast<std::size_t>(k)]; } // k in 0 .. 5
    // Input transforms and slot inverse transforms run so far (for tests of what is skipped).
    long long transformCount() const { return transforms_; }

private:
    // What every engine holds, sized for the effect's hops and the initial hop: the input
    // history of one channel (doubles) and its entries.
    static constexpr int kHistoryCapacity =
        IrPartitioner::layout(kInitialHop, kHalfSize) > 2 * kHalfSize ? IrPartitioner::layout(kInitialHop, kHalfSize)
                                                                      : 2 * kHalfSize;
    static constexpr int kRingCapacity = IrPartitioner::partitionCount(64, kHalfSize);
    // Whether a hop's history fits what every engine holds, and its partitions what a
    // prepared IR holds; any other hop runs on the Wide storage.
    static bool historyHeld(int hop);
    static bool partitionsHeld(int hop);

    // The storage of the hops that need more than the above: allocated once, the first
    // time one is asked for, and kept until the engine goes.
    struct Wide {
        Wide();
        std::size_t layout;               // doubles of the longest partition layout of all hops
        std::size_t ring;                 // entries of the longest history of all hops
        std::vector<double> historyLeft;  // the longest history of all hops, left input
        std::vector<double> historyRight; // the same, right input
        std::vector<double> weights;      // per slot: its partition spectra, the longest layout
        std::vector<unsigned char> sources; // per slot: its `source`, the longest ring
        std::vector<const double*> inputs;  // a slot's input spectra, the longest ring
        std::vector<const double*> partitionPointers; // the matching partition spectra
    };
    // Non-audio threads: makes sure the Wide storage exists.
    void holdWide();

    void applyRequests();
    void applyHop(int hop);
    void bindWeights(int k);
    void clearGathering();
    void processRunning(const float* inL, const float* inR, float* outL, float* outR, int frames);
    void processStopped(const float* inL, const float* inR, float* outL, float* outR, int frames);
    void hopStep();
    void convolveSlot(CabSlot& s);

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
    static bool quiet(CabSlot& s, const Strip& t);

    // Shared with non-audio threads (requests and effect-wide controls).
    std::atomic<float> requestedRate_;  // sample rate the next block uses
    std::atomic<int> requestedHop_{0};  // hop of the last reset(), 0 before the first one
    std::atomic<int> resetRequest_{0};  // hop of a reset not yet applied, 0 for none
    std::atomic<float> output_{0.5f};   // output level ("Output")
    std::atomic<int> running_{1};       // 0 passes the input through ("On/Off" off)

    std::array<std::unique_ptr<CabSlot>, kSlots> slots_; // the six slots
    CabSlotControls spareControls_;     // sink for writes to a bad slot number

    // Loading threads only (serialised by the caller).
    RealFft loadInverse_;               // spectrum -> taps, length N
    IrPartitioner loadPartitioner_;     // taps -> partition spectra for the hop in force
    std::vector<double> loadTaps_;      // N doubles: the inverse transform of a spectrum

    // The Wide storage: made by non-audio threads under wideMutex_, published through wide_.
    std::mutex wideMutex_;              // serialises the making
    std::unique_ptr<Wide> wideStorage_; // owns it (null until a hop needs it)
    std::atomic<Wide*> wide_{nullptr};  // what the audio thread reads

    // Audio thread only.
    ComplexMacFn mac_;               // the fastest multiply-accumulate this processor runs
    IrPartitioner partitioner_;       // transforms of every size; cuts IRs again for another hop
    float rate_;                      // sample rate in force (filters use it)
    int b_;                           // hop B in force
    int m_;                           // transform size M for b_
    int ring_;                        // input spectra the history holds for b_ (H/B rounded up)
    int head_ = 0;                    // history entry of the newest hop
    int pos_ = 0;                     // hop position, 0 .. b_-1
    long long transforms_ = 0;        // transforms run (inspection)
    std::vector<double> gatherLeft_;  // left input of the current hop, zero past b_
    std::vector<double> gatherRight_; // right input of the current hop, zero past b_
    std::vector<double> heldHistoryLeft_;  // the left history at the held hops (kHistoryCapacity)
    std::vector<double> heldHistoryRight_; // the same for the right input
    std::vector<const double*> heldInputs_;  // `inputs_` at the held hops (kRingCapacity)
    std::vector<const double*> heldWeights_; // `weights_` at the held hops (kRingCapacity)
    double* historyLeft_ = nullptr;   // ring_ spectra of M doubles: the left input's last hops
    double* historyRight_ = nullptr;  // the same for the right input
    const double** inputs_ = nullptr;  // a slot's input spectra, newest first (ring_)
    const double** weights_ = nullptr; // the matching partition spectra
    std::vector<double> sum_;          // a slot's sum of products (M doubles)
    std::vector<double> result_;       // its inverse transform
    std::vector<double> delayed_;        // a slot's delay-line output over a stretch (kMaxHop)
    std::vector<double> volumes_;        // a slot's gliding volume over a stretch (kMaxHop)
    std::vector<double> mixLeft_;        // the left mix over a stretch (kMaxHop)
    std::vector<double> mixRight_;       // the right mix over a stretch (kMaxHop)
    std::array<Strip, kSlots> strips_;   // this block's controls
    float outputLevel_ = 0.0f;        // this block's output level
};

} // namespace dsp
