// The cabinet effect: six IR slots convolved and mixed through their strips, 86 host
// parameters, ten programs that are also the saved state.
//
// Threads (see DESIGN.md): the dispatcher (programs, chunks, names, sample rate, editor)
// runs on the host's UI thread; setParameter on UI or automation threads; processReplacing
// on the audio thread, which never waits for the others: IR loads are prepared aside and
// handed over by the engine, parameter-derived values are atomics. A load asked for on the
// audio thread itself (automation that a host delivers there) is prepared by the effect's
// own loader thread (IrLoader).
//
// The definitions are split by responsibility: Orvex.cpp (lifecycle, identity, sample
// rate), OrvexParameters.cpp (parameter changes and displays), OrvexCabFiles.cpp (file
// actions, editor requests, IR loads), OrvexPrograms.cpp (programs and chunks).
#pragma once

#include "effect/ParameterTable.h"
#include "effect/ProgramRecord.h"
#include "host/AudioEffectX.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace dsp {
class ConvolutionEngine;
class IrCache;
class IrPreparer;
} // namespace dsp

namespace orvex {

class EditorLink;
class IrLoader;

class Orvex : public AudioEffectX {
public:
    explicit Orvex(vst::HostCallback audioMaster);
    ~Orvex() override;

    // Audio thread.
    void processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames) override;

    // Parameters: the single path of every change (host, editor, programs, propagation).
    void setParameter(vst::Int32 index, float value) override;
    float getParameter(vst::Int32 index) override;
    void getParameterName(vst::Int32 index, char* text) override;
    void getParameterLabel(vst::Int32 index, char* text) override;
    void getParameterDisplay(vst::Int32 index, char* text) override;

    // Programs and saved state (host UI thread).
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

    // Host UI thread, with processing switched off (as hosts do).
    void setSampleRate(float rate) override;

    // IR loading, in line on the calling thread; but when the call comes on the thread that
    // runs processReplacing (a host delivering automation there), the file is read and
    // prepared by the effect's loader thread instead and its spectrum arrives a little
    // later. cab is 1..6.
    void loadCabIr(int cab, const char* path);
    void reloadAllCabs();

    // The editor side; none until an editor attaches itself. The editor also tells the
    // effect which thread owns it (the file dialog opens only there).
    void setEditorLink(EditorLink* link) { editorLink_ = link; }
    EditorLink* editorLink() const { return editorLink_; }
    void setOwnerThread(std::uint64_t threadId) { ownerThread_.store(threadId); }

    // Read access for tests and tools.
    const ProgramRecord& program(int index) const { return programs_[index]; }
    const ProgramRecord& currentProgram() const { return programs_[curProgram]; }
    double hpFrequency(int cab) const;
    double lpFrequency(int cab) const;
    int delayLength(int cab) const;
    float latencyValue() const { return latencyValue_.load(std::memory_order_relaxed); }
    int delayCapacity() const;
    int audible(int cab) const;
    bool linkFlag(int pair) const { return linkFlags_[pair].load(std::memory_order_relaxed) != 0; }
    bool blendFlag(int pair) const { return blendFlags_[pair].load(std::memory_order_relaxed) != 0; }
    dsp::ConvolutionEngine& engine() { return *engine_; }
    // How many IR loads have run (each reads one file); lets tests see what a change loads.
    int loadCount() const { return loadCount_.load(); }
    // Whether a load handed to the loader thread has not been carried out yet.
    bool loadsPending() const;
    // The thread that carried out the last IR load (platform::currentThreadId), 0 before.
    std::uint64_t lastLoadThread() const { return lastLoadThread_.load(); }

private:
    void storeValue(int index, float value);
    // The one place that turns a parameter value into what the audio path reads.
    void deriveParameter(int index, float value);
    void propagate(const ParamInfo& info, float value);
    void applySolo(int cab, float value);
    void applyLatency(float value);
    void applyLink(int pair, float value);
    void applyBlend(int pair, float value);
    void applyLoadButton(int cab, float value);
    void applyFileMenu(int cab);
    // Loads the cab's folder and file name into it and, when linked, into its partner;
    // returns the partner, or -1 when the cab is not linked.
    int loadChosenFile(int cab);
    void applyStep(int cab, bool next);
    void applyEditorRequest(int request, float value);
    void setGuarded(int index, float value);
    bool joinPath(int cab, char* path) const;
    bool onOwnerThread() const;
    // True on the thread that runs processReplacing, unless that is also the thread that
    // owns the effect (a host that renders offline on its own thread, or a test).
    bool onAudioThread() const;
    // Reads, prepares and publishes one cab's IR (cab 0..5) unless a newer load of the
    // cab has been asked for since this one got its ticket. Loader thread or in line.
    void loadTicketed(int cab, const char* path, std::uint32_t ticket);

    ProgramRecord programs_[kNumPrograms];        // the ten programs, also the saved chunk
    std::atomic<float> values_[kNumStoredParams];  // working values, in record order
    std::atomic<float> latencyValue_{64.0f};       // hop length the display converts: 64..512
    std::atomic<int> linkFlags_[3];                // 1&2, 3&4, 5&6 linked
    std::atomic<int> blendFlags_[2];               // 1&3, 2&4 blended
    int linkGuard_ = 0;                            // 1 while a propagated change is under way
    std::unique_ptr<dsp::ConvolutionEngine> engine_; // slots, convolution, strips, mix
    std::unique_ptr<dsp::IrPreparer> preparer_;    // turns files into spectra (loads only)
    std::unique_ptr<dsp::IrCache> cache_;          // prepared IRs of recent files, over preparer_
    std::vector<double> spectrum_;                 // a prepared spectrum on its way to a slot
    std::mutex loadMutex_;                         // serialises loads; never taken by audio
    std::atomic<int> loadCount_{0};                // loads done so far
    std::atomic<std::uint32_t> loadTickets_[kNumCabs]; // newest load asked for, per cab
    std::atomic<std::uint32_t> loadedTickets_[kNumCabs]; // newest load carried out, per cab
    std::atomic<std::uint64_t> audioThread_{0};    // thread of the last processReplacing, 0 before
    std::atomic<std::uint64_t> lastLoadThread_{0}; // thread of the last load, 0 before
    std::unique_ptr<IrLoader> loader_;             // loads asked for on the audio thread
    void* hostWindow_ = nullptr;                   // disabled around the file dialog
    std::atomic<std::uint64_t> ownerThread_{0};    // thread that may open the file dialog
    EditorLink* editorLink_ = nullptr;             // the editor's side, not owned
};

} // namespace orvex
