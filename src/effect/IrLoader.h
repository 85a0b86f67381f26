// Loads IRs away from the host's audio thread.
//
// Some hosts deliver automation by calling setParameter on their audio thread just before
// processReplacing. A write there that loads IRs (stepping a cab, a file-menu choice,
// "Latency", a link, a program change) must not read and prepare WAV files inside the
// host's audio callback. The effect hands such loads to this loader: request() copies the
// path into the cab's mailbox and wakes the loader's thread, never waiting and never
// allocating; the thread carries the load out with the effect's load function, which
// publishes the new spectrum through the engine's hand-over. Only the newest request of a
// cab counts: one overtaken by a newer request before the thread took it is never loaded.
//
// Threads: request() from one thread at a time (the host's audio callbacks never overlap);
// the load function runs on the loader's own thread, which the constructor starts and the
// destructor stops. Everything is allocated by the constructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace platform {
struct Semaphore;
}

namespace orvex {

class IrLoader {
public:
    static constexpr int kCabs = 6;
    static constexpr int kPathSize = 1024; // a path and its terminator, as the record holds it

    // Called on the loader's thread for each request taken: cab 0..5, the path, and the
    // ticket that came with the request (the effect uses it to drop stale loads).
    using LoadFunction = std::function<void(int cab, const char* path, std::uint32_t ticket)>;

    // Throws std::bad_alloc when the wake-up semaphore cannot be made, and what std::thread
    // throws when the thread cannot be started.
    explicit IrLoader(LoadFunction load);
    ~IrLoader();
    IrLoader(const IrLoader&) = delete;
    IrLoader& operator=(const IrLoader&) = delete;

    // Any one thread at a time; never waits, never allocates. A path longer than
    // kPathSize - 1 characters is cut (the effect's paths always fit). Bad cabs are ignored.
    void request(int cab, const char* path, std::uint32_t ticket);

private:
    // One request as it travels from request() to the loader's thread.
    struct Letter {
        char path[kPathSize] = {}; // zero-terminated path
        std::uint32_t ticket = 0;  // the effect's ticket for this load
    };
    // The newest request of one cab, handed over as a triple buffer: the writer fills its
    // own letter and swaps it into the middle; the reader swaps the middle out when fresh.
    struct Mailbox {
        Letter letters[3];           // writer's, shared and reader's letters
        std::atomic<int> middle{1};  // index of the shared letter, with kFresh when unread
        int back = 2;                // writer's letter (request() only)
        int front = 0;               // reader's letter (the loader's thread only)
    };
    static constexpr int kIndexMask = 3;
    static constexpr int kFresh = 4;

    void run();

    LoadFunction load_;                  // the effect's load, run on our thread
    Mailbox mailboxes_[kCabs];           // one per cab
    platform::Semaphore* wake_ = nullptr; // posted for each request and for stopping
    std::atomic<bool> stop_{false};      // the destructor asks the thread to end
    std::thread thread_;                 // the loader's thread; started last
};

} // namespace orvex
