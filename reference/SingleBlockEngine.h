// The engine as it was before the partitioned convolution: one 2048-point transform pair
// per hop and slot, the whole IR in one block, overlap-add over the full transform length.
// Kept as the reference that the tests compare the partitioned engine with (over loads, bypass
// toggles and hop changes) and that the benchmarks measure it against. Single-threaded:
// requests apply at the start of the next process() call, as they do in the real engine when
// no audio thread runs concurrently.
#pragma once

#include "dsp/Biquad.h"
#include "dsp/CabSlotControls.h"
#include "dsp/RealFft.h"

#include <array>
#include <vector>

namespace reference {

class SingleBlockEngine {
public:
    static constexpr int kSlots = 6;
    static constexpr int kN = 2048;

    explicit SingleBlockEngine(float sampleRate);

    bool loadSlot(int slot, const double* spectrum); // kN doubles, packed
    void reset(int hop);
    void clearSlot(int slot);
    dsp::CabSlotControls& slot(int k) { return slots_[static_cast<std::size_t>(k)].controls; }
    void setOutput(float level) { output_ = level; }
    void setRunning(bool on) { running_ = on; }
    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);
    // The slot's convolved and filtered samples of the last hop.
    const double* block(int k) const { return slots_[static_cast<std::size_t>(k)].block.data(); }
    int hop() const { return b_; }

private:
    struct Slot {
        dsp::CabSlotControls controls;
        std::vector<double> spectrum = std::vector<double>(kN, 0.0);
        std::vector<double> pending = std::vector<double>(kN, 0.0);
        bool fresh = false;
        bool clearRequest = false;
        std::vector<double> product = std::vector<double>(kN, 0.0);
        std::vector<double> result = std::vector<double>(kN, 0.0);
        std::vector<double> tail = std::vector<double>(kN, 0.0);
        std::vector<double> block = std::vector<double>(kN, 0.0);
        std::vector<double> line = std::vector<double>(960, 0.0);
        int readPos = 0;
        float volume = 0.0f, hp = 0.0f, lp = 0.0f;
        dsp::Biquad hpFilter, lpFilter;
        void clear();
    };
    void hopStep();

    float rate_;
    int b_ = 100;
    int resetRequest_ = 0;
    int pos_ = 0;
    int d_;
    float output_ = 0.5f;
    bool running_ = true;
    dsp::RealFft fft_{kN};
    std::vector<double> gather_[2] = {std::vector<double>(kN, 0.0), std::vector<double>(kN, 0.0)};
    std::vector<double> inSpectrum_[2] = {std::vector<double>(kN, 0.0), std::vector<double>(kN, 0.0)};
    std::array<Slot, kSlots> slots_;
};

} // namespace reference
