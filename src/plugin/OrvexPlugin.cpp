#include "OrvexPlugin.h"

#include "editor/EditorSnapshot.h"
#include "editor/SDEditor.h"
#include "editor/SnapshotRequest.h"

OrvexPlugin::OrvexPlugin(vst::HostCallback audioMaster) : orvex::Orvex(audioMaster)
{
    // The editor attaches itself: the record's editor flag, and the effect's EditorLink.
    sdEditor_ = new editor::SDEditor(this);
}

vst::IntPtr OrvexPlugin::vendorSpecific(vst::Int32 index, vst::IntPtr value, void* ptr, float opt)
{
    if (index == editor::kSnapshotIndex && value == editor::kSnapshotValue)
        return ptr && editor::writeEditorSnapshot(*sdEditor_, static_cast<const char*>(ptr)) ? 1 : 0;
    return orvex::Orvex::vendorSpecific(index, value, ptr, opt);
}
