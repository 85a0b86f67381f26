// The built plug-in module through its entry point, as any host loads it: the editor flag,
// the editor's rectangle, the editor opcodes without a window, and the picture of the editor
// that the module draws for `orvex snapshot`.
#include "PluginLoader.h"

#include "editor/SnapshotRequest.h"
#include "vst/VstAbi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

vst::IntPtr VSTCALLBACK host(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// Width and height from a PNG file's header; false when it is no PNG.
bool pngSize(const std::string& path, std::uint32_t& width, std::uint32_t& height)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[1] != 'P' || header[2] != 'N')
        return false;
    width = (header[16] << 24) | (header[17] << 16) | (header[18] << 8) | header[19];
    height = (header[20] << 24) | (header[21] << 16) | (header[22] << 8) | header[23];
    return true;
}

} // namespace

TEST(BuiltPlugin, HasAnEditorOf850By520AndDrawsItsPicture)
{
    // The module stays loaded until the process ends. Drawing text initialises fontconfig,
    // whose process-wide tables only FcFini frees, and a plug-in must not call that (it would
    // pull fontconfig from under a host that uses it too); unloading the module with it would
    // leave those tables unreachable, which the sanitizer build reports as leaks.
    static cli::PluginLoader& loader = *new cli::PluginLoader;
    std::string error;
    ASSERT_TRUE(loader.open(ORVEX_PLUGIN, error)) << error;
    auto entry = reinterpret_cast<vst::AEffect*(VSTCALLBACK*)(vst::HostCallback)>(loader.symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    vst::AEffect* effect = entry(&host);
    ASSERT_NE(effect, nullptr);
    auto dispatch = [&](vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr) {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    };
    EXPECT_EQ(effect->flags, 0x31);

    vst::ERect* rect = nullptr;
    ASSERT_EQ(dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 520);
    EXPECT_EQ(rect->right, 850);
    // Not open: idle, keys and close do nothing.
    EXPECT_EQ(dispatch(vst::effEditIdle, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(vst::effEditKeyDown, 0, 12, nullptr), 0);
    EXPECT_EQ(dispatch(vst::effEditClose, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(vst::effSetEditKnobMode, 0, 0, nullptr), 1);

    const std::string path = (std::filesystem::temp_directory_path() / "orvex-editor-module-test.png").string();
    std::filesystem::remove(path);
    effect->setParameter(effect, 6, 0.9f);
    for (int round = 0; round < 2; ++round) { // the editor opens and closes each time
        ASSERT_EQ(dispatch(vst::effVendorSpecific, editor::kSnapshotIndex, editor::kSnapshotValue,
                           const_cast<char*>(path.c_str())),
                  1);
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        ASSERT_TRUE(pngSize(path, width, height));
        EXPECT_EQ(width, 850u);
        EXPECT_EQ(height, 520u);
        std::filesystem::remove(path);
    }
    // Other vendor-specific calls and an unwritable path answer 0.
    EXPECT_EQ(dispatch(vst::effVendorSpecific, editor::kSnapshotIndex, 0, const_cast<char*>(path.c_str())), 0);
    const std::string nowhere = (std::filesystem::temp_directory_path() / "no-such-folder" / "x.png").string();
    EXPECT_EQ(dispatch(vst::effVendorSpecific, editor::kSnapshotIndex, editor::kSnapshotValue,
                       const_cast<char*>(nowhere.c_str())),
              0);
    EXPECT_EQ(dispatch(vst::effClose, 0, 0, nullptr), 1);
}
