#include "reference/SingleBlockEngine.h"

#include <algorithm>
#include <cmath>

namespace reference {

namespace {

float glide(double target, float previous)
{
    return static_cast<float>(target * 0.001 + static_cast<double>(previous) * 0.999);
}

} // namespace

SingleBlockEngine::SingleBlockEngine(float sampleRate)
    : rate_(sampleRate)
    , d_(220)
{
}

void SingleBlockEngine::Slot::clear()
{
    std::fill(tail.begin(), tail.end(), 0.0);
    std::fill(block.begin(), block.end(), 0.0);
}

bool SingleBlockEngine::loadSlot(int slot, const double* spectrum)
{
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    std::copy(spectrum, spectrum + kN, s.pending.begin());
    s.fresh = true;
    return true;
}

void SingleBlockEngine::reset(int hop)
{
    resetRequest_ = std::clamp(hop, 1, 512);
}

void SingleBlockEngine::clearSlot(int slot)
{
    slots_[static_cast<std::size_t>(slot)].clearRequest = true;
}

void SingleBlockEngine::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    bool anyTaken = false;
    for (Slot& s : slots_) {
        if (s.fresh) {
            s.spectrum = s.pending;
            anyTaken = true;
        }
    }
    if (resetRequest_ != 0) {
        b_ = resetRequest_;
        resetRequest_ = 0;
        for (auto& g : gather_)
            std::fill(g.begin(), g.end(), 0.0);
        for (Slot& s : slots_)
            s.clear();
        pos_ = 0;
    }
    if (anyTaken)
        for (auto& g : gather_)
            std::fill(g.begin(), g.end(), 0.0);
    for (Slot& s : slots_) {
        if (s.fresh || s.clearRequest)
            s.clear();
        s.fresh = false;
        s.clearRequest = false;
    }
    const double outputGain = static_cast<double>(output_) * 5.0;
    for (int i = 0; i < frames; ++i) {
        const float l = inL[i];
        const float r = inR[i];
        if (!running_) {
            for (Slot& s : slots_) {
                s.volume = glide(s.controls.volume.load(), s.volume);
                s.hp = glide(s.controls.hpFrequency.load(), s.hp);
                s.lp = glide(s.controls.lpFrequency.load(), s.lp);
            }
            outL[i] = l;
            outR[i] = r;
            continue;
        }
        gather_[0][static_cast<std::size_t>(pos_)] = l;
        gather_[1][static_cast<std::size_t>(pos_)] = r;
        double sumL = 0.0;
        double sumR = 0.0;
        for (Slot& s : slots_) {
            const dsp::CabSlotControls& c = s.controls;
            s.volume = glide(c.volume.load(), s.volume);
            s.hp = glide(c.hpFrequency.load(), s.hp);
            s.lp = glide(c.lpFrequency.load(), s.lp);
            const double gain = (c.polarity.load() < 0 ? -1.0 : 1.0) * (c.audible.load() != 0 ? 1.0 : 0.0);
            const double v = static_cast<double>(s.volume);
            const double d = s.line[static_cast<std::size_t>(s.readPos)];
            sumL += static_cast<double>(c.panLeft.load()) * d * v * gain;
            sumR += static_cast<double>(c.panRight.load()) * d * v * gain;
            s.line[static_cast<std::size_t>(s.readPos)] = s.block[static_cast<std::size_t>(pos_)];
            if (++s.readPos >= std::clamp(c.delayLength.load(), 0, d_))
                s.readPos = 0;
        }
        outL[i] = static_cast<float>(outputGain * sumL);
        outR[i] = static_cast<float>(outputGain * sumR);
        if (++pos_ >= b_) {
            hopStep();
            pos_ = 0;
        }
    }
}

void SingleBlockEngine::hopStep()
{
    int leftUsers = 0;
    int rightUsers = 0;
    for (Slot& s : slots_) {
        if (s.controls.active.load() != 0) {
            leftUsers += s.controls.leftInput.load() != 0 ? 1 : 0;
            rightUsers += s.controls.rightInput.load() != 0 ? 1 : 0;
        }
    }
    if (leftUsers + rightUsers == 0)
        return;
    if (leftUsers > 0)
        fft_.forward(gather_[0].data(), inSpectrum_[0].data());
    if (rightUsers > 0)
        fft_.forward(gather_[1].data(), inSpectrum_[1].data());
    const int h = kN / 2;
    for (Slot& s : slots_) {
        const dsp::CabSlotControls& c = s.controls;
        if (c.active.load() == 0)
            continue;
        const double* a = s.spectrum.data();
        const double* x = inSpectrum_[c.leftInput.load() != 0 ? 0 : 1].data();
        double* p = s.product.data();
        p[0] = a[0] * x[0];
        p[h] = a[h] * x[h];
        for (int i = 1; i < h; ++i) {
            p[i] = a[i] * x[i] - a[h + i] * x[h + i];
            p[h + i] = a[h + i] * x[i] + x[h + i] * a[i];
        }
        // The 1/N of the inverse is applied while adding (N is a power of two: exact), and
        // the filters run over the whole hop, low-pass first, as the engine did.
        fft_.inverse(p, s.result.data());
        const double scale = 1.0 / kN;
        double* block = s.block.data();
        const double* result = s.result.data();
        double* tail = s.tail.data();
        for (int i = 0; i < b_; ++i)
            block[i] = tail[i] + result[i] * scale;
        if (c.lpEnabled.load() != 0)
            s.lpFilter.lowPassBlock(static_cast<double>(s.lp), 0.7, static_cast<double>(rate_), block, b_);
        if (c.hpEnabled.load() != 0)
            s.hpFilter.highPassBlock(static_cast<double>(s.hp), 0.7, static_cast<double>(rate_), block, b_);
        for (int i = b_; i < kN; ++i)
            tail[i - b_] = result[i] * scale + tail[i];
    }
}

} // namespace reference
