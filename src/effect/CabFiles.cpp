#include "effect/CabFiles.h"

#include "dsp/ConvolutionEngine.h"
#include "dsp/IrCache.h"
#include "dsp/IrPreparer.h"
#include "effect/EditorLink.h"
#include "effect/OrvexDetail.h"
#include "effect/ParameterRouter.h"
#include "effect/ProgramStore.h"
#include "files/CFileSelector.h"
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
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

CabFiles::CabFiles(dsp::ConvolutionEngine& engine, ProgramStore& programs, const std::atomic<EditorLink*>& editor,
                   Loader::JobFunction otherJobs, const LoaderFactory& makeLoader)
    : engine_(engine)
    , programs_(programs)
    , editor_(editor)
    , otherJobs_(std::move(otherJobs))
    , preparer_(std::make_unique<dsp::IrPreparer>())
    , cache_(std::make_unique<dsp::IrCache>(*preparer_))
    , spectrum_(static_cast<std::size_t>(engine.fftSize()), 0.0)
{
    for (auto& ticket : loadTickets_)
        ticket.store(0);
    for (auto& why : silence_)
        why.store("no IR file has been loaded into it");
    ownerThread_.store(platform::currentThreadId());
    Loader::LoadFunction load = [this](int cab, const char* path, std::uint32_t ticket) {
        loadTicketed(cab, path, ticket);
    };
    Loader::JobFunction work = [this](const Loader::Job& job) { runJob(job); };
    if (makeLoader)
        loader_ = makeLoader(std::move(load), std::move(work));
    else
        loader_ = std::make_unique<IrLoader>(std::move(load), std::move(work));
    if (!loader_)
        throw std::bad_alloc();
}

CabFiles::~CabFiles()
{
    stop();
}

void CabFiles::stop()
{
    // Its jobs use the engine, the preparer, the records, the editor and the effect's
    // parameter path until the thread ends; they all still stand while it stops.
    if (loader_)
        loader_->stop();
}

// --- the thread rule --------------------------------------------------------------------

bool CabFiles::onOwnerThread() const
{
    return platform::currentThreadId() == ownerThread_.load();
}

bool CabFiles::onFileThread() const
{
    const std::uint64_t me = platform::currentThreadId();
    return me == ownerThread_.load() || me == loader_->threadId();
}

void CabFiles::post(int kind, int index, float value)
{
    Loader::Job job;
    job.kind = kind;
    job.index = index;
    job.value = value;
    loader_->post(job);
}

void CabFiles::runJob(const Loader::Job& job)
{
    // On the loader's thread: the work a thread without disk access asked for, as that
    // thread would have done it in line.
    switch (job.kind) {
    case kJobReloadCabs: applyReload(); break;
    case kJobShareLink: applyShareLink(job.index); break;
    case kJobFileMenu: applyFileMenu(job.index); break;
    case kJobStepNext: applyStep(job.index, true); break;
    case kJobStepPrevious: applyStep(job.index, false); break;
    case kJobRequest: applyEditorRequest(job.index, job.value); break;
    default:
        if (otherJobs_)
            otherJobs_(job);
        break;
    }
}

// --- actions of the parameter path ------------------------------------------------------

void CabFiles::fileMenu(int cab)
{
    if (onFileThread())
        applyFileMenu(cab);
    else
        post(kJobFileMenu, cab);
}

void CabFiles::step(int cab, bool next)
{
    if (onFileThread())
        applyStep(cab, next);
    else
        post(next ? kJobStepNext : kJobStepPrevious, cab);
}

void CabFiles::editorRequest(int request, float value)
{
    if (onFileThread())
        applyEditorRequest(request, value);
    else
        post(kJobRequest, request, value);
}

void CabFiles::shareLink(int pair)
{
    if (onFileThread())
        applyShareLink(pair); // copies files and loads: the loader does it for the others
    else
        post(kJobShareLink, pair);
}

void CabFiles::reloadCabFiles()
{
    if (onFileThread())
        applyReload();
    else
        post(kJobReloadCabs);
}

void CabFiles::setParameter(int index, float value)
{
    router_->set(index, value);
}

bool CabFiles::linked(int cab) const
{
    return router_->linkFlag(linkPair(cab));
}

void CabFiles::applyShareLink(int pair)
{
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    const int a = pair * 2;
    const int b = a + 1;
    ProgramRecord& rec = programs_.record();
    char path[kFolderSize];
    auto share = [&](int from, int to) {
        if (fieldLength(rec.fileName[from], kFileNameSize) < kMinNameLength)
            return;
        std::memcpy(rec.folder[to], rec.folder[from], kFolderSize);
        std::memcpy(rec.fileName[to], rec.fileName[from], kFileNameSize);
        if (programs_.joinPath(to, path))
            loadCabIr(to + 1, path);
        setParameter(kRequestRefreshCab, static_cast<float>(to + 1));
        setParameter(kBypass + a, 1.0f);
        setParameter(kBypass + b, 1.0f);
    };
    share(a, b);
    share(b, a);
}

void CabFiles::loadButton(int cab, float v)
{
    EditorLink* const link = editor();
    // The dialog is modal: it opens only for a request on the thread that owns the editor,
    // so automation or an audio thread writing a load index never blocks on it.
    if (v > 0.5f && onOwnerThread()) {
        platform::defaultLayer().enableWindow(hostWindow_, false);

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
            std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
            const ProgramRecord& rec = programs_.record();
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
        platform::defaultLayer().enableWindow(hostWindow_, true);
    }
    setParameter(kBypass + cab, 1.0f);
}

void CabFiles::takeChosenFile(int cab, const char* path, const char* name)
{
    EditorLink* const link = editor();
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    ProgramRecord& rec = programs_.record();
    const std::size_t pathLength = std::strlen(path);
    const std::size_t nameLength = std::strlen(name);
    std::memcpy(rec.fileName[cab], name, nameLength + 1);
    loadCabIr(cab + 1, path);
    std::memset(rec.folder[cab], 0, kFolderSize);
    std::memcpy(rec.folder[cab], path, pathLength - nameLength);
    const int partner = linkPartner(cab);
    const bool withPartner = linked(cab);
    if (withPartner) {
        loadCabIr(partner + 1, path);
        std::memcpy(rec.folder[partner], rec.folder[cab], kFolderSize);
        std::memcpy(rec.fileName[partner], rec.fileName[cab], kFileNameSize);
    }
    setParameter(kRequestPushFolders, 0.0f);
    if (link) {
        link->listFolder(kFileMenu + cab, rec.folder[cab]);
        link->selectCabFile(rec.fileName[cab], kFileMenu + cab, rec.fileIndex[cab]);
        if (withPartner) {
            link->listFolder(kFileMenu + partner, rec.folder[partner]);
            link->selectCabFile(rec.fileName[partner], kFileMenu + partner, rec.fileIndex[partner]);
        }
    }
}

bool CabFiles::chooseCabFile(int cab, const char* path)
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

int CabFiles::loadChosenFile(int cab)
{
    // Only a cab whose folder was ever set loads (an unset folder would join to a bare
    // name); a linked partner loads the same path.
    const ProgramRecord& rec = programs_.record();
    char path[kFolderSize];
    const bool loadable = programs_.joinPath(cab, path) && fieldLength(rec.folder[cab], kFolderSize) >= kMinNameLength;
    if (loadable)
        loadCabIr(cab + 1, path);
    if (!linked(cab))
        return -1;
    const int partner = linkPartner(cab);
    if (loadable)
        loadCabIr(partner + 1, path);
    return partner;
}

void CabFiles::applyFileMenu(int cab)
{
    EditorLink* const link = editor();
    if (!link)
        return;
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    ProgramRecord& rec = programs_.record();
    link->getCabFileSelection(cab, rec.fileIndex[cab], rec.fileName[cab]);
    rec.fileName[cab][kFileNameSize - 1] = 0;
    // The partner's folder and name stay; only its menu shows the same file.
    const int partner = loadChosenFile(cab);
    if (partner >= 0)
        link->selectCabFile(rec.fileName[cab], kFileMenu + partner, rec.fileIndex[partner]);
}

void CabFiles::applyStep(int cab, bool next)
{
    EditorLink* const link = editor();
    if (!link)
        return;
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    ProgramRecord& rec = programs_.record();
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

void CabFiles::applyEditorRequest(int request, float value)
{
    EditorLink* const link = editor();
    if (!link)
        return;
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    ProgramRecord& rec = programs_.record();
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

void CabFiles::loadCabIr(int cab, const char* path)
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

void CabFiles::loadTicketed(int cab, const char* path, std::uint32_t ticket)
{
    std::lock_guard<std::mutex> lock(loadMutex_);
    if (loadTickets_[cab].load() != ticket)
        return; // a newer load of this cab has been asked for
    const int n = engine_.fftSize();
    // An unreadable file leaves an all-zero spectrum: the slot falls silent. A file
    // prepared before for this rate, and unchanged since, comes from the cache. The rate
    // is the engine's copy: the loader thread may run this while the host sets a new one.
    int length = 0;
    const char* silence = nullptr;
    cache_->prepare(path, engine_.sampleRate(), spectrum_.data(), length, silence);
    engine_.loadSlot(cab, spectrum_.data(), n, length);
    silence_[cab].store(silence, std::memory_order_release);
    loadCount_.fetch_add(1);
    lastLoadThread_.store(platform::currentThreadId());
}

void CabFiles::applyReload()
{
    std::lock_guard<std::recursive_mutex> lock(programs_.fileState());
    for (int cab = 0; cab < kNumCabs; ++cab) {
        if (fieldLength(programs_.record().fileName[cab], kFileNameSize) < kMinNameLength)
            continue;
        char path[kFolderSize];
        if (programs_.joinPath(cab, path))
            loadCabIr(cab + 1, path);
        setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));
    }
}

} // namespace orvex
