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
    const ProgramRecord& record = programs_[getProgramIndex()];
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

void Orvex::applyLoadButton(int cab, float v)
{
    EditorLink* const link = editorLink();
    // The dialog is modal: it opens only for a request on the thread that owns the editor,
    // so automation or an audio thread writing a load index never blocks on it.
    if (v > 0.5f && onOwnerThread()) {
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
        {
            std::lock_guard<std::recursive_mutex> lock(fileState_);
            const ProgramRecord& rec = record();
            if (fieldLength(rec.folder[cab], kFolderSize) > 2) {
                std::memcpy(initialPath.data(), rec.folder[cab], kFolderSize);
                initialPath[kFolderSize - 1] = 0;
                request->initialPath = initialPath.data();
            }
        }
        request->returnPath = returnPath.data();
        request->sizeReturnPath = kFolderSize;

        // The dialog runs without the file-state lock: the user may take minutes, and the
        // loader must go on serving the other threads meanwhile.
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
            if (nameLength > 0 && nameLength <= pathLength)
                takeChosenFile(cab, path, name);
        }
        // A system without any dialog program (Linux without zenity or kdialog) shows nothing
        // at all; the cab's folder label tells the user why instead, since the label is where
        // the chosen folder would have appeared. The record and the cab stay as they were.
        if (const char* reason = selector.getUnavailableReason()) {
            if (link)
                link->showCabNotice(cab, reason);
        }
        platform::enableWindow(hostWindow_, true);
    }
    setParameter(kBypass + cab, 1.0f);
}

void Orvex::takeChosenFile(int cab, const char* path, const char* name)
{
    EditorLink* const link = editorLink();
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    ProgramRecord& rec = record();
    const std::size_t pathLength = std::strlen(path);
    const std::size_t nameLength = std::strlen(name);
    std::memcpy(rec.fileName[cab], name, nameLength + 1);
    loadCabIr(cab + 1, path);
    std::memset(rec.folder[cab], 0, kFolderSize);
    std::memcpy(rec.folder[cab], path, pathLength - nameLength);
    const int partner = linkPartner(cab);
    const bool linked = linkFlags_[linkPair(cab)].load(std::memory_order_relaxed) != 0;
    if (linked) {
        loadCabIr(partner + 1, path);
        std::memcpy(rec.folder[partner], rec.folder[cab], kFolderSize);
        std::memcpy(rec.fileName[partner], rec.fileName[cab], kFileNameSize);
    }
    setParameter(kRequestPushFolders, 0.0f);
    if (link) {
        link->listFolder(kFileMenu + cab, rec.folder[cab]);
        link->selectCabFile(rec.fileName[cab], kFileMenu + cab, rec.fileIndex[cab]);
        if (linked) {
            link->listFolder(kFileMenu + partner, rec.folder[partner]);
            link->selectCabFile(rec.fileName[partner], kFileMenu + partner, rec.fileIndex[partner]);
        }
    }
}

bool Orvex::chooseCabFile(int cab, const char* path)
{
    if (cab < 1 || cab > kNumCabs || !path || !onFileThread())
        return false;
    // The same split and the same limits as a path from the load button's dialog.
    const char* slash = std::strrchr(path, '/');
#if defined(_WIN32)
    if (const char* backslash = std::strrchr(path, '\\'); backslash && (!slash || backslash > slash))
        slash = backslash;
#endif
    if (!slash)
        return false;
    const char* name = slash + 1;
    const std::size_t pathLength = std::strlen(path);
    const std::size_t nameLength = std::strlen(name);
    if (nameLength == 0 || nameLength >= kFileNameSize || pathLength >= kFolderSize)
        return false;
    takeChosenFile(cab - 1, path, name);
    return true;
}

int Orvex::loadChosenFile(int cab)
{
    // Only a cab whose folder was ever set loads (an unset folder would join to a bare
    // name); a linked partner loads the same path.
    const ProgramRecord& rec = record();
    char path[kFolderSize];
    const bool loadable = joinPath(cab, path) && fieldLength(rec.folder[cab], kFolderSize) >= kMinNameLength;
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
    EditorLink* const link = editorLink();
    if (!link)
        return;
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    ProgramRecord& rec = record();
    link->getCabFileSelection(cab, rec.fileIndex[cab], rec.fileName[cab]);
    rec.fileName[cab][kFileNameSize - 1] = 0;
    // The partner's folder and name stay; only its menu shows the same file.
    const int partner = loadChosenFile(cab);
    if (partner >= 0)
        link->selectCabFile(rec.fileName[cab], kFileMenu + partner, rec.fileIndex[partner]);
}

void Orvex::applyStep(int cab, bool next)
{
    EditorLink* const link = editorLink();
    if (!link)
        return;
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    ProgramRecord& rec = record();
    auto step = [&](int which) {
        if (next)
            link->stepCabFileNext(which, rec.fileIndex[which], rec.fileName[which]);
        else
            link->stepCabFilePrevious(which, rec.fileIndex[which], rec.fileName[which]);
        rec.fileName[which][kFileNameSize - 1] = 0;
    };
    step(cab);
    // The partner's own menu steps the same way and names its file.
    const int partner = loadChosenFile(cab);
    if (partner >= 0)
        step(partner);
}

void Orvex::applyEditorRequest(int request, float value)
{
    EditorLink* const link = editorLink();
    if (!link)
        return;
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    ProgramRecord& rec = record();
    switch (request) {
    case kRequestRefreshCab: {
        const int cab = requestedCab(value) - 1;
        rec.folder[cab][kFolderSize - 1] = 0;
        rec.fileName[cab][kFileNameSize - 1] = 0;
        // A cab without a folder has nothing to list: searching "" + "*.wav" would list
        // whatever folder the host happens to run in, and the failed lookup would write -1
        // into the record. It shows as empty instead.
        if (fieldLength(rec.folder[cab], kFolderSize) < kMinNameLength) {
            link->clearCabFile(kFileMenu + cab);
            break;
        }
        link->listFolder(kFileMenu + cab, rec.folder[cab]);
        link->selectCabFile(rec.fileName[cab], kFileMenu + cab, rec.fileIndex[cab]);
        break;
    }
    case kRequestClearCab:
        link->clearCabFile(kFileMenu + requestedCab(value) - 1);
        break;
    case kRequestPushFolders: {
        terminateFields(rec);
        const char* folders[kNumCabs];
        for (int cab = 0; cab < kNumCabs; ++cab)
            folders[cab] = rec.folder[cab];
        link->setCabFolders(folders);
        link->setCabFileIndices(rec.fileIndex);
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
    if (!onFileThread()) {
        // Reading and preparing a file here could stall a host's audio or automation
        // thread: the loader does it, and the spectrum arrives through the hand-over.
        // The ticket is drawn once the request is in the mailbox.
        loader_->request(k, path, loadTickets_[k]);
        return;
    }
    // Every load takes a ticket, so that a slower, older load never lands after a newer one.
    const std::uint32_t ticket = loadTickets_[k].fetch_add(1) + 1;
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

void Orvex::resetHop()
{
    const int hop = latencyHop(latencyStep(getParameter(kLatency)));
    latencyValue_.store(static_cast<float>(hop), std::memory_order_relaxed);
    engine_->reset(hop);
}

void Orvex::reloadAllCabs()
{
    EditorLink* const link = editorLink();
    resetHop();
    if (onFileThread())
        reloadCabFiles();
    else
        postJob(kJobReloadCabs);
    if (link)
        link->setParameter(kLatency, 0.0f);
}

void Orvex::reloadCabFiles()
{
    std::lock_guard<std::recursive_mutex> lock(fileState_);
    for (int cab = 0; cab < kNumCabs; ++cab) {
        if (fieldLength(record().fileName[cab], kFileNameSize) < kMinNameLength)
            continue;
        char path[kFolderSize];
        if (joinPath(cab, path))
            loadCabIr(cab + 1, path);
        setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));
    }
}

} // namespace orvex
