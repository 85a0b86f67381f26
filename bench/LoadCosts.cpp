// IR loads, cab steps and program changes, timed on the loading thread. See LoadCosts.h.
#include "LoadCosts.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "effect/EditorLink.h"
#include "effect/Orvex.h"
#include "effect/ParameterTable.h"
#include "support/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>

namespace bench {

namespace {

constexpr int kN = dsp::ConvolutionEngine::kFftSize;

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

} // namespace

double ThreadClock::now()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

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
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] = static_cast<float>(0.9 * u(rng) * std::exp(-8.0 * i / frames));
    support::writeWavFile(path, support::WavEncoding::pcm24, 1, static_cast<std::uint32_t>(rate), samples);
}

vst::IntPtr VSTCALLBACK benchHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

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
    // A cache hit: the file is the same as before (what it costs to find that out).
    dsp::IrCache cache(preparer);
    auto timeHit = [&](const std::string& path) {
        std::vector<double> times;
        int length = 0;
        cache.prepare(path.c_str(), 44100.0f, spectrum.data(), length);
        for (int i = 0; i < 15; ++i) {
            const double start = ThreadClock::now();
            cache.prepare(path.c_str(), 44100.0f, spectrum.data(), length);
            engine.loadSlot(0, spectrum.data(), kN, length);
            times.push_back(msSince(start));
        }
        return median(times);
    };
    r.loadCached1s = timeHit(one);
    r.loadCached = timeHit(six);

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

} // namespace bench
