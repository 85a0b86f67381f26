// The effect's lifecycle and identity: construction, the audio callback, the sample rate,
// what it answers about itself, and read access to derived values.
#include "effect/Orvex.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "effect/IrLoader.h"
#include "host/HostStrings.h"
#include "platform/Platform.h"

#include <cmath>

namespace orvex {

Orvex::Orvex(vst::HostCallback audioMaster) : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    engine_ = std::make_unique<dsp::ConvolutionEngine>(sampleRate);
    preparer_ = std::make_unique<dsp::IrPreparer>();
    cache_ = std::make_unique<dsp::IrCache>(*preparer_);
    spectrum_.assign(dsp::ConvolutionEngine::kFftSize, 0.0);

    canProcessReplacing();
    programsAreChunks();
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(vst::fourCC('O', 'V', 'X', '2'));

    for (int cab = 0; cab < kNumCabs; ++cab) {
        dsp::CabSlotControls& c = engine_->slot(cab);
        c.audible.store(1);
        c.hpEnabled.store(1);
        c.lpEnabled.store(1);
    }
    for (auto& f : linkFlags_)
        f.store(0);
    for (auto& f : blendFlags_)
        f.store(0);
    for (auto& v : values_)
        v.store(0.0f);
    for (int cab = 0; cab < kNumCabs; ++cab) {
        loadTickets_[cab].store(0);
        loadedTickets_[cab].store(0);
    }
    loader_ = std::make_unique<IrLoader>(
        [this](int cab, const char* path, std::uint32_t ticket) { loadTicketed(cab, path, ticket); });
    for (auto& record : programs_)
        record.makeFresh();
    ownerThread_.store(platform::currentThreadId());
    setProgram(0);
    hostWindow_ = platform::getForegroundRootOwner();
    // resume() asks for events only for synthesizers or MIDI effects; this is neither.
    linkGuard_ = 0;
}

Orvex::~Orvex()
{
    loader_.reset(); // its thread uses the engine and the preparer until it ends
}

void Orvex::processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames)
{
    // Remembered so that loads asked for on this thread go to the loader.
    audioThread_.store(platform::currentThreadId(), std::memory_order_relaxed);
    if (!inputs || !outputs || sampleFrames <= 0)
        return;
    engine_->process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

// --- reading --------------------------------------------------------------------------

double Orvex::hpFrequency(int cab) const
{
    return engine_->slot(cab).hpFrequency.load(std::memory_order_relaxed);
}

double Orvex::lpFrequency(int cab) const
{
    return engine_->slot(cab).lpFrequency.load(std::memory_order_relaxed);
}

int Orvex::delayLength(int cab) const
{
    return engine_->slot(cab).delayLength.load(std::memory_order_relaxed);
}

int Orvex::audible(int cab) const
{
    return engine_->slot(cab).audible.load(std::memory_order_relaxed);
}

int Orvex::delayCapacity() const
{
    return engine_->delayCapacity();
}

void Orvex::setSampleRate(float rate)
{
    if (!(rate > 0.0f) || !std::isfinite(rate))
        return; // a host's nonsense rate changes nothing
    // The same rate again (every program change re-applies it) writes nothing: the editor's
    // thread reads the rate for the latency text while a program changes elsewhere.
    if (rate == sampleRate)
        return;
    AudioEffectX::setSampleRate(rate);
    // The sizes N, H and D stay as they were built (a stored delay is a number of samples
    // of D, and must mean the same at every rate); only the filters follow the rate. The
    // IRs are prepared again for the new rate, since one resampled for another rate would
    // play a wrong cabinet until the next program change.
    engine_->setSampleRate(rate);
    reloadAllCabs();
}

// --- identity ---------------------------------------------------------------------------

bool Orvex::getEffectName(char* name)
{
    hoststr::copy(name, "Tavrin_Orvex2_Dud1", vst::kVstMaxEffectNameLen);
    return true;
}

bool Orvex::getVendorString(char* text)
{
    hoststr::copy(text, "Dumek Plugins", vst::kVstMaxVendorStrLen);
    return true;
}

bool Orvex::getProductString(char* text)
{
    hoststr::copy(text, "Tavrin_Orve2_Dud1", vst::kVstMaxProductStrLen);
    return true;
}

} // namespace orvex
