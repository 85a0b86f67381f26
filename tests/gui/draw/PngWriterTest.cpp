// PngWriter and the golden snapshots: small drawings without text, rendered offscreen and
// compared pixel for pixel with the PNG files under tests/data/gui. Set
// ORVEX_REGENERATE_GOLDEN=1 to rewrite the files after a deliberate change of drawing rules.
#include "TestImages.h"

#include "gui/CBitmap.h"
#include "gui/COffscreenContext.h"
#include "gui/PngWriter.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace gui;
namespace fs = std::filesystem;

namespace {

fs::path tempFile(const char* name)
{
    fs::path dir = fs::temp_directory_path() / "orvex_gui_draw";
    fs::create_directories(dir);
    return dir / name;
}

// Compares an image with its golden file (or rewrites the file when asked to).
void checkGolden(const Pixels& image, const std::string& name)
{
    const std::string golden = std::string(ORVEX_TEST_DATA) + "/gui/" + name;
    if (std::getenv("ORVEX_REGENERATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(PngWriter::writeFile(image, golden.c_str())) << golden;
        return;
    }
    const fs::path actualPath = tempFile(name.c_str());
    ASSERT_TRUE(PngWriter::writeFile(image, actualPath.string().c_str()));
    testimages::Rgba expected = testimages::readPngFile(golden);
    testimages::Rgba actual = testimages::readPngFile(actualPath.string());
    ASSERT_EQ(expected.width, static_cast<std::uint32_t>(image.getWidth())) << "missing or wrong golden " << golden;
    ASSERT_EQ(expected.height, actual.height);
    std::size_t differing = 0, first = expected.bytes.size();
    for (std::size_t i = 0; i < expected.bytes.size(); ++i)
        if (expected.bytes[i] != actual.bytes[i]) {
            ++differing;
            first = std::min(first, i);
        }
    EXPECT_EQ(differing, 0u) << name << ": first difference at pixel (" << (first / 4) % expected.width << ", "
                             << (first / 4) / expected.width << "); actual written to " << actualPath.string();
}

} // namespace

TEST(PngWriter, WritesUnpremultipliedRgba)
{
    Pixels img(3, 1);
    img.setPixel(0, 0, Pixels::pack(25, 50, 100, 128)); // premultiplied (200, 100, 50, 128)
    img.setPixel(1, 0, 0);
    img.setPixel(2, 0, Pixels::pack(1, 2, 3, 255));
    const fs::path path = tempFile("writer.png");
    ASSERT_TRUE(PngWriter::writeFile(img, path.string().c_str()));
    testimages::Rgba back = testimages::readPngFile(path.string());
    ASSERT_EQ(back.width, 3u);
    // c = round(c' * 255 / a): 100 -> 199, 50 -> 100, 25 -> 50 (the >> 8 premultiplication
    // loses a little; opaque pixels come back exactly).
    EXPECT_EQ(std::vector<std::uint8_t>(back.bytes.begin(), back.bytes.begin() + 4),
              (std::vector<std::uint8_t>{199, 100, 50, 128}));
    EXPECT_EQ(std::vector<std::uint8_t>(back.bytes.begin() + 4, back.bytes.begin() + 8),
              (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(back.bytes.begin() + 8, back.bytes.end()),
              (std::vector<std::uint8_t>{3, 2, 1, 255}));
}

TEST(PngWriter, RefusesEmptyImagesAndUnwritablePaths)
{
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(PngWriter::writeMemory(Pixels(), bytes));
    EXPECT_TRUE(bytes.empty());
    Pixels img(2, 2, Pixels::pack(0, 0, 0, 255));
    const fs::path missingDir = tempFile("no-such-dir") / "x.png";
    EXPECT_FALSE(PngWriter::writeFile(img, missingDir.string().c_str()));
    EXPECT_FALSE(PngWriter::writeFile(img, nullptr));
    EXPECT_FALSE(PngWriter::writeFile(img, ""));
    // What it writes decodes again through the bitmap loader.
    ASSERT_TRUE(PngWriter::writeMemory(img, bytes));
    Pixels decoded;
    ASSERT_TRUE(CBitmap::decodePng(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(decoded.getWidth(), 2);
    EXPECT_EQ(decoded.getPixel(1, 1), Pixels::pack(0, 0, 0, 255));
}

TEST(Golden, ShapesLinesAndDashes)
{
    COffscreenContext* c = new COffscreenContext(nullptr, 64, 48, kBlackCColor);
    c->setFillColor(kRedCColor);
    c->fillRect(CRect(2, 2, 20, 14));
    c->setFrameColor(kWhiteCColor);
    c->drawRect(CRect(2, 2, 20, 14));
    c->setFillColor(kYellowCColor);
    c->fillEllipse(CRect(24, 2, 44, 18));
    c->setFillColor(kBlueCColor);
    c->fillEllipse(CRect(48, 2, 55, 20));
    c->setFrameColor(kGreenCColor);
    c->moveTo(CPoint(2, 20));
    c->lineTo(CPoint(60, 30));
    c->lineTo(CPoint(10, 44));
    c->setLineStyle(kLineOnOffDash);
    c->setFrameColor(kOrangeCColor);
    c->drawRect(CRect(30, 32, 62, 46));
    c->setLineStyle(kLineSolid);
    c->setLineWidth(3);
    c->setFrameColor(kMagentaCColor);
    c->moveTo(CPoint(4, 30));
    c->lineTo(CPoint(20, 40));
    checkGolden(c->getPixels(), "shapes.png");
    c->forget();
}

TEST(Golden, BitmapsBlendedKeyedAndClipped)
{
    // A 16 x 16 picture with a soft alpha ramp and a white key square.
    Pixels ramp(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t a = static_cast<std::uint32_t>(x * 17);
            ramp.setPixel(x, y, Pixels::pack(static_cast<std::uint8_t>((200 * a) >> 8), static_cast<std::uint8_t>((y * 16 * a) >> 8),
                                             0, static_cast<std::uint8_t>(a)));
        }
    CBitmap* alpha = new CBitmap(ramp, false);
    Pixels keyed(8, 8, Pixels::pack(0, 128, 255, 255));
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x)
            keyed.setPixel(x, y, Pixels::pack(255, 255, 255, 255));
    CBitmap* key = new CBitmap(keyed, true);

    COffscreenContext* c = new COffscreenContext(nullptr, 48, 24, kGreyCColor);
    alpha->draw(c, CRect(0, 0, 16, 16));
    alpha->drawAlphaBlend(c, CRect(16, 0, 32, 16), CPoint(0, 0), 100);
    key->drawTransparent(c, CRect(34, 2, 42, 10));
    c->setClipRect(CRect(0, 18, 20, 22));
    key->draw(c, CRect(0, 16, 48, 24), CPoint(0, 0));
    checkGolden(c->getPixels(), "bitmaps.png");
    c->forget();
    alpha->forget();
    key->forget();
}
