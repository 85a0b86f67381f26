// The partitioned engine against the single-block scheme it replaced (SingleBlockEngine),
// hop by hop, through the changes a session brings: IR loads, bypass toggles, a slot
// moved to the other input, latency changes and the effect switched off and on.
#include "EngineRig.h"
#include "reference/SingleBlockEngine.h"

#include "dsp/ConvolutionEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using dsp::ConvolutionEngine;
using namespace enginetest;
using reference::SingleBlockEngine;

namespace {

// Applies the same change to both engines.
void forBoth(ConvolutionEngine& a, SingleBlockEngine& b, const std::function<void(dsp::CabSlotControls&, int)>& f,
             int k)
{
    f(a.slot(k), k);
    f(b.slot(k), k);
}

TEST(PartitionedEngine, MatchesTheSingleBlockSchemeHopByHop)
{
    const int n = 2048;
    const std::vector<PreparedIr> irs = {
        prepareIr(decayingIr(1024, 31), n), prepareIr(decayingIr(333, 32), n), prepareIr(decayingIr(50, 33), n),
        prepareIr(decayingIr(1000, 34), n), prepareIr(decayingIr(700, 35), n),
    };
    // Hop 100 is the engine's placeholder before a latency is chosen and 24 a hop the
    // loader does not cut; both take the audio thread's own partitioning.
    for (int hop : {64, 128, 256, 512, 100, 24}) {
        SCOPED_TRACE(hop);
        ConvolutionEngine fresh(44100.0f);
        SingleBlockEngine old(44100.0f);
        fresh.setOutput(0.7f);
        old.setOutput(0.7f);
        auto configure = [](dsp::CabSlotControls& c, int k) {
            c.active = k != 4 ? 1 : 0;
            c.leftInput = k % 2 == 0 ? 1 : 0;
            c.rightInput = k % 2 == 0 ? 0 : 2;
            c.volume = 0.3f + 0.1f * static_cast<float>(k);
            c.panLeft = k == 1 ? 0.4f : 1.0f;
            c.panRight = k == 2 ? 0.2f : 1.0f;
            c.polarity = k == 3 ? -1 : 1;
            c.lpEnabled = k % 3 != 2 ? 1 : 0;
            c.lpFrequency = 2000.0 + 1500.0 * k;
            c.hpEnabled = k % 2;
            c.hpFrequency = 60.0 + 40.0 * k;
            c.delayLength = 17 * k;
        };
        for (int k = 0; k < 6; ++k) {
            forBoth(fresh, old, configure, k);
            fresh.loadSlot(k, irs[static_cast<size_t>(k % 5)].spectrum.data(), n);
            old.loadSlot(k, irs[static_cast<size_t>(k % 5)].spectrum.data());
        }
        fresh.reset(hop);
        old.reset(hop);

        const Samples left = noise(60 * 512, 41);
        const Samples right = noise(60 * 512, 42);
        Samples outA(left.size()), outB(left.size()), outC(left.size()), outD(left.size());
        double peak = 1.0;
        int b = hop;
        int step = 0;
        for (std::size_t at = 0; at < left.size(); ++step) {
            // Changes between hops, at odd places in the stream.
            switch (step) {
            case 20: // a new IR, mid-hop below
                fresh.loadSlot(1, irs[3].spectrum.data(), n);
                old.loadSlot(1, irs[3].spectrum.data());
                break;
            case 30: // bypass as the effect does it: off, and the convolution cleared
                fresh.slot(2).active = 0;
                old.slot(2).active = 0;
                fresh.clearSlot(2);
                old.clearSlot(2);
                break;
            case 37:
                fresh.slot(2).active = 1;
                old.slot(2).active = 1;
                break;
            case 45: // slot 3 now convolves the left input; its past right input plays out
                fresh.slot(3).leftInput = 1;
                fresh.slot(3).rightInput = 0;
                old.slot(3).leftInput = 1;
                old.slot(3).rightInput = 0;
                break;
            case 66:
                fresh.setRunning(false);
                old.setRunning(false);
                break;
            case 70:
                fresh.setRunning(true);
                old.setRunning(true);
                break;
            case 80: { // a latency change reloads every cab
                const int next = hop == 512 ? 128 : 512;
                b = next;
                fresh.reset(next);
                old.reset(next);
                for (int k = 0; k < 6; ++k) {
                    fresh.loadSlot(k, irs[static_cast<size_t>((k + 1) % 5)].spectrum.data(), n);
                    old.loadSlot(k, irs[static_cast<size_t>((k + 1) % 5)].spectrum.data());
                }
                break;
            }
            default:
                break;
            }
            // Blocks end on hop boundaries, except around the load (step 20 starts mid-hop).
            int frames = step == 19 ? b / 3 : (step == 20 ? b - b / 3 : b);
            frames = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frames), left.size() - at));
            fresh.process(left.data() + at, right.data() + at, outA.data() + at, outB.data() + at, frames);
            old.process(left.data() + at, right.data() + at, outC.data() + at, outD.data() + at, frames);
            at += static_cast<std::size_t>(frames);
            if (step == 19)
                continue;
            ASSERT_EQ(fresh.currentHop(), b);
            ASSERT_EQ(old.hop(), b);
            for (int k = 0; k < 6; ++k) {
                const double* x = fresh.slotState(k).blockOutput.data();
                const double* y = old.block(k);
                for (int i = 0; i < b; ++i) {
                    peak = std::max(peak, std::fabs(y[i]));
                    ASSERT_NEAR(x[i], y[i], 1e-12 * peak) << "step " << step << " slot " << k << " sample " << i;
                }
            }
        }
        for (std::size_t t = 0; t < left.size(); ++t) {
            ASSERT_NEAR(outA[t], outC[t], 1e-6 * (1.0 + std::fabs(outC[t]))) << t;
            ASSERT_NEAR(outB[t], outD[t], 1e-6 * (1.0 + std::fabs(outD[t]))) << t;
        }
    }
}

// An IR meets a hop it was not cut for when "Latency" changes before (or without) its
// reload: the audio thread cuts it again, in the IR's own buffer for the effect's hops and
// in storage made on first use for any other hop. Every sample is then exactly what the
// same IR loaded for that hop gives, through further changes and back again.
TEST(PartitionedEngine, AnIrCutAgainForAnotherHopPlaysAsOneLoadedForIt)
{
    const int n = 2048;
    const std::vector<PreparedIr> irs = {
        prepareIr(decayingIr(1024, 71), n), prepareIr(decayingIr(301, 72), n), prepareIr(decayingIr(64, 73), n),
        prepareIr(decayingIr(999, 74), n), prepareIr(decayingIr(513, 75), n), prepareIr(decayingIr(2, 76), n),
    };
    auto loadAll = [&](ConvolutionEngine& e) {
        for (int k = 0; k < 6; ++k) {
            plainSlot(e, k, k % 2);
            e.loadSlot(k, irs[static_cast<size_t>(k)].spectrum.data(), n);
        }
    };
    // The hop the IRs are loaded at, then the hops the engine is reset to, one after another.
    const std::vector<std::vector<int>> walks = {
        {64, 512, 128, 64}, {512, 64, 256}, {128, 5, 24, 128}, {256, 100, 512}, {7, 64},
    };
    const Samples left = noise(5 * 512, 81);
    const Samples right = noise(5 * 512, 82);
    for (const std::vector<int>& walk : walks) {
        ConvolutionEngine moved(44100.0f);
        moved.reset(walk[0]);
        loadAll(moved);
        run(moved, left, right, 300);
        for (std::size_t step = 1; step < walk.size(); ++step) {
            const int hop = walk[step];
            SCOPED_TRACE("loaded at " + std::to_string(walk[0]) + ", now at " + std::to_string(hop));
            ConvolutionEngine loaded(44100.0f);
            loaded.reset(hop);
            loadAll(loaded);
            // Both with their glides at rest, so that only the partitions can differ.
            settle(moved, hop);
            settle(loaded, hop);
            const Stereo a = run(moved, left, right, 300);
            const Stereo b = run(loaded, left, right, 300);
            EXPECT_EQ(0, std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(float)));
            EXPECT_EQ(0, std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(float)));
            EXPECT_GT(std::fabs(a.left[left.size() - 1]) + std::fabs(a.right[left.size() - 1]), 0.0f);
        }
    }
}

// A hop none of the effect's, asked for while the audio thread runs, has its storage made on
// the asking thread; the audio thread takes the hop at the start of a block and plays on
// (under ThreadSanitizer this also checks that the storage is handed over safely).
TEST(PartitionedEngine, AHopOfItsOwnIsMadeAsideWhileAudioRuns)
{
    const PreparedIr ir = prepareIr(decayingIr(800, 91), 2048);
    ConvolutionEngine e(44100.0f);
    for (int k = 0; k < 6; ++k) {
        plainSlot(e, k, k % 2);
        e.loadSlot(k, ir.spectrum.data(), 2048);
    }
    settle(e, 64);
    const Samples x = noise(256, 92);
    std::atomic<bool> asked{false};
    std::atomic<bool> finite{true};
    std::thread audio([&] {
        Samples outL(x.size()), outR(x.size());
        int after = 0;
        while (after < 40) {
            const bool seen = asked.load();
            e.process(x.data(), x.data(), outL.data(), outR.data(), static_cast<int>(x.size()));
            for (std::size_t i = 0; i < x.size(); ++i)
                finite = finite && std::isfinite(outL[i]) && std::isfinite(outR[i]);
            after += seen ? 1 : 0;
        }
    });
    e.reset(24);
    e.loadSlot(2, ir.spectrum.data(), 2048);
    asked = true;
    audio.join();
    EXPECT_TRUE(finite.load());
    EXPECT_EQ(e.currentHop(), 24);
    const Stereo out = run(e, x, x, 100);
    EXPECT_GT(std::fabs(out.left.back()) + std::fabs(out.right.back()), 0.0f);
}

// Work that is not needed is not done: inputs no active slot reads are not transformed,
// inactive slots are not transformed back, and with the effect off nothing runs at all.
TEST(PartitionedEngine, SkipsTransformsNobodyNeeds)
{
    const std::vector<double> ones = unitSpectrum(2048);
    const Samples x = noise(64 * 10, 51);
    struct Case {
        int active[6];
        int right[6]; // 1: the slot reads the right input
        bool running;
        long long perHop; // forward transforms plus inverse transforms per hop
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, true, 0},
        {{1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, true, 2},
        {{1, 1, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, true, 4},
        {{1, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 1}, true, 4},
        {{1, 1, 1, 1, 1, 1}, {0, 1, 0, 1, 0, 1}, true, 8},
        {{1, 1, 1, 1, 1, 1}, {0, 1, 0, 1, 0, 1}, false, 0},
    };
    for (const Case& c : cases) {
        ConvolutionEngine e(44100.0f);
        for (int k = 0; k < 6; ++k) {
            plainSlot(e, k, c.right[k]);
            e.slot(k).active = c.active[k];
            e.loadSlot(k, ones.data(), 2048);
        }
        e.reset(64);
        e.setRunning(c.running);
        run(e, x, x, 64);
        EXPECT_EQ(e.transformCount(), 10 * c.perHop);
    }
}

} // namespace
