// The editor's pictures as the built program finds them: through the platform's resource
// lookup (the module's resource section on Windows, the generated table elsewhere), decoded
// by CBitmap with the sizes the editor lays its views out with.
#include "gui/CBitmap.h"
#include "gui/Pixels.h"

#include <gtest/gtest.h>

#include <cstring>

using gui::CBitmap;

namespace {

struct Expected {
    std::int32_t id;
    std::int32_t width, height;
    int frames;
};

const Expected kPictures[] = {
    {1, 17, 17, 1},    {2, 17, 17, 1},    {3, 17, 17, 1},    {4, 40, 8040, 201}, {5, 27, 54, 2},
    {6, 24, 64, 2},    {7, 58, 86, 2},    {8, 22, 70, 2},    {9, 58, 86, 2},     {10, 22, 70, 2},
    {11, 57, 98, 2},   {12, 57, 98, 2},   {13, 57, 98, 2},   {14, 232, 17, 1},   {15, 232, 17, 1},
    {16, 45, 15, 1},   {17, 289, 36, 1},  {18, 289, 36, 1},  {19, 289, 36, 1},   {20, 267, 17, 1},
    {21, 232, 17, 1},  {22, 17, 34, 2},   {23, 17, 34, 2},
};

bool sameFrame(const gui::Pixels& image, int frameHeight, int a, int b)
{
    for (int y = 0; y < frameHeight; ++y)
        if (std::memcmp(image.row(a * frameHeight + y), image.row(b * frameHeight + y),
                        static_cast<std::size_t>(image.getWidth()) * 4) != 0)
            return false;
    return true;
}

} // namespace

// Every PNG picture loads with its size and alpha channel, and the states of a multi-frame
// picture really differ: the next frame of a knob moves, a button's two states are not the
// same image.
TEST(Resources, EveryPictureLoadsWithItsSizeAndDistinctFrames)
{
    for (const Expected& e : kPictures) {
        SCOPED_TRACE("picture " + std::to_string(e.id));
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

TEST(Resources, BackgroundIsAnOpaqueWindowsBitmap)
{
    CBitmap* background = new CBitmap(128);
    EXPECT_EQ(background->getWidth(), 850);
    EXPECT_EQ(background->getHeight(), 520);
    EXPECT_TRUE(background->getNoAlpha());
    background->forget();
}
