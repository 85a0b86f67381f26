// The effect's loader under an LV2 host that offers a worker: the effect's hand-over
// (IrLoader, without a thread of its own) drained inside the host's work() calls. The host's
// worker thread is the loader's thread while it is inside work(); the wrapper says when.
//
// Threads: request, post and busy from any thread (the audio thread's run() above all);
// enter, leave and drain on the host's worker thread, one work() call at a time.
#pragma once

#include "effect/IrLoader.h"
#include "platform/Platform.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace lv2wrap {

class WorkerLoader : public orvex::Loader {
public:
    WorkerLoader(LoadFunction load, JobFunction work)
        : queue_(std::move(load), std::move(work), orvex::IrLoader::kDrivenByCaller)
    {
    }

    bool request(int cab, const char* path, std::atomic<std::uint32_t>& tickets) override
    {
        return queue_.request(cab, path, tickets);
    }
    bool post(const Job& job) override { return queue_.post(job); }
    void stop() override { queue_.stop(); }
    bool busy() const override { return queue_.busy(); }
    std::uint64_t threadId() const override { return worker_.load(std::memory_order_acquire); }
    long long wakeUps() const override { return queue_.wakeUps(); }

    // The calling thread is the loader's from enter() to leave().
    void enter() { worker_.store(platform::currentThreadId(), std::memory_order_release); }
    void leave() { worker_.store(0, std::memory_order_release); }
    void drain() { queue_.drain(); }

private:
    orvex::IrLoader queue_;               // the hand-over, drained by drain()
    std::atomic<std::uint64_t> worker_{0}; // the thread inside work(), else 0
};

} // namespace lv2wrap
