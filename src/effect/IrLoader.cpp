#include "effect/IrLoader.h"

#include "platform/Platform.h"

#include <cstring>
#include <new>
#include <utility>

namespace orvex {

IrLoader::IrLoader(LoadFunction load) : load_(std::move(load)), wake_(platform::createSemaphore())
{
    if (wake_ == nullptr)
        throw std::bad_alloc();
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        platform::destroySemaphore(wake_);
        throw;
    }
}

IrLoader::~IrLoader()
{
    stop_.store(true, std::memory_order_release);
    platform::postSemaphore(wake_);
    thread_.join();
    platform::destroySemaphore(wake_);
}

void IrLoader::request(int cab, const char* path, std::uint32_t ticket)
{
    if (cab < 0 || cab >= kCabs || path == nullptr)
        return;
    Mailbox& box = mailboxes_[cab];
    Letter& letter = box.letters[box.back];
    std::size_t length = 0;
    while (length < kPathSize - 1 && path[length] != '\0')
        ++length;
    std::memcpy(letter.path, path, length);
    letter.path[length] = '\0';
    letter.ticket = ticket;
    // Release publishes the letter to whoever takes this index; acquire makes the reader's
    // last use of the letter we get back happen before we write into it.
    box.back = box.middle.exchange(box.back | kFresh, std::memory_order_acq_rel) & kIndexMask;
    platform::postSemaphore(wake_);
}

void IrLoader::run()
{
    // Woken by the audio thread: it must not take the processor from it.
    platform::lowerCurrentThreadPriority();
    while (!stop_.load(std::memory_order_acquire)) {
        // Every request posts once; the timeout only lets a lost post do no lasting harm.
        platform::waitSemaphore(wake_, 1000);
        for (int cab = 0; cab < kCabs && !stop_.load(std::memory_order_acquire); ++cab) {
            Mailbox& box = mailboxes_[cab];
            if ((box.middle.load(std::memory_order_acquire) & kFresh) == 0)
                continue;
            box.front = box.middle.exchange(box.front, std::memory_order_acq_rel) & kIndexMask;
            const Letter& letter = box.letters[box.front];
            load_(cab, letter.path, letter.ticket);
        }
    }
}

} // namespace orvex
