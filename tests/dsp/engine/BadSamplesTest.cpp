// What NaN or infinite samples do to the engine, from the host or in an IR: nothing but
// silence in their place.
#include "EngineRig.h"

#include "TestWav.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using dsp::ConvolutionEngine;
using namespace enginetest;

namespace {

// A burst of NaNs and infinities on one input gives exactly what silence in its place gives,
// in every configuration: every output sample stays finite, and the cab plays on right
// after the burst as if it had heard zeros (a NaN kept in a filter's history would silence
// it for good, one kept in the convolution history for a whole IR length).
TEST(BadSamples, ABurstOfNonFiniteInputIsHeardAsSilence)
{
    struct Case {
        const char* name;
        int burstChannel; // 0 left, 1 right
        bool filters;     // high-pass and low-pass on
        bool running;     // "On/Off"
    };
    const Case cases[] = {
        {"left, filters off", 0, false, true}, {"left, filters on", 0, true, true},
        {"right, filters off", 1, false, true}, {"right, filters on", 1, true, true},
        {"left, effect off", 0, true, false},   {"right, effect off", 1, true, false},
    };
    const PreparedIr ir = prepareIr(decayingIr(700, 61), 2048);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float burst[10] = {nan, inf, -inf, -nan, nan, nan, inf, nan, -inf, nan};
    const std::size_t at = 1000; // mid-hop, mid-block
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConvolutionEngine hit(44100.0f);
        ConvolutionEngine quiet(44100.0f);
        for (ConvolutionEngine* e : {&hit, &quiet}) {
            e->setOutput(0.8f);
            for (int k = 0; k < 2; ++k) {
                plainSlot(*e, k, k); // slot 0 on the left input, slot 1 on the right
                e->slot(k).hpEnabled = c.filters ? 1 : 0;
                e->slot(k).hpFrequency = 120.0;
                e->slot(k).lpEnabled = c.filters ? 1 : 0;
                e->slot(k).lpFrequency = 5000.0;
                e->loadSlot(k, ir.spectrum.data(), 2048);
            }
            settle(*e, 64);
            e->setRunning(c.running);
        }
        Samples left = noise(8000, 62);
        Samples right = noise(8000, 63);
        Samples& damaged = c.burstChannel == 0 ? left : right;
        Samples zeroed = damaged;
        for (std::size_t i = 0; i < 10; ++i) {
            damaged[at + i] = burst[i];
            zeroed[at + i] = 0.0f;
        }
        const Stereo out = run(hit, left, right, 300);
        const Stereo expected = c.burstChannel == 0 ? run(quiet, zeroed, right, 300) : run(quiet, left, zeroed, 300);
        for (std::size_t t = 0; t < out.left.size(); ++t) {
            ASSERT_TRUE(std::isfinite(out.left[t]) && std::isfinite(out.right[t])) << "sample " << t;
        }
        EXPECT_EQ(0, std::memcmp(out.left.data(), expected.left.data(), out.left.size() * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(out.right.data(), expected.right.data(), out.right.size() * sizeof(float)));
        // And what it equals is not silence: the cab (or the dry signal) goes on after the burst.
        double after = 0.0;
        for (std::size_t t = out.left.size() - 1000; t < out.left.size(); ++t) {
            after += std::fabs(out.left[t]) + std::fabs(out.right[t]);
        }
        EXPECT_GT(after, 10.0);
    }
}

// An IR holding a NaN or an infinity, as a spectrum handed to the engine or as samples of a
// float WAV file loaded the way the effect loads one, leaves its slot silent: the output is
// what the same engine gives with that slot loaded with silence, the other slot playing on.
TEST(BadSamples, ABrokenIrLeavesItsSlotSilent)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const PreparedIr good = prepareIr(decayingIr(500, 64), 2048);
    testwav::TempFolder dir("orvex-broken-ir");
    dsp::IrPreparer preparer;
    dsp::IrCache cache(preparer);
    struct Case {
        const char* name;
        std::vector<double> spectrum; // what slot 0 is given
    };
    std::vector<Case> cases;
    for (double bad : {static_cast<double>(nan), static_cast<double>(inf)}) {
        Case c{bad != bad ? "NaN in the spectrum" : "infinity in the spectrum", good.spectrum};
        c.spectrum[7] = bad;
        cases.push_back(c);
    }
    for (float bad : {nan, -inf}) {
        std::vector<float> samples = testwav::decayingIr(400, 65);
        samples[123] = bad;
        const std::string path = dir.file(bad != bad ? "nan.wav" : "inf.wav");
        ASSERT_TRUE(testwav::write(path, samples));
        Case c{bad != bad ? "NaN in the file" : "infinity in the file", std::vector<double>(2048, 1.0)};
        int length = -1;
        cache.prepare(path.c_str(), 44100.0f, c.spectrum.data(), length);
        cases.push_back(c);
    }
    const Samples x = noise(6000, 66);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConvolutionEngine broken(44100.0f);
        ConvolutionEngine silent(44100.0f);
        const std::vector<double> silence(2048, 0.0);
        for (ConvolutionEngine* e : {&broken, &silent}) {
            e->reset(128);
            plainSlot(*e, 0, 0);
            plainSlot(*e, 1, 1);
            e->loadSlot(1, good.spectrum.data(), 2048);
        }
        broken.loadSlot(0, c.spectrum.data(), 2048);
        silent.loadSlot(0, silence.data(), 2048);
        const Stereo out = run(broken, x, x, 256);
        const Stereo expected = run(silent, x, x, 256);
        EXPECT_EQ(0, std::memcmp(out.left.data(), expected.left.data(), out.left.size() * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(out.right.data(), expected.right.data(), out.right.size() * sizeof(float)));
        EXPECT_GT(std::fabs(out.left.back()), 0.0f);
    }
}

} // namespace
