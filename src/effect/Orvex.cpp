// The effect's lifecycle and identity: construction, the audio callback, the sample rate, the
// program change that sets every part, and what it answers about itself.
#include "effect/Orvex.h"

#include "dsp/ConvolutionEngine.h"
#include "effect/CabStatusRequest.h"
#include "effect/OrvexDetail.h"
#include "vst/HostStrings.h"
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace orvex {

using namespace detail;

Orvex::Orvex(vst::HostCallback audioMaster) : Orvex(audioMaster, LoaderFactory())
{
}

Orvex::Orvex(vst::HostCallback audioMaster, const LoaderFactory& makeLoader)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    engine_ = std::make_unique<dsp::ConvolutionEngine>(sampleRate);
    files_ = std::make_unique<CabFiles>(
        *engine_, programs_, editorLink_, [this](const Loader::Job& job) { runJob(job); }, makeLoader);
    router_ = std::make_unique<ParameterRouter>(*engine_, programs_, *files_, editorLink_);
    files_->connect(*router_);

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
    setProgram(0);
    files_->setHostWindow(platform::defaultLayer().getForegroundRootOwner());
    // resume() asks for events only for synthesizers or MIDI effects; this is neither.
}

Orvex::~Orvex()
{
    // The loader's jobs use every part and the editor: it stops while they all still stand.
    files_->stop();
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
    constexpr int kOfflineWaitMs = 10000;
    if (!files_->pending() || files_->onFileThread() || getCurrentProcessLevel() != vst::kVstProcessLevelOffline)
        return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOfflineWaitMs);
    while (files_->pending() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Orvex::runJob(const Loader::Job& job)
{
    switch (job.kind) {
    case kJobProgram: applyProgram(job.index); break;
    case kJobChunk:
        if (programs_.restoreStaged())
            applyProgram(programs_.current());
        break;
    default: break;
    }
}

// --- parameters -------------------------------------------------------------------------

void Orvex::setParameter(vst::Int32 index, float value)
{
    router_->set(index, value);
}

float Orvex::getParameter(vst::Int32 index)
{
    return router_->get(index);
}

void Orvex::getParameterName(vst::Int32 index, char* text)
{
    // Names are written whole: at most 13 characters.
    constexpr int kNameLimit = 15;
    if (const char* name = paramName(index))
        hoststr::copy(text, name, kNameLimit);
}

void Orvex::getParameterLabel(vst::Int32, char*)
{
    // Units are part of the display texts.
}

void Orvex::getParameterDisplay(vst::Int32 index, char* text)
{
    router_->display(index, text, sampleRate);
}

// --- programs and saved state -----------------------------------------------------------

void Orvex::setProgram(vst::Int32 program)
{
    if (program < 0 || program >= kNumPrograms)
        return;
    // The index is the host's to read back at once (getProgram answers from the store, not
    // from the base's curProgram); applying it reads files.
    programs_.setCurrent(program);
    if (files_->onFileThread())
        applyProgram(program);
    else
        files_->post(kJobProgram, program);
}

void Orvex::applyProgram(int program)
{
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    // A newer program change may have been asked for while this one waited its turn.
    if (program != programs_.current())
        return;
    ProgramRecord& rec = programs_.record(program);
    terminateFields(rec);
    static const int links[] = {kLink12, kLink34, kLink56, kBlend13, kBlend24};
    // Every value applied below comes from the record as it was when we started. The steps
    // write into the same record as they go (switching a link on copies the working volume
    // of one cab into its partner, before the saved volumes are applied), and reading the
    // live record would bring back those writes instead of what was saved. File names and
    // folders are read live: a link shares them on purpose.
    float saved[kNumStoredParams];
    programs_.values(program, saved);
    auto setStored = [&](int index) { setParameter(index, saved[recordSlot(index)]); };

    setStored(kLatency);
    setSampleRate(sampleRate);
    reloadAllCabs();
    for (int index : links)
        setStored(index);
    for (int first : {kVolume, kSolo, kChannel, kPhase, kPan, kFreqHp, kFreqLp, kDelay}) {
        for (int cab = 0; cab < kNumCabs; ++cab)
            setStored(first + cab);
    }
    setStored(kOutput);
    setStored(kOnOff);
    setParameter(kRequestPushFolders, 0.0f);
    for (int cab = 0; cab < kNumCabs; ++cab) {
        char path[kFolderSize];
        if (fieldLength(rec.fileName[cab], kFileNameSize) >= kMinNameLength) {
            if (programs_.joinPath(cab, path))
                files_->loadCabIr(cab + 1, path);
            setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));
        } else {
            setParameter(kRequestClearCab, static_cast<float>(cab + 1));
        }
    }
    for (int cab = 0; cab < kNumCabs; ++cab)
        setStored(kBypass + cab);
    for (int index : links)
        setStored(index);
    setStored(kLatency);
}

void Orvex::setProgramName(char* name)
{
    programs_.setName(name);
}

void Orvex::getProgramName(char* name)
{
    programs_.getName(name);
}

bool Orvex::getProgramNameIndexed(vst::Int32, vst::Int32 index, char* text)
{
    return programs_.getNameIndexed(index, text);
}

vst::Int32 Orvex::getChunk(void** data, bool isPreset)
{
    return programs_.getChunk(data, isPreset);
}

vst::Int32 Orvex::setChunk(void* data, vst::Int32 byteSize, bool isPreset)
{
    if (!data || !ProgramStore::chunkSizeFits(byteSize, isPreset))
        return 0;
    if (files_->onFileThread()) {
        std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
        programs_.restore(data, isPreset);
        applyProgram(programs_.current());
        return 1;
    }
    // A thread that may not read files: the bytes are kept aside (the host may free its
    // copy as soon as we return) and the loader restores them. Only while the loader is
    // copying an earlier chunk out is there no room; the host then hears that this one was
    // not taken. A chunk staged but not yet taken is replaced: the newest restore wins.
    if (!programs_.stage(data, byteSize, isPreset))
        return 0;
    files_->post(kJobChunk);
    return 1;
}

// --- cab files --------------------------------------------------------------------------

void Orvex::loadCabIr(int cab, const char* path)
{
    files_->loadCabIr(cab, path);
}

void Orvex::reloadAllCabs()
{
    router_->reloadAllCabs();
}

bool Orvex::chooseCabFile(int cab, const char* path)
{
    return files_->chooseCabFile(cab, path);
}

void Orvex::setOwnerThread(std::uint64_t threadId)
{
    files_->setOwnerThread(threadId);
}

std::uint64_t Orvex::ownerThread() const
{
    return files_->ownerThread();
}

int Orvex::loadCount() const
{
    return files_->loadCount();
}

bool Orvex::loadsPending() const
{
    return files_->pending();
}

std::uint64_t Orvex::lastLoadThread() const
{
    return files_->lastLoadThread();
}

long long Orvex::loaderWakeUps() const
{
    return files_->wakeUps();
}

// --- reading ----------------------------------------------------------------------------

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

float Orvex::latencyValue() const
{
    return router_->latencyValue();
}

bool Orvex::linkFlag(int pair) const
{
    return router_->linkFlag(pair);
}

bool Orvex::blendFlag(int pair) const
{
    return router_->blendFlag(pair);
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

vst::IntPtr Orvex::vendorSpecific(vst::Int32 index, vst::IntPtr value, void* ptr, float opt)
{
    if (index != kCabStatusIndex)
        return AudioEffectX::vendorSpecific(index, value, ptr, opt);
    if (value < 1 || value > kNumCabs || ptr == nullptr)
        return 0;
    for (int wait = 0; files_->pending() && wait < 10000; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const char* silence = files_->silence(static_cast<int>(value) - 1);
    hoststr::copy(static_cast<char*>(ptr), silence != nullptr ? silence : "", kCabStatusTextSize - 1);
    return silence != nullptr ? kCabSilent : kCabPlays;
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
