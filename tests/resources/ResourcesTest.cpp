// The editor's pictures as the built program finds them: through the platform's resource
// lookup (the module's resource section on Windows, the generated table elsewhere), decoded
// by CBitmap with the sizes of the panel's picture table, which the editor lays its views
// out with.
#include "editor/PanelLayout.h"
#include "gui/CBitmap.h"
#include "gui/Pixels.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstring>

using gui::CBitmap;

namespace {

bool sameFrame(const gui::Pixels& image, int frameHeight, int a, int b)
{
    for (int y = 0; y < frameHeight; ++y)
        if (std::memcmp(image.row(a * frameHeight + y), image.row(b * frameHeight + y),
                        static_cast<std::size_t>(image.getWidth()) * 4) != 0)
            return false;
    return true;
}

} // namespace

// Every PNG picture is an 8-bit RGBA (or RGB) file, loads with its size, and the states of a
// multi-frame picture really differ: the next frame of a knob moves, a button's two states
// are not the same image.
TEST(Resources, EveryPictureLoadsWithItsSizeAndDistinctFrames)
{
    for (const panel::Picture& e : panel::kPictures) {
        SCOPED_TRACE("picture " + std::to_string(e.id));
        const platform::ResourceBytes bytes = platform::findResource(platform::kPngResourceType, e.id);
        ASSERT_GT(bytes.size, 26u);
        EXPECT_EQ(bytes.data[24], 8) << "bit depth"; // IHDR: width, height, depth, colour type
        EXPECT_EQ(bytes.data[25], e.alpha ? 6 : 2) << "colour type";
        CBitmap* bitmap = new CBitmap(e.id);
        EXPECT_EQ(bitmap->getWidth(), e.width);
        EXPECT_EQ(bitmap->getHeight(), e.height);
        EXPECT_FALSE(bitmap->getNoAlpha());
        const gui::Pixels* image = bitmap->getImage();
        ASSERT_NE(image, nullptr);
        const int frameHeight = e.height / e.frames;
        for (int f = 0; f + 1 < e.frames; ++f)
            EXPECT_FALSE(sameFrame(*image, frameHeight, f, f + 1)) << "frames " << f << " and " << f + 1;
        bitmap->forget();
    }
}

TEST(Resources, BackgroundIsAnOpaque24BitWindowsBitmap)
{
    // A whole .bmp file in the Linux table, the bitmap without its file header on Windows.
    const platform::ResourceBytes bytes = platform::findResource(platform::kBitmapResourceType, panel::kBackgroundId);
    ASSERT_GT(bytes.size, 54u);
    const std::size_t header = bytes.data[0] == 'B' && bytes.data[1] == 'M' ? 14 : 0;
    EXPECT_EQ(bytes.data[header + 14] | (bytes.data[header + 15] << 8), 24) << "bits per pixel";
    CBitmap* background = new CBitmap(panel::kBackgroundId);
    EXPECT_EQ(background->getWidth(), panel::kWidth);
    EXPECT_EQ(background->getHeight(), panel::kHeight);
    EXPECT_TRUE(background->getNoAlpha());
    background->forget();
}
