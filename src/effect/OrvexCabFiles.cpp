// Cab files: the load button's dialog, the file menus and previous/next steps, the
// editor requests that refresh a cab's file views, and loading IRs into the slots.
#include "effect/Orvex.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "effect/EditorLink.h"
#include "effect/IrLoader.h"
#include "effect/OrvexDetail.h"
#include "files/CFileSelector.h"
#include "platform/Platform.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace orvex {

using namespace detail;

namespace {

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
        // A system without any dialog program (Linux without zenity or kdialog) shows nothing
        // at all; the cab's folder label tells the user why instead, since the label is where
        // the chosen folder would have appeared. The record and the cab stay as they were.
        if (const char* reason = selector.getUnavailableReason()) {
            if (editorLink_)
                editorLink_->showCabNotice(cab, reason);
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
    const int k = cab - 1;
    // Every load takes a ticket, so that a slower, older load never lands after a newer one.
    const std::uint32_t ticket = loadTickets_[k].fetch_add(1) + 1;
    if (onAudioThread()) {
        // Reading and preparing a file here would stall the host's audio callback: the
        // loader does it, and the spectrum arrives through the hand-over a little later.
        loader_->request(k, path, ticket);
        return;
    }
    loadTicketed(k, path, ticket);
}

void Orvex::loadTicketed(int cab, const char* path, std::uint32_t ticket)
{
    std::lock_guard<std::mutex> lock(loadMutex_);
    if (loadTickets_[cab].load() != ticket)
        return; // a newer load of this cab has been asked for
    const int n = engine_->fftSize();
    // An unreadable file leaves an all-zero spectrum: the slot falls silent. A file
    // prepared before for this rate, and unchanged since, comes from the cache. The rate
    // is the engine's copy: the loader thread may run this while the host sets a new one.
    int length = 0;
    cache_->prepare(path, engine_->sampleRate(), spectrum_.data(), length);
    engine_->loadSlot(cab, spectrum_.data(), n, length);
    loadCount_.fetch_add(1);
    lastLoadThread_.store(platform::currentThreadId());
    loadedTickets_[cab].store(ticket);
}

bool Orvex::loadsPending() const
{
    for (int cab = 0; cab < kNumCabs; ++cab)
        if (loadedTickets_[cab].load() != loadTickets_[cab].load())
            return true;
    return false;
}

bool Orvex::onAudioThread() const
{
    const std::uint64_t me = platform::currentThreadId();
    return me == audioThread_.load(std::memory_order_relaxed) && me != ownerThread_.load();
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

} // namespace orvex
