// Cost of the audio path with six active slots (filters on), per hop and sample rate, for
// three implementations in the same run: the single-block scheme the engine used before
// (kept in reference/ as the reference of the partitioned engine), the partitioned engine, and
// a plain uniformly partitioned FFTW convolver doing the same work (FftwPartitioned).
// Then the block in which a "Latency" change lands, the costs the user meets outside the
// audio thread (LoadCosts.h: loading one IR, stepping to the next cab, a program change with
// six cabs) and the heap bytes of one instance (InstanceMemory.h).
//
// The counter cpu_per_100s_audio is the CPU time spent per 100 s of audio, that is the
// cost in percent of one core. Numbers are printed, never asserted; the machine may be
// shared and noisy, so compare the ratios of one run. The last lines have a fixed form
// that scripts read:
//   summary hop 64 rate 44100: old 3.49 new 0.31 reference 0.52
#include "FftwPartitioned.h"
#include "InstanceMemory.h"
#include "LoadCosts.h"
#include "reference/SingleBlockEngine.h"
#include "dsp/ConvolutionEngine.h"
#include "dsp/RealFft.h"
#include "dsp/ComplexMac.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kHostBlock = 512;
constexpr int kInputLength = 1 << 16;
constexpr int kN = dsp::ConvolutionEngine::kFftSize;
constexpr int kHops[] = {64, 128, 256, 512};
constexpr int kRates[] = {44100, 96000};

// A cabinet-like IR of 1024 taps: a few early spikes over decaying noise, normalised so
// that its loudest frequency has gain 1 (as prepared IRs are).
std::vector<double> makeIr(unsigned seed)
{
    const int length = kN / 2;
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> ir(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        ir[static_cast<size_t>(i)] = noise(rng) * std::exp(-6.0 * i / length);
    }
    ir[0] += 4.0;
    ir[static_cast<size_t>(length / 50)] += 2.0;
    std::vector<double> padded(static_cast<size_t>(kN), 0.0);
    std::copy(ir.begin(), ir.end(), padded.begin());
    std::vector<double> spectrum(static_cast<size_t>(kN));
    dsp::RealFft fft(kN);
    fft.forward(padded.data(), spectrum.data());
    const int h = kN / 2;
    double peak = std::max(std::fabs(spectrum[0]), std::fabs(spectrum[static_cast<size_t>(h)]));
    for (int i = 1; i < h; ++i) {
        peak = std::max(peak, std::hypot(spectrum[static_cast<size_t>(i)], spectrum[static_cast<size_t>(h + i)]));
    }
    for (double& v : ir) {
        v /= peak;
    }
    return ir;
}

std::vector<double> spectrumOf(const std::vector<double>& ir)
{
    std::vector<double> padded(static_cast<size_t>(kN), 0.0);
    std::copy(ir.begin(), ir.end(), padded.begin());
    std::vector<double> spectrum(static_cast<size_t>(kN));
    dsp::RealFft fft(kN);
    fft.forward(padded.data(), spectrum.data());
    return spectrum;
}

const std::vector<std::vector<double>>& sixIrs()
{
    static const std::vector<std::vector<double>> irs = [] {
        std::vector<std::vector<double>> v;
        for (int k = 0; k < 6; ++k) {
            v.push_back(makeIr(100u + static_cast<unsigned>(k)));
        }
        return v;
    }();
    return irs;
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

// Six active slots, alternating inputs, filters on, pans spread, delays of 10 k samples.
template <typename Engine> void configure(Engine& e, int k)
{
    dsp::CabSlotControls& c = e.slot(k);
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
}

void setCoreCounter(benchmark::State& state, double rate)
{
    // Rate-and-invert turns audio seconds into CPU seconds per audio second; the 0.01
    // makes that a percentage.
    const double audioSeconds = static_cast<double>(state.iterations()) * kHostBlock / rate;
    state.counters["cpu_per_100s_audio"] = benchmark::Counter(audioSeconds * 0.01,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <typename Processor> void runBlocks(benchmark::State& state, Processor& p, double rate, bool settle)
{
    const Signal& in = signal();
    std::vector<float> outL(kHostBlock);
    std::vector<float> outR(kHostBlock);
    if (settle) {
        // Let the glides settle, so the measured part is the steady state.
        for (int i = 0; i + kHostBlock <= kInputLength; i += kHostBlock) {
            p.process(in.left.data() + i, in.right.data() + i, outL.data(), outR.data(), kHostBlock);
        }
    }
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
    setCoreCounter(state, rate);
}

void oldBench(benchmark::State& state)
{
    const int hop = static_cast<int>(state.range(0));
    const float rate = static_cast<float>(state.range(1));
    reference::SingleBlockEngine engine(rate);
    for (int k = 0; k < 6; ++k) {
        configure(engine, k);
        engine.loadSlot(k, spectrumOf(sixIrs()[static_cast<size_t>(k)]).data());
    }
    engine.reset(hop);
    engine.setOutput(0.5f);
    runBlocks(state, engine, rate, true);
}

void newBench(benchmark::State& state)
{
    const int hop = static_cast<int>(state.range(0));
    const float rate = static_cast<float>(state.range(1));
    dsp::ConvolutionEngine engine(rate);
    for (int k = 0; k < 6; ++k) {
        configure(engine, k);
        engine.loadSlot(k, spectrumOf(sixIrs()[static_cast<size_t>(k)]).data(), kN);
    }
    engine.reset(hop);
    engine.setOutput(0.5f);
    runBlocks(state, engine, rate, true);
}

void referenceBench(benchmark::State& state)
{
    const int hop = static_cast<int>(state.range(0));
    const double rate = static_cast<double>(state.range(1));
    FftwPartitioned reference(hop, rate, sixIrs());
    runBlocks(state, reference, rate, false);
}

BENCHMARK(oldBench)->ArgNames({"hop", "rate"})->ArgsProduct({{64, 128, 256, 512}, {44100, 96000}});
BENCHMARK(newBench)->ArgNames({"hop", "rate"})->ArgsProduct({{64, 128, 256, 512}, {44100, 96000}});
BENCHMARK(referenceBench)->ArgNames({"hop", "rate"})->ArgsProduct({{64, 128, 256, 512}, {44100, 96000}});

// Prints the usual console output and keeps each case's core% for the tables.
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
                std::string name = run.run_name.str();
                cores_[name] = it->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double core(const char* kind, int hop, int rate) const
    {
        const std::string name = std::string(kind) + "/hop:" + std::to_string(hop) + "/rate:" + std::to_string(rate);
        const auto it = cores_.find(name);
        return it == cores_.end() ? -1.0 : it->second;
    }

private:
    std::map<std::string, double> cores_; // benchmark name -> percent of one core
};

// The host block in which a "Latency" change lands (the engine's reset() was called just
// before it), against an ordinary block at the new hop, in microseconds of the audio
// thread's CPU time (medians). Either the reset alone, or the reset followed by the reload
// of all six IRs that the effect sends after it (the loads themselves are not timed: they
// run on another thread).
struct HopChange {
    double ordinary = 0;  // an ordinary block at the new hop
    double reset = 0;     // the block that takes the reset
    double reloaded = 0;  // the block that takes the reset and six new IRs
};

HopChange measureHopChange(int from, int to)
{
    const Signal& in = signal();
    std::vector<float> outL(kHostBlock);
    std::vector<float> outR(kHostBlock);
    dsp::ConvolutionEngine engine(44100.0f);
    std::vector<std::vector<double>> spectra;
    for (int k = 0; k < 6; ++k) {
        configure(engine, k);
        spectra.push_back(spectrumOf(sixIrs()[static_cast<size_t>(k)]));
        engine.loadSlot(k, spectra.back().data(), kN);
    }
    engine.setOutput(0.5f);
    size_t offset = 0;
    auto block = [&] {
        const double start = bench::ThreadClock::now();
        engine.process(in.left.data() + offset, in.right.data() + offset, outL.data(), outR.data(), kHostBlock);
        const double us = 1000.0 * bench::msSince(start);
        offset = offset + 2 * kHostBlock > in.left.size() ? 0 : offset + kHostBlock;
        return us;
    };
    auto settleAt = [&](int hop) {
        engine.reset(hop);
        for (int i = 0; i < 8; ++i) {
            block();
        }
    };
    std::vector<double> ordinary, reset, reloaded;
    for (int round = 0; round < 41; ++round) {
        settleAt(from);
        engine.reset(to);
        reset.push_back(block());
        for (int i = 0; i < 6; ++i) {
            block();
        }
        ordinary.push_back(block());
        settleAt(from);
        engine.reset(to);
        for (int k = 0; k < 6; ++k) {
            engine.loadSlot(k, spectra[static_cast<size_t>(k)].data(), kN);
        }
        reloaded.push_back(block());
    }
    return {bench::median(ordinary), bench::median(reset), bench::median(reloaded)};
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvex-bench-irs";
    std::filesystem::create_directories(dir);
    const bench::OffThread off = bench::measureOffThread(dir);
    const bench::InstanceBytes bytes = bench::measureInstanceBytes(dir);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);

    std::printf("\nsix active slots, filters on; %% of one core (new engine's multiply-accumulate: %s)\n",
                dsp::complexMacUsesAvx2() ? "AVX2+FMA" : "SSE2");
    std::printf("%-5s %-6s %8s %8s %10s %9s %9s %9s\n", "hop", "rate", "old", "new", "reference", "old/ref",
                "new/ref", "new/old");
    for (int rate : kRates) {
        for (int hop : kHops) {
            const double o = reporter.core("oldBench", hop, rate);
            const double n = reporter.core("newBench", hop, rate);
            const double f = reporter.core("referenceBench", hop, rate);
            std::printf("%-5d %-6d %8.3f %8.3f %10.3f %9.2f %9.2f %9.3f\n", hop, rate, o, n, f, f > 0 ? o / f : 0.0,
                        f > 0 ? n / f : 0.0, o > 0 ? n / o : 0.0);
        }
    }
    std::printf("\nThe %d-sample host block that takes a \"Latency\" change, us of CPU (median of 41):\n",
                kHostBlock);
    std::printf("%-11s %9s %9s %9s %13s %13s\n", "hops", "ordinary", "reset", "+reload", "reset/ord",
                "+reload/ord");
    for (const auto& pair : {std::make_pair(512, 64), std::make_pair(64, 512), std::make_pair(128, 256)}) {
        const HopChange c = measureHopChange(pair.first, pair.second);
        std::printf("%4d -> %-4d %9.2f %9.2f %9.2f %13.2f %13.2f\n", pair.first, pair.second, c.ordinary, c.reset,
                    c.reloaded, c.reset / c.ordinary, c.reloaded / c.ordinary);
    }
    std::printf("\nCPU time of the loading thread:\n");
    std::printf("IR load, read + resample + prepare + partition (median of 15):\n");
    std::printf("  1 s 96 kHz 24-bit file: %8.3f ms\n", off.load1s);
    std::printf("  6 s 96 kHz 24-bit file: %8.3f ms\n", off.load6s);
    std::printf("  the same files again, from the IR cache: 1 s %8.3f ms, 6 s %8.3f ms\n", off.loadCached1s,
                off.loadCached);
    std::printf("\"Next cab\" step through eight 1 s 96 kHz files (%d loads):\n", off.stepsLoaded);
    std::printf("  first round (files read): %8.3f ms, later rounds (cached): %8.3f ms\n", off.nextCold,
                off.nextCached);
    std::printf("Program change with six cabs:\n");
    std::printf("  first (files read): %8.3f ms; cabs already loaded: median %8.3f ms, worst %8.3f ms\n",
                off.programCold, off.programCached, off.programWorst);
    std::printf("\n");
    bench::printInstanceBytes(bytes);
    std::printf("\n");
    for (int rate : kRates) {
        for (int hop : kHops) {
            std::printf("summary hop %d rate %d: old %.2f new %.2f reference %.2f\n", hop, rate,
                        reporter.core("oldBench", hop, rate), reporter.core("newBench", hop, rate),
                        reporter.core("referenceBench", hop, rate));
        }
    }
    benchmark::Shutdown();
    return 0;
}
