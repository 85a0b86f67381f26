// The cabinet effect: six IR slots convolved and mixed through their strips, 86 host
// parameters, ten programs that are also the saved state.
//
// Threads (see DESIGN.md): the dispatcher (programs, chunks, names, sample rate, editor)
// runs on the host's UI thread; setParameter on UI or automation threads; processReplacing
// on the audio thread, which never waits for the others.
#pragma once

#include "effect/ParameterTable.h"
#include "effect/ProgramRecord.h"
#include "host/AudioEffectX.h"

#include <atomic>

namespace orvex {

class EditorLink;

class Orvex : public AudioEffectX {
public:
    explicit Orvex(vst::HostCallback audioMaster);
    ~Orvex() override;

    // Audio thread.
    void processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames) override;

    // Parameters.
    void setParameter(vst::Int32 index, float value) override;
    float getParameter(vst::Int32 index) override;
    void getParameterName(vst::Int32 index, char* text) override;
    void getParameterLabel(vst::Int32 index, char* text) override;
    void getParameterDisplay(vst::Int32 index, char* text) override;

    // Programs and saved state.
    void setProgram(vst::Int32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(vst::Int32 category, vst::Int32 index, char* text) override;
    vst::Int32 getChunk(void** data, bool isPreset) override;
    vst::Int32 setChunk(void* data, vst::Int32 byteSize, bool isPreset) override;

    // Identity.
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    vst::Int32 getVendorVersion() override { return 2000; }

    void setSampleRate(float rate) override;

    // The editor side; none until an editor attaches itself.
    void setEditorLink(EditorLink* link) { editorLink_ = link; }
    EditorLink* editorLink() const { return editorLink_; }

    // Read access for tests and the host tools.
    const ProgramRecord& program(int index) const { return programs_[index]; }
    const ProgramRecord& currentProgram() const { return programs_[curProgram]; }

    // Derived values the displays read.
    double hpFrequency(int cab) const { return hpFrequency_[cab].load(std::memory_order_relaxed); }
    double lpFrequency(int cab) const { return lpFrequency_[cab].load(std::memory_order_relaxed); }
    int delayLength(int cab) const { return delayLength_[cab].load(std::memory_order_relaxed); }
    float latencyValue() const { return latencyValue_.load(std::memory_order_relaxed); }
    int delayCapacity() const { return delayCapacity_; }

private:
    // Writes the working value and the current record's value.
    void storeValue(int index, float value);
    // Turns one stored parameter value into what the audio path and displays read.
    void deriveParameter(int index, float value);
    void reloadAllCabs();

    ProgramRecord programs_[kNumPrograms];           // the ten programs, also the saved chunk
    std::atomic<float> values_[kNumStoredParams];     // working values, in record order
    std::atomic<double> hpFrequency_[kNumCabs];       // high-pass corner per cab, Hz
    std::atomic<double> lpFrequency_[kNumCabs];       // low-pass corner per cab, Hz
    std::atomic<int> delayLength_[kNumCabs];          // extra delay per cab, samples
    std::atomic<float> latencyValue_{64.0f};          // hop length for the display: 64..512
    int delayCapacity_ = 220;                         // samples of delay at "Delay" = 1
    EditorLink* editorLink_ = nullptr;                // the editor's side, not owned
};

} // namespace orvex
