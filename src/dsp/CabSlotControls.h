// The values of one cabinet slot that parameter changes write and the audio thread reads.
// Each is an independent scalar, so relaxed atomics are enough: the audio thread loads
// them once at the start of every process() block, and a store made between two blocks
// is exactly a change applied at the first sample of the next block.
//
// Written by any non-audio thread (host automation, editor, program changes); read by
// the audio thread only through ConvolutionEngine::process().
#pragma once

#include <atomic>

namespace dsp {

struct CabSlotControls {
    // Start values are what a fresh "Init" program derives, so an engine that nobody
    // configured yet is silent (every slot off) and well defined.
    std::atomic<int> polarity{1};         // +1 normal, -1 inverted
    std::atomic<float> panLeft{1.0f};     // left gain of the linear pan law
    std::atomic<float> panRight{1.0f};    // right gain of the linear pan law
    std::atomic<double> hpFrequency{10.0};    // high-pass corner target, Hz
    std::atomic<int> hpEnabled{0};        // 1 runs the high-pass on the slot's signal
    std::atomic<double> lpFrequency{12000.0}; // low-pass corner target, Hz
    std::atomic<int> lpEnabled{0};        // 1 runs the low-pass on the slot's signal
    std::atomic<int> active{0};           // 1 when the slot is in the mix and convolved
    std::atomic<int> delayLength{0};      // extra delay in samples (0 and 1 both mean 1)
    std::atomic<int> leftInput{1};        // 1 when the slot convolves the left input
    std::atomic<int> rightInput{0};       // 2 when the slot convolves the right input
    std::atomic<int> audible{1};          // solo mask: 0 silences the slot in the mix
    std::atomic<float> volume{0.5f};      // volume target that the smoothed volume follows
};

// The audio thread must never wait: every control has to be a plain lock-free load.
static_assert(std::atomic<int>::is_always_lock_free, "int controls must be lock-free");
static_assert(std::atomic<float>::is_always_lock_free, "float controls must be lock-free");
static_assert(std::atomic<double>::is_always_lock_free, "double controls must be lock-free");

} // namespace dsp
