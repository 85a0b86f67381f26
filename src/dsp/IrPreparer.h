// Turns an IR file into the normalised packed spectrum that a cabinet slot convolves with.
//
// Owns the preparation transform and the IR work area, all allocated in the constructor,
// so they are never shared with the audio path's engines. The prepare calls allocate (and
// prepare() reads a file): they are not real-time, and one IrPreparer must not run two of
// them at once (the effect serialises loads).
#pragma once

#include "dsp/RealFft.h"

#include <cstddef>
#include <vector>

namespace files {
class WavReader;
}

namespace dsp {

class IrPreparer {
public:
    static constexpr int kFftSize = 2048; // N; an IR keeps at most N/2 samples
    // Leading samples of this magnitude or less are dropped: they only delay the IR.
    static constexpr double kSilence = 1e-10;
    // Keeps the normalisation's divisions finite for silent bins and silent IRs.
    static constexpr double kEpsilon = 1e-40;

    IrPreparer();
    IrPreparer(const IrPreparer&) = delete;
    IrPreparer& operator=(const IrPreparer&) = delete;

    // Reads the WAV file at `path`, keeps its first channel from the first sample above
    // kSilence on, at most fftSize/2 samples, resamples it from the file's rate to
    // hostRate when they differ, transforms it with length fftSize and writes the
    // normalised spectrum (fftSize doubles, packed layout) to spectrumOut. Returns whether
    // the file was accepted: a file that is not gives an all-zero spectrum and false. An
    // accepted file that leaves nothing to play (near-silence only; fewer than two samples,
    // or a rate pair giving fewer than two or more than kMaxResampledLength, when it needs
    // resampling) also gives an all-zero spectrum, with true. An fftSize other than
    // kFftSize answers false and writes nothing, since the size of spectrumOut is unknown.
    bool prepare(const char* path, float hostRate, int fftSize, double* spectrumOut);
    // The same for a file's bytes already in memory (see WavReader::loadFromMemory): what
    // prepare() gives for a file holding exactly these `size` bytes.
    bool prepareFromMemory(const unsigned char* bytes, std::size_t size, float hostRate, int fftSize,
                           double* spectrumOut);

    // Number of IR samples the last prepare() transformed (0 when it left silence).
    int irLength() const { return irLength_; }
    // Why the last prepare() left silence (a fixed text for a user: the file is refused, or
    // holds nothing to play), or null when it gave an IR to play.
    const char* silence() const { return silence_; }
    // Largest bin magnitude of the last prepared IR before normalisation.
    double peak() const { return peak_; }

    // Divides the packed spectrum `input` (fftSize = 2H values) by its largest bin
    // magnitude into `output`, so that the loudest frequency gets gain 1; an all-zero
    // spectrum stays zero. `magnitude` and `ratio` are work arrays of fftSize doubles.
    // Returns the largest magnitude found.
    static double normaliseSpectrum(const double* input, double* output, int fftSize, double* magnitude,
                                    double* ratio);

private:
    // The part after reading: `reader` holds the file when `accepted`.
    bool prepareRead(files::WavReader& reader, bool accepted, float hostRate, double* spectrumOut);

    RealFft fft_;                      // preparation transform of length kFftSize
    std::vector<double> irBuffer_;     // time samples of the IR being prepared, zero padded
    std::vector<double> irSpectrum_;   // forward transform of irBuffer_
    std::vector<double> magnitude_;    // per-bin magnitudes (work area of normaliseSpectrum)
    std::vector<double> ratio_;        // per-bin imaginary/real ratios (same)
    double peak_ = 0.0;                // largest bin magnitude of the last IR
    int irLength_ = 0;                 // samples kept by the last prepare()
    const char* silence_ = nullptr;    // why the last prepare() left silence, or null
};

} // namespace dsp
