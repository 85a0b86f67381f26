// Lock-free hand-over of one slot's prepared IR from the threads that load IRs to the
// audio thread: a triple buffer. The writer fills a buffer that only it owns and then
// swaps it into the shared middle position with one atomic exchange; the audio thread
// swaps the middle buffer into its own front position when a fresh one is waiting. Neither
// side ever waits for the other and neither ever sees a half-written IR.
//
// What travels is everything the audio thread needs, prepared aside: the packed spectrum
// as the effect prepared it (every spectrum has the engine's one FFT size), its taps, and
// its partition spectra for the hop in force when it was prepared. Only one hop's: the
// effect runs one hop at a time, and after a "Latency" change it loads every IR again for
// the new hop; an IR that meets another hop first is cut again by the audio thread, in its
// own buffer, a partition at a time as the hops after the change first need them. All memory
// is allocated by the constructor.
#pragma once

#include <atomic>
#include <vector>

namespace dsp {

// One prepared IR as the audio thread consumes it.
struct SlotIr {
    static constexpr int kSize = 2048;             // N: doubles per packed spectrum
    static constexpr int kMaxTaps = kSize / 2;     // H: the longest IR the engine convolves
    // Doubles of one hop's partition spectra: H/B spectra of 2B for the effect's hops 64,
    // 128, 256 and 512. A hop whose partitions take more is never cut into `partitions`.
    static constexpr int kPartitionSet = 2 * kMaxTaps;

    SlotIr();

    std::vector<double> spectrum;   // packed spectrum as published (kSize doubles)
    std::vector<double> taps;       // time-domain IR, kMaxTaps values, zero past length
    int length = 0;                 // taps that matter (0: the slot plays silence)
    int hop = 0;                    // the hop `partitions` is cut for (0: none)
    int cut = 0;                    // how many of them are cut so far (all, when prepared)
    std::vector<double> partitions; // kPartitionSet doubles (only length's worth filled)
};

class IrHandover {
public:
    static constexpr int kSize = SlotIr::kSize;

    IrHandover() = default;
    IrHandover(const IrHandover&) = delete;
    IrHandover& operator=(const IrHandover&) = delete;

    // Non-audio thread: the buffer to fill, then publish(). Calls must not overlap each
    // other (the caller serialises loads), but may overlap acquire().
    SlotIr& writable() { return buffers_[back_]; }
    void publish();

    // Audio thread. Takes the newest published IR, if one arrived since the last call;
    // returns true when it did (the caller then applies the clears of a load).
    bool acquire();

    // Audio thread: the IR in use (all zeros until the first publish).
    const SlotIr& current() const { return buffers_[front_]; }
    // Audio thread: the same, to cut its partitions again for another hop. It is the audio
    // thread's own until its next acquire() hands it back.
    SlotIr& front() { return buffers_[front_]; }
    const double* values() const { return current().spectrum.data(); }

private:
    static constexpr int kIndexMask = 3;
    static constexpr int kFresh = 4;

    SlotIr buffers_[3];           // front, middle and back, by the indices below
    std::atomic<int> middle_{1};  // shared buffer index, with kFresh when not yet taken
    int back_ = 2;                // writer's buffer (touched by the serialised writers only)
    int front_ = 0;               // audio thread's buffer
};

} // namespace dsp
