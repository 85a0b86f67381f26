// The effect's loader thread: the one place where work that touches the disk runs when the
// thread that asked for it must not do so.
//
// Hosts call the effect from many threads: audio threads (several, in a pool, taking turns
// block by block), automation threads, the UI thread. Only the thread that owns the effect
// and this loader read files or list folders. Any other thread hands its disk work over
// here and goes on at once:
// - request(): an IR load of one cab from a path. The path is copied into the cab's
//   mailbox; only the newest request of a cab counts (one overtaken before the thread took
//   it is never loaded).
// - post(): a job of the effect's own (a cab's file step, a file-menu choice, a refresh of a
//   cab's file views, a reload of every cab, a program change...), carried out in the order
//   posted. The queue is bounded; a job that finds it full is dropped and counted (the
//   loader drains it continuously, so only a thread stalled on the disk lets it fill).
// Neither call waits, allocates or takes a lock: both are safe on a host's audio thread,
// from any number of threads at once.
//
// The thread sleeps until there is work: an idle instance never wakes up. Everything is
// allocated by the constructor; the destructor stops the thread, dropping what is queued.
//
// Made kDrivenByCaller, it starts no thread: whoever embeds the effect calls drain() on a
// thread of its choosing (an LV2 host's worker) whenever busy() says work is waiting. The
// hand-over is the same lock-free one; only who carries the work out differs.
#pragma once

#include "effect/Loader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace platform {
struct Semaphore;
}

namespace orvex {

class IrLoader : public Loader {
public:
    static constexpr int kCabs = 6;
    static constexpr int kPathSize = 1024; // a path and its terminator, as the record holds it
    static constexpr int kQueueSize = 256;  // jobs that may wait at once (a power of two)

    using Job = Loader::Job;
    using LoadFunction = Loader::LoadFunction;
    using JobFunction = Loader::JobFunction;

    enum Mode { kOwnThread, kDrivenByCaller };

    // Throws std::bad_alloc when the wake-up semaphore cannot be made, and what std::thread
    // throws when the thread cannot be started.
    IrLoader(LoadFunction load, JobFunction work, Mode mode = kOwnThread);
    ~IrLoader() override;
    IrLoader(const IrLoader&) = delete;
    IrLoader& operator=(const IrLoader&) = delete;

    // Any thread. A path longer than kPathSize - 1 characters is cut (the effect's paths
    // always fit). The request's ticket is drawn from tickets once the cab's mailbox is
    // ours, so the ticket order is the order in which requests really land. Two threads
    // asking for the same cab at the same moment: the second finds the mailbox in use and
    // gives up, as if the first had come after it (it draws no ticket, so the first is
    // still the newest). False for a bad cab or a request given up.
    bool request(int cab, const char* path, std::atomic<std::uint32_t>& tickets) override;
    // Any thread. False when the queue was full and the job was dropped.
    bool post(const Job& job) override;
    // Ends the thread after the job it is running, dropping what is queued; the owner's
    // thread, before anything the jobs use goes away. Also done by the destructor.
    void stop() override;
    // kDrivenByCaller only: carries out everything handed over so far on the calling
    // thread, one caller at a time. Does nothing once stopped.
    void drain();

    // Whether anything handed over has not been carried out yet (any thread).
    bool busy() const override { return outstanding_.load(std::memory_order_acquire) != 0; }
    // The loader's thread, for the effect's own thread checks (kDrivenByCaller: the thread
    // inside drain(), else 0).
    std::uint64_t threadId() const override { return threadId_.load(std::memory_order_acquire); }
    // Jobs dropped because the queue was full, and wake-ups of the thread (or drains) so far.
    long long dropped() const { return dropped_.load(std::memory_order_relaxed); }
    long long wakeUps() const override { return wakeUps_.load(std::memory_order_relaxed); }

private:
    // One request as it travels from request() to the loader's thread.
    struct Letter {
        char path[kPathSize] = {}; // zero-terminated path
        std::uint32_t ticket = 0;  // the effect's ticket for this load
    };
    // The newest request of one cab, handed over as a triple buffer: a writer claims the
    // back letter, fills it and swaps it into the middle; the reader swaps the middle out
    // when fresh. The claim keeps two writers apart without waiting: the second one finds
    // the back letter taken and drops its request, counting as overtaken at once.
    struct Mailbox {
        Letter letters[3];             // writer's, shared and reader's letters
        std::atomic<int> middle{1};    // index of the shared letter, with kFresh when unread
        std::atomic<int> back{2};      // writer's letter, kClaimed while a writer fills it
        int front = 0;                 // reader's letter (the loader's thread only)
    };
    // A slot of the bounded queue (Vyukov's sequence-numbered ring).
    struct Cell {
        std::atomic<std::uint32_t> sequence{0}; // position it may next be written or read at
        Job job;                                // the job while queued
    };
    static constexpr int kIndexMask = 3;
    static constexpr int kFresh = 4;
    static constexpr int kClaimed = -1;

    void run();
    void runPending();
    void drainMailboxes();
    bool takeJob(Job& job);

    LoadFunction load_;                    // the effect's load, run on our thread
    JobFunction work_;                     // the effect's jobs, run on our thread
    Mailbox mailboxes_[kCabs];             // one per cab
    Cell cells_[kQueueSize];               // the job ring
    std::atomic<std::uint32_t> enqueue_{0}; // next position to write (any thread)
    std::uint32_t dequeue_ = 0;            // next position to read (our thread)
    std::atomic<int> outstanding_{0};      // requests and jobs not carried out yet
    std::atomic<long long> dropped_{0};    // jobs refused by a full queue
    std::atomic<long long> wakeUps_{0};    // times the thread woke
    std::atomic<std::uint64_t> threadId_{0}; // the thread's id, once it runs
    platform::Semaphore* wake_ = nullptr;  // posted for each hand-over and for stopping
    std::atomic<bool> stop_{false};        // the destructor asks the thread to end
    Mode mode_;                            // who carries the work out
    std::thread thread_;                   // the loader's thread (kOwnThread); started last
};

} // namespace orvex
