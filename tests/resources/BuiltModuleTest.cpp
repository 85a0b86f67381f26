// The built plug-in module carries its own pictures: the editor it draws (through the
// snapshot request of our host) shows the committed background, pixel for pixel, wherever no
// view lies over it. This is the module as a host loads it: Orvex.so with its generated
// table, Orvex.dll with its resource section.
#include "PluginLoader.h"

#include "editor/SnapshotRequest.h"
#include "gui/CBitmap.h"
#include "gui/Pixels.h"
#include "vst/VstAbi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

vst::IntPtr VSTCALLBACK host(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An opaque pixel as it comes back out of a PNG through CBitmap::decodePng, which
// premultiplies every channel by the alpha as (c * a) >> 8 (so 255 keeps nothing exact).
std::uint32_t throughPng(std::uint32_t pixel)
{
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((((pixel >> shift) & 0xFFu) * 255u) >> 8) << shift;
    return out;
}

struct Area {
    int x0, y0, x1, y1;
};

} // namespace

TEST(BuiltModule, EditorShowsTheCommittedBackground)
{
    cli::PluginLoader loader;
    std::string error;
    ASSERT_TRUE(loader.open(ORVEX_PLUGIN, error)) << error;
    auto entry = reinterpret_cast<vst::AEffect*(VSTCALLBACK*)(vst::HostCallback)>(loader.symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    vst::AEffect* effect = entry(&host);
    ASSERT_NE(effect, nullptr);
    const std::string path = (std::filesystem::temp_directory_path() / "orvex-resources-module-test.png").string();
    ASSERT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, editor::kSnapshotIndex, editor::kSnapshotValue,
                                 const_cast<char*>(path.c_str()), 0.0f),
              1);
    effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);

    const std::vector<std::uint8_t> png = readFile(path);
    std::filesystem::remove(path);
    const std::vector<std::uint8_t> bmp = readFile(ORVEX_BACKGROUND);
    gui::Pixels editor, background;
    ASSERT_TRUE(gui::CBitmap::decodePng(png.data(), png.size(), editor));
    ASSERT_TRUE(gui::CBitmap::decodeBmp(bmp.data(), bmp.size(), background));
    ASSERT_EQ(editor.getWidth(), background.getWidth());
    ASSERT_EQ(editor.getHeight(), background.getHeight());

    // The header left of the global controls, and the strip left of the cabs' first views.
    const Area bare[] = {{0, 0, 600, 86}, {0, 86, 58, 520}};
    int differing = 0;
    for (const Area& a : bare)
        for (int y = a.y0; y < a.y1; ++y)
            for (int x = a.x0; x < a.x1; ++x)
                if (editor.getPixel(x, y) != throughPng(background.getPixel(x, y)) && differing++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": editor " << std::hex << editor.getPixel(x, y)
                                  << ", background " << throughPng(background.getPixel(x, y));
    EXPECT_EQ(differing, 0);
}
