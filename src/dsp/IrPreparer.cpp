#include "dsp/IrPreparer.h"

#include "dsp/Resampler.h"
#include "files/WavReader.h"

#include <algorithm>
#include <cmath>

namespace dsp {

IrPreparer::IrPreparer()
    : fft_(kFftSize),
      irBuffer_(kFftSize, 0.0),
      irSpectrum_(kFftSize, 0.0),
      magnitude_(kFftSize, 0.0),
      ratio_(kFftSize, 0.0)
{
}

bool IrPreparer::prepare(const char* path, float hostRate, int fftSize, double* spectrumOut)
{
    if (fftSize != kFftSize || spectrumOut == nullptr)
        return false;
    files::WavReader reader;
    int loadOk = 1;
    reader.load(path, loadOk);
    return prepareRead(reader, loadOk == 1, hostRate, spectrumOut);
}

bool IrPreparer::prepareFromMemory(const unsigned char* bytes, std::size_t size, float hostRate, int fftSize,
                                   double* spectrumOut)
{
    if (fftSize != kFftSize || spectrumOut == nullptr)
        return false;
    files::WavReader reader;
    int loadOk = 1;
    reader.loadFromMemory(bytes, size, loadOk);
    return prepareRead(reader, loadOk == 1, hostRate, spectrumOut);
}

bool IrPreparer::prepareRead(files::WavReader& reader, bool accepted, float hostRate, double* spectrumOut)
{
    const int n = kFftSize;
    const int maxLength = n / 2; // an IR of H samples plus a hop of at most H fits in N
    double* ir = irBuffer_.data();
    std::fill(ir, ir + n, 0.0);
    irLength_ = 0;
    silence_ = accepted ? nullptr : (reader.refusal != nullptr ? reader.refusal : "the WAV reader refuses it");

    if (accepted) {
        // The first channel of every frame. Files of more than two channels are read the
        // same way, rather than mixing channels of neighbouring frames.
        const int frames = reader.sampleCount / reader.channels;
        int c = 0;
        for (int f = 0; f < frames && c < maxLength; ++f) {
            const double v = reader.readNext();
            for (int skip = 1; skip < reader.channels; ++skip)
                reader.readNext();
            if (std::fabs(v) > kSilence || c > 0)
                ir[c++] = v;
        }

        if (static_cast<float>(reader.sampleRate) / hostRate != 1.0f) {
            // Fewer than two samples, or a pair of rates that yields fewer than two (or an
            // absurd number of) samples, cannot be interpolated: the slot falls silent.
            const int m = resampledLength(c, hostRate, reader.sampleRate);
            std::vector<double> resampled;
            if (m > 0)
                resampled = resampleIr(c, ir, hostRate, reader.sampleRate);
            std::fill(ir, ir + n, 0.0);
            if (c > 0 && resampled.empty())
                silence_ = "it is too short, or its rate too far from the host's, to be resampled";
            c = std::min(static_cast<int>(resampled.size()), maxLength);
            std::copy(resampled.begin(), resampled.begin() + c, ir);
        }
        if (c == 0 && silence_ == nullptr)
            silence_ = "its first channel, the one a cab plays, holds only silence";
        irLength_ = c;
    }

    if (irLength_ == 0) {
        // Nothing to play: the transform and the normalisation of silence are silence, so
        // a missing or refused file (a restore names several) costs no transform.
        peak_ = 0.0;
        std::fill(spectrumOut, spectrumOut + n, 0.0);
        return accepted;
    }

    fft_.forward(ir, irSpectrum_.data());
    peak_ = normaliseSpectrum(irSpectrum_.data(), spectrumOut, n, magnitude_.data(), ratio_.data());
    return accepted;
}

double IrPreparer::normaliseSpectrum(const double* input, double* output, int fftSize, double* magnitude,
                                     double* ratio)
{
    const int h = fftSize / 2;
    const double* x = input;
    double* y = output;
    std::fill(magnitude, magnitude + fftSize, 0.0);
    std::fill(ratio, ratio + fftSize, 0.0);
    std::fill(y, y + fftSize, 0.0);

    magnitude[0] = std::sqrt(x[0] * x[0]);
    ratio[0] = 0.0;
    double peak = magnitude[0];
    magnitude[h] = std::sqrt(x[h] * x[h]);
    ratio[h] = 0.0;
    peak = std::max(peak, magnitude[h]);
    for (int i = 1; i < h; ++i) {
        magnitude[i] = std::sqrt(x[i] * x[i] + x[h + i] * x[h + i]);
        ratio[i] = x[h + i] / (x[i] + kEpsilon);
        peak = std::max(peak, magnitude[i]);
    }

    // Each bin is rebuilt from its scaled magnitude and its imaginary/real ratio, which
    // gives input / peak.
    const double scale = peak + kEpsilon;
    for (int i = 0; i <= h; ++i) {
        const bool paired = i > 0 && i < h;
        if (paired && x[i] < 0.0 && x[i] + kEpsilon >= 0.0) {
            // A real part in [-eps, 0) makes the ratio's denominator positive (or zero)
            // while the sign below is taken from the real part: the imaginary part would
            // come out negated, or NaN. Such a bin is scaled directly.
            magnitude[i] = magnitude[i] / scale;
            y[i] = x[i] / scale;
            y[h + i] = x[h + i] / scale;
            continue;
        }
        magnitude[i] = magnitude[i] / scale;
        const double g = std::sqrt(magnitude[i] * magnitude[i] / (ratio[i] * ratio[i] + 1.0 + kEpsilon));
        y[i] = x[i] < 0.0 ? -g : g;
        if (paired)
            y[h + i] = ratio[i] * y[i];
    }
    return peak;
}

} // namespace dsp
