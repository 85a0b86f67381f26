// Lock-free hand-over of one slot's prepared IR spectrum from the threads that load IRs to
// the audio thread: a triple buffer. The writer fills a buffer that only it owns and then
// swaps it into the shared middle position with one atomic exchange; the audio thread
// swaps the middle buffer into its own front position when a fresh one is waiting. Neither
// side ever waits for the other and neither ever sees a half-written spectrum.
//
// Every spectrum has the engine's one FFT size. All memory is allocated by the constructor.
#pragma once

#include <atomic>
#include <vector>

namespace dsp {

class IrHandover {
public:
    static constexpr int kSize = 2048; // the FFT size: doubles per spectrum

    IrHandover();
    IrHandover(const IrHandover&) = delete;
    IrHandover& operator=(const IrHandover&) = delete;

    // Non-audio thread. Calls must not overlap each other (the caller serialises loads),
    // but may overlap acquire(). values holds kSize doubles.
    void publish(const double* values);

    // Audio thread. Takes the newest published spectrum, if one arrived since the last
    // call; returns true when it did (the caller then applies the clears of a load).
    bool acquire();

    // Audio thread: the spectrum in use (all zeros until the first publish).
    const double* values() const { return buffer(front_); }

private:
    static constexpr int kIndexMask = 3;
    static constexpr int kFresh = 4;

    const double* buffer(int index) const { return storage_.data() + index * kSize; }
    double* buffer(int index) { return storage_.data() + index * kSize; }

    std::vector<double> storage_; // three buffers of kSize doubles, back to back
    std::atomic<int> middle_{1};  // shared buffer index, with kFresh when not yet taken
    int back_ = 2;                // writer's buffer (touched by the serialised writers only)
    int front_ = 0;               // audio thread's buffer
};

} // namespace dsp
