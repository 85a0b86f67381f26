// One of the six cabinet slots: the controls that parameter changes write, the hand-over
// of its prepared IR spectrum, and the audio thread's own state (convolution buffers,
// delay line, filters, smoothed values). Every array is allocated by the constructor at
// the engine's fixed sizes; nothing is allocated afterwards.
//
// Thread use: `controls` and `spectrum.publish()` from non-audio threads; everything else
// belongs to the audio thread (ConvolutionEngine::process) and may be read by tests only
// while no audio thread runs.
#pragma once

#include "dsp/Biquad.h"
#include "dsp/CabSlotControls.h"
#include "dsp/IrHandover.h"

#include <atomic>
#include <vector>

namespace dsp {

class CabSlot {
public:
    static constexpr int kFftSize = IrHandover::kSize; // N, for the effect's whole life
    // floor(44100 * 0.005): 5 ms at the rate every effect is built at. Fixed, so that a
    // stored delay means the same number of samples at any host rate.
    static constexpr int kDelayCapacity = 220;

    CabSlot();
    CabSlot(const CabSlot&) = delete;
    CabSlot& operator=(const CabSlot&) = delete;

    // Audio thread: zeroes overlapTail and blockOutput (what a load or a bypass clears).
    void clearConvolution();

    CabSlotControls controls;            // parameter-derived values (atomics)
    IrHandover spectrum;            // the prepared IR, handed over lock-free
    std::atomic<bool> clearRequest{false}; // set by a bypass; applied at the next block

    std::vector<double> productSpectrum; // spectrum times input spectrum (packed)
    std::vector<double> blockResult;     // inverse transform of the product, rescaled
    std::vector<double> overlapTail;     // what earlier hops still add to coming hops
    std::vector<double> blockOutput;     // this hop's convolved, filtered samples
    std::vector<double> delayLine;       // kDelayCapacity past samples of blockOutput
    int delayReadPos = 0;                // next position to read and then overwrite
    int route = 0;                       // 0 off, 1 convolves left, 2 convolves right
    float volumeSmoothed = 0.0f;         // one-pole glide of the volume
    float hpSmoothed = 0.0f;             // one-pole glide of the high-pass corner
    float lpSmoothed = 0.0f;             // one-pole glide of the low-pass corner
    Biquad hpFilter;                     // the strip's high-pass
    Biquad lpFilter;                     // the strip's low-pass
};

} // namespace dsp
