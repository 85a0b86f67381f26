// Helpers for the engine tests: IRs with their exact spectra (a direct DFT in long double,
// normalised by the loudest bin as prepared IRs are), a direct time-domain convolution as
// the reference, and a driver that feeds an engine in host blocks of given sizes.
#pragma once

#include "dsp/ConvolutionEngine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace enginetest {

using Samples = std::vector<float>;

struct Stereo {
    Samples left;  // output 0
    Samples right; // output 1
};

// A normalised IR: its packed spectrum (what a load publishes) and the time-domain taps
// that spectrum stands for.
struct PreparedIr {
    std::vector<double> spectrum; // packed, N doubles, loudest bin magnitude 1
    std::vector<long double> taps; // the IR divided by the same peak
};

inline PreparedIr prepareIr(const std::vector<double>& ir, int n)
{
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<long double> c(static_cast<std::size_t>(n));
    std::vector<long double> s(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        c[static_cast<std::size_t>(i)] = std::cos(2.0L * pi * i / n);
        s[static_cast<std::size_t>(i)] = std::sin(2.0L * pi * i / n);
    }
    const int h = n / 2;
    std::vector<long double> re(static_cast<std::size_t>(h + 1), 0.0L);
    std::vector<long double> im(static_cast<std::size_t>(h + 1), 0.0L);
    long double peak = 0.0L;
    for (int k = 0; k <= h; ++k) {
        for (std::size_t t = 0; t < ir.size(); ++t) {
            const std::size_t idx = static_cast<std::size_t>((static_cast<long long>(k) * static_cast<long long>(t)) % n);
            re[static_cast<std::size_t>(k)] += ir[t] * c[idx];
            im[static_cast<std::size_t>(k)] += ir[t] * s[idx];
        }
        peak = std::max(peak, std::sqrt(re[static_cast<std::size_t>(k)] * re[static_cast<std::size_t>(k)]
                                        + im[static_cast<std::size_t>(k)] * im[static_cast<std::size_t>(k)]));
    }
    PreparedIr out;
    out.spectrum.assign(static_cast<std::size_t>(n), 0.0);
    for (int k = 0; k <= h; ++k) {
        out.spectrum[static_cast<std::size_t>(k)] = static_cast<double>(re[static_cast<std::size_t>(k)] / peak);
        if (k > 0 && k < h) {
            out.spectrum[static_cast<std::size_t>(h + k)] = static_cast<double>(im[static_cast<std::size_t>(k)] / peak);
        }
    }
    for (double v : ir) {
        out.taps.push_back(v / peak);
    }
    return out;
}

// The spectrum of a unit impulse at 0: all real parts are 1, all imaginary parts 0.
inline std::vector<double> unitSpectrum(int n)
{
    std::vector<double> s(static_cast<std::size_t>(n), 0.0);
    std::fill(s.begin(), s.begin() + n / 2 + 1, 1.0);
    return s;
}

inline Samples noise(std::size_t length, unsigned seed, float amplitude = 0.5f)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-amplitude, amplitude);
    Samples x(length);
    for (float& v : x) {
        v = u(rng);
    }
    return x;
}

// Decaying noise, like a cabinet's IR.
inline std::vector<double> decayingIr(int length, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> ir(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        ir[static_cast<std::size_t>(i)] = g(rng) * std::exp(-5.0 * i / length);
    }
    return ir;
}

// y[t] = sum over j of h[j] * x[t - j], for t in [0, x.size()).
inline std::vector<long double> convolve(const Samples& x, const std::vector<long double>& h)
{
    std::vector<long double> y(x.size(), 0.0L);
    for (std::size_t t = 0; t < x.size(); ++t) {
        long double acc = 0.0L;
        const std::size_t taps = std::min(h.size(), t + 1);
        for (std::size_t j = 0; j < taps; ++j) {
            acc += h[j] * x[t - j];
        }
        y[t] = acc;
    }
    return y;
}

// Feeds the input in host blocks whose sizes cycle through `blocks`.
inline Stereo run(dsp::ConvolutionEngine& engine, const Samples& left, const Samples& right,
                  const std::vector<int>& blocks)
{
    Stereo out{Samples(left.size()), Samples(left.size())};
    std::size_t i = 0;
    std::size_t b = 0;
    while (i < left.size()) {
        const std::size_t n = std::min(static_cast<std::size_t>(blocks[b % blocks.size()]), left.size() - i);
        engine.process(left.data() + i, right.data() + i, out.left.data() + i, out.right.data() + i,
                       static_cast<int>(n));
        i += n;
        ++b;
    }
    return out;
}

inline Stereo run(dsp::ConvolutionEngine& engine, const Samples& left, const Samples& right, int block = 256)
{
    return run(engine, left, right, std::vector<int>{block});
}

// A plain strip: on, given input (0 left, 1 right), volume 1, centre pan, no filters,
// no extra delay, normal phase, audible.
inline void plainSlot(dsp::ConvolutionEngine& engine, int k, int channel)
{
    dsp::CabSlotControls& c = engine.slot(k);
    c.active = 1;
    c.leftInput = channel == 0 ? 1 : 0;
    c.rightInput = channel == 0 ? 0 : 2;
    c.volume = 1.0f;
    c.panLeft = 1.0f;
    c.panRight = 1.0f;
    c.polarity = 1;
    c.audible = 1;
    c.hpEnabled = 0;
    c.lpEnabled = 0;
    c.delayLength = 0;
}

// Lets the volume glides settle on silence, then starts clean with the given hop.
inline void settle(dsp::ConvolutionEngine& engine, int hop)
{
    const Samples silence(40000, 0.0f);
    run(engine, silence, silence, 1000);
    engine.reset(hop);
}

} // namespace enginetest
