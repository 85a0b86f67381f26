// Bitmaps: PNG decoding with every conversion the loader asks libpng for (pictures made here
// with libpng), premultiplication, corrupt and missing pictures, the Windows bitmap of the
// background, and the three ways of drawing.
#include "TestImages.h"

#include "gui/CBitmap.h"
#include "gui/COffscreenContext.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <memory>

using namespace gui;
using testimages::PngRecipe;

namespace {

// Registers bytes as a resource for the life of the object.
struct Resource {
    const char* type;
    std::int32_t id;
    std::vector<std::uint8_t> bytes;
    Resource(const char* t, std::int32_t i, std::vector<std::uint8_t> b) : type(t), id(i), bytes(std::move(b))
    {
        platform::registerResource(type, id, bytes.data(), bytes.size());
    }
    ~Resource() { platform::unregisterResource(type, id); }
};

// A bitmap created from a resource, released at scope end.
struct Bitmap {
    CBitmap* bitmap;
    explicit Bitmap(std::int32_t id) : bitmap(new CBitmap(id)) {}
    Bitmap(const Pixels& p, bool noAlpha) : bitmap(new CBitmap(p, noAlpha)) {}
    ~Bitmap() { bitmap->forget(); }
    CBitmap* operator->() const { return bitmap; }
    std::uint32_t at(int x, int y) const { return bitmap->getImage()->getPixel(x, y); }
};

constexpr std::int32_t kTestId = 9001;

std::vector<std::uint8_t> rgbaPng(std::uint32_t w, std::uint32_t h, const std::vector<png_byte>& rgba, int level = -1)
{
    PngRecipe recipe;
    recipe.width = w;
    recipe.height = h;
    recipe.compression = level;
    recipe.chunkSize = 128; // many IDAT chunks, so a cut file still holds whole early rows
    for (std::uint32_t y = 0; y < h; ++y)
        recipe.rows.emplace_back(rgba.begin() + y * w * 4, rgba.begin() + (y + 1) * w * 4);
    return testimages::encodePng(recipe);
}

} // namespace

TEST(Bitmap, PremultipliesAndZeroesTransparentPixels)
{
    Resource res("PNG", kTestId, rgbaPng(3, 1, {200, 100, 50, 128, 10, 20, 30, 0, 255, 255, 255, 255}));
    Bitmap b(kTestId);
    EXPECT_EQ(b->getWidth(), 3);
    EXPECT_EQ(b->getHeight(), 1);
    EXPECT_FALSE(b->getNoAlpha());
    EXPECT_EQ(b->getResourceID(), kTestId);
    EXPECT_EQ(b->getTransparentColor(), kTransparentCColor);
    // (200, 100, 50, 128): c' = (c * a) >> 8 -> red 100, green 50, blue 25, alpha 128.
    EXPECT_EQ(b.at(0, 0), Pixels::pack(25, 50, 100, 128));
    // Alpha 0: all four bytes zero whatever the colour.
    EXPECT_EQ(b.at(1, 0), 0u);
    // The rule applies to opaque pixels too: 255 * 255 >> 8 = 254.
    EXPECT_EQ(b.at(2, 0), Pixels::pack(254, 254, 254, 255));
}

TEST(Bitmap, RowsComeOutTopDownAsDisplayed)
{
    Resource res("PNG", kTestId, rgbaPng(1, 3, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255}));
    Bitmap b(kTestId);
    ASSERT_EQ(b->getHeight(), 3);
    EXPECT_EQ(b.at(0, 0), Pixels::pack(0, 0, 254, 255)); // first PNG row: red, top
    EXPECT_EQ(b.at(0, 1), Pixels::pack(0, 254, 0, 255));
    EXPECT_EQ(b.at(0, 2), Pixels::pack(254, 0, 0, 255));
}

TEST(Bitmap, GreyPalettePicturesBecomeOpaqueOrKeyedRgb)
{
    {   // 8-bit grey without tRNS: grey to RGB plus a 255 filler.
        PngRecipe recipe;
        recipe.width = 2;
        recipe.colorType = PNG_COLOR_TYPE_GRAY;
        recipe.rows = {{0, 200}};
        Resource res("PNG", kTestId, testimages::encodePng(recipe));
        Bitmap b(kTestId);
        EXPECT_EQ(b.at(0, 0), Pixels::pack(0, 0, 0, 255));
        const std::uint8_t v = (200 * 255) >> 8;
        EXPECT_EQ(b.at(1, 0), Pixels::pack(v, v, v, 255));
    }
    {   // 2-bit grey: expanded to 8 bits (0, 85, 170, 255).
        PngRecipe recipe;
        recipe.width = 4;
        recipe.bitDepth = 2;
        recipe.colorType = PNG_COLOR_TYPE_GRAY;
        recipe.rows = {{0x1B}}; // 00 01 10 11
        Resource res("PNG", kTestId, testimages::encodePng(recipe));
        Bitmap b(kTestId);
        ASSERT_EQ(b->getWidth(), 4);
        const int expect[4] = {0, 85, 170, 255};
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t v = static_cast<std::uint8_t>((expect[x] * 255) >> 8);
            EXPECT_EQ(b.at(x, 0), Pixels::pack(v, v, v, 255)) << x;
        }
    }
    {   // Grey with a tRNS colour: that grey becomes transparent (all zero).
        PngRecipe recipe;
        recipe.width = 2;
        recipe.colorType = PNG_COLOR_TYPE_GRAY;
        recipe.trnsColor = true;
        recipe.trnsValue.gray = 7;
        recipe.rows = {{7, 9}};
        Resource res("PNG", kTestId, testimages::encodePng(recipe));
        Bitmap b(kTestId);
        EXPECT_EQ(b.at(0, 0), 0u);
        EXPECT_EQ(Pixels::alpha(b.at(1, 0)), 255);
    }
    {   // Palette with tRNS alphas: colours in blue-green-red order, alpha from tRNS.
        PngRecipe recipe;
        recipe.width = 3;
        recipe.bitDepth = 8;
        recipe.colorType = PNG_COLOR_TYPE_PALETTE;
        recipe.palette = {{200, 100, 50}, {10, 20, 30}, {0, 0, 255}};
        recipe.trnsAlpha = {128, 0};
        recipe.rows = {{0, 1, 2}};
        Resource res("PNG", kTestId, testimages::encodePng(recipe));
        Bitmap b(kTestId);
        EXPECT_EQ(b.at(0, 0), Pixels::pack(25, 50, 100, 128));
        EXPECT_EQ(b.at(1, 0), 0u);
        EXPECT_EQ(b.at(2, 0), Pixels::pack(254, 0, 0, 255)); // entry without tRNS alpha: opaque
    }
    {   // Palette without tRNS: opaque through the filler.
        PngRecipe recipe;
        recipe.width = 1;
        recipe.colorType = PNG_COLOR_TYPE_PALETTE;
        recipe.palette = {{255, 0, 0}};
        recipe.rows = {{0}};
        Resource res("PNG", kTestId, testimages::encodePng(recipe));
        Bitmap b(kTestId);
        EXPECT_EQ(b.at(0, 0), Pixels::pack(0, 0, 254, 255));
    }
}

TEST(Bitmap, SixteenBitPicturesKeepTheHighByte)
{
    PngRecipe recipe;
    recipe.width = 1;
    recipe.bitDepth = 16;
    recipe.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    // Big-endian samples: red 0xC8_11, green 0x64_22, blue 0x32_33, alpha 0x80_44.
    recipe.rows = {{0xC8, 0x11, 0x64, 0x22, 0x32, 0x33, 0x80, 0x44}};
    Resource res("PNG", kTestId, testimages::encodePng(recipe));
    Bitmap b(kTestId);
    EXPECT_EQ(b.at(0, 0), Pixels::pack(25, 50, 100, 128));

    PngRecipe rgb;
    rgb.width = 1;
    rgb.bitDepth = 16;
    rgb.colorType = PNG_COLOR_TYPE_RGB;
    rgb.rows = {{0xFF, 0x01, 0x00, 0xFF, 0x80, 0x00}};
    Resource res2("PNG", kTestId + 1, testimages::encodePng(rgb));
    Bitmap c(kTestId + 1);
    EXPECT_EQ(c.at(0, 0), Pixels::pack(0x7F, 0, 254, 255));
}

TEST(Bitmap, CorruptPictureKeepsItsSizeAndTheRowsReadSoFar)
{
    // 8 x 64 rows, each row its own colour, stored without compression so that cutting the
    // file in half cuts the pixel data in half.
    const std::uint32_t w = 8, h = 64;
    std::vector<png_byte> rgba;
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            rgba.insert(rgba.end(), {static_cast<png_byte>(y * 3), 7, 9, 255});
    std::vector<std::uint8_t> bytes = rgbaPng(w, h, rgba, 0);
    bytes.resize(bytes.size() / 2);
    Resource res("PNG", kTestId, bytes);
    Bitmap b(kTestId);
    EXPECT_TRUE(b->getImage() != nullptr);
    EXPECT_EQ(b->getWidth(), 8);
    EXPECT_EQ(b->getHeight(), 64);
    EXPECT_FALSE(b->getNoAlpha());
    // The first rows are right, the last ones never arrived and stay zero.
    EXPECT_EQ(b.at(3, 0), Pixels::pack((9 * 255) >> 8, (7 * 255) >> 8, 0, 255));
    EXPECT_EQ(b.at(3, 5), Pixels::pack((9 * 255) >> 8, (7 * 255) >> 8, (15 * 255) >> 8, 255));
    EXPECT_EQ(b.at(0, 63), 0u);
    int decodedRows = 0;
    for (int y = 0; y < 64; ++y)
        decodedRows += b.at(0, y) != 0u;
    EXPECT_GT(decodedRows, 10);
    EXPECT_LT(decodedRows, 64);
    // Loading again from the same resource behaves the same (the loader is repeatable).
    EXPECT_TRUE(b->loadFromResource(kTestId));
}

TEST(Bitmap, GarbageMissingAndPathLoadsLeaveAnEmptyBitmap)
{
    Resource res("PNG", kTestId, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!'});
    Bitmap garbage(kTestId);
    EXPECT_EQ(garbage->getWidth(), 0);
    EXPECT_EQ(garbage->getImage(), nullptr);
    EXPECT_FALSE(garbage->loadFromResource(kTestId));

    Bitmap missing(4242);
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_EQ(missing->getHeight(), 0);
    EXPECT_EQ(missing->getImage(), nullptr);
    EXPECT_FALSE(missing->loadFromResource(4242));

    // Drawing an empty bitmap does nothing.
    COffscreenContext* c = new COffscreenContext(nullptr, 10, 10, kBlackCColor);
    missing->draw(c, CRect(0, 0, 10, 10));
    missing->drawTransparent(c, CRect(0, 0, 10, 10));
    missing->drawAlphaBlend(c, CRect(0, 0, 10, 10), CPoint(0, 0), 128);
    EXPECT_EQ(c->getPixels().getPixel(5, 5), Pixels::pack(0, 0, 0, 255));
    c->forget();

    Resource ok("PNG", kTestId + 1, rgbaPng(1, 1, {1, 2, 3, 255}));
    Bitmap b(kTestId + 1);
    ASSERT_EQ(b->getWidth(), 1);
    EXPECT_FALSE(b->loadFromPath("C:\\pictures\\knob.png"));
    EXPECT_EQ(b->getWidth(), 0);
    EXPECT_EQ(b->getImage(), nullptr);
    EXPECT_TRUE(b->loadFromResource(kTestId + 1));
    b->dispose();
    EXPECT_EQ(b->getHeight(), 0);
    EXPECT_FALSE(b->getNoAlpha());
}

TEST(Bitmap, BackgroundBitmapResourceIsOpaqueAndDrawsAsIs)
{
    // The editor's background: a Windows 24-bit bitmap of 850 x 520, id 128.
    std::vector<std::uint32_t> pixels(850 * 520);
    for (int y = 0; y < 520; ++y)
        for (int x = 0; x < 850; ++x)
            pixels[static_cast<std::size_t>(y) * 850 + x] = static_cast<std::uint32_t>((x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x40);
    Resource res(platform::kBitmapResourceType, 128, testimages::encodeBmp24(850, 520, pixels, false));
    Bitmap bg(128);
    EXPECT_EQ(bg->getWidth(), 850);
    EXPECT_EQ(bg->getHeight(), 520);
    EXPECT_TRUE(bg->getNoAlpha());
    EXPECT_EQ(bg.at(0, 0), Pixels::pack(0x40, 0, 0, 255));
    EXPECT_EQ(bg.at(300, 519), Pixels::pack(0x40, 519 & 0xFF, 300 & 0xFF, 255));

    COffscreenContext* c = new COffscreenContext(nullptr, 850, 520, kWhiteCColor);
    bg->draw(c, CRect(0, 0, 850, 520));
    EXPECT_EQ(c->getPixels().getPixel(300, 519), Pixels::pack(0x40, 519 & 0xFF, 300 & 0xFF, 255));
    EXPECT_EQ(c->getPixels().getPixel(849, 0), Pixels::pack(0x40, 0, 849 & 0xFF, 255));
    c->forget();

    // A whole .bmp file with odd width (row padding) decodes the same way.
    std::vector<std::uint32_t> small = {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112};
    Pixels out;
    ASSERT_TRUE(CBitmap::decodeBmp(testimages::encodeBmp24(3, 2, small, true).data(),
                                   testimages::encodeBmp24(3, 2, small, true).size(), out));
    EXPECT_EQ(out.getPixel(2, 0), Pixels::pack(0x09, 0x08, 0x07, 255));
    EXPECT_EQ(out.getPixel(0, 1), Pixels::pack(0x0C, 0x0B, 0x0A, 255));
    // Truncated pixel data is refused rather than read past the end.
    std::vector<std::uint8_t> cut = testimages::encodeBmp24(3, 2, small, true);
    cut.resize(cut.size() - 1);
    EXPECT_FALSE(CBitmap::decodeBmp(cut.data(), cut.size(), out));
    EXPECT_TRUE(out.isEmpty());
}

TEST(Bitmap, DrawCopiesThePartAtTheOffsetIntoTheRect)
{
    Pixels img(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            img.setPixel(x, y, Pixels::pack(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0, 255));
    Bitmap b(img, true);
    COffscreenContext* c = new COffscreenContext(nullptr, 10, 10, kBlackCColor);
    c->setOffset(CPoint(1, 1));
    b->draw(c, CRect(2, 2, 4, 4), CPoint(1, 2)); // image (1..2, 2..3) -> (3..4, 3..4)
    EXPECT_EQ(c->getPixels().getPixel(3, 3), Pixels::pack(1, 2, 0, 255));
    EXPECT_EQ(c->getPixels().getPixel(4, 4), Pixels::pack(2, 3, 0, 255));
    EXPECT_EQ(c->getPixels().getPixel(5, 5), Pixels::pack(0, 0, 0, 255));
    c->forget();
}

TEST(Bitmap, DrawTransparentSkipsTheKeyColourOrFollowsTheMask)
{
    Pixels img(3, 1);
    img.setPixel(0, 0, Pixels::pack(255, 255, 255, 255)); // white: the default key
    img.setPixel(1, 0, Pixels::pack(0, 0, 255, 255));
    img.setPixel(2, 0, Pixels::pack(0, 255, 0, 255));
    Bitmap b(img, true);
    COffscreenContext* c = new COffscreenContext(nullptr, 3, 1, kBlueCColor);
    b->setTransparentColor(kTransparentCColor);
    b->drawTransparent(c, CRect(0, 0, 3, 1));
    EXPECT_EQ(c->getPixels().getPixel(0, 0), Pixels::pack(255, 0, 0, 255)); // blue stays
    EXPECT_EQ(c->getPixels().getPixel(1, 0), Pixels::pack(0, 0, 255, 255));

    b->setTransparentColor(kGreenCColor); // the key compares red, green, blue only
    COffscreenContext* d = new COffscreenContext(nullptr, 3, 1, kBlueCColor);
    b->drawTransparent(d, CRect(0, 0, 3, 1));
    EXPECT_EQ(d->getPixels().getPixel(0, 0), Pixels::pack(255, 255, 255, 255));
    EXPECT_EQ(d->getPixels().getPixel(2, 0), Pixels::pack(255, 0, 0, 255));

    Pixels mask(3, 1);
    mask.setPixel(1, 0, Pixels::pack(255, 255, 255, 255)); // white: keep the destination
    b->setMask(&mask);
    COffscreenContext* e = new COffscreenContext(nullptr, 3, 1, kBlueCColor);
    b->drawTransparent(e, CRect(0, 0, 3, 1));
    EXPECT_EQ(e->getPixels().getPixel(0, 0), Pixels::pack(255, 255, 255, 255));
    EXPECT_EQ(e->getPixels().getPixel(1, 0), Pixels::pack(255, 0, 0, 255));
    EXPECT_EQ(e->getPixels().getPixel(2, 0), Pixels::pack(0, 255, 0, 255));
    c->forget();
    d->forget();
    e->forget();
}

TEST(Bitmap, AlphaBlendIsSourceOverWithConstantAlpha)
{
    // One premultiplied pixel (200, 100, 50, 128) -> B 25, G 50, R 100, A 128, over white.
    Resource res("PNG", kTestId, rgbaPng(2, 1, {200, 100, 50, 128, 0, 0, 0, 0}));
    Bitmap b(kTestId);
    auto blendOnto = [&](std::uint8_t ca, const CColor& background) {
        COffscreenContext* c = new COffscreenContext(nullptr, 2, 1, background);
        b->drawAlphaBlend(c, CRect(0, 0, 2, 1), CPoint(0, 0), ca);
        std::pair<std::uint32_t, std::uint32_t> out{c->getPixels().getPixel(0, 0), c->getPixels().getPixel(1, 0)};
        c->forget();
        return out;
    };
    // ca 255: d' = s + round(d * (255 - 128) / 255) = s + 127.
    auto full = blendOnto(255, kWhiteCColor);
    EXPECT_EQ(full.first, Pixels::pack(25 + 127, 50 + 127, 100 + 127, 255));
    EXPECT_EQ(full.second, Pixels::pack(255, 255, 255, 255)); // transparent source: unchanged
    // draw() of a bitmap with alpha is the same blend at 255.
    COffscreenContext* c = new COffscreenContext(nullptr, 2, 1, kWhiteCColor);
    b->draw(c, CRect(0, 0, 2, 1));
    EXPECT_EQ(c->getPixels().getPixel(0, 0), full.first);
    b->drawTransparent(c, CRect(0, 0, 2, 1)); // and so is drawTransparent: blends again
    EXPECT_EQ(c->getPixels().getPixel(0, 0), Pixels::pack(25 + 76, 50 + 88, 100 + 113, 255));
    c->forget();
    // ca 128: s' = round(s * 128 / 255) = (13, 25, 50), a' = round(128 * 128 / 255) = 64,
    // d' = s' + round(255 * 191 / 255) = s' + 191.
    auto half = blendOnto(128, kWhiteCColor);
    EXPECT_EQ(half.first, Pixels::pack(13 + 191, 25 + 191, 50 + 191, 255));
    // Over black: only the scaled source remains.
    auto onBlack = blendOnto(128, kBlackCColor);
    EXPECT_EQ(onBlack.first, Pixels::pack(13, 25, 50, 255));
    // ca 0 changes nothing.
    EXPECT_EQ(blendOnto(0, kWhiteCColor).first, Pixels::pack(255, 255, 255, 255));

    // A bitmap without alpha blends with the constant alpha only.
    Pixels red(1, 1, Pixels::pack(0, 0, 255, 255));
    Bitmap opaqueRed(red, true);
    COffscreenContext* d = new COffscreenContext(nullptr, 1, 1, kBlackCColor);
    opaqueRed->drawAlphaBlend(d, CRect(0, 0, 1, 1), CPoint(0, 0), 51);
    EXPECT_EQ(d->getPixels().getPixel(0, 0), Pixels::pack(0, 0, 51, 255));
    d->forget();
}

TEST(Bitmap, ZeroSizedOrOffImageDrawsNothing)
{
    Pixels img(2, 2, Pixels::pack(0, 0, 255, 255));
    Bitmap b(img, true);
    COffscreenContext* c = new COffscreenContext(nullptr, 4, 4, kBlackCColor);
    b->draw(c, CRect(1, 1, 1, 1));
    b->draw(c, CRect(0, 0, 4, 4), CPoint(5, 5)); // no image there
    b->draw(c, CRect(0, 0, 4, 4), CPoint(-10, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c->getPixels().getPixel(x, y), Pixels::pack(0, 0, 0, 255));
    b->draw(nullptr, CRect(0, 0, 4, 4));
    c->forget();
}
