// Heap bytes that one instance of each audio-side class allocates and keeps, counted by the
// benchmark's own operator new (AllocationCounter.h), and of a whole effect without editor.
#pragma once

#include <filesystem>

namespace bench {

struct InstanceBytes {
    long long handover = 0;    // one slot's IR hand-over (three prepared IRs); the engine has six
    long long partitioner = 0; // an IrPartitioner; the engine has two
    long long engine = 0;      // a ConvolutionEngine, everything in it included
    long long preparer = 0;    // an IrPreparer
    long long cache = 0;       // an empty IrCache
    long long cacheEntry = 0;  // each IR the cache then keeps (the mean of six)
    long long effect = 0;      // an Orvex effect, no IR loaded, no editor
    long long effectLoaded = 0; // the same with an IR in each of its six cabs
};

// Writes six small IR files into `dir`, for the cache's entries and the effect's cabs.
InstanceBytes measureInstanceBytes(const std::filesystem::path& dir);

void printInstanceBytes(const InstanceBytes& bytes);

} // namespace bench
