#include "files/CFileSelector.h"

#include "platform/WindowLayer.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace gui {

namespace {

// Win32 open-file flags: explorer style, resizable, no read-only box, path and file must exist.
constexpr std::uint32_t kOfnHideReadOnly = 0x4;
constexpr std::uint32_t kOfnPathMustExist = 0x800;
constexpr std::uint32_t kOfnFileMustExist = 0x1000;
constexpr std::uint32_t kOfnExplorer = 0x80000;
constexpr std::uint32_t kOfnEnableSizing = 0x800000;

constexpr std::size_t kPathBufferSize = 1024;

// Bounded length of a fixed text field of the request.
std::size_t fieldLength(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, 0, size);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size;
}

} // namespace

CFileSelector::CFileSelector(AudioEffectX* effect_) : effect(effect_), vstFileSelect(nullptr), ownReturnPath(nullptr)
{
    chosenFileName[0] = 0;
}

CFileSelector::~CFileSelector()
{
    delete[] ownReturnPath;
}

vst::Int32 CFileSelector::run(vst::VstFileSelect* request)
{
    vstFileSelect = request;
    unavailableReason = nullptr;
    if (!request)
        return 0;
    if (request->returnPath)
        request->returnPath[0] = 0;
    request->nbReturnPath = 0;
    if (request->command != vst::kVstFileLoad)
        return 0; // only loading is served: the effect never asks for anything else

    // Filter pairs: "Name (.ext)" and "*.ext" per type, then "Any Type (*.*)" and "*.*",
    // ended by an empty text.
    std::string filter;
    for (vst::Int32 i = 0; request->fileTypes && i < request->nbFileTypes; ++i) {
        const vst::VstFileType& type = request->fileTypes[i];
        const std::string name(type.name, fieldLength(type.name, sizeof type.name));
        const std::string dos(type.dosType, fieldLength(type.dosType, sizeof type.dosType));
        filter += name + " (." + dos + ")";
        filter.push_back('\0');
        filter += "*." + dos;
        filter.push_back('\0');
    }
    filter += "Any Type (*.*)";
    filter.push_back('\0');
    filter += "*.*";
    filter.push_back('\0');
    filter.push_back('\0');

    char path[kPathBufferSize] = {0};
    char title[kNameSize] = {0};
    const std::string caption(request->title, fieldLength(request->title, sizeof request->title));

    // The selector belongs to no frame: the dialog is the default layer's.
    platform::WindowLayer& layer = platform::defaultLayer();
    platform::OpenFileRequest dialog;
    dialog.owner = layer.getForegroundRootOwner();
    dialog.title = caption.c_str();
    dialog.filter = filter.data();
    dialog.initialDir = request->initialPath;
    dialog.flags = kOfnExplorer | kOfnEnableSizing | kOfnHideReadOnly | kOfnPathMustExist | kOfnFileMustExist;
    dialog.fileBuffer = path;
    dialog.fileBufferSize = sizeof path;
    dialog.fileTitleBuffer = title;
    dialog.fileTitleSize = sizeof title;

    // The owner stays disabled for the time of the dialog so that nothing behind it reacts.
    layer.enableWindow(dialog.owner, false);
    const bool chosen = layer.showOpenFileDialog(dialog);
    layer.enableWindow(dialog.owner, true);
    if (!chosen) {
        unavailableReason = dialog.unavailable;
        return 0;
    }

    path[sizeof path - 1] = 0;
    title[sizeof title - 1] = 0;
    if (!title[0]) {
        // No name part from the dialog: take what follows the last separator.
        const char* slash = std::strrchr(path, '/');
        const char* backslash = std::strrchr(path, '\\');
        const char* sep = slash > backslash ? slash : backslash;
        const char* start = sep ? sep + 1 : path;
        const std::size_t length = std::min(std::strlen(start), sizeof title - 1);
        std::memcpy(title, start, length);
        title[length] = 0;
    }

    const std::size_t length = std::strlen(path);
    char* target = request->returnPath;
    if (!target) {
        delete[] ownReturnPath;
        ownReturnPath = new char[length + 1];
        target = ownReturnPath;
        request->returnPath = ownReturnPath;
    } else if (request->sizeReturnPath > 0 && length >= static_cast<std::size_t>(request->sizeReturnPath)) {
        return 0; // the caller's buffer cannot hold the path: no result rather than a cut path
    }
    std::memcpy(target, path, length + 1);
    std::memcpy(chosenFileName, title, sizeof chosenFileName);
    request->nbReturnPath = 1;
    return 1;
}

bool CFileSelector::getFileName(char* buffer, std::size_t size) const
{
    if (!buffer || size == 0)
        return false;
    const std::size_t length = std::strlen(chosenFileName);
    if (length >= size) {
        buffer[0] = 0;
        return false;
    }
    std::memcpy(buffer, chosenFileName, length + 1);
    return true;
}

} // namespace gui
