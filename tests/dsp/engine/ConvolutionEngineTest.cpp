#include "EngineRig.h"

#include "dsp/Biquad.h"
#include "dsp/ConvolutionEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

using dsp::ConvolutionEngine;
using namespace enginetest;

namespace {

// Expected mix of one slot: level * 5 * pan * smoothed volume * reference, `latency`
// samples late.
struct Contribution {
    std::vector<long double> signal; // the slot's convolved input
    double gainLeft;                 // 5 * output * panLeft * volumeSmoothed * polarity
    double gainRight;                // the same with panRight
    int latency;                     // B + max(1, delay)
};

void expectMix(const Stereo& out, const std::vector<Contribution>& parts, double tolerance)
{
    int bad = 0;
    for (std::size_t t = 0; t < out.left.size() && bad < 5; ++t) {
        long double l = 0.0L;
        long double r = 0.0L;
        for (const Contribution& c : parts) {
            if (t >= static_cast<std::size_t>(c.latency)) {
                l += c.gainLeft * c.signal[t - static_cast<std::size_t>(c.latency)];
                r += c.gainRight * c.signal[t - static_cast<std::size_t>(c.latency)];
            }
        }
        if (std::fabs(static_cast<double>(l) - out.left[t]) > tolerance
            || std::fabs(static_cast<double>(r) - out.right[t]) > tolerance) {
            ADD_FAILURE() << "sample " << t << ": left " << out.left[t] << " expected " << static_cast<double>(l)
                          << ", right " << out.right[t] << " expected " << static_cast<double>(r);
            ++bad;
        }
    }
}

double volumeOf(const ConvolutionEngine& e, int k)
{
    return static_cast<double>(e.slotState(k).volumeSmoothed);
}

// Three slots at once (two on the left input, one on the right), IRs from a full-length
// decaying one (no wrap-around even at the largest hop) to a single late tap, every hop,
// host blocks that do not divide the hop.
TEST(ConvolutionEngine, EqualsDirectConvolutionForEveryHop)
{
    const int n = 2048;
    const PreparedIr full = prepareIr(decayingIr(1024, 1), n);
    const PreparedIr shortIr = prepareIr(decayingIr(37, 2), n);
    std::vector<double> late(701, 0.0);
    late[700] = -0.3;
    const PreparedIr lateTap = prepareIr(late, n);
    const Samples left = noise(6000, 11);
    const Samples right = noise(6000, 12);

    for (int hop : {64, 128, 256, 512}) {
        SCOPED_TRACE(hop);
        ConvolutionEngine e(44100.0f);
        e.setOutput(0.8f);
        plainSlot(e, 0, 0);
        plainSlot(e, 2, 1);
        plainSlot(e, 5, 0);
        e.slot(2).panLeft = 0.5f;
        e.slot(5).panRight = 0.0f;
        e.slot(5).polarity = -1;
        ASSERT_TRUE(e.loadSlot(0, full.spectrum.data(), n));
        ASSERT_TRUE(e.loadSlot(2, shortIr.spectrum.data(), n));
        ASSERT_TRUE(e.loadSlot(5, lateTap.spectrum.data(), n));
        settle(e, hop);
        const double level = 5.0 * 0.8f;
        const std::vector<Contribution> parts = {
            {convolve(left, full.taps), level * volumeOf(e, 0), level * volumeOf(e, 0), hop + 1},
            {convolve(right, shortIr.taps), level * 0.5 * volumeOf(e, 2), level * volumeOf(e, 2), hop + 1},
            {convolve(left, lateTap.taps), -level * volumeOf(e, 5), 0.0, hop + 1},
        };
        expectMix(run(e, left, right, 100), parts, 2e-5);
    }
}

TEST(ConvolutionEngine, UnitIrGivesFiveTimesTheInput)
{
    ConvolutionEngine e(44100.0f);
    e.setOutput(1.0f);
    plainSlot(e, 3, 1);
    const std::vector<double> ones = unitSpectrum(2048);
    ASSERT_TRUE(e.loadSlot(3, ones.data(), 2048));
    settle(e, 64);
    // The float glide stalls a little below its target: one step toward 1 is then less
    // than half a float step.
    EXPECT_NEAR(volumeOf(e, 3), 1.0, 5e-5);
    const Samples left(3000, 0.25f);
    const Samples right = noise(3000, 5);
    const Stereo out = run(e, left, right, 37);
    for (std::size_t t = 0; t < right.size(); ++t) {
        const double expected = t >= 65 ? 5.0 * volumeOf(e, 3) * right[t - 65] : 0.0;
        ASSERT_NEAR(out.left[t], expected, 1e-5) << t;
        ASSERT_NEAR(out.right[t], expected, 1e-5) << t;
    }
}

// Volume, corner and filter glides all start from zero here, so every sample depends on
// the exact per-sample history; any host partition must give the same bits.
TEST(ConvolutionEngine, HostBlockSizeAndInPlaceBuffersDoNotChangeOneBit)
{
    const PreparedIr a = prepareIr(decayingIr(900, 3), 2048);
    const PreparedIr b = prepareIr(decayingIr(200, 4), 2048);
    const Samples left = noise(12000, 21);
    const Samples right = noise(12000, 22);
    auto make = [&](ConvolutionEngine& e) {
        e.reset(128);
        plainSlot(e, 0, 0);
        plainSlot(e, 1, 1);
        e.slot(0).volume = 0.7f;
        e.slot(0).lpEnabled = 1;
        e.slot(0).lpFrequency = 3000.0;
        e.slot(0).hpEnabled = 1;
        e.slot(0).hpFrequency = 150.0;
        e.slot(0).delayLength = 33;
        e.slot(1).panLeft = 0.3f;
        e.slot(1).lpEnabled = 1;
        e.slot(1).lpFrequency = 9000.0;
        e.slot(1).polarity = -1;
        e.loadSlot(0, a.spectrum.data(), 2048);
        e.loadSlot(1, b.spectrum.data(), 2048);
    };
    ConvolutionEngine reference(44100.0f);
    make(reference);
    const Stereo expected = run(reference, left, right, 4096);
    for (const std::vector<int>& blocks : std::vector<std::vector<int>>{{1}, {37}, {48}, {192}, {1000}, {4096}, {1, 511, 2, 700}}) {
        SCOPED_TRACE(blocks.front());
        ConvolutionEngine e(44100.0f);
        make(e);
        const Stereo out = run(e, left, right, blocks);
        ASSERT_EQ(0, std::memcmp(out.left.data(), expected.left.data(), left.size() * sizeof(float)));
        ASSERT_EQ(0, std::memcmp(out.right.data(), expected.right.data(), left.size() * sizeof(float)));
    }
    // Hosts may hand over the same arrays for input and output.
    ConvolutionEngine e(44100.0f);
    make(e);
    Samples l = left;
    Samples r = right;
    for (std::size_t i = 0; i < l.size(); i += 333) {
        const int n = static_cast<int>(std::min<std::size_t>(333, l.size() - i));
        e.process(l.data() + i, r.data() + i, l.data() + i, r.data() + i, n);
    }
    EXPECT_EQ(0, std::memcmp(l.data(), expected.left.data(), l.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(r.data(), expected.right.data(), r.size() * sizeof(float)));
}

// The strip filters run once per hop on the convolved block, low-pass first, with the
// corners the glides have reached at the end of that hop. Modelled here with a unit IR
// (the convolved block is the hop's input) and the glide written out.
TEST(ConvolutionEngine, FiltersRunPerHopWithTheGlidedCorners)
{
    const int hop = 64;
    ConvolutionEngine e(44100.0f);
    e.setOutput(1.0f);
    plainSlot(e, 0, 0);
    e.slot(0).lpEnabled = 1;
    e.slot(0).lpFrequency = 2500.0;
    e.slot(0).hpEnabled = 1;
    e.slot(0).hpFrequency = 400.0;
    e.reset(hop);
    const std::vector<double> ones = unitSpectrum(2048);
    e.loadSlot(0, ones.data(), 2048);
    const Samples left = noise(4000, 31);
    const Stereo out = run(e, left, left, 50);

    dsp::Biquad lp;
    dsp::Biquad hp;
    float volume = 0.0f;
    float lpCorner = 0.0f;
    float hpCorner = 0.0f;
    std::vector<double> block(hop, 0.0);
    std::vector<double> mixed(left.size(), 0.0);
    double delayed = 0.0;
    for (std::size_t t = 0; t < left.size(); ++t) {
        volume = static_cast<float>(1.0 * 0.001 + volume * 0.999);
        lpCorner = static_cast<float>(2500.0 * 0.001 + lpCorner * 0.999);
        hpCorner = static_cast<float>(400.0 * 0.001 + hpCorner * 0.999);
        const std::size_t pos = t % hop;
        mixed[t] = 5.0 * delayed * volume;
        delayed = block[pos];
        if (pos == hop - 1) {
            for (int i = 0; i < hop; ++i) {
                double x = left[t + 1 - hop + static_cast<std::size_t>(i)];
                lp.lowPass(lpCorner, 0.7, 44100.0, x);
                hp.highPass(hpCorner, 0.7, 44100.0, x);
                block[static_cast<std::size_t>(i)] = x;
            }
        }
    }
    for (std::size_t t = 0; t < left.size(); ++t) {
        ASSERT_NEAR(out.left[t], mixed[t], 1e-5) << t;
    }
}

TEST(ConvolutionEngine, PanLawScalesTheChannels)
{
    const std::vector<double> ones = unitSpectrum(2048);
    const Samples x = noise(1000, 41);
    for (float pan : {0.0f, 0.25f, 0.5f, 1.0f}) {
        SCOPED_TRACE(pan);
        const float panLeft = pan < 0.5f ? 1.0f : 2.0f - 2.0f * pan;
        const float panRight = pan <= 0.5f ? 2.0f * pan : 1.0f;
        ConvolutionEngine e(44100.0f);
        e.setOutput(1.0f);
        plainSlot(e, 1, 0);
        e.slot(1).panLeft = panLeft;
        e.slot(1).panRight = panRight;
        e.loadSlot(1, ones.data(), 2048);
        settle(e, 64);
        const Stereo out = run(e, x, x);
        for (std::size_t t = 65; t < x.size(); ++t) {
            const double dry = 5.0 * volumeOf(e, 1) * x[t - 65];
            ASSERT_NEAR(out.left[t], panLeft * dry, 1e-5);
            ASSERT_NEAR(out.right[t], panRight * dry, 1e-5);
        }
        if (panRight == 0.0f) {
            EXPECT_EQ(*std::max_element(out.right.begin(), out.right.end()), 0.0f);
        }
    }
}

TEST(ConvolutionEngine, PhaseInvertNegatesExactly)
{
    const PreparedIr ir = prepareIr(decayingIr(500, 6), 2048);
    const Samples x = noise(3000, 42);
    Stereo outs[2];
    for (int p = 0; p < 2; ++p) {
        ConvolutionEngine e(44100.0f);
        plainSlot(e, 0, 0);
        e.slot(0).polarity = p == 0 ? 1 : -1;
        e.slot(0).lpEnabled = 1;
        e.slot(0).lpFrequency = 5000.0;
        e.loadSlot(0, ir.spectrum.data(), 2048);
        outs[p] = run(e, x, x, 77);
    }
    for (std::size_t t = 0; t < x.size(); ++t) {
        ASSERT_EQ(outs[1].left[t], -outs[0].left[t]) << t;
        ASSERT_EQ(outs[1].right[t], -outs[0].right[t]) << t;
    }
}

// An impulse comes out B + max(1, delay) samples late; the delay is capped by the
// capacity of the current rate.
TEST(ConvolutionEngine, DelayLineAddsItsLengthAndAtLeastOneSample)
{
    const std::vector<double> ones = unitSpectrum(2048);
    for (const auto& [length, lateness] : std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {110, 110}, {220, 220}, {5000, 220}}) {
        SCOPED_TRACE(length);
        ConvolutionEngine e(44100.0f);
        plainSlot(e, 4, 0);
        e.slot(4).delayLength = length;
        e.loadSlot(4, ones.data(), 2048);
        settle(e, 128);
        Samples x(1000, 0.0f);
        x[10] = 1.0f;
        const Stereo out = run(e, x, x, 300);
        for (std::size_t t = 0; t < x.size(); ++t) {
            const bool peak = t == static_cast<std::size_t>(10 + 128 + lateness);
            if (peak) {
                EXPECT_NEAR(out.left[t], 5.0 * 0.5 * volumeOf(e, 4), 1e-6);
            } else {
                ASSERT_NEAR(out.left[t], 0.0, 1e-9) << t;
            }
        }
    }
}

TEST(ConvolutionEngine, OffPassesTheInputBitExactAndFreezesTheRest)
{
    const PreparedIr ir = prepareIr(decayingIr(300, 7), 2048);
    auto make = [&](ConvolutionEngine& e) {
        plainSlot(e, 0, 0);
        plainSlot(e, 1, 1);
        e.loadSlot(0, ir.spectrum.data(), 2048);
        e.loadSlot(1, ir.spectrum.data(), 2048);
        settle(e, 64);
    };
    ConvolutionEngine e(44100.0f);
    ConvolutionEngine uninterrupted(44100.0f);
    make(e);
    make(uninterrupted);
    const Samples before = noise(1000, 51);
    const Samples after = noise(1000, 52);
    run(e, before, before, 100);
    run(uninterrupted, before, before, 100);
    const int pos = e.hopPosition();

    // Off: every finite sample, denormals and -0 included, passes unchanged, also in place;
    // a NaN or an infinity passes as silence.
    Samples left = noise(777, 53);
    Samples right = noise(777, 54);
    right[5] = std::numeric_limits<float>::denorm_min();
    right[6] = -0.0f;
    Samples passedLeft = left;
    passedLeft[3] = 0.0f;
    passedLeft[4] = 0.0f;
    left[3] = std::numeric_limits<float>::quiet_NaN();
    left[4] = std::numeric_limits<float>::infinity();
    e.setRunning(false);
    const Stereo passed = run(e, left, right, 64);
    EXPECT_EQ(0, std::memcmp(passed.left.data(), passedLeft.data(), left.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(passed.right.data(), right.data(), right.size() * sizeof(float)));
    Samples inPlaceL = left;
    Samples inPlaceR = right;
    e.process(inPlaceL.data(), inPlaceR.data(), inPlaceL.data(), inPlaceR.data(), static_cast<int>(left.size()));
    EXPECT_EQ(0, std::memcmp(inPlaceL.data(), passedLeft.data(), left.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(inPlaceR.data(), right.data(), right.size() * sizeof(float)));
    EXPECT_EQ(e.hopPosition(), pos);

    // On again: it carries on exactly where it stopped.
    e.setRunning(true);
    const Stereo resumed = run(e, after, after, 100);
    const Stereo expected = run(uninterrupted, after, after, 100);
    EXPECT_EQ(0, std::memcmp(resumed.left.data(), expected.left.data(), after.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(resumed.right.data(), expected.right.data(), after.size() * sizeof(float)));
}

// The solo mask is not smoothed: from the next block on, a muted slot is simply absent.
TEST(ConvolutionEngine, SoloMaskAppliesWithoutGlide)
{
    const PreparedIr a = prepareIr(decayingIr(300, 9), 2048);
    const PreparedIr b = prepareIr(decayingIr(300, 10), 2048);
    ConvolutionEngine both(44100.0f);
    ConvolutionEngine alone(44100.0f);
    for (ConvolutionEngine* e : {&both, &alone}) {
        plainSlot(*e, 0, 0);
        e->loadSlot(0, a.spectrum.data(), 2048);
        plainSlot(*e, 1, 1);
        e->loadSlot(1, b.spectrum.data(), 2048);
    }
    alone.slot(1).audible = 0;
    const Samples x1 = noise(2000, 61);
    const Samples x2 = noise(2000, 62);
    const Stereo first = run(both, x1, x2, 100);
    run(alone, x1, x2, 100);
    both.slot(1).audible = 0;
    const Stereo muted = run(both, x2, x1, 100);
    const Stereo expected = run(alone, x2, x1, 100);
    for (std::size_t t = 0; t < x1.size(); ++t) {
        ASSERT_EQ(muted.left[t], expected.left[t]) << t;
        ASSERT_EQ(muted.right[t], expected.right[t]) << t;
    }
    EXPECT_NE(first.left, muted.left);
}

// Switching a slot off clears its convolution; what sits in its delay line still plays.
TEST(ConvolutionEngine, BypassedSlotDrainsItsDelayLineThenFallsSilent)
{
    const PreparedIr ir = prepareIr(decayingIr(600, 12), 2048);
    ConvolutionEngine bypassed(44100.0f);
    ConvolutionEngine kept(44100.0f);
    for (ConvolutionEngine* e : {&bypassed, &kept}) {
        plainSlot(*e, 2, 0);
        e->slot(2).delayLength = 50;
        e->loadSlot(2, ir.spectrum.data(), 2048);
        e->reset(64);
    }
    const Samples x = noise(3000, 71);
    run(bypassed, x, x, 100);
    run(kept, x, x, 100);
    bypassed.slot(2).active = 0;
    bypassed.clearSlot(2);
    const Samples y = noise(1000, 72);
    const Stereo out = run(bypassed, y, y, 100);
    const Stereo ref = run(kept, y, y, 100);
    for (std::size_t t = 0; t < y.size(); ++t) {
        if (t < 50) {
            ASSERT_EQ(out.left[t], ref.left[t]) << t;
            ASSERT_NE(out.left[t], 0.0f) << t;
        } else {
            ASSERT_EQ(out.left[t], 0.0f) << t;
            ASSERT_EQ(out.right[t], 0.0f) << t;
        }
    }
}

// After a reset only the delay line's last sample remains of the past; from then on the
// output equals that of an engine that never heard the earlier input.
TEST(ConvolutionEngine, ResetRestartsFromSilenceAtHopPositionZero)
{
    const PreparedIr ir = prepareIr(decayingIr(1000, 13), 2048);
    ConvolutionEngine used(44100.0f);
    ConvolutionEngine fresh(44100.0f);
    for (ConvolutionEngine* e : {&used, &fresh}) {
        plainSlot(*e, 0, 0);
        plainSlot(*e, 1, 1);
        e->loadSlot(0, ir.spectrum.data(), 2048);
        e->loadSlot(1, ir.spectrum.data(), 2048);
        settle(*e, 256);
    }
    const Samples x = noise(1900, 81);
    run(used, x, x, 100);
    used.reset(128);
    fresh.reset(128);
    EXPECT_EQ(used.hop(), 128);
    const Samples y = noise(1000, 82);
    const Stereo out = run(used, y, y, 300);
    const Stereo ref = run(fresh, y, y, 300);
    EXPECT_EQ(used.currentHop(), 128);
    EXPECT_EQ(used.hopPosition(), 1000 % 128);
    for (std::size_t t = 1; t < y.size(); ++t) {
        ASSERT_EQ(out.left[t], ref.left[t]) << t;
        ASSERT_EQ(out.right[t], ref.right[t]) << t;
    }
}

// A load takes effect at the next block: the slot restarts from silence (gathered input
// and tail cleared) and then convolves with the new IR only.
TEST(ConvolutionEngine, LoadSwapsTheIrAndRestartsTheSlot)
{
    const int hop = 128;
    const PreparedIr oldIr = prepareIr(decayingIr(1024, 14), 2048);
    const PreparedIr newIr = prepareIr(decayingIr(700, 15), 2048);
    ConvolutionEngine e(44100.0f);
    e.setOutput(1.0f);
    plainSlot(e, 0, 0);
    e.loadSlot(0, oldIr.spectrum.data(), 2048);
    settle(e, hop);
    const Samples x = noise(4000, 91);
    const std::size_t swapAt = 1000; // mid-hop on purpose
    Stereo out{Samples(x.size()), Samples(x.size())};
    e.process(x.data(), x.data(), out.left.data(), out.right.data(), static_cast<int>(swapAt));
    ASSERT_TRUE(e.loadSlot(0, newIr.spectrum.data(), 2048));
    e.process(x.data() + swapAt, x.data() + swapAt, out.left.data() + swapAt, out.right.data() + swapAt,
              static_cast<int>(x.size() - swapAt));
    Samples heard = x;
    std::fill(heard.begin(), heard.begin() + static_cast<long>(swapAt), 0.0f);
    const std::vector<long double> conv = convolve(heard, newIr.taps);
    const double g = 5.0 * volumeOf(e, 0);
    for (std::size_t t = swapAt + 1; t < x.size(); ++t) {
        const double expected = t >= static_cast<std::size_t>(hop + 1) ? g * static_cast<double>(conv[t - hop - 1]) : 0.0;
        ASSERT_NEAR(out.left[t], expected, 2e-5) << t;
    }
}

// Silence here means: nothing but what was already in the one-sample delay line.
bool silentAfterFirst(const Stereo& out)
{
    for (std::size_t t = 1; t < out.left.size(); ++t) {
        if (out.left[t] != 0.0f || out.right[t] != 0.0f) {
            return false;
        }
    }
    return true;
}

TEST(ConvolutionEngine, SpectrumOfAnotherSizeIsRefused)
{
    const std::vector<double> ones = unitSpectrum(2048);
    ConvolutionEngine e(44100.0f);
    ConvolutionEngine twin(44100.0f);
    for (ConvolutionEngine* engine : {&e, &twin}) {
        plainSlot(*engine, 0, 0);
        ASSERT_TRUE(engine->loadSlot(0, ones.data(), 2048));
    }
    const Samples x = noise(1000, 101);
    run(e, x, x);
    run(twin, x, x);

    // Refused outright, and nothing changes: no clears, the spectrum in use stays.
    EXPECT_FALSE(e.loadSlot(0, ones.data(), 1024));
    EXPECT_FALSE(e.loadSlot(0, ones.data(), 4096));
    EXPECT_FALSE(e.loadSlot(0, nullptr, 2048));
    EXPECT_FALSE(e.loadSlot(6, ones.data(), 2048));
    EXPECT_FALSE(e.loadSlot(-1, ones.data(), 2048));
    const Stereo kept = run(e, x, x);
    const Stereo expected = run(twin, x, x);
    EXPECT_EQ(kept.left, expected.left);
    EXPECT_FALSE(silentAfterFirst(kept));
}

// N, H and D are those of the 44100 Hz an effect is built at, whatever rate the engine is
// built at or later given; only the filters follow the rate.
TEST(ConvolutionEngine, SizesStayFixedAtAnyRate)
{
    ConvolutionEngine high(96000.0f);
    ConvolutionEngine e(44100.0f);
    for (ConvolutionEngine* engine : {&high, &e}) {
        EXPECT_EQ(engine->fftSize(), 2048);
        EXPECT_EQ(engine->halfSize(), 1024);
        EXPECT_EQ(engine->hop(), 100);
        EXPECT_EQ(engine->delayCapacity(), 220);
    }
    e.reset(256);
    for (float rate : {48000.0f, 96000.0f, 192000.0f, 22050.0f}) {
        e.setSampleRate(rate);
        EXPECT_EQ(e.sampleRate(), rate);
        EXPECT_EQ(e.fftSize(), 2048);
        EXPECT_EQ(e.delayCapacity(), 220);
        EXPECT_EQ(e.hop(), 256);
    }
    for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        e.setSampleRate(bad);
        EXPECT_EQ(e.sampleRate(), 22050.0f);
    }
}

// A rate change between blocks keeps the convolution running (no clears, same IR) and
// moves only the filter corners' meaning: with the filters off, the output is the same.
TEST(ConvolutionEngine, RateChangeKeepsTheConvolution)
{
    const PreparedIr ir = prepareIr(decayingIr(1024, 16), 2048);
    const Samples x = noise(8000, 111);
    auto make = [&](ConvolutionEngine& e) {
        e.setOutput(1.0f);
        plainSlot(e, 0, 1);
        e.slot(0).delayLength = 220;
        e.reset(512);
        ASSERT_TRUE(e.loadSlot(0, ir.spectrum.data(), 2048));
    };
    ConvolutionEngine steady(44100.0f);
    ConvolutionEngine moved(44100.0f);
    make(steady);
    make(moved);
    const Stereo a1 = run(steady, x, x, 1000);
    const Stereo b1 = run(moved, x, x, 1000);
    moved.setSampleRate(96000.0f);
    const Stereo a2 = run(steady, x, x, 1000);
    const Stereo b2 = run(moved, x, x, 1000);
    EXPECT_EQ(a1.left, b1.left);
    EXPECT_EQ(a2.left, b2.left);
    EXPECT_EQ(a2.right, b2.right);
    EXPECT_FALSE(silentAfterFirst(b2));
}

TEST(ConvolutionEngine, BadInputIsHarmless)
{
    ConvolutionEngine e(44100.0f);
    const std::vector<double> ones = unitSpectrum(2048);
    plainSlot(e, 0, 0);
    e.loadSlot(0, ones.data(), 2048);
    // Writes to slots that do not exist land nowhere.
    e.slot(-1).active = 1;
    e.slot(6).volume = 100.0f;
    e.clearSlot(99);
    EXPECT_EQ(e.slot(5).active.load(), 0);
    // Nothing happens for empty blocks or missing buffers.
    float buf[4] = {1, 2, 3, 4};
    e.process(buf, buf, buf, buf, 0);
    e.process(nullptr, buf, buf, buf, 4);
    e.process(buf, buf, buf, nullptr, 4);
    EXPECT_EQ(buf[0], 1.0f);
    // Hops are clamped to what the overlap-add can hold.
    e.reset(0);
    EXPECT_EQ(e.hop(), 1);
    e.reset(100000);
    EXPECT_EQ(e.hop(), 512);
    // A NaN volume reads as silence instead of poisoning the glide for good.
    e.slot(0).volume = std::numeric_limits<float>::quiet_NaN();
    const Samples x = noise(5000, 121);
    const Stereo out = run(e, x, x);
    for (float v : out.left) {
        ASSERT_TRUE(std::isfinite(v));
    }
    EXPECT_TRUE(std::isfinite(e.slotState(0).volumeSmoothed));
}

#if defined(__SSE2__) || defined(__x86_64__)
TEST(ConvolutionEngine, RestoresTheCallersFloatingPointMode)
{
    ConvolutionEngine e(44100.0f);
    plainSlot(e, 0, 0);
    const Samples x = noise(300, 131);
    Samples y(x.size());
    const unsigned int before = _mm_getcsr();
    e.process(x.data(), x.data(), y.data(), y.data(), static_cast<int>(x.size()));
    EXPECT_EQ(_mm_getcsr(), before);
    _mm_setcsr(before | 0x8040u);
    e.process(x.data(), x.data(), y.data(), y.data(), static_cast<int>(x.size()));
    EXPECT_EQ(_mm_getcsr(), before | 0x8040u);
    _mm_setcsr(before);
}
#endif

} // namespace
