#include "effect/IrLoader.h"

#include "platform/Platform.h"

#include <cstring>
#include <new>
#include <utility>

namespace orvex {

IrLoader::IrLoader(LoadFunction load, JobFunction work, Mode mode)
    : load_(std::move(load)), work_(std::move(work)), wake_(platform::createSemaphore()), mode_(mode)
{
    if (wake_ == nullptr)
        throw std::bad_alloc();
    for (int i = 0; i < kQueueSize; ++i)
        cells_[i].sequence.store(static_cast<std::uint32_t>(i), std::memory_order_relaxed);
    if (mode_ == kDrivenByCaller)
        return;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        platform::destroySemaphore(wake_);
        throw;
    }
}

IrLoader::~IrLoader()
{
    stop();
    platform::destroySemaphore(wake_);
}

void IrLoader::stop()
{
    if (!thread_.joinable()) {
        stop_.store(true, std::memory_order_release);
        return;
    }
    stop_.store(true, std::memory_order_release);
    platform::postSemaphore(wake_);
    thread_.join();
}

bool IrLoader::request(int cab, const char* path, std::atomic<std::uint32_t>& tickets)
{
    if (cab < 0 || cab >= kCabs || path == nullptr)
        return false;
    Mailbox& box = mailboxes_[cab];
    const int mine = box.back.exchange(kClaimed, std::memory_order_acquire);
    if (mine == kClaimed)
        return false;
    Letter& letter = box.letters[mine];
    std::size_t length = 0;
    while (length < kPathSize - 1 && path[length] != '\0')
        ++length;
    std::memcpy(letter.path, path, length);
    letter.path[length] = '\0';
    letter.ticket = tickets.fetch_add(1) + 1;
    outstanding_.fetch_add(1, std::memory_order_acq_rel);
    // Release publishes the letter to whoever takes this index; acquire makes the reader's
    // last use of the letter we get back happen before we write into it.
    const int previous = box.middle.exchange(mine | kFresh, std::memory_order_acq_rel);
    if ((previous & kFresh) != 0)
        outstanding_.fetch_sub(1, std::memory_order_acq_rel); // overtaken before it was read
    box.back.store(previous & kIndexMask, std::memory_order_release);
    if (mode_ == kOwnThread)
        platform::postSemaphore(wake_);
    return true;
}

bool IrLoader::post(const Job& job)
{
    std::uint32_t position = enqueue_.load(std::memory_order_relaxed);
    Cell* cell = nullptr;
    for (;;) {
        cell = &cells_[position & (kQueueSize - 1)];
        const std::uint32_t sequence = cell->sequence.load(std::memory_order_acquire);
        const auto difference = static_cast<std::int32_t>(sequence - position);
        if (difference == 0) {
            if (enqueue_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed))
                break;
        } else if (difference < 0) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false; // full
        } else {
            position = enqueue_.load(std::memory_order_relaxed);
        }
    }
    cell->job = job;
    outstanding_.fetch_add(1, std::memory_order_acq_rel);
    cell->sequence.store(position + 1, std::memory_order_release);
    if (mode_ == kOwnThread)
        platform::postSemaphore(wake_);
    return true;
}

bool IrLoader::takeJob(Job& job)
{
    Cell& cell = cells_[dequeue_ & (kQueueSize - 1)];
    if (cell.sequence.load(std::memory_order_acquire) != dequeue_ + 1)
        return false; // empty, or the next job is still being written (its post wakes us)
    job = cell.job;
    cell.sequence.store(dequeue_ + kQueueSize, std::memory_order_release);
    ++dequeue_;
    return true;
}

void IrLoader::drainMailboxes()
{
    for (int cab = 0; cab < kCabs && !stop_.load(std::memory_order_acquire); ++cab) {
        Mailbox& box = mailboxes_[cab];
        if ((box.middle.load(std::memory_order_acquire) & kFresh) == 0)
            continue;
        box.front = box.middle.exchange(box.front, std::memory_order_acq_rel) & kIndexMask;
        const Letter& letter = box.letters[box.front];
        load_(cab, letter.path, letter.ticket);
        outstanding_.fetch_sub(1, std::memory_order_acq_rel);
    }
}

void IrLoader::run()
{
    threadId_.store(platform::currentThreadId(), std::memory_order_release);
    // Woken by audio threads: it must not take the processor from them.
    platform::lowerCurrentThreadPriority();
    for (;;) {
        // Every hand-over posts once; between them the thread sleeps without a timeout.
        platform::waitSemaphore(wake_, platform::kWaitForever);
        if (stop_.load(std::memory_order_acquire))
            return;
        wakeUps_.fetch_add(1, std::memory_order_relaxed);
        runPending();
    }
}

void IrLoader::runPending()
{
    drainMailboxes();
    Job job;
    while (!stop_.load(std::memory_order_acquire) && takeJob(job)) {
        work_(job);
        outstanding_.fetch_sub(1, std::memory_order_acq_rel);
        // A load asked for while a long job ran is not kept waiting behind the others.
        drainMailboxes();
    }
}

void IrLoader::drain()
{
    if (mode_ != kDrivenByCaller || stop_.load(std::memory_order_acquire))
        return;
    // The caller is the loader's thread for as long as it carries the work out: the
    // effect's thread checks then let the jobs touch the disk in line.
    threadId_.store(platform::currentThreadId(), std::memory_order_release);
    wakeUps_.fetch_add(1, std::memory_order_relaxed);
    runPending();
    threadId_.store(0, std::memory_order_release);
}

} // namespace orvex
