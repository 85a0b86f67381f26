// Whoever carries out the effect's disk work for the threads that may not touch the disk.
//
// The effect hands two kinds of work over (see IrLoader.h for their rules): the newest IR
// load of a cab, and jobs of its own, carried out in order. Where that work runs depends on
// what embeds the effect: the VST2 plug-in gives it a thread of its own (IrLoader), an LV2
// host gives it its worker thread (src/lv2). The effect only asks this interface, so the
// thread rule of Orvex.h holds for both: "the loader's thread" is whichever thread is
// carrying the work out at that moment.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace orvex {

class Loader {
public:
    // A job of the effect's: what and for which index, with the value that came with it.
    struct Job {
        int kind = 0;       // the effect's own job kinds
        int index = 0;      // a cab, a parameter index or a program
        float value = 0.0f; // the value written, when the job came from a parameter write
    };

    // Run on the loader's thread: a load of cab 0..5 with the ticket that came with the
    // request (the effect uses it to drop stale loads), and a posted job.
    using LoadFunction = std::function<void(int cab, const char* path, std::uint32_t ticket)>;
    using JobFunction = std::function<void(const Job& job)>;

    virtual ~Loader() = default;

    // Any thread; never waits, allocates or takes a lock. request: false for a bad cab or a
    // request given up; post: false when the job was dropped.
    virtual bool request(int cab, const char* path, std::atomic<std::uint32_t>& tickets) = 0;
    virtual bool post(const Job& job) = 0;
    // Ends the work after the job running now; the effect's owner, before what the jobs use
    // goes away.
    virtual void stop() = 0;
    // Whether anything handed over has not been carried out yet (any thread).
    virtual bool busy() const = 0;
    // The thread carrying the work out now (0 when none is known): the effect's thread checks.
    virtual std::uint64_t threadId() const = 0;
    // Times the loader woke for work so far.
    virtual long long wakeUps() const = 0;
};

// Makes the loader of an effect, given what it must run. Throws what the loader's
// construction throws.
using LoaderFactory =
    std::function<std::unique_ptr<Loader>(Loader::LoadFunction load, Loader::JobFunction work)>;

} // namespace orvex
