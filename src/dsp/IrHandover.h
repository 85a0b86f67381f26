// Lock-free hand-over of one slot's prepared IR spectrum from the threads that load IRs to
// the audio thread: a triple buffer. The writer fills a buffer that only it owns and then
// swaps it into the shared middle position with one atomic exchange; the audio thread
// swaps the middle buffer into its own front position when a fresh one is waiting. Neither
// side ever waits for the other and neither ever sees a half-written spectrum.
//
// Each buffer carries the FFT size it was built for, so the engine can refuse a spectrum
// that does not match its current size. All memory is allocated by the constructor.
#pragma once

#include <atomic>
#include <vector>

namespace dsp {

class IrHandover {
public:
    static constexpr int kCapacity = 4096; // the largest FFT size

    IrHandover();
    IrHandover(const IrHandover&) = delete;
    IrHandover& operator=(const IrHandover&) = delete;

    // Non-audio thread. Calls must not overlap each other (the caller serialises loads),
    // but may overlap acquire(). size is 1 .. kCapacity; values holds size doubles.
    void publish(const double* values, int size);

    // Audio thread. Takes the newest published spectrum, if one arrived since the last
    // call; returns true when it did (the caller then applies the clears of a load).
    bool acquire();

    // Audio thread: the spectrum in use and the FFT size it was built for (0 until the
    // first publish, when it is all zeros).
    const double* values() const { return buffer(front_); }
    int size() const { return sizes_[front_]; }

private:
    static constexpr int kIndexMask = 3;
    static constexpr int kFresh = 4;

    const double* buffer(int index) const { return storage_.data() + index * kCapacity; }
    double* buffer(int index) { return storage_.data() + index * kCapacity; }

    std::vector<double> storage_; // three buffers of kCapacity doubles, back to back
    int sizes_[3] = {0, 0, 0};    // FFT size each buffer was built for; travels with it
    std::atomic<int> middle_{1};  // shared buffer index, with kFresh when not yet taken
    int back_ = 2;                // writer's buffer (touched by the serialised writers only)
    int front_ = 0;               // audio thread's buffer
};

} // namespace dsp
