// Replaces the global operator new and delete of the benchmark program: each block carries
// its size in a header in front of it, so that a delete knows what it gives back. Only the
// benchmark links this; the plug-in and the tests use the library's allocator.
#include "AllocationCounter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::int64_t> live{0}; // bytes handed out and not yet returned

// Keeps the block behind the header aligned as malloc aligns it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* take(std::size_t size) noexcept
{
    void* base = std::malloc(size + kHeader);
    if (base == nullptr)
        return nullptr;
    *static_cast<std::size_t*>(base) = size;
    live.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed);
    return static_cast<char*>(base) + kHeader;
}

void give(void* p) noexcept
{
    if (p == nullptr)
        return;
    char* base = static_cast<char*>(p) - kHeader;
    live.fetch_sub(static_cast<std::int64_t>(*reinterpret_cast<std::size_t*>(base)), std::memory_order_relaxed);
    std::free(base);
}

} // namespace

namespace benchalloc {

std::int64_t liveBytes()
{
    return live.load(std::memory_order_relaxed);
}

} // namespace benchalloc

void* operator new(std::size_t size)
{
    if (void* p = take(size))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    if (void* p = take(size))
        return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return take(size); }
void operator delete(void* p) noexcept { give(p); }
void operator delete[](void* p) noexcept { give(p); }
void operator delete(void* p, std::size_t) noexcept { give(p); }
void operator delete[](void* p, std::size_t) noexcept { give(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give(p); }
