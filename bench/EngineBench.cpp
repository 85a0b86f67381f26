// Cost of the audio path with six active slots (filters on), per hop and sample rate, for
// three implementations in the same run: the single-block scheme the engine used before
// (kept in tests/ as the reference of the partitioned engine), the partitioned engine, and
// a plain uniformly partitioned FFTW convolver doing the same work (FftwPartitioned).
// Then the costs the user meets outside the audio thread: loading one IR, stepping to the
// next cab, a program change with six cabs.
//
// The counter cpu_per_100s_audio is the CPU time spent per 100 s of audio, that is the
// cost in percent of one core. Numbers are printed, never asserted; the machine may be
// shared and noisy, so compare the ratios of one run. The last lines have a fixed form
// that scripts read:
//   summary hop 64 rate 44100: old 3.49 new 0.31 reference 0.52
#include "FftwPartitioned.h"
#include "SingleBlockEngine.h"
#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "dsp/RealFft.h"
#include "dsp/ComplexMac.h"
#include "effect/EditorLink.h"
#include "effect/Orvex.h"
#include "effect/ParameterTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdint>
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
    enginetest::SingleBlockEngine engine(rate);
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

// --- Costs outside the audio thread ------------------------------------------------------

// The loading thread's CPU time, so that what the machine gives other programs meanwhile
// does not count (the benchmark is a native Linux program).
struct ThreadClock {
    using time_point = double;
    static double now()
    {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
    }
};

double msSince(double start)
{
    return ThreadClock::now() - start;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Mono 24-bit PCM, a decaying noise burst of `seconds`.
void writeWav24(const std::string& path, int rate, double seconds, unsigned seed)
{
    const int frames = static_cast<int>(rate * seconds);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return;
    }
    auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    const std::uint32_t dataSize = static_cast<std::uint32_t>(frames) * 3u;
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + dataSize);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate * 3));
    u16(3);
    u16(24);
    std::fwrite("data", 1, 4, f);
    u32(dataSize);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<unsigned char> bytes(static_cast<size_t>(dataSize));
    for (int i = 0; i < frames; ++i) {
        const double v = 0.9 * u(rng) * std::exp(-8.0 * i / frames);
        const std::int32_t s = static_cast<std::int32_t>(v * 8388607.0);
        bytes[static_cast<size_t>(3 * i)] = static_cast<unsigned char>(s & 0xff);
        bytes[static_cast<size_t>(3 * i + 1)] = static_cast<unsigned char>((s >> 8) & 0xff);
        bytes[static_cast<size_t>(3 * i + 2)] = static_cast<unsigned char>((s >> 16) & 0xff);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The part of an editor that "Next cab" needs: a cab's menu of eight files that steps with
// wrap-around. (The real editor lists the folder when it opens; its model steps the same way.)
class MenuOnly : public orvex::EditorLink {
public:
    void setParameter(int, float) override {}
    void clearCabFile(int) override {}
    void selectCabFile(const char*, int, std::int32_t& index) override { index = 0; }
    void setCabFolders(const char* const[6]) override {}
    void setCabFileIndices(const std::int32_t[6]) override {}
    void getCabFileSelection(int, std::int32_t& index, char* name) override { entry(index = 0, name); }
    void stepCabFileNext(int, std::int32_t& index, char* name) override { entry(index = (index + 1) % 8, name); }
    void stepCabFilePrevious(int, std::int32_t& index, char* name) override { entry(index = (index + 7) % 8, name); }
    void listFolder(int, const char*) override {}

private:
    static void entry(int index, char* name) { std::snprintf(name, 64, "cab%d.wav", index); }
};

vst::IntPtr VSTCALLBACK benchHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

struct OffThread {
    double load1s = 0, load6s = 0, loadCached = 0; // ms
    double nextCold = 0, nextCached = 0;           // ms per "Next cab" step
    double programCold = 0, programCached = 0, programWorst = 0; // ms per program change
    int stepsLoaded = 0;                           // loads the steps ran (0: stepping did nothing)
};

OffThread measureOffThread(const std::filesystem::path& dir)
{
    OffThread r;
    const std::string one = (dir / "one-second.wav").string();
    const std::string six = (dir / "six-seconds.wav").string();
    writeWav24(one, 96000, 1.0, 1);
    writeWav24(six, 96000, 6.0, 2);

    // One IR load as the effect runs it without a cache: read, resample, prepare, partition.
    dsp::IrPreparer preparer;
    dsp::ConvolutionEngine engine(44100.0f);
    std::vector<double> spectrum(static_cast<size_t>(kN));
    auto timeLoad = [&](const std::string& path) {
        std::vector<double> times;
        for (int i = 0; i < 15; ++i) {
            const double start = ThreadClock::now();
            preparer.prepare(path.c_str(), 44100.0f, kN, spectrum.data());
            engine.loadSlot(0, spectrum.data(), kN, preparer.irLength());
            times.push_back(msSince(start));
        }
        return median(times);
    };
    r.load1s = timeLoad(one);
    r.load6s = timeLoad(six);
    dsp::IrCache cache(preparer);
    {
        std::vector<double> times;
        int length = 0;
        cache.prepare(six.c_str(), 44100.0f, spectrum.data(), length);
        for (int i = 0; i < 15; ++i) {
            const double start = ThreadClock::now();
            cache.prepare(six.c_str(), 44100.0f, spectrum.data(), length);
            engine.loadSlot(0, spectrum.data(), kN, length);
            times.push_back(msSince(start));
        }
        r.loadCached = median(times);
    }

    // The effect: a folder of 1 s IRs, eight to step through and six for each of two
    // programs, so that every first use reads its file.
    const std::string folder = dir.string() + "/";
    for (int i = 0; i < 8; ++i) {
        writeWav24(folder + "cab" + std::to_string(i) + ".wav", 96000, 1.0, 10u + static_cast<unsigned>(i));
    }
    for (int program = 0; program < 2; ++program) {
        for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
            writeWav24(folder + "p" + std::to_string(program) + "cab" + std::to_string(cab) + ".wav", 96000, 1.0,
                       20u + static_cast<unsigned>(8 * program + cab));
        }
    }
    auto bankWith = [&](int programs, const char* pattern) {
        std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
        for (orvex::ProgramRecord& p : bank) {
            p.makeFresh();
        }
        for (int program = 0; program < programs; ++program) {
            orvex::ProgramRecord& p = bank[static_cast<size_t>(program)];
            for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
                std::snprintf(p.folder[cab], sizeof p.folder[cab], "%s", folder.c_str());
                std::snprintf(p.fileName[cab], sizeof p.fileName[cab], pattern, program, cab);
                p.values[orvex::kRecBypass + cab] = 1.0f;
            }
        }
        return bank;
    };

    // "Next cab" on cab 1, whose menu holds cab0.wav .. cab7.wav.
    {
        orvex::Orvex fx(benchHost);
        std::vector<orvex::ProgramRecord> bank = bankWith(1, "p%dcab%d.wav");
        std::snprintf(bank[0].fileName[0], sizeof bank[0].fileName[0], "cab0.wav");
        fx.setChunk(bank.data(), orvex::kBankChunkSize, false);
        MenuOnly menu;
        fx.setEditorLink(&menu);
        const int before = fx.loadCount();
        std::vector<double> cold;
        std::vector<double> warm;
        for (int i = 0; i < 24; ++i) {
            const double start = ThreadClock::now();
            fx.setParameter(orvex::kNext, 1.0f);
            (i < 7 ? cold : warm).push_back(msSince(start));
        }
        r.stepsLoaded = fx.loadCount() - before;
        r.nextCold = median(cold);
        r.nextCached = median(warm);
        fx.setEditorLink(nullptr);
    }

    // Program changes between two programs of six cabs each.
    orvex::Orvex fx(benchHost);
    std::vector<orvex::ProgramRecord> bank = bankWith(2, "p%dcab%d.wav");
    fx.setChunk(bank.data(), orvex::kBankChunkSize, false);
    std::vector<double> changes;
    for (int i = 0; i < 22; ++i) {
        const double start = ThreadClock::now();
        fx.setProgram(i % 2 == 0 ? 1 : 0);
        const double ms = msSince(start);
        if (i == 0) {
            r.programCold = ms;
        } else if (i >= 2) {
            changes.push_back(ms);
            r.programWorst = std::max(r.programWorst, ms);
        }
    }
    r.programCached = median(changes);
    return r;
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
    const OffThread off = measureOffThread(dir);
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
    std::printf("\nCPU time of the loading thread:\n");
    std::printf("IR load, read + resample + prepare + partition (median of 15):\n");
    std::printf("  1 s 96 kHz 24-bit file: %8.3f ms\n", off.load1s);
    std::printf("  6 s 96 kHz 24-bit file: %8.3f ms\n", off.load6s);
    std::printf("  6 s file again, from the IR cache: %8.3f ms\n", off.loadCached);
    std::printf("\"Next cab\" step through eight 1 s 96 kHz files (%d loads):\n", off.stepsLoaded);
    std::printf("  first round (files read): %8.3f ms, later rounds (cached): %8.3f ms\n", off.nextCold,
                off.nextCached);
    std::printf("Program change with six cabs:\n");
    std::printf("  first (files read): %8.3f ms; cabs already loaded: median %8.3f ms, worst %8.3f ms\n",
                off.programCold, off.programCached, off.programWorst);
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
