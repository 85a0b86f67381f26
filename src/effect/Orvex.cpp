#include "effect/Orvex.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "effect/EditorLink.h"
#include "files/CFileSelector.h"
#include "host/HostStrings.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orvex {

namespace {

// Host buffers: names are written whole (at most 13 characters); display texts are at most
// 8 characters, which every text of the table fits ("12.0 kHz" is the longest). We never
// write beyond these limits, so an odd rate that would make a longer latency text is cut
// rather than overrunning a host's buffer.
constexpr int kNameLimit = 15;
constexpr int kDisplayLimit = 8;

// A cab counts as having a file when its name has at least this many characters; the
// file-menu and stepping actions ask the same of the folder.
constexpr std::size_t kMinNameLength = 3;

void writeDisplay(char* text, const char* value)
{
    hoststr::copy(text, value, kDisplayLimit);
}

// Length of a text inside a fixed field; a field without terminator counts as full.
std::size_t fieldLength(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, 0, size);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size;
}

// Terminates every string field of a record inside its field. A chunk comes from a project
// file of unknown origin; after this every field can be read as an ordinary string.
void terminateFields(ProgramRecord& record)
{
    record.name[kProgramNameSize - 1] = 0;
    for (int cab = 0; cab < kNumCabs; ++cab) {
        record.folder[cab][kFolderSize - 1] = 0;
        record.fileName[cab][kFileNameSize - 1] = 0;
    }
}

int linkPartner(int cab) { return cab ^ 1; }           // 0<->1, 2<->3, 4<->5
int linkPair(int cab) { return cab / 2; }              // which "Link IR" flag
int blendPartner(int cab) { return cab < 4 ? cab ^ 2 : -1; } // 0<->2, 1<->3
int blendPair(int cab) { return cab & 1; }             // 0: "Blend IR1&3", 1: "Blend IR2&4"

int firstIndexOf(ParamKind kind)
{
    switch (kind) {
    case ParamKind::Volume: return kVolume;
    case ParamKind::Pan: return kPan;
    case ParamKind::Channel: return kChannel;
    case ParamKind::FreqHp: return kFreqHp;
    case ParamKind::FreqLp: return kFreqLp;
    default: return -1;
    }
}

// Truncation toward zero for display numbers; values a careless host wrote far outside 0..1
// are held inside the integer range (they then print as "Huge!") instead of overflowing.
vst::Int32 truncated(double v)
{
    if (!(v > -2e9))
        return v != v ? 0 : -2000000000;
    if (v > 2e9)
        return 2000000000;
    return static_cast<vst::Int32>(v);
}

int latencyBand(float v)
{
    return v < 0.25f ? 0 : v < 0.5f ? 1 : v < 0.75f ? 2 : 3;
}

// Editor requests carry a cab number as a float: the nearest cab, 1 below 1.5, 6 above 5.5.
int requestedCab(float value)
{
    if (!(value >= 1.5f))
        return 1; // also NaN
    if (value > 5.5f)
        return 6;
    return static_cast<int>(std::floor(value + 0.5f));
}

} // namespace

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
    for (auto& record : programs_)
        record.makeFresh();
    ownerThread_.store(platform::currentThreadId());
    setProgram(0);
    hostWindow_ = platform::getForegroundRootOwner();
    // resume() asks for events only for synthesizers or MIDI effects; this is neither.
    linkGuard_ = 0;
}

Orvex::~Orvex() = default;

void Orvex::processReplacing(float** inputs, float** outputs, vst::Int32 sampleFrames)
{
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

float Orvex::getParameter(vst::Int32 index)
{
    const int slot = recordSlot(index);
    return slot < 0 ? 0.0f : values_[slot].load(std::memory_order_relaxed);
}

void Orvex::getParameterName(vst::Int32 index, char* text)
{
    if (const char* name = paramName(index))
        hoststr::copy(text, name, kNameLimit);
}

void Orvex::getParameterLabel(vst::Int32, char*)
{
    // Units are part of the display texts.
}

void Orvex::getParameterDisplay(vst::Int32 index, char* text)
{
    const ParamInfo info = paramInfo(index);
    const float v = getParameter(index);
    char buf[64];
    switch (info.kind) {
    case ParamKind::Phase:
        writeDisplay(text, v > 0.5f ? "INVERT" : "NORM");
        break;
    case ParamKind::Volume:
    case ParamKind::Output:
        std::snprintf(buf, sizeof buf, "%4.3f", static_cast<double>(v));
        writeDisplay(text, buf);
        break;
    case ParamKind::Pan:
        std::strcpy(buf, "<C>");
        if (v < 0.5f) {
            hoststr::int2string(truncated(100.0f - 200.0f * v), buf, 8);
            std::strcat(buf, " %L");
        } else if (v > 0.5f) {
            hoststr::int2string(truncated(200.0f * v - 100.0f), buf, 8);
            std::strcat(buf, " %R");
        }
        writeDisplay(text, buf);
        break;
    case ParamKind::FreqHp:
        std::strcpy(buf, "OFF");
        if (v > 0.0f) {
            hoststr::int2string(truncated(hpFrequency(info.cab)), buf, 8);
            std::strcat(buf, " Hz");
        }
        writeDisplay(text, buf);
        break;
    case ParamKind::FreqLp:
        std::strcpy(buf, "OFF");
        if (v < 1.0f)
            std::snprintf(buf, sizeof buf, "%4.1f kHz", lpFrequency(info.cab) * 0.001);
        writeDisplay(text, buf);
        break;
    case ParamKind::Delay:
        std::snprintf(buf, sizeof buf, "%d smp", delayLength(info.cab));
        writeDisplay(text, buf);
        break;
    case ParamKind::OnOff:
    case ParamKind::Solo:
        writeDisplay(text, v > 0.5f ? "ON" : "OFF");
        break;
    case ParamKind::Channel:
        writeDisplay(text, v > 0.5f ? "RIGHT" : "LEFT");
        break;
    case ParamKind::Latency:
        std::snprintf(buf, sizeof buf, "%4.1f ms",
                      static_cast<double>(latencyValue()) * 1000.0 / static_cast<double>(sampleRate));
        writeDisplay(text, buf);
        break;
    default:
        // Actions, Bypass, Link, Blend and unknown indices show nothing.
        break;
    }
}

// --- writing ----------------------------------------------------------------------------

void Orvex::storeValue(int index, float value)
{
    const int slot = recordSlot(index);
    if (slot < 0)
        return;
    values_[slot].store(value, std::memory_order_relaxed);
    programs_[curProgram].values[slot] = value;
}

void Orvex::deriveParameter(int index, float v)
{
    const ParamInfo info = paramInfo(index);
    const int cab = info.cab;
    switch (info.kind) {
    case ParamKind::Phase:
        engine_->slot(cab).polarity.store(v >= 0.5f ? -1 : 1, std::memory_order_relaxed);
        break;
    case ParamKind::Volume:
        engine_->slot(cab).volume.store(v, std::memory_order_relaxed);
        break;
    case ParamKind::Pan:
        engine_->slot(cab).panLeft.store(v >= 0.5f ? 2.0f - 2.0f * v : 1.0f, std::memory_order_relaxed);
        engine_->slot(cab).panRight.store(v <= 0.5f ? 2.0f * v : 1.0f, std::memory_order_relaxed);
        break;
    case ParamKind::FreqHp:
        engine_->slot(cab).hpFrequency.store(990.0 * v + 10.0, std::memory_order_relaxed);
        engine_->slot(cab).hpEnabled.store(v > 0.001f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::FreqLp:
        engine_->slot(cab).lpFrequency.store(11000.0 * v + 1000.0, std::memory_order_relaxed);
        engine_->slot(cab).lpEnabled.store(v < 0.999f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::Bypass:
        engine_->slot(cab).active.store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::Delay: {
        // Truncated toward zero; a value outside 0..1 from a careless host is held to the
        // delay line's length instead of reaching past it.
        const int capacity = engine_->delayCapacity();
        const float samples = v * static_cast<float>(capacity);
        const int length = samples > 0.0f ? static_cast<int>(std::min(samples, static_cast<float>(capacity))) : 0;
        engine_->slot(cab).delayLength.store(length, std::memory_order_relaxed);
        break;
    }
    case ParamKind::Channel:
        engine_->slot(cab).leftInput.store(v < 0.5f ? 1 : 0, std::memory_order_relaxed);
        engine_->slot(cab).rightInput.store(v < 0.5f ? 0 : 2, std::memory_order_relaxed);
        break;
    case ParamKind::Output:
        engine_->setOutput(v);
        break;
    case ParamKind::OnOff:
        engine_->setRunning(v >= 0.5f);
        break;
    case ParamKind::Link:
        linkFlags_[cab].store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        break;
    case ParamKind::Blend:
        blendFlags_[cab].store(v >= 0.5f ? 1 : 0, std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

void Orvex::setParameter(vst::Int32 index, float value)
{
    const ParamInfo info = paramInfo(index);
    // Host values are normalised. One outside 0..1 (or NaN) from a careless host would turn
    // into an unbounded gain or poison the smoothed values for good, so a stored parameter
    // is held to 0..1 (NaN reads as 0). Actions and requests keep their value: file menus
    // and requests carry entry and cab numbers.
    if (isStored(index))
        value = std::isnan(value) ? 0.0f : std::min(1.0f, std::max(0.0f, value));

    if (info.kind != ParamKind::Latency) {
        storeValue(index, value);
        if (info.kind != ParamKind::Link && info.kind != ParamKind::Blend)
            deriveParameter(index, value);
    }

    switch (info.kind) {
    case ParamKind::Volume:
    case ParamKind::Pan:
    case ParamKind::Channel:
    case ParamKind::FreqHp:
    case ParamKind::FreqLp:
        propagate(info, value);
        break;
    case ParamKind::Solo:
        applySolo(info.cab, value);
        break;
    case ParamKind::Bypass:
        // Switching off empties the slot's convolution buffers, on every such write.
        if (value < 0.5f)
            engine_->clearSlot(info.cab);
        break;
    case ParamKind::Latency:
        applyLatency(value);
        break;
    case ParamKind::Link:
        applyLink(info.cab, value);
        break;
    case ParamKind::Blend:
        applyBlend(info.cab, value);
        break;
    case ParamKind::Load:
        applyLoadButton(info.cab, value);
        break;
    case ParamKind::FileMenu:
        applyFileMenu(info.cab);
        break;
    case ParamKind::Previous:
    case ParamKind::Next:
        if (value > 0.5f)
            applyStep(info.cab, info.kind == ParamKind::Next);
        break;
    case ParamKind::None:
        applyEditorRequest(index, value);
        break;
    default:
        break;
    }

    if (editorLink_)
        editorLink_->setParameter(index, value);
}

void Orvex::setGuarded(int index, float value)
{
    linkGuard_ = 1;
    setParameter(index, value);
    linkGuard_ = 0;
}

void Orvex::propagate(const ParamInfo& info, float v)
{
    const int first = firstIndexOf(info.kind);
    const int cab = info.cab;
    const bool mirrored = info.kind == ParamKind::Pan || info.kind == ParamKind::Channel;
    const bool blends = info.kind == ParamKind::Volume || mirrored;
    auto f = [&](float x) { return mirrored ? 1.0f - x : x; };
    auto g = [&](float x) { return info.kind == ParamKind::Volume ? 1.0f - x : x; };

    if (linkFlags_[linkPair(cab)].load(std::memory_order_relaxed) && linkGuard_ == 0) {
        linkGuard_ = 1;
        const int partner = linkPartner(cab);
        setParameter(first + partner, f(v));
        if (blends) {
            const int q = blendPartner(partner);
            if (q >= 0 && blendFlags_[blendPair(partner)].load(std::memory_order_relaxed))
                setParameter(first + q, g(f(v)));
        }
        linkGuard_ = 0;
    }
    if (blends) {
        const int b = blendPartner(cab);
        if (b >= 0 && blendFlags_[blendPair(cab)].load(std::memory_order_relaxed) && linkGuard_ == 0)
            setGuarded(first + b, g(v));
    }
}

void Orvex::applySolo(int cab, float v)
{
    if (v > 0.5f) {
        engine_->slot(cab).audible.store(1, std::memory_order_relaxed);
        for (int other = 0; other < kNumCabs; ++other) {
            if (other != cab && getParameter(kSolo + other) < 0.5f)
                engine_->slot(other).audible.store(0, std::memory_order_relaxed);
        }
        return;
    }
    float others = 0.0f;
    for (int other = 0; other < kNumCabs; ++other) {
        if (other != cab)
            others += getParameter(kSolo + other);
    }
    if (others < 0.5f) {
        for (int other = 0; other < kNumCabs; ++other) {
            if (other != cab)
                engine_->slot(other).audible.store(1, std::memory_order_relaxed);
        }
    } else {
        engine_->slot(cab).audible.store(0, std::memory_order_relaxed);
    }
}

void Orvex::applyLatency(float v)
{
    if (editorLink_) {
        static const float stepValues[4] = {0.0f, 0.3f, 0.6f, 1.0f};
        const int step = editorLink_->updateLatencyMenu(v);
        if (step >= 0 && step <= 3)
            storeValue(kLatency, stepValues[step]);
    } else {
        storeValue(kLatency, v);
    }
    reloadAllCabs();
}

bool Orvex::joinPath(int cab, char* path) const
{
    // Folder and file name joined in a 1024-byte buffer. A join that does not fit is not
    // loaded at all: cutting it would load some other file, or none that the user named.
    const ProgramRecord& record = programs_[curProgram];
    const std::size_t folderLength = fieldLength(record.folder[cab], kFolderSize);
    const std::size_t nameLength = fieldLength(record.fileName[cab], kFileNameSize);
    if (folderLength >= kFolderSize || nameLength >= kFileNameSize || folderLength + nameLength > kFolderSize - 1) {
        path[0] = 0;
        return false;
    }
    std::memcpy(path, record.folder[cab], folderLength);
    std::memcpy(path + folderLength, record.fileName[cab], nameLength);
    path[folderLength + nameLength] = 0;
    return true;
}

void Orvex::applyLink(int pair, float v)
{
    linkFlags_[pair].store(0, std::memory_order_relaxed);
    if (v < 0.5f)
        return;
    linkFlags_[pair].store(1, std::memory_order_relaxed);
    const int a = pair * 2;
    const int b = a + 1;
    ProgramRecord& record = programs_[curProgram];
    char path[kFolderSize];

    auto share = [&](int from, int to) {
        if (fieldLength(record.fileName[from], kFileNameSize) < kMinNameLength)
            return;
        std::memcpy(record.folder[to], record.folder[from], kFolderSize);
        std::memcpy(record.fileName[to], record.fileName[from], kFileNameSize);
        if (joinPath(to, path))
            loadCabIr(to + 1, path);
        setParameter(kRequestRefreshCab, static_cast<float>(to + 1));
        setParameter(kBypass + a, 1.0f);
        setParameter(kBypass + b, 1.0f);
    };
    share(a, b);
    share(b, a);

    setParameter(kChannel + a, 0.0f);
    setParameter(kChannel + b, 1.0f);
    setParameter(kPan + a, 0.0f);
    setParameter(kPan + b, 1.0f);
    setParameter(kVolume + b, getParameter(kVolume + a));
}

void Orvex::applyBlend(int pair, float v)
{
    blendFlags_[pair].store(0, std::memory_order_relaxed);
    if (v < 0.5f)
        return;
    blendFlags_[pair].store(1, std::memory_order_relaxed);
    const int source = pair;     // slot 1 or 2
    const int target = pair + 2; // slot 3 or 4
    setGuarded(kChannel + target, getParameter(kChannel + source));
    setGuarded(kPan + target, getParameter(kPan + source));
    setGuarded(kVolume + target, 1.0f - getParameter(kVolume + source));
}

bool Orvex::onOwnerThread() const
{
    return platform::currentThreadId() == ownerThread_.load();
}

void Orvex::applyLoadButton(int cab, float v)
{
    // The dialog is modal: it opens only for a request on the thread that owns the editor,
    // so automation or the audio thread writing a load index never blocks on it.
    if (v > 0.5f && onOwnerThread()) {
        ProgramRecord& record = programs_[curProgram];
        platform::enableWindow(hostWindow_, false);

        vst::VstFileType wave{};
        std::strcpy(wave.name, "Wave File");
        std::strcpy(wave.macType, "WAVE");
        std::strcpy(wave.dosType, "wav");
        std::strcpy(wave.unixType, "wav");
        std::strcpy(wave.mimeType1, "audio/wav");
        std::strcpy(wave.mimeType2, "audio/x-wav");

        std::vector<char> initialPath(kFolderSize, 0);
        std::vector<char> returnPath(kFolderSize, 0);
        auto request = std::make_unique<vst::VstFileSelect>();
        std::memset(request.get(), 0, sizeof(vst::VstFileSelect));
        request->command = vst::kVstFileLoad;
        request->type = vst::kVstFileType;
        request->nbFileTypes = 1;
        request->fileTypes = &wave;
        std::strcpy(request->title, "Test for open file selector");
        if (fieldLength(record.folder[cab], kFolderSize) > 2) {
            std::memcpy(initialPath.data(), record.folder[cab], kFolderSize);
            initialPath[kFolderSize - 1] = 0;
            request->initialPath = initialPath.data();
        }
        request->returnPath = returnPath.data();
        request->sizeReturnPath = kFolderSize;

        gui::CFileSelector selector(nullptr);
        char name[kFileNameSize];
        // A name longer than the record's field is refused: nothing loads, the cab keeps its
        // file (cutting the name would point at another file or none).
        if (selector.run(request.get()) == 1 && selector.getFileName(name, sizeof name)) {
            char path[kFolderSize];
            std::memcpy(path, returnPath.data(), kFolderSize);
            path[kFolderSize - 1] = 0;
            const std::size_t pathLength = std::strlen(path);
            const std::size_t nameLength = std::strlen(name);
            if (nameLength > 0 && nameLength <= pathLength) {
                std::memcpy(record.fileName[cab], name, nameLength + 1);
                loadCabIr(cab + 1, path);
                std::memset(record.folder[cab], 0, kFolderSize);
                std::memcpy(record.folder[cab], path, pathLength - nameLength);
                const int partner = linkPartner(cab);
                const bool linked = linkFlags_[linkPair(cab)].load(std::memory_order_relaxed) != 0;
                if (linked) {
                    loadCabIr(partner + 1, path);
                    std::memcpy(record.folder[partner], record.folder[cab], kFolderSize);
                    std::memcpy(record.fileName[partner], record.fileName[cab], kFileNameSize);
                }
                setParameter(kRequestPushFolders, 0.0f);
                if (editorLink_) {
                    editorLink_->listFolder(kFileMenu + cab, record.folder[cab]);
                    editorLink_->selectCabFile(record.fileName[cab], kFileMenu + cab, record.fileIndex[cab]);
                    if (linked) {
                        editorLink_->listFolder(kFileMenu + partner, record.folder[partner]);
                        editorLink_->selectCabFile(record.fileName[partner], kFileMenu + partner,
                                                   record.fileIndex[partner]);
                    }
                }
            }
        }
        platform::enableWindow(hostWindow_, true);
    }
    setParameter(kBypass + cab, 1.0f);
}

int Orvex::loadChosenFile(int cab)
{
    // Only a cab whose folder was ever set loads (an unset folder would join to a bare
    // name); a linked partner loads the same path.
    const ProgramRecord& record = programs_[curProgram];
    char path[kFolderSize];
    const bool loadable = joinPath(cab, path) && fieldLength(record.folder[cab], kFolderSize) >= kMinNameLength;
    if (loadable)
        loadCabIr(cab + 1, path);
    if (!linkFlags_[linkPair(cab)].load(std::memory_order_relaxed))
        return -1;
    const int partner = linkPartner(cab);
    if (loadable)
        loadCabIr(partner + 1, path);
    return partner;
}

void Orvex::applyFileMenu(int cab)
{
    if (!editorLink_)
        return;
    ProgramRecord& record = programs_[curProgram];
    editorLink_->getCabFileSelection(cab, record.fileIndex[cab], record.fileName[cab]);
    record.fileName[cab][kFileNameSize - 1] = 0;
    // The partner's folder and name stay; only its menu shows the same file.
    const int partner = loadChosenFile(cab);
    if (partner >= 0)
        editorLink_->selectCabFile(record.fileName[cab], kFileMenu + partner, record.fileIndex[partner]);
}

void Orvex::applyStep(int cab, bool next)
{
    if (!editorLink_)
        return;
    ProgramRecord& record = programs_[curProgram];
    auto step = [&](int which) {
        if (next)
            editorLink_->stepCabFileNext(which, record.fileIndex[which], record.fileName[which]);
        else
            editorLink_->stepCabFilePrevious(which, record.fileIndex[which], record.fileName[which]);
        record.fileName[which][kFileNameSize - 1] = 0;
    };
    step(cab);
    // The partner's own menu steps the same way and names its file.
    const int partner = loadChosenFile(cab);
    if (partner >= 0)
        step(partner);
}

void Orvex::applyEditorRequest(int request, float value)
{
    if (!editorLink_)
        return;
    ProgramRecord& record = programs_[curProgram];
    switch (request) {
    case kRequestRefreshCab: {
        const int cab = requestedCab(value) - 1;
        record.folder[cab][kFolderSize - 1] = 0;
        record.fileName[cab][kFileNameSize - 1] = 0;
        editorLink_->listFolder(kFileMenu + cab, record.folder[cab]);
        editorLink_->selectCabFile(record.fileName[cab], kFileMenu + cab, record.fileIndex[cab]);
        break;
    }
    case kRequestClearCab:
        editorLink_->clearCabFile(kFileMenu + requestedCab(value) - 1);
        break;
    case kRequestPushFolders: {
        terminateFields(record);
        const char* folders[kNumCabs];
        for (int cab = 0; cab < kNumCabs; ++cab)
            folders[cab] = record.folder[cab];
        editorLink_->setCabFolders(folders);
        editorLink_->setCabFileIndices(record.fileIndex);
        break;
    }
    default:
        break;
    }
}

// --- IR loading -------------------------------------------------------------------------

void Orvex::loadCabIr(int cab, const char* path)
{
    if (cab < 1 || cab > kNumCabs || !path)
        return;
    std::lock_guard<std::mutex> lock(loadMutex_);
    const int n = engine_->fftSize();
    // An unreadable file leaves an all-zero spectrum: the slot falls silent. A file
    // prepared before for this rate, and unchanged since, comes from the cache.
    int length = 0;
    cache_->prepare(path, sampleRate, spectrum_.data(), length);
    engine_->loadSlot(cab - 1, spectrum_.data(), n, length);
    loadCount_.fetch_add(1);
}

void Orvex::reloadAllCabs()
{
    const int hop = 64 << latencyBand(getParameter(kLatency));
    latencyValue_.store(static_cast<float>(hop), std::memory_order_relaxed);
    engine_->reset(hop);
    for (int cab = 0; cab < kNumCabs; ++cab) {
        if (fieldLength(programs_[curProgram].fileName[cab], kFileNameSize) < kMinNameLength)
            continue;
        char path[kFolderSize];
        if (joinPath(cab, path))
            loadCabIr(cab + 1, path);
        setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));
    }
    if (editorLink_)
        editorLink_->setParameter(kLatency, 0.0f);
}

void Orvex::setSampleRate(float rate)
{
    if (!(rate > 0.0f) || !std::isfinite(rate))
        return; // a host's nonsense rate changes nothing
    const bool changed = rate != sampleRate;
    AudioEffectX::setSampleRate(rate);
    if (!changed)
        return;
    // The sizes follow the rate (the FFT size across 50000 Hz, the delay capacity always),
    // each delay length is derived again for the new capacity, and the IRs are prepared
    // again for the new rate.
    engine_->setSampleRate(rate);
    for (int cab = 0; cab < kNumCabs; ++cab)
        deriveParameter(kDelay + cab, getParameter(kDelay + cab));
    reloadAllCabs();
}

// --- programs -----------------------------------------------------------------------------

void Orvex::setProgram(vst::Int32 program)
{
    if (program < 0 || program >= kNumPrograms)
        return;
    curProgram = program;
    ProgramRecord& record = programs_[curProgram];
    terminateFields(record);
    static const int links[] = {kLink12, kLink34, kLink56, kBlend13, kBlend24};

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
        if (fieldLength(record.fileName[cab], kFileNameSize) >= kMinNameLength) {
            if (joinPath(cab, path))
                loadCabIr(cab + 1, path);
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
    hoststr::copy(programs_[curProgram].name, name, kProgramNameSize - 1);
}

void Orvex::getProgramName(char* name)
{
    char copy[kProgramNameSize];
    std::memcpy(copy, programs_[curProgram].name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(name, copy, kProgramNameSize - 1);
}

bool Orvex::getProgramNameIndexed(vst::Int32, vst::Int32 index, char* text)
{
    if (index < 0 || index >= kNumPrograms)
        return false;
    char copy[kProgramNameSize];
    std::memcpy(copy, programs_[index].name, kProgramNameSize);
    copy[kProgramNameSize - 1] = 0;
    hoststr::copy(text, copy, kProgramNameSize - 1);
    return true;
}

vst::Int32 Orvex::getChunk(void** data, bool isPreset)
{
    if (isPreset) {
        *data = &programs_[curProgram];
        return kPresetChunkSize;
    }
    *data = programs_;
    return kBankChunkSize;
}

vst::Int32 Orvex::setChunk(void* data, vst::Int32 byteSize, bool isPreset)
{
    if (!data)
        return 0;
    if (isPreset) {
        if (byteSize != kPresetChunkSize)
            return 0;
        std::memcpy(&programs_[curProgram], data, kPresetChunkSize);
        terminateFields(programs_[curProgram]);
    } else {
        if (byteSize != kBankChunkSize)
            return 0;
        std::memcpy(programs_, data, kBankChunkSize);
        for (auto& record : programs_)
            terminateFields(record);
    }
    setProgram(curProgram);
    return 1;
}

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
