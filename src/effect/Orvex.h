// The cabinet effect: six IR slots convolved and mixed through their strips, 86 host
// parameters, ten programs that are also the saved state.
//
// Threads (see docs/ARCHITECTURE.md). Hosts call us from many threads: the UI thread (dispatcher,
// editor), automation threads, and audio threads, several of which may take turns block by
// block, each delivering setParameter just before its block. One rule keeps the disk away
// from all but two of them: only the thread that owns the effect (the one that made it, or
// the one that last opened its editor) and the effect's loader thread (Loader.h: its own
// IrLoader thread, or the worker an LV2 host lends it) open files or list folders; they are
// the "file threads". On any other thread a call never
// waits, allocates or takes a lock a file operation could hold: what it changes in the
// audio path is an atomic store, and its disk work (IR loads, file steps, file-menu
// choices, the editor's folder refreshes, even a program change or a chunk restore) is
// handed to the loader, which carries it out in order, a moment later. processReplacing
// never waits either, except when the host renders offline (see processReplacing).
//
// Orvex itself is the VST 2.4 face of three parts, each a class of its own: ParameterRouter
// (the one path of every parameter change, with the link and blend echoes), ProgramStore
// (the ten records, names and chunks) and CabFiles (the cabs' files, IR loads, the loader
// thread and the thread rule). Here: lifecycle, identity, the sample rate, the audio callback
// and the program change, which sets every part in turn.
#pragma once

#include "effect/CabFiles.h"
#include "effect/Loader.h"
#include "effect/ParameterRouter.h"
#include "effect/ParameterTable.h"
#include "effect/ProgramRecord.h"
#include "effect/ProgramStore.h"
#include "vst/AudioEffectX.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace dsp {
class ConvolutionEngine;
}

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

    // Parameters: the single path of every change (ParameterRouter). Any thread.
    void setParameter(vst::Int32 index, float value) override;
    float getParameter(vst::Int32 index) override;
    void getParameterName(vst::Int32 index, char* text) override;
    void getParameterLabel(vst::Int32 index, char* text) override;
    void getParameterDisplay(vst::Int32 index, char* text) override;

    // Programs and saved state: on a file thread in line; on any other thread the program
    // index (or the chunk's bytes) is taken at once and the rest is done by the loader.
    void setProgram(vst::Int32 program) override;
    vst::Int32 getProgram() override { return programs_.current(); }
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
    // Our own host's question about a cab (CabStatusRequest.h); anything else answers 0.
    vst::IntPtr vendorSpecific(vst::Int32 index, vst::IntPtr value, void* ptr, float opt) override;

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
    // effect which thread owns it (the file dialog opens only there). Any thread; the loader
    // may be using the old link until its current job ends.
    void setEditorLink(EditorLink* link) { editorLink_.store(link, std::memory_order_release); }
    EditorLink* editorLink() const { return editorLink_.load(std::memory_order_acquire); }
    void setOwnerThread(std::uint64_t threadId);
    std::uint64_t ownerThread() const;

    // Read access for tests and tools.
    const ProgramRecord& program(int index) const { return programs_.record(index); }
    const ProgramRecord& currentProgram() const { return programs_.record(); }
    double hpFrequency(int cab) const;
    double lpFrequency(int cab) const;
    int delayLength(int cab) const;
    float latencyValue() const;
    int delayCapacity() const;
    int audible(int cab) const;
    bool linkFlag(int pair) const;
    bool blendFlag(int pair) const;
    dsp::ConvolutionEngine& engine() { return *engine_; }
    // How many IR loads have run (each reads one file); lets tests see what a change loads.
    int loadCount() const;
    // Whether work handed to the loader thread (loads, file steps, refreshes, program
    // changes) has not been carried out yet.
    bool loadsPending() const;
    // The thread that carried out the last IR load (platform::currentThreadId), 0 before.
    std::uint64_t lastLoadThread() const;
    // The loader's wake-ups so far (an idle instance has none).
    long long loaderWakeUps() const;

private:
    // The effect's own jobs for the loader, after CabFiles' kinds.
    enum JobKind : int {
        kJobProgram = CabFiles::kJobOwn, // index: program to apply
        kJobChunk,                       // restore the staged chunk
    };

    // The program change: every value of the record through the parameter path, the
    // record's files loaded, the editor's file views refreshed. File threads.
    void applyProgram(int program);
    void runJob(const Loader::Job& job);
    // When the host renders offline, waits (bounded) for what the loader still has to do.
    void awaitLoadsIfOffline();

    std::unique_ptr<dsp::ConvolutionEngine> engine_; // slots, convolution, strips, mix
    std::atomic<EditorLink*> editorLink_{nullptr};   // the editor's side, not owned
    ProgramStore programs_;                          // the ten programs, also the chunk
    std::unique_ptr<CabFiles> files_;                // the cabs' files and the loader
    std::unique_ptr<ParameterRouter> router_;        // the one parameter path
};

} // namespace orvex
