// The effect as the plug-in module ships it: Orvex with its SDEditor attached, and the one
// vendor-specific request of our own host (a picture of the editor, SnapshotRequest.h).
#pragma once

#include "effect/Orvex.h"

namespace editor {
class SDEditor;
}

class OrvexPlugin : public orvex::Orvex {
public:
    explicit OrvexPlugin(vst::HostCallback audioMaster);

    vst::IntPtr vendorSpecific(vst::Int32 index, vst::IntPtr value, void* ptr, float opt) override;

private:
    editor::SDEditor* sdEditor_; // owned through AudioEffect (deleted with the effect)
};
