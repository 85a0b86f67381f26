// riffgen: writes a short guitar riff as a mono 32-bit float WAV, the dry signal of an amp
// that the demo sends through the cabinets. Plucked strings by Karplus-Strong (a noise burst
// circulating in a damped delay line), power chords, palm-muted eighths and a soft-clipping
// stage standing in for the amplifier. Deterministic: the same file every time.
//
//   riffgen OUT.wav [--rate R] [--seconds S]
#include "support/WavWriter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Note {
    double start;   // seconds
    double length;  // seconds
    double root;    // Hz of the lowest string of the chord
    bool muted;     // palm-muted: darker and shorter
};

class Pluck {
public:
    Pluck(double freq, double rate, bool muted, std::uint32_t seed)
    {
        const int period = static_cast<int>(rate / freq + 0.5);
        line_.resize(static_cast<size_t>(period > 2 ? period : 2));
        std::uint32_t s = seed;
        for (double& v : line_) {
            s = s * 1664525u + 1013904223u;
            v = (static_cast<double>(s >> 8) / 8388608.0 - 1.0) * 0.8;
        }
        damping_ = muted ? 0.45 : 0.4985;
        brightness_ = muted ? 0.25 : 0.5;
    }
    double next()
    {
        const size_t n = line_.size();
        const size_t j = (pos_ + 1) % n;
        const double out = line_[pos_];
        // Averaging filter with a brightness blend, scaled to decay.
        line_[pos_] = damping_ * 2.0 * ((1.0 - brightness_) * line_[pos_] + brightness_ * line_[j]);
        pos_ = j;
        return out;
    }

private:
    std::vector<double> line_;
    size_t pos_ = 0;
    double damping_;
    double brightness_;
};

bool writeWav(const std::string& path, const std::vector<float>& samples, int rate)
{
    return support::writeWavFile(path, support::WavEncoding::float32, 1, static_cast<std::uint32_t>(rate), samples);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: riffgen OUT.wav [--rate R] [--seconds S]\n");
        return 1;
    }
    int rate = 44100;
    double seconds = 8.0;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rate"))
            rate = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
    }
    if (rate < 8000 || rate > 384000 || !(seconds > 0.5 && seconds < 600.0)) {
        std::fprintf(stderr, "riffgen: rate must be 8000..384000 and seconds 0.5..600\n");
        return 1;
    }

    // E5 E5 G5 A5 | E5 E5 D5 C5 at 120 BPM, palm-muted eighths between the accents.
    const double e2 = 82.41;
    const double roots[8] = {e2, e2, 98.00, 110.00, e2, e2, 73.42, 65.41 * 2.0};
    std::vector<Note> notes;
    const double beat = 0.5;
    for (double bar = 0.0; bar * 4 * beat < seconds - 0.5; bar += 1.0) {
        for (int i = 0; i < 8; ++i) {
            const double t = bar * 4 * beat + i * beat / 2.0;
            const bool accent = (i % 4 == 0) || i == 3 || i == 7;
            notes.push_back({t, accent ? beat : beat / 2.0, roots[(static_cast<int>(bar) % 2) * 4 + i / 2], !accent});
        }
    }

    const size_t total = static_cast<size_t>(seconds * rate);
    std::vector<double> mix(total, 0.0);
    std::uint32_t seed = 12345;
    for (const Note& n : notes) {
        // Root, fifth and octave of a power chord.
        for (double ratio : {1.0, 1.4983, 2.0}) {
            Pluck string(n.root * ratio, rate, n.muted, seed += 7919);
            const size_t begin = static_cast<size_t>(n.start * rate);
            const size_t length = static_cast<size_t>(n.length * rate);
            for (size_t k = 0; k < length && begin + k < total; ++k) {
                const double fade = k + 200 > length ? static_cast<double>(length - k) / 200.0 : 1.0;
                mix[begin + k] += string.next() * fade * (n.muted ? 0.6 : 1.0);
            }
        }
    }

    // The amplifier: drive into a soft clipper, then a gentle level.
    std::vector<float> out(total);
    for (size_t i = 0; i < total; ++i)
        out[i] = static_cast<float>(0.5 * std::tanh(3.0 * mix[i]));

    if (!writeWav(argv[1], out, rate)) {
        std::fprintf(stderr, "riffgen: cannot write %s\n", argv[1]);
        return 2;
    }
    std::printf("riffgen: wrote %s (%.1f s at %d Hz)\n", argv[1], seconds, rate);
    return 0;
}
