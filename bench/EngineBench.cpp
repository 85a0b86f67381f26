// Cost of ConvolutionEngine::process() with six active slots, per hop and sample rate,
// next to a plain FFTW overlap-add doing the same transforms in the same run.
//
// The counter cpu_per_100s_audio is the CPU time spent per 100 s of audio, that is the
// cost in percent of one core. After the runs a table repeats it per case with the
// engine's cost as a ratio to the reference.
#include "FftwOverlapAdd.h"
#include "dsp/ConvolutionEngine.h"
#include "dsp/RealFft.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kHostBlock = 512;
constexpr int kInputLength = 1 << 16;

// A cabinet-like IR of `length` samples: a few early spikes over decaying noise,
// normalised so that its loudest frequency has gain 1 (as prepared IRs are).
std::vector<double> makeIr(int length, int fftSize, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> ir(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        ir[static_cast<size_t>(i)] = noise(rng) * std::exp(-6.0 * i / length);
    }
    ir[0] += 4.0;
    ir[static_cast<size_t>(length / 50)] += 2.0;
    std::vector<double> padded(static_cast<size_t>(fftSize), 0.0);
    std::copy(ir.begin(), ir.end(), padded.begin());
    std::vector<double> spectrum(static_cast<size_t>(fftSize));
    dsp::RealFft fft(fftSize);
    fft.forward(padded.data(), spectrum.data());
    const int h = fftSize / 2;
    double peak = std::max(std::fabs(spectrum[0]), std::fabs(spectrum[static_cast<size_t>(h)]));
    for (int i = 1; i < h; ++i) {
        peak = std::max(peak, std::hypot(spectrum[static_cast<size_t>(i)], spectrum[static_cast<size_t>(h + i)]));
    }
    for (double& v : ir) {
        v /= peak;
    }
    return ir;
}

std::vector<double> spectrumOf(const std::vector<double>& ir, int fftSize)
{
    std::vector<double> padded(static_cast<size_t>(fftSize), 0.0);
    std::copy(ir.begin(), ir.end(), padded.begin());
    std::vector<double> spectrum(static_cast<size_t>(fftSize));
    dsp::RealFft fft(fftSize);
    fft.forward(padded.data(), spectrum.data());
    return spectrum;
}

struct Signal {
    std::vector<float> left;  // test input, left channel
    std::vector<float> right; // test input, right channel
    Signal() : left(kInputLength), right(kInputLength)
    {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> u(-0.5f, 0.5f);
        for (int i = 0; i < kInputLength; ++i) {
            left[static_cast<size_t>(i)] = u(rng);
            right[static_cast<size_t>(i)] = u(rng);
        }
    }
};

const Signal& signal()
{
    static const Signal s;
    return s;
}

std::vector<std::vector<double>> sixIrs(int fftSize)
{
    std::vector<std::vector<double>> irs;
    for (int k = 0; k < 6; ++k) {
        irs.push_back(makeIr(fftSize / 2, fftSize, 100u + static_cast<unsigned>(k)));
    }
    return irs;
}

void setCoreCounter(benchmark::State& state, double rate)
{
    // Rate-and-invert turns audio seconds into CPU seconds per audio second; the 0.01
    // makes that a percentage.
    const double audioSeconds = static_cast<double>(state.iterations()) * kHostBlock / rate;
    state.counters["cpu_per_100s_audio"] = benchmark::Counter(audioSeconds * 0.01,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <typename Processor>
void runBlocks(benchmark::State& state, Processor& p, std::vector<float>& outL, std::vector<float>& outR)
{
    const Signal& in = signal();
    size_t offset = 0;
    for (auto _ : state) {
        p.process(in.left.data() + offset, in.right.data() + offset, outL.data(), outR.data(), kHostBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        offset += kHostBlock;
        if (offset + kHostBlock > in.left.size()) {
            offset = 0;
        }
    }
}

void engineBench(benchmark::State& state)
{
    const int hop = static_cast<int>(state.range(0));
    const float rate = static_cast<float>(state.range(1));
    dsp::ConvolutionEngine engine(rate);
    engine.reset(hop);
    const int n = engine.fftSize();
    const std::vector<std::vector<double>> irs = sixIrs(n);
    for (int k = 0; k < 6; ++k) {
        dsp::CabSlotControls& c = engine.slot(k);
        c.active = 1;
        c.leftInput = k % 2 == 0 ? 1 : 0;
        c.rightInput = k % 2 == 0 ? 0 : 2;
        c.volume = 0.5f;
        c.panLeft = std::min(1.0f, 2.0f - 2.0f * (k / 5.0f));
        c.panRight = std::min(1.0f, 2.0f * (k / 5.0f));
        c.hpEnabled = 1;
        c.hpFrequency = 80.0;
        c.lpEnabled = 1;
        c.lpFrequency = 6000.0;
        c.delayLength = 10 * k;
        const std::vector<double> spectrum = spectrumOf(irs[static_cast<size_t>(k)], n);
        engine.loadSlot(k, spectrum.data(), n);
    }
    engine.setOutput(0.5f);
    std::vector<float> outL(kHostBlock);
    std::vector<float> outR(kHostBlock);
    // Let the glides settle, so the measured part is the steady state.
    const Signal& in = signal();
    for (int i = 0; i + kHostBlock <= kInputLength; i += kHostBlock) {
        engine.process(in.left.data() + i, in.right.data() + i, outL.data(), outR.data(), kHostBlock);
    }
    runBlocks(state, engine, outL, outR);
    setCoreCounter(state, rate);
}

void fftwBench(benchmark::State& state)
{
    const int hop = static_cast<int>(state.range(0));
    const double rate = static_cast<double>(state.range(1));
    const int n = dsp::ConvolutionEngine::kFftSize; // the same at every rate
    FftwOverlapAdd reference(n, hop, rate, sixIrs(n));
    std::vector<float> outL(kHostBlock);
    std::vector<float> outR(kHostBlock);
    runBlocks(state, reference, outL, outR);
    setCoreCounter(state, rate);
}

BENCHMARK(engineBench)->ArgNames({"hop", "rate"})->ArgsProduct({{64, 128, 256, 512}, {44100, 96000}});
BENCHMARK(fftwBench)->ArgNames({"hop", "rate"})->ArgsProduct({{64, 128, 256, 512}, {44100, 96000}});

// Prints the usual console output and keeps each case's core% for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With repetitions the median stands for the case (it is reported after the
        // single runs and so replaces them).
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) {
                continue;
            }
            const auto it = run.counters.find("cpu_per_100s_audio");
            if (it != run.counters.end()) {
                cores_[run.run_name.str()] = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        struct Row {
            int rate, hop;
            double engine, reference;
        };
        std::vector<Row> rows;
        const std::string prefix = "engineBench/";
        for (const auto& [name, engine] : cores_) {
            if (name.compare(0, prefix.size(), prefix) != 0) {
                continue;
            }
            const std::string args = name.substr(prefix.size());
            const auto ref = cores_.find("fftwBench/" + args);
            if (ref == cores_.end()) {
                continue;
            }
            Row row{0, 0, engine, ref->second};
            std::sscanf(args.c_str(), "hop:%d/rate:%d", &row.hop, &row.rate);
            rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end(),
                  [](const Row& a, const Row& b) { return a.rate != b.rate ? a.rate < b.rate : a.hop < b.hop; });
        std::printf("\n%-6s %-7s %12s %12s %8s\n", "hop", "rate", "engine core%", "fftw core%", "ratio");
        for (const Row& r : rows) {
            std::printf("%-6d %-7d %12.3f %12.3f %8.2f\n", r.hop, r.rate, r.engine, r.reference,
                        r.reference > 0 ? r.engine / r.reference : 0.0);
        }
    }

private:
    std::map<std::string, double> cores_; // benchmark name -> percent of one core
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
