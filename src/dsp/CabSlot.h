// One of the six cabinet slots: the controls that parameter changes write, the hand-over
// of its prepared IR, and the audio thread's own state (convolution history, overlap,
// delay line, filters, smoothed values). Every array is allocated by the constructor at
// the largest size the effect's hops need; nothing is allocated afterwards. (What other
// hops need, the engine holds apart.)
//
// Thread use: `controls` and `spectrum.writable()/publish()` from non-audio threads;
// everything else belongs to the audio thread (ConvolutionEngine::process) and may be read
// by tests only while no audio thread runs.
#pragma once

#include "dsp/Biquad.h"
#include "dsp/CabSlotControls.h"
#include "dsp/IrHandover.h"

#include <atomic>
#include <vector>

namespace dsp {

class CabSlot {
public:
    static constexpr int kMaxHop = 512;
    // floor(44100 * 0.005): 5 ms at the rate every effect is built at. Fixed, so that a
    // stored delay means the same number of samples at any host rate.
    static constexpr int kDelayCapacity = 220;

    // ringCapacity: entries of the engine's input history at the effect's hops.
    explicit CabSlot(int ringCapacity);
    CabSlot(const CabSlot&) = delete;
    CabSlot& operator=(const CabSlot&) = delete;

    // Audio thread: zeroes overlapTail and blockOutput and forgets the input history the
    // slot has convolved (what a load, a bypass or a new hop clears).
    void clearConvolution();

    CabSlotControls controls;              // parameter-derived values (atomics)
    IrHandover spectrum;                   // the prepared IR, handed over lock-free
    std::atomic<bool> clearRequest{false}; // set by a bypass; applied at the next block

    std::vector<double> overlapTail;     // second half of the last hop's inverse transform
    std::vector<double> blockOutput;     // this hop's convolved, filtered samples
    std::vector<double> delayLine;       // kDelayCapacity past samples of blockOutput
    std::vector<unsigned char> ownSource; // `source` at the effect's hops (ringCapacity entries)
    unsigned char* source = nullptr;     // per history entry: input convolved then (1 left, 2 right)
    double* weights = nullptr;           // partition spectra in use for the current hop
    int partitions = 0;                  // how many of them (0 plays silence)
    int* cut = &ownCut;                  // how many of those are cut so far (the IR's count, or ownCut)
    int ownCut = 0;                      // the count for partitions cut into the engine's own storage
    int history = 0;                     // consecutive active hops since the last clear
    bool outputZero = true;              // blockOutput is all zeros (cleared, not convolved since)
    bool lineClear = true;               // delayLine is all zeros, checked (see the mix)
    int zerosFed = kDelayCapacity;       // zeros written into the delay line in a row (capped)
    int delayReadPos = 0;                // next position to read and then overwrite
    int route = 0;                       // 0 off, 1 convolves left, 2 convolves right
    float volumeSmoothed = 0.0f;         // one-pole glide of the volume
    float hpSmoothed = 0.0f;             // one-pole glide of the high-pass corner
    float lpSmoothed = 0.0f;             // one-pole glide of the low-pass corner
    Biquad hpFilter;                     // the strip's high-pass
    Biquad lpFilter;                     // the strip's low-pass
};

} // namespace dsp
