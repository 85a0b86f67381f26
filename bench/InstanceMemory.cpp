// See InstanceMemory.h.
#include "InstanceMemory.h"

#include "AllocationCounter.h"
#include "LoadCosts.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrHandover.h"
#include "dsp/IrPartitioner.h"
#include "dsp/IrPreparer.h"
#include "effect/Orvex.h"
#include "effect/ParameterTable.h"
#include "effect/ProgramRecord.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace bench {

namespace {

// Bytes that make() allocates and the object it returns still holds.
template <typename Make> long long heldBy(Make make)
{
    const std::int64_t before = benchalloc::liveBytes();
    auto object = make();
    const std::int64_t after = benchalloc::liveBytes();
    return static_cast<long long>(after - before);
}

} // namespace

InstanceBytes measureInstanceBytes(const std::filesystem::path& dir)
{
    InstanceBytes r;
    r.handover = heldBy([] { return std::make_unique<dsp::IrHandover>(); });
    r.partitioner = heldBy([] { return std::make_unique<dsp::IrPartitioner>(); });
    r.engine = heldBy([] { return std::make_unique<dsp::ConvolutionEngine>(44100.0f); });
    r.preparer = heldBy([] { return std::make_unique<dsp::IrPreparer>(); });

    dsp::IrPreparer preparer;
    r.cache = heldBy([&] { return std::make_unique<dsp::IrCache>(preparer); });
    dsp::IrCache cache(preparer);
    std::vector<double> spectrum(static_cast<size_t>(dsp::ConvolutionEngine::kFftSize));
    const int files = 6;
    const std::int64_t before = benchalloc::liveBytes();
    for (int i = 0; i < files; ++i) {
        const std::string path = (dir / ("entry" + std::to_string(i) + ".wav")).string();
        writeWav24(path, 48000, 0.02, 40u + static_cast<unsigned>(i));
        int length = 0;
        cache.prepare(path.c_str(), 44100.0f, spectrum.data(), length);
    }
    r.cacheEntry = static_cast<long long>(benchalloc::liveBytes() - before) / files;

    r.effect = heldBy([] { return std::make_unique<orvex::Orvex>(benchHost); });
    // The effect as a session has it: a program with the six files in its cabs.
    r.effectLoaded = heldBy([&] {
        auto fx = std::make_unique<orvex::Orvex>(benchHost);
        std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
        for (orvex::ProgramRecord& p : bank)
            p.makeFresh();
        const std::string folder = dir.string() + "/";
        for (int cab = 0; cab < orvex::kNumCabs; ++cab) {
            std::snprintf(bank[0].folder[cab], sizeof bank[0].folder[cab], "%s", folder.c_str());
            std::snprintf(bank[0].fileName[cab], sizeof bank[0].fileName[cab], "entry%d.wav", cab);
            bank[0].values[orvex::kRecBypass + cab] = 1.0f;
        }
        fx->setChunk(bank.data(), orvex::kBankChunkSize, false);
        return fx;
    });
    return r;
}

void printInstanceBytes(const InstanceBytes& b)
{
    auto kb = [](long long bytes) { return static_cast<double>(bytes) / 1024.0; };
    std::printf("Heap bytes per instance (KiB):\n");
    std::printf("  IrHandover (one slot's three prepared IRs): %9.1f  (x6 in an engine: %.1f)\n", kb(b.handover),
                kb(6 * b.handover));
    std::printf("  IrPartitioner:                              %9.1f  (x2 in an engine)\n", kb(b.partitioner));
    std::printf("  ConvolutionEngine, all included:            %9.1f\n", kb(b.engine));
    std::printf("  IrPreparer:                                 %9.1f\n", kb(b.preparer));
    std::printf("  IrCache, empty:                             %9.1f  and per IR kept: %.1f\n", kb(b.cache),
                kb(b.cacheEntry));
    std::printf("  Orvex effect, no IR loaded, no editor:      %9.1f  and with six cabs loaded: %.1f\n",
                kb(b.effect), kb(b.effectLoaded));
    std::printf("summary bytes engine %lld effect %lld\n", b.engine, b.effect);
}

} // namespace bench
