// The LV2 build's own parts in-process: the effect with a loader driven by a host's worker,
// the port mapping, and the cab files moved between a bank and state properties.
#include "TestWav.h"

#include "effect/Orvex.h"
#include "effect/ParameterTable.h"
#include "vst/VstAbi.h"
#include "lv2/Lv2Ports.h"
#include "lv2/StateFormat.h"
#include "lv2/WorkerLoader.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

vst::IntPtr noHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

TEST(Lv2Worker, DiskWorkWaitsForTheWorkerAndRunsOnIt)
{
    testwav::TempFolder dir("orvex-lv2-worker");
    testwav::write(dir.file("cab.wav"), testwav::decayingIr(400, 5));
    lv2wrap::WorkerLoader* loader = nullptr;
    orvex::Orvex fx(noHost, [&](orvex::Loader::LoadFunction load, orvex::Loader::JobFunction work) {
        auto made = std::make_unique<lv2wrap::WorkerLoader>(std::move(load), std::move(work));
        loader = made.get();
        return std::unique_ptr<orvex::Loader>(std::move(made));
    });
    fx.setOwnerThread(0); // as under a host with a worker: no thread owns the effect
    const int loadsBefore = fx.loadCount();

    // What run() does on the audio thread: a load and a latency change (which reloads).
    std::thread audio([&] {
        fx.loadCabIr(1, dir.file("cab.wav").c_str());
        fx.setParameter(orvex::kLatency, orvex::latencyStepValue(2));
    });
    audio.join();
    EXPECT_EQ(fx.loadCount(), loadsBefore) << "the audio thread touched the disk";
    EXPECT_TRUE(fx.loadsPending());

    // The host's worker: while inside, it is the effect's loader thread.
    std::uint64_t workerId = 0;
    std::thread worker([&] {
        workerId = platform::currentThreadId();
        loader->enter();
        EXPECT_TRUE(fx.chooseCabFile(2, dir.file("cab.wav").c_str()));
        loader->drain();
        loader->leave();
    });
    worker.join();
    EXPECT_FALSE(fx.loadsPending());
    EXPECT_GT(fx.loadCount(), loadsBefore);
    EXPECT_EQ(fx.lastLoadThread(), workerId);
    EXPECT_STREQ(fx.currentProgram().fileName[1], "cab.wav");
    EXPECT_EQ(fx.latencyValue(), 256.0f);
    // Outside the worker nobody may choose a file.
    EXPECT_FALSE(fx.chooseCabFile(3, dir.file("cab.wav").c_str()));
}

TEST(Lv2Ports, MapExactlyToTheEffectsValues)
{
    using namespace lv2port;
    for (std::uint32_t index = kFirstParameter; index < static_cast<std::uint32_t>(kNumPorts); ++index) {
        const ControlPort& port = *controlPort(index);
        SCOPED_TRACE(port.symbol);
        // A fresh session's ports are a fresh program: the first run writes nothing.
        EXPECT_EQ(toEffect(port, port.deflt), orvex::freshValue(port.parameter));
        // Every named value means what its label says, in both directions.
        for (int i = 0; i < port.numPoints; ++i)
            EXPECT_EQ(toPort(port, toEffect(port, port.points[i].value)), port.points[i].value);
        EXPECT_EQ(portOfParameter(port.parameter), static_cast<int>(index));
        EXPECT_EQ(portOfSymbol(port.symbol), static_cast<int>(index));
    }
    // Delays: n samples give exactly n samples in the effect, which keeps int(v * 220).
    const ControlPort& delay = *controlPort(static_cast<std::uint32_t>(portOfParameter(orvex::kDelay + 2)));
    for (int samples = 0; samples <= 220; ++samples) {
        const float v = toEffect(delay, static_cast<float>(samples));
        EXPECT_EQ(static_cast<int>(v * 220.0f), samples);
        EXPECT_EQ(toPort(delay, v), static_cast<float>(samples));
    }
    // Hops: the step the effect stores for each, and the latency it then has.
    const ControlPort& hop = *controlPort(static_cast<std::uint32_t>(portOfParameter(orvex::kLatency)));
    for (int step = 0; step < orvex::kLatencySteps; ++step) {
        const float samples = static_cast<float>(64 << step);
        EXPECT_EQ(toEffect(hop, samples), orvex::latencyStepValue(step));
        EXPECT_EQ(orvex::latencyHop(orvex::latencyStep(toEffect(hop, samples))), 64 << step);
    }
}

TEST(Lv2State, CabFilesLeaveTheBankAndComeBackAsTheyWere)
{
    struct Case {
        const char* folder;
        const char* name;
        bool asProperty; // taken out of the bank as a path
    };
    const Case cases[] = {
        {"/home/me/irs/", "v30.wav", true},
        {"C:\\IRs\\Mesa\\", "4x12.wav", true},  // a Windows chunk: kept as text
        {"/home/me/irs/", "", true},            // a folder without a file
        {"", "orphan.wav", false},              // no folder: stays in the bank
        {"/home/me/irs", "v30.wav", false},     // no separator at the end: stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "|" + c.name);
        std::vector<orvex::ProgramRecord> bank(orvex::kNumPrograms);
        for (auto& record : bank)
            record.makeFresh();
        std::strcpy(bank[7].folder[4], c.folder);
        std::strcpy(bank[7].fileName[4], c.name);
        bank[7].fileIndex[4] = 3;
        const std::vector<orvex::ProgramRecord> original = bank;

        std::vector<lv2state::CabPath> paths;
        lv2state::takePaths(bank.data(), paths);
        ASSERT_EQ(paths.size(), c.asProperty ? 1u : 0u);
        for (const lv2state::CabPath& p : paths) {
            EXPECT_EQ(p.program, 7);
            EXPECT_EQ(p.cab, 4);
            EXPECT_STREQ(bank[7].folder[4], "");
            ASSERT_TRUE(lv2state::putPath(bank[static_cast<std::size_t>(p.program)], p.cab, p.path));
        }
        std::string difference;
        EXPECT_TRUE(lv2state::sameSettings(original.data(), bank.data(), &difference)) << difference;
    }
}

} // namespace
