// The effect's lifecycle and identity: construction, the audio callback, the sample rate,
// what it answers about itself, and read access to derived values.
#include "effect/Orvex.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "effect/IrLoader.h"
#include "host/HostStrings.h"
#include "platform/Platform.h"

#include <chrono>
#include <cmath>
#include <new>
#include <thread>
#include <utility>

namespace orvex {

Orvex::Orvex(vst::HostCallback audioMaster)
    : Orvex(audioMaster, [](Loader::LoadFunction load, Loader::JobFunction work) -> std::unique_ptr<Loader> {
          return std::make_unique<IrLoader>(std::move(load), std::move(work));
      })
{
}

Orvex::Orvex(vst::HostCallback audioMaster, const LoaderFactory& makeLoader)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    engine_ = std::make_unique<dsp::ConvolutionEngine>(sampleRate);
    preparer_ = std::make_unique<dsp::IrPreparer>();
    cache_ = std::make_unique<dsp::IrCache>(*preparer_);
    spectrum_.assign(dsp::ConvolutionEngine::kFftSize, 0.0);
    stagedChunk_ = std::make_unique<ProgramRecord[]>(kNumPrograms);

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
    loader_ = makeLoader([this](int cab, const char* path, std::uint32_t ticket) { loadTicketed(cab, path, ticket); },
                         [this](const Loader::Job& job) { runJob(job.kind, job.index, job.value); });
    if (!loader_)
        throw std::bad_alloc();
    for (auto& record : programs_)
        record.makeFresh();
    ownerThread_.store(platform::currentThreadId());
    setProgram(0);
    hostWindow_ = platform::getForegroundRootOwner();
    // resume() asks for events only for synthesizers or MIDI effects; this is neither.
}

Orvex::~Orvex()
{
    // Its thread uses the engine, the preparer, the editor and the effect itself (its jobs
    // ask which thread they run on) until it ends: it stops while all of them still stand.
    loader_->stop();
    loader_.reset();
}

void Orvex::processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames)
{
    if (!inputs || !outputs || sampleFrames <= 0)
        return;
    awaitLoadsIfOffline();
    engine_->process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

void Orvex::awaitLoadsIfOffline()
{
    // Decision: a block waits for the loader only when the host says it renders offline
    // (a bounce, an export). There nobody hears a late block, and a bounce must start with
    // the IRs its project names, not with a moment of silence or of the previous cab, as
    // it would in real time. The host is asked only while something is outstanding, so a
    // real-time block costs one atomic load here. The wait is bounded (a file on a drive
    // that hangs must not hang the export for good): after kOfflineWaitMs the block plays
    // with what has arrived.
    constexpr std::uint32_t kOfflineWaitMs = 10000;
    if (!loader_->busy() || onFileThread() || getCurrentProcessLevel() != vst::kVstProcessLevelOffline)
        return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOfflineWaitMs);
    while (loader_->busy() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// --- threads ----------------------------------------------------------------------------

bool Orvex::onOwnerThread() const
{
    return platform::currentThreadId() == ownerThread_.load();
}

bool Orvex::onFileThread() const
{
    const std::uint64_t me = platform::currentThreadId();
    return me == ownerThread_.load() || me == loader_->threadId();
}

void Orvex::postJob(int kind, int index, float value)
{
    Loader::Job job;
    job.kind = kind;
    job.index = index;
    job.value = value;
    loader_->post(job);
}

void Orvex::runJob(int kind, int index, float value)
{
    // On the loader's thread: the work a thread without disk access asked for, as that
    // thread would have done it in line.
    switch (kind) {
    case kJobReloadCabs: reloadCabFiles(); break;
    case kJobShareLink: shareLinkedFiles(index); break;
    case kJobFileMenu: applyFileMenu(index); break;
    case kJobStepNext: applyStep(index, true); break;
    case kJobStepPrevious: applyStep(index, false); break;
    case kJobRequest: applyEditorRequest(index, value); break;
    case kJobProgram: applyProgram(index); break;
    case kJobChunk: applyStagedChunk(); break;
    default: break;
    }
}

bool Orvex::loadsPending() const
{
    return loader_->busy();
}

long long Orvex::loaderWakeUps() const
{
    return loader_->wakeUps();
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
