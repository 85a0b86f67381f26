// Prepared IRs of recently loaded files, so that loading the same file again (a program
// change, a "Latency" change, stepping back and forth through a folder, a linked partner)
// reads no file. An entry is keyed by the path, the file's size and last-write time (and,
// where the system has it, its status-change time; see platform::FileStamp) and the host
// rate the IR was resampled for: a file changed on disk no longer matches and is read
// again. Only regular files are ever cached; anything else goes to the preparer, which
// decides what to do.
//
// Bounded: at most `capacity` entries (each one spectrum of N doubles and its path), the
// least recently used one making room. Thread-safe for the threads that load IRs: a mutex
// guards the entries and the preparer (which must not run twice at once). The audio thread
// never touches it.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

namespace dsp {

class IrPreparer;

class IrCache {
public:
    static constexpr int kDefaultCapacity = 48; // about 0.8 MB of spectra

    // preparer must outlive the cache; the cache serialises its use.
    explicit IrCache(IrPreparer& preparer, int capacity = kDefaultCapacity);
    IrCache(const IrCache&) = delete;
    IrCache& operator=(const IrCache&) = delete;

    // What IrPreparer::prepare gives for (path, hostRate, N): the normalised spectrum (N
    // doubles) into spectrumOut, the IR's length into irLength, and whether the file was
    // accepted; from memory when the same file (same size and times) was prepared for
    // the same rate before.
    bool prepare(const char* path, float hostRate, double* spectrumOut, int& irLength);

    // Files read so far (misses), and loads answered from memory (hits).
    int reads() const;
    int hits() const;
    void clear();

private:
    struct Entry {
        std::string path;             // as given
        platform::FileStamp stamp;    // the file when it was read
        float rate = 0.0f;            // host rate it was resampled for
        bool accepted = false;        // what the preparer answered
        int length = 0;               // IR length the preparer reported
        std::vector<double> spectrum; // N doubles
    };

    IrPreparer& preparer_;     // reads and prepares on a miss
    int capacity_;             // most entries kept
    mutable std::mutex mutex_; // guards everything below and the preparer
    std::list<Entry> entries_; // most recently used first
    int reads_ = 0;            // misses
    int hits_ = 0;             // hits
};

} // namespace dsp
