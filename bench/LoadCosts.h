// The costs the user meets outside the audio thread: loading one IR (read, resample,
// prepare, partition; and again from the IR cache), stepping to the next cab, a program
// change with six cabs. Also the helpers the other measurements of bench_engine share.
#pragma once

#include "vst/AudioEffectX.h"

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// CPU time of the calling thread, so that what the machine gives other programs meanwhile
// does not count (the benchmark is a native Linux program).
struct ThreadClock {
    static double now(); // ms
};

double msSince(double start);
double median(std::vector<double> v);

// Mono 24-bit PCM, a decaying noise burst of `seconds`.
void writeWav24(const std::string& path, int rate, double seconds, unsigned seed);

// A host callback that answers only the version.
vst::IntPtr VSTCALLBACK benchHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float);

struct OffThread {
    double load1s = 0, load6s = 0;                 // ms, read and prepared
    double loadCached1s = 0, loadCached = 0;       // ms, the same files again from the IR cache
    double nextCold = 0, nextCached = 0;           // ms per "Next cab" step
    double programCold = 0, programCached = 0, programWorst = 0; // ms per program change
    int stepsLoaded = 0;                           // loads the steps ran (0: stepping did nothing)
};

// Writes its IR files into `dir` and measures.
OffThread measureOffThread(const std::filesystem::path& dir);

} // namespace bench
