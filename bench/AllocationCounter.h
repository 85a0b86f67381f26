// Bytes held on the heap by the benchmark program, counted by its own operator new and
// delete (AllocationCounter.cpp replaces them for the whole program). The difference
// before and after constructing an object is what that object allocated and still holds;
// memory the system gives a thread (its stack) is not counted.
#pragma once

#include <cstdint>

namespace benchalloc {

// Bytes allocated with operator new and not yet deleted, over all threads.
std::int64_t liveBytes();

} // namespace benchalloc
