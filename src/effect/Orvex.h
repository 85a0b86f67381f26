// The cabinet effect: six IR slots convolved and mixed through their strips, 86 host
// parameters, ten programs that are also the saved state.
//
// Threads (see DESIGN.md). Hosts call us from many threads: the UI thread (dispatcher,
// editor), automation threads, and audio threads, several of which may take turns block by
// block, each delivering setParameter just before its block. One rule keeps the disk away
// from all but two of them: only the thread that owns the effect (the one that made it, or
// the one that last opened its editor) and the effect's loader thread (Loader.h: its own
// IrLoader thread, or the worker an LV2 host lends it) open files or list folders; they
// are the "file threads". On any other thread a call never
// waits, allocates or takes a lock a file operation could hold: what it changes in the
// audio path is an atomic store, and its disk work (IR loads, file steps, file-menu
// choices, the editor's folder refreshes, even a program change or a chunk restore) is
// handed to the loader, which carries it out in order, a moment later. processReplacing
// never waits either, except when the host renders offline (see processReplacing).
//
// The definitions are split by responsibility: Orvex.cpp (lifecycle, identity, sample
// rate, the thread rule and the loader's jobs), OrvexParameters.cpp (parameter changes and
// displays), OrvexCabFiles.cpp (file actions, editor requests, IR loads), OrvexPrograms.cpp
// (programs and chunks).
#pragma once

#include "effect/Loader.h"
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

class Orvex : public AudioEffectX {
public:
    explicit Orvex(vst::HostCallback audioMaster);
    // The same, with the disk work of foreign threads carried out by the loader that
    // makeLoader makes (the plain constructor makes an IrLoader with a thread of its own).
    Orvex(vst::HostCallback audioMaster, const LoaderFactory& makeLoader);
    ~Orvex() override;

    // Audio threads, one block at a time.
    void processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames) override;

    // Parameters: the single path of every change (host, editor, programs, propagation).
    // Any thread.
    void setParameter(vst::Int32 index, float value) override;
    float getParameter(vst::Int32 index) override;
    void getParameterName(vst::Int32 index, char* text) override;
    void getParameterLabel(vst::Int32 index, char* text) override;
    void getParameterDisplay(vst::Int32 index, char* text) override;

    // Programs and saved state: on a file thread in line; on any other thread the program
    // index (or the chunk's bytes) is taken at once and the rest is done by the loader.
    void setProgram(vst::Int32 program) override;
    vst::Int32 getProgram() override { return program_.load(std::memory_order_acquire); }
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

    // IR loading: in line on a file thread; from any other thread the path goes to the
    // loader and the spectrum arrives a little later. cab is 1..6.
    void loadCabIr(int cab, const char* path);
    void reloadAllCabs();
    // Puts the file at path (a folder and a file name) into cab 1..6 of the current program
    // as the load button does with what its dialog returns: a linked partner takes it too,
    // and the editor's file views follow. A file thread only; false elsewhere, and for a
    // path whose folder or name does not fit the record (nothing changes then).
    bool chooseCabFile(int cab, const char* path);

    // The editor side; none until an editor attaches itself. The editor also tells the
    // effect which thread owns it (the file dialog opens only there).
    // Any thread; the loader may be using the old link until its current job ends.
    void setEditorLink(EditorLink* link) { editorLink_.store(link, std::memory_order_release); }
    EditorLink* editorLink() const { return editorLink_.load(std::memory_order_acquire); }
    void setOwnerThread(std::uint64_t threadId) { ownerThread_.store(threadId); }

    // Read access for tests and tools.
    const ProgramRecord& program(int index) const { return programs_[index]; }
    const ProgramRecord& currentProgram() const { return programs_[getProgramIndex()]; }
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
    // Whether work handed to the loader thread (loads, file steps, refreshes, program
    // changes) has not been carried out yet.
    bool loadsPending() const;
    // The thread that carried out the last IR load (platform::currentThreadId), 0 before.
    std::uint64_t lastLoadThread() const { return lastLoadThread_.load(); }
    // The loader's wake-ups so far (an idle instance has none).
    long long loaderWakeUps() const;

private:
    // What the loader does for a thread that may not touch the disk.
    enum JobKind : int {
        kJobReloadCabs,  // reload every cab that names a file, refresh its file views
        kJobShareLink,   // index: link pair whose files are shared after it was switched on
        kJobFileMenu,    // index: cab whose file-menu choice is to be loaded
        kJobStepNext,    // index: cab to step to its next file
        kJobStepPrevious,// index: cab to step to its previous file
        kJobRequest,     // index: editor request (7777, 8888, 9999), value: its value
        kJobProgram,     // index: program to apply
        kJobChunk,       // apply the chunk staged by setChunk
    };

    int getProgramIndex() const { return program_.load(std::memory_order_acquire); }
    ProgramRecord& record() { return programs_[getProgramIndex()]; }
    // The whole frame of one write; guarded: a change propagated by a link or a blend,
    // which propagates nothing further.
    void applyParameter(int index, float value, bool guarded);
    void storeValue(int index, float value);
    // The one place that turns a parameter value into what the audio path reads.
    void deriveParameter(int index, float value);
    void propagate(const ParamInfo& info, float value, bool guarded);
    void applySolo(int cab, float value);
    void applyLatency(float value);
    void applyLink(int pair, float value);
    void shareLinkedFiles(int pair);
    void applyBlend(int pair, float value);
    void applyLoadButton(int cab, float value);
    // The file the load button's dialog gave: the cab (and a linked partner) take it.
    void takeChosenFile(int cab, const char* path, const char* name);
    void applyFileMenu(int cab);
    // Loads the cab's folder and file name into it and, when linked, into its partner;
    // returns the partner, or -1 when the cab is not linked.
    int loadChosenFile(int cab);
    void applyStep(int cab, bool next);
    void applyEditorRequest(int request, float value);
    // The hop from the stored "Latency", and the engine started over with it (any thread).
    void resetHop();
    // Every cab that names a file loaded again and its views refreshed (file threads).
    void reloadCabFiles();
    void applyProgram(int program);
    // Copies a chunk into the records (isPreset: the current one) and applies the program.
    void restoreChunk(const void* data, bool isPreset);
    void applyStagedChunk();
    bool joinPath(int cab, char* path) const;
    bool onOwnerThread() const;
    // The owner or the loader: the threads that may touch the disk.
    bool onFileThread() const;
    // Hands a job to the loader (threads that may not do it themselves).
    void postJob(int kind, int index = 0, float value = 0.0f);
    void runJob(int kind, int index, float value);
    // When the host renders offline, waits (bounded) for what the loader still has to do.
    void awaitLoadsIfOffline();
    // Reads, prepares and publishes one cab's IR (cab 0..5) unless a newer load of the
    // cab has been asked for since this one got its ticket. Loader thread or in line.
    void loadTicketed(int cab, const char* path, std::uint32_t ticket);

    ProgramRecord programs_[kNumPrograms];        // the ten programs, also the saved chunk
    std::atomic<int> program_{0};                 // current program (curProgram's twin)
    std::atomic<float> values_[kNumStoredParams];  // working values, in record order
    std::atomic<float> latencyValue_{64.0f};       // hop length the display converts: 64..512
    std::atomic<int> linkFlags_[3];                // 1&2, 3&4, 5&6 linked
    std::atomic<int> blendFlags_[2];               // 1&3, 2&4 blended
    std::unique_ptr<dsp::ConvolutionEngine> engine_; // slots, convolution, strips, mix
    std::unique_ptr<dsp::IrPreparer> preparer_;    // turns files into spectra (loads only)
    std::unique_ptr<dsp::IrCache> cache_;          // prepared IRs of recent files, over preparer_
    std::vector<double> spectrum_;                 // a prepared spectrum on its way to a slot
    std::mutex loadMutex_;                         // serialises loads; file threads only
    // Serialises what file threads do to the records' file fields, the current program
    // and the editor's file views (actions, requests, program changes, chunk restores).
    // Recursive: an action's own parameter writes come back through setParameter.
    std::recursive_mutex fileState_;
    std::atomic<int> loadCount_{0};                // loads done so far
    std::atomic<std::uint32_t> loadTickets_[kNumCabs]; // newest load asked for, per cab
    std::atomic<std::uint32_t> loadedTickets_[kNumCabs]; // newest load carried out, per cab
    std::atomic<std::uint64_t> lastLoadThread_{0}; // thread of the last load, 0 before
    std::unique_ptr<ProgramRecord[]> stagedChunk_; // a bank set on a foreign thread, for the loader
    enum ChunkState : int { kChunkFree, kChunkWriting, kChunkReady, kChunkReading };
    std::atomic<int> stagedChunkState_{kChunkFree}; // who has stagedChunk_
    std::atomic<int> stagedChunkPreset_{0};        // 1: the staged bytes are one preset
    std::unique_ptr<Loader> loader_;               // disk work of the other threads
    void* hostWindow_ = nullptr;                   // disabled around the file dialog
    std::atomic<std::uint64_t> ownerThread_{0};    // thread that may open the file dialog
    std::atomic<EditorLink*> editorLink_{nullptr}; // the editor's side, not owned
};

} // namespace orvex
