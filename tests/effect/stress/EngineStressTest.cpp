// An audio thread runs ConvolutionEngine::process() in small blocks while two other
// threads publish IRs, reset with new hops, switch the sample rate and write parameters.
//
// How a torn hand-over would show: the watched slot only ever receives IRs that are a
// single tap of gain 1, 2 or 4 (at different delays), and both inputs are a constant 1.
// Every convolved sample is then exactly one tap times 0 or 1, so the output can only be
// 0, or 5, 10 or 20 times the slot's volume, or 1 while the effect is off. A spectrum
// that is half one IR and half another, or a tail of one IR added to another's block,
// gives values outside that set. Every other slot is muted by its solo mask, so it adds
// nothing unless it produces NaN or infinity, which the check also catches.
#include "StressOptions.h"

#include "dsp/ConvolutionEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

double g_seconds = 10.0; // run time, from ORVEX_STRESS_SECONDS or argv[1]

constexpr int kWatched = 0;
constexpr double kGains[3] = {1.0, 2.0, 4.0};
constexpr int kDelays[3] = {0, 5, 17};

// Packed spectrum (kernel e^(+2 pi i k n / N)) of gain * impulse at `delay`.
std::vector<double> tapSpectrum(double gain, int delay, int n)
{
    const double pi = 3.14159265358979323846;
    std::vector<double> s(static_cast<std::size_t>(n), 0.0);
    const int h = n / 2;
    for (int k = 0; k <= h; ++k) {
        const double angle = 2.0 * pi * static_cast<double>((static_cast<long long>(k) * delay) % n) / n;
        s[static_cast<std::size_t>(k)] = gain * std::cos(angle);
        if (k > 0 && k < h) {
            s[static_cast<std::size_t>(h + k)] = gain * std::sin(angle);
        }
    }
    return s;
}

struct Candidates {
    std::vector<double> taps[3]; // for N = 2048
    Candidates()
    {
        for (int j = 0; j < 3; ++j) {
            taps[j] = tapSpectrum(kGains[j], kDelays[j], 2048);
        }
    }
    const std::vector<double>& pick(int j) const { return taps[j]; }
};

// The effect serialises IR loads with a mutex that only non-audio threads take.
void load(dsp::ConvolutionEngine& e, std::mutex& loads, const Candidates& c, std::mt19937& rng)
{
    std::lock_guard<std::mutex> lock(loads);
    const int n = e.fftSize();
    const int slot = static_cast<int>(rng() % 6);
    const int j = static_cast<int>(rng() % 3);
    e.loadSlot(slot, c.pick(j).data(), n);
}

void writeParameters(dsp::ConvolutionEngine& e, std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int k = 1 + static_cast<int>(rng() % 5);
    dsp::CabSlotControls& c = e.slot(k);
    c.polarity.store(u(rng) < 0.5 ? 1 : -1, std::memory_order_relaxed);
    c.panLeft.store(static_cast<float>(u(rng)), std::memory_order_relaxed);
    c.panRight.store(static_cast<float>(u(rng)), std::memory_order_relaxed);
    c.volume.store(static_cast<float>(u(rng)), std::memory_order_relaxed);
    c.hpFrequency.store(10.0 + 990.0 * u(rng), std::memory_order_relaxed);
    c.hpEnabled.store(u(rng) < 0.5, std::memory_order_relaxed);
    c.lpFrequency.store(1000.0 + 11000.0 * u(rng), std::memory_order_relaxed);
    c.lpEnabled.store(u(rng) < 0.5, std::memory_order_relaxed);
    c.delayLength.store(static_cast<int>(u(rng) * e.delayCapacity()), std::memory_order_relaxed);
    const bool right = u(rng) < 0.5;
    c.leftInput.store(right ? 0 : 1, std::memory_order_relaxed);
    c.rightInput.store(right ? 2 : 0, std::memory_order_relaxed);
    const bool on = u(rng) < 0.7;
    c.active.store(on ? 1 : 0, std::memory_order_relaxed);
    if (!on) {
        e.clearSlot(k);
    }
    // The watched slot: only what cannot change its output values (both inputs carry
    // the same signal; the filters are off; the delay only shifts).
    dsp::CabSlotControls& w = e.slot(kWatched);
    const bool wRight = u(rng) < 0.5;
    w.leftInput.store(wRight ? 0 : 1, std::memory_order_relaxed);
    w.rightInput.store(wRight ? 2 : 0, std::memory_order_relaxed);
    w.delayLength.store(static_cast<int>(u(rng) * 220.0), std::memory_order_relaxed);
    w.hpFrequency.store(10.0 + 990.0 * u(rng), std::memory_order_relaxed);
    w.lpFrequency.store(1000.0 + 11000.0 * u(rng), std::memory_order_relaxed);
    e.setRunning(u(rng) < 0.95);
}

TEST(EngineStress, ConcurrentLoadsResetsAndWritesNeverTearTheOutput)
{
    const Candidates candidates;
    dsp::ConvolutionEngine engine(44100.0f);
    engine.setOutput(1.0f);
    for (int k = 0; k < 6; ++k) {
        dsp::CabSlotControls& c = engine.slot(k);
        c.active = 1;
        c.volume = 1.0f;
        c.audible = k == kWatched ? 1 : 0;
        c.hpEnabled = 0;
        c.lpEnabled = 0;
        engine.loadSlot(k, candidates.pick(k % 3).data(), 2048);
    }
    engine.reset(64);
    // Settle the watched slot's volume glide; it is never written again.
    std::vector<float> ones(4096, 1.0f);
    std::vector<float> outL(4096);
    std::vector<float> outR(4096);
    for (int i = 0; i < 20; ++i) {
        engine.process(ones.data(), ones.data(), outL.data(), outR.data(), 4096);
    }
    const double scale = 5.0 * static_cast<double>(engine.slotState(kWatched).volumeSmoothed);
    const double allowed[] = {0.0, 1.0, scale * kGains[0], scale * kGains[1], scale * kGains[2]};

    std::atomic<bool> stop{false};
    std::mutex loads;
    long long blocks = 0;
    long long violations = 0;
    std::string firstViolation;

    std::thread audio([&] {
        std::mt19937 rng(1);
        while (!stop.load(std::memory_order_relaxed)) {
            const int n = 1 + static_cast<int>(rng() % 64);
            engine.process(ones.data(), ones.data(), outL.data(), outR.data(), n);
            for (int i = 0; i < n; ++i) {
                for (float v : {outL[static_cast<std::size_t>(i)], outR[static_cast<std::size_t>(i)]}) {
                    bool ok = false;
                    for (double a : allowed) {
                        ok = ok || std::fabs(static_cast<double>(v) - a) < 1e-4;
                    }
                    if (!ok || !std::isfinite(v)) {
                        if (violations++ == 0) {
                            std::ostringstream s;
                            s << "block " << blocks << " sample " << i << ": " << v;
                            firstViolation = s.str();
                        }
                    }
                }
            }
            ++blocks;
        }
    });

    std::atomic<long long> loadCount{0};
    std::atomic<long long> resetCount{0};
    std::thread loaderA([&] {
        std::mt19937 rng(2);
        while (!stop.load(std::memory_order_relaxed)) {
            load(engine, loads, candidates, rng);
            loadCount.fetch_add(1, std::memory_order_relaxed);
            writeParameters(engine, rng);
            std::this_thread::yield();
        }
    });
    std::thread loaderB([&] {
        std::mt19937 rng(3);
        const int hops[4] = {64, 128, 256, 512};
        while (!stop.load(std::memory_order_relaxed)) {
            const unsigned r = rng() % 16;
            if (r == 0) {
                engine.setSampleRate(engine.sampleRate() > 50000.0f ? 44100.0f : 96000.0f);
            } else if (r < 4) {
                engine.reset(hops[rng() % 4]);
                resetCount.fetch_add(1, std::memory_order_relaxed);
            } else {
                load(engine, loads, candidates, rng);
                loadCount.fetch_add(1, std::memory_order_relaxed);
            }
            writeParameters(engine, rng);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    std::this_thread::sleep_for(std::chrono::duration<double>(g_seconds));
    stop = true;
    audio.join();
    loaderA.join();
    loaderB.join();

    std::printf("stress: %.1f s, %lld audio blocks, %lld loads, %lld resets\n", g_seconds, blocks,
                loadCount.load(), resetCount.load());
    EXPECT_EQ(violations, 0) << "first: " << firstViolation;
    EXPECT_GT(blocks, 100);
    EXPECT_GT(loadCount.load(), 10);
    EXPECT_GT(resetCount.load(), 0);
}

} // namespace

double stressSeconds()
{
    return g_seconds;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (const char* env = std::getenv("ORVEX_STRESS_SECONDS")) {
        g_seconds = std::atof(env);
    }
    if (argc > 1) {
        g_seconds = std::atof(argv[1]);
    }
    if (!(g_seconds > 0.0)) {
        g_seconds = 10.0;
    }
    return RUN_ALL_TESTS();
}
