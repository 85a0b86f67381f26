// The cabs' files: which file each cab plays and how it gets there. The load button's file
// dialog, the file menus and previous/next steps, the editor's requests that refresh a cab's
// file views, and IR loading (read, prepare, hand over to the engine), with the effect's
// loader thread for everything that may not happen where it was asked for.
//
// The thread rule lives here. The owner (the thread that made the effect, or the one that
// last opened its editor) and the loader are the file threads: they read files, list
// folders and take the records' file-state lock. Any other thread hands that work to the
// loader (post, request) and never waits, allocates or locks.
#pragma once

#include "effect/IrLoader.h"
#include "effect/Loader.h"
#include "effect/ProgramRecord.h"

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
class ParameterRouter;
class ProgramStore;

class CabFiles {
public:
    // What the loader does for a thread that may not touch the disk. Kinds from kJobOwn on
    // are the effect's own (a program change, a staged chunk) and go to otherJobs.
    enum JobKind : int {
        kJobReloadCabs,   // reload every cab that names a file, refresh its file views
        kJobShareLink,    // index: link pair whose files are shared after it was switched on
        kJobFileMenu,     // index: cab whose file-menu choice is to be loaded
        kJobStepNext,     // index: cab to step to its next file
        kJobStepPrevious, // index: cab to step to its previous file
        kJobRequest,      // index: editor request (7777, 8888, 9999), value: its value
        kJobOwn,          // first kind of the effect's own jobs
    };

    // Makes the loader (makeLoader; an IrLoader with a thread of its own when empty); the
    // calling thread becomes the owner.
    CabFiles(dsp::ConvolutionEngine& engine, ProgramStore& programs, const std::atomic<EditorLink*>& editor,
             Loader::JobFunction otherJobs, const LoaderFactory& makeLoader = {});
    ~CabFiles();
    CabFiles(const CabFiles&) = delete;
    CabFiles& operator=(const CabFiles&) = delete;

    // Every write the file actions make goes through the effect's one parameter path.
    void connect(ParameterRouter& router) { router_ = &router; }
    // Ends the loader thread while everything its jobs use still stands.
    void stop();
    // The host's window, disabled while the file dialog is up.
    void setHostWindow(void* window) { hostWindow_ = window; }

    // The thread rule (any thread).
    bool onFileThread() const;
    bool onOwnerThread() const;
    void setOwnerThread(std::uint64_t threadId) { ownerThread_.store(threadId); }
    std::uint64_t ownerThread() const { return ownerThread_.load(); }
    void post(int kind, int index = 0, float value = 0.0f);

    // Actions of the parameter path; each runs in line on a file thread and becomes a job
    // for the loader on any other.
    void loadButton(int cab, float value); // the dialog opens on the owner thread only
    void fileMenu(int cab);
    void step(int cab, bool next);
    void editorRequest(int request, float value);
    void shareLink(int pair);
    // Every cab that names a file loaded again and its views refreshed.
    void reloadCabFiles();

    // One cab (1..6) from a path: in line on a file thread, else through the loader.
    void loadCabIr(int cab, const char* path);
    // The file at path (a folder and a file name) into cab 1..6 as the load button does with
    // what its dialog returns. A file thread only; false elsewhere, and for a path whose
    // folder or name does not fit the record (nothing changes then).
    bool chooseCabFile(int cab, const char* path);

    // A job taken by the loader (its thread).
    void runJob(const Loader::Job& job);

    // Read access for the effect, tests and tools.
    bool pending() const { return loader_->busy(); }
    long long wakeUps() const { return loader_->wakeUps(); }
    int loadCount() const { return loadCount_.load(); }
    // Why cab (0..5)'s IR plays silence (a fixed text: the file refused, or nothing in it to
    // play; before any load, no file at all), or null when it plays. As of the last load.
    const char* silence(int cab) const { return silence_[cab].load(std::memory_order_acquire); }
    std::uint64_t lastLoadThread() const { return lastLoadThread_.load(); }

private:
    EditorLink* editor() const { return editor_.load(std::memory_order_acquire); }
    void setParameter(int index, float value);
    void applyFileMenu(int cab);
    void applyStep(int cab, bool next);
    void applyEditorRequest(int request, float value);
    void applyShareLink(int pair);
    void applyReload();
    // The file the load button's dialog gave: the cab (and a linked partner) take it.
    void takeChosenFile(int cab, const char* path, const char* name);
    // Loads the cab's folder and file name into it and, when linked, into its partner;
    // returns the partner, or -1 when the cab is not linked.
    int loadChosenFile(int cab);
    bool linked(int cab) const;
    // Reads, prepares and publishes one cab's IR (cab 0..5) unless a newer load of the
    // cab has been asked for since this one got its ticket. Loader thread or in line.
    void loadTicketed(int cab, const char* path, std::uint32_t ticket);

    dsp::ConvolutionEngine& engine_;               // where prepared IRs go
    ProgramStore& programs_;                       // the records the files are named in
    const std::atomic<EditorLink*>& editor_;       // the editor's side, or none
    ParameterRouter* router_ = nullptr;            // the effect's parameter path
    Loader::JobFunction otherJobs_;                // the effect's own jobs
    std::unique_ptr<dsp::IrPreparer> preparer_;    // turns files into spectra (loads only)
    std::unique_ptr<dsp::IrCache> cache_;          // prepared IRs of recent files, over preparer_
    std::vector<double> spectrum_;                 // a prepared spectrum on its way to a slot
    std::mutex loadMutex_;                         // serialises loads; file threads only
    std::atomic<int> loadCount_{0};                // loads done so far
    std::atomic<std::uint32_t> loadTickets_[kNumCabs];   // newest load asked for, per cab
    std::atomic<const char*> silence_[kNumCabs];          // why each cab's IR is silent, or null
    std::atomic<std::uint64_t> lastLoadThread_{0}; // thread of the last load, 0 before
    std::atomic<std::uint64_t> ownerThread_{0};    // the owner (see the thread rule)
    void* hostWindow_ = nullptr;                   // disabled around the file dialog
    std::unique_ptr<Loader> loader_;               // disk work of the other threads; last
};

} // namespace orvex
