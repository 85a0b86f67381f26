// Prepared IRs of recently loaded files, so that loading the same file again (a program
// change, a "Latency" change, stepping back and forth through a folder, a linked partner)
// prepares nothing. An entry is keyed by what the file holds (a hash of its bytes and
// their number) and the host rate the IR was resampled for, never by its name or times: a
// file replaced by another of the same size and write time (a copy on Windows keeps the
// source's time, FAT keeps it to 2 s) is another IR, and the same bytes under another name
// are the same IR.
//
// Every load reads the file once, whole, into memory (reading is cheap next to
// preparing); on a miss the IR is prepared from those same bytes, so what is hashed is what
// is played even if the file changes meanwhile. Only regular files are read; a file larger
// than kMaxFileBytes is prepared from its path and not remembered.
//
// Bounded: at most `capacity` entries (each one spectrum of N doubles), the least recently
// used one making room. Thread-safe for the threads that load IRs: a mutex guards the
// entries and the preparer (which must not run twice at once). The audio thread never
// touches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <vector>

namespace dsp {

class IrPreparer;

class IrCache {
public:
    static constexpr int kDefaultCapacity = 48; // about 0.8 MB of spectra
    // Room for the most sample data a WAV file may hold and a megabyte of other chunks.
    static constexpr std::size_t kMaxFileBytes = 65 * 1024 * 1024;

    // preparer must outlive the cache; the cache serialises its use.
    explicit IrCache(IrPreparer& preparer, int capacity = kDefaultCapacity);
    IrCache(const IrCache&) = delete;
    IrCache& operator=(const IrCache&) = delete;

    // What IrPreparer::prepare gives for (path, hostRate, N): the normalised spectrum (N
    // doubles) into spectrumOut, the IR's length into irLength, and whether the file was
    // accepted; from memory when a file with the same bytes was prepared for the same rate
    // before.
    bool prepare(const char* path, float hostRate, double* spectrumOut, int& irLength);
    // The same, and why the IR plays silence (IrPreparer::silence), or null when it plays.
    bool prepare(const char* path, float hostRate, double* spectrumOut, int& irLength, const char*& silence);

    // Files prepared so far (misses), and loads answered from memory (hits).
    int reads() const;
    int hits() const;
    void clear();

private:
    struct Entry {
        std::uint64_t hash = 0;       // contentHash of the file's bytes
        std::size_t size = 0;         // how many bytes the file held
        float rate = 0.0f;            // host rate it was resampled for
        bool accepted = false;        // what the preparer answered
        int length = 0;               // IR length the preparer reported
        const char* silence = nullptr; // why it plays silence, as the preparer said
        std::vector<double> spectrum; // N doubles
    };

    IrPreparer& preparer_;     // prepares on a miss
    int capacity_;             // most entries kept
    mutable std::mutex mutex_; // guards everything below and the preparer
    std::list<Entry> entries_; // most recently used first
    int reads_ = 0;            // misses
    int hits_ = 0;             // hits
};

} // namespace dsp
