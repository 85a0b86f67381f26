// The open-file selector of the toolkit: serves a request in the VST 2.4 form (title, file
// types, starting folder, return buffer) with the system's own open-file dialog. Built
// without an effect link it never asks the host for its selector.
//
// Thread: the caller's, which should own the host window it disables; the dialog is modal.
#pragma once

#include "vst/VstAbi.h"

#include <cstddef>

class AudioEffectX;

namespace gui {

class CFileSelector {
public:
    static constexpr std::size_t kNameSize = 256; // room for any name the dialog hands back

    explicit CFileSelector(AudioEffectX* effect = nullptr);
    ~CFileSelector();
    CFileSelector(const CFileSelector&) = delete;
    CFileSelector& operator=(const CFileSelector&) = delete;

    // Shows the dialog for a load request; 1 after a choice (the request's return path holds
    // the full path and its path count is 1), 0 after cancel or failure.
    vst::Int32 run(vst::VstFileSelect* request);

    // Copies the name part of the last choice with its terminator into buffer (size bytes).
    // False, with an empty text, when it does not fit: a caller with a fixed field refuses
    // the choice rather than cutting a name that would then point at another file.
    bool getFileName(char* buffer, std::size_t size) const;

    // Why the last run showed nothing because the system has no dialog to show (a short
    // static text for the user), or null when a dialog was shown or the request was refused.
    const char* getUnavailableReason() const { return unavailableReason; }

    // The effect link it was built with (null: the system's dialog serves every request).
    AudioEffectX* getEffect() const { return effect; }

private:
    AudioEffectX* effect;               // the effect link; always absent in this system
    vst::VstFileSelect* vstFileSelect;  // the request being served, owned by the caller
    char chosenFileName[kNameSize];     // name part (without folder) of the last choice
    char* ownReturnPath;                // return buffer we allocated for a request without one
    const char* unavailableReason = nullptr; // the platform's "no dialog" text of the last run
};

} // namespace gui
