// The single path of every parameter change: the host's automation, the editor's controls,
// program changes and chunk restores, and the effect's own propagation through linked and
// blended cabs. A write stores the value (working value and current record), derives what
// the audio path reads, propagates it to linked and blended cabs, performs the action of an
// action index (through CabFiles), and ends with the editor's notification.
//
// Threads: any thread, audio threads included. What a write changes for the audio path is an
// atomic store; what it needs of the disk CabFiles does in line or hands to the loader.
#pragma once

#include "effect/ParameterTable.h"
#include "effect/ProgramRecord.h"

#include <atomic>

namespace dsp {
class ConvolutionEngine;
}

namespace orvex {

class CabFiles;
class EditorLink;
class ProgramStore;

class ParameterRouter {
public:
    ParameterRouter(dsp::ConvolutionEngine& engine, ProgramStore& programs, CabFiles& files,
                    const std::atomic<EditorLink*>& editor);
    ParameterRouter(const ParameterRouter&) = delete;
    ParameterRouter& operator=(const ParameterRouter&) = delete;

    // Any index: 0..85, the editor requests 7777/8888/9999, anything else only reaches the
    // editor's notification.
    void set(int index, float value);
    // The working value (0 for actions and unknown indices).
    float get(int index) const;
    // The host's display text of a parameter (at most 8 characters), at this sample rate.
    void display(int index, char* text, float sampleRate) const;

    // The hop from the stored "Latency", the engine started over with it (any thread).
    void resetHop();
    // resetHop, every cab that names a file loaded again, the editor told.
    void reloadAllCabs();

    float latencyValue() const { return latencyValue_.load(std::memory_order_relaxed); }
    bool linkFlag(int pair) const { return linkFlags_[pair].load(std::memory_order_relaxed) != 0; }
    bool blendFlag(int pair) const { return blendFlags_[pair].load(std::memory_order_relaxed) != 0; }

private:
    EditorLink* editor() const { return editor_.load(std::memory_order_acquire); }
    // The whole frame of one write; guarded: a change propagated by a link or a blend,
    // which propagates nothing further.
    void apply(int index, float value, bool guarded);
    void storeValue(int index, float value);
    // The one place that turns a parameter value into what the audio path reads.
    void deriveParameter(int index, float value);
    void propagate(const ParamInfo& info, float value, bool guarded);
    void applySolo(int cab, float value);
    void applyLatency(float value);
    void applyLink(int pair, float value);
    void applyBlend(int pair, float value);

    dsp::ConvolutionEngine& engine_;              // what the audio path reads
    ProgramStore& programs_;                      // the current record takes every value
    CabFiles& files_;                             // the actions' file work
    const std::atomic<EditorLink*>& editor_;      // the editor's side, or none
    std::atomic<float> values_[kNumStoredParams]; // working values, in record order
    std::atomic<float> latencyValue_{64.0f};      // hop length the display converts: 64..512
    std::atomic<int> linkFlags_[3];               // 1&2, 3&4, 5&6 linked
    std::atomic<int> blendFlags_[2];              // 1&3, 2&4 blended
};

} // namespace orvex
