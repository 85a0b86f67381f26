// Golden pictures of small view trees without text (exact pixels; set ORVEX_UPDATE_GOLDEN=1
// to write them again), and a demo picture of a small control panel with text, written to
// the build folder's snapshots/demo_views.png for people to look at.
#include "ViewTestSupport.h"

#include "gui/CAnimKnob.h"
#include "gui/CDrawContext.h"
#include "gui/CKickButton.h"
#include "gui/CKnob.h"
#include "gui/COffscreenContext.h"
#include "gui/COnOffButton.h"
#include "gui/COptionMenu.h"
#include "gui/CParamDisplay.h"
#include "gui/CTextLabel.h"
#include "gui/CViewContainer.h"
#include "gui/PngWriter.h"
#include "gui/Snapshot.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

using namespace viewtest;
namespace fs = std::filesystem;

namespace {

const CColor kPanel{38, 41, 46, 255};
const CColor kRed{220, 40, 40, 255};
const CColor kGreen{40, 200, 80, 255};
const CColor kBlue{40, 80, 220, 255};
const CColor kDark{20, 20, 24, 255};
const CColor kLight{235, 235, 230, 255};
const CColor kAmber{255, 170, 30, 255};

std::string goldenPath(const char* name)
{
    return std::string(ORVEX_TEST_DATA) + "/gui_views/" + name;
}

// Compares a picture with its golden file, or writes the file when asked to.
void checkGolden(const gui::Pixels& image, const char* name)
{
    const std::string path = goldenPath(name);
    const char* update = std::getenv("ORVEX_UPDATE_GOLDEN");
    if (update && *update && std::string(update) != "0") {
        fs::create_directories(fs::path(path).parent_path());
        ASSERT_TRUE(gui::PngWriter::writeFile(image, path.c_str())) << path;
        return;
    }
    const std::vector<std::uint8_t> bytes = readFile(path);
    ASSERT_FALSE(bytes.empty()) << "missing golden picture " << path << " (ORVEX_UPDATE_GOLDEN=1 writes it)";
    gui::Pixels golden;
    ASSERT_TRUE(gui::CBitmap::decodePng(bytes.data(), bytes.size(), golden));
    // Decoding premultiplies (and so rounds) the colours: compare the picture as it comes
    // back from a PNG of its own, not as drawn.
    std::vector<std::uint8_t> encoded;
    ASSERT_TRUE(gui::PngWriter::writeMemory(image, encoded));
    gui::Pixels drawn;
    ASSERT_TRUE(gui::CBitmap::decodePng(encoded.data(), encoded.size(), drawn));
    ASSERT_EQ(golden.getWidth(), drawn.getWidth());
    ASSERT_EQ(golden.getHeight(), drawn.getHeight());
    int differing = 0;
    for (std::int32_t y = 0; y < drawn.getHeight(); ++y)
        for (std::int32_t x = 0; x < drawn.getWidth(); ++x)
            if (golden.getPixel(x, y) != drawn.getPixel(x, y) && ++differing <= 5)
                ADD_FAILURE() << name << " differs at " << x << "," << y << ": " << std::hex
                              << drawn.getPixel(x, y) << " instead of " << golden.getPixel(x, y);
    EXPECT_EQ(differing, 0) << name;
}

// A knob strip of `frames` pictures: a disc with a pointer from 225 degrees clockwise to -45.
gui::CBitmap* makeKnobStrip(std::int32_t size, std::int32_t frames, const CColor& disc, const CColor& pointer)
{
    auto* image = new gui::COffscreenContext(nullptr, size, size * frames, kPanel);
    for (std::int32_t k = 0; k < frames; ++k) {
        const std::int32_t top = k * size;
        image->setFillColor(disc);
        image->fillEllipse(CRect(1, top + 1, size - 2, top + size - 2));
        const double angle = 3.9269908 - 4.712389 * k / (frames - 1);
        const double r = size / 2.0 - 4.0;
        const CPoint centre(size / 2, top + size / 2);
        image->setFrameColor(pointer);
        image->setLineWidth(2);
        image->moveTo(centre);
        image->lineTo(CPoint(centre.x + static_cast<std::int32_t>(std::lround(std::cos(angle) * r)),
                             centre.y - static_cast<std::int32_t>(std::lround(std::sin(angle) * r))));
    }
    auto* bitmap = new gui::CBitmap(image->getPixels(), true);
    image->forget();
    return bitmap;
}

class SnapshotTest : public HeadlessTest {};

} // namespace

TEST_F(SnapshotTest, NestedContainersGolden)
{
    auto* frame = new gui::CFrame(CRect(0, 0, 64, 48), nullptr, nullptr);
    frame->setBackgroundColor(kPanel);
    auto* outer = new gui::CViewContainer(CRect(4, 4, 44, 40), frame);
    outer->setBackgroundColor(kBlue);
    frame->addView(outer);
    auto* inner = new gui::CViewContainer(CRect(20, 10, 52, 30), frame); // runs past outer
    inner->setBackgroundColor(kAmber);
    inner->useOffscreen(true);
    outer->addView(inner);
    inner->addView(new BoxView(CRect(2, 2, 12, 12), kRed));
    inner->addView(new BoxView(CRect(8, 8, 40, 14), kGreen)); // cut by inner, then by outer
    frame->addView(new BoxView(CRect(40, 30, 60, 44), kLight));
    auto* hidden = new BoxView(CRect(50, 2, 62, 12), kRed);
    frame->addView(hidden);
    frame->removeView(hidden);

    checkGolden(gui::Snapshot::renderFrame(frame), "nested_containers.png");
    frame->forget();
}

TEST_F(SnapshotTest, ControlsGolden)
{
    auto* frame = new gui::CFrame(CRect(0, 0, 120, 40), nullptr, nullptr);
    frame->setBackgroundColor(kPanel);

    gui::CBitmap* strip = makeKnobStrip(24, 201, kDark, kAmber);
    auto* anim = new gui::CAnimKnob(CRect(4, 8, 28, 32), nullptr, 1, 201, 24, strip);
    anim->setValue(0.3f);
    frame->addView(anim);
    strip->forget();

    gui::CBitmap* disc = makeSolidBitmap(24, 24, kDark);
    auto* knob = new gui::CKnob(CRect(32, 8, 56, 32), nullptr, 2, disc);
    knob->setValue(0.8f);
    frame->addView(knob);
    disc->forget();

    gui::CBitmap* led = makeTwoStateBitmap(10, 10, kDark, kGreen);
    auto* off = new gui::COnOffButton(CRect(60, 4, 70, 14), nullptr, 3, led);
    auto* on = new gui::COnOffButton(CRect(60, 18, 70, 28), nullptr, 4, led);
    on->setValue(1.0f);
    frame->addView(off);
    frame->addView(on);
    led->forget();

    gui::CBitmap* kickPictures = makeTwoStateBitmap(12, 12, kLight, kRed);
    auto* kick = new gui::CKickButton(CRect(74, 4, 86, 16), nullptr, 5, 12, kickPictures);
    kick->setValue(1.0f);
    frame->addView(kick);
    kickPictures->forget();

    auto* sunken = new gui::CParamDisplay(CRect(90, 4, 116, 18), nullptr, gui::k3DIn | gui::kNoTextStyle);
    sunken->setBackgroundColor(kDark);
    sunken->setFrameColor(kLight);
    auto* raised = new gui::CParamDisplay(CRect(90, 22, 116, 36), nullptr, gui::k3DOut | gui::kNoTextStyle);
    raised->setBackgroundColor(kDark);
    raised->setFrameColor(kLight);
    frame->addView(sunken);
    frame->addView(raised);

    checkGolden(gui::Snapshot::renderFrame(frame), "controls.png");
    // A single view renders on its own at its own size.
    checkGolden(gui::Snapshot::renderView(anim), "anim_knob.png");
    frame->forget();
}

TEST_F(SnapshotTest, DemoPanelPicture)
{
    platform::NativeHandle host = platform::headless::createHostWindow(360, 150);
    auto* frame = new gui::CFrame(CRect(0, 0, 360, 150), host, nullptr);
    frame->setBackgroundColor(kPanel);

    auto addLabel = [&](const CRect& r, const char* text, std::int32_t font, const CColor& colour) {
        auto* label = new gui::CTextLabel(r, text, nullptr, gui::kNoFrame);
        label->setBackgroundColor(kPanel);
        label->setFontIndex(font);
        label->setFontColor(colour);
        frame->addView(label);
        return label;
    };
    addLabel(CRect(10, 6, 350, 24), "Orvex views demo", 0, kLight)->setTextAlignment(gui::kLeftText);

    gui::CBitmap* strip = makeKnobStrip(40, 201, kDark, kAmber);
    const float values[3] = {0.0f, 0.5f, 0.85f};
    const char* names[3] = {"Delay", "Pan", "Volume"};
    for (int i = 0; i < 3; ++i) {
        const std::int32_t left = 14 + i * 56;
        auto* knob = new gui::CAnimKnob(CRect(left, 34, left + 40, 74), nullptr, i, 201, 40, strip);
        knob->setValue(values[i]);
        frame->addView(knob);
        char text[16];
        std::snprintf(text, sizeof text, "%4.3f", static_cast<double>(values[i]));
        auto* value = new gui::CTextLabel(CRect(left - 3, 78, left + 43, 93), text, nullptr, 0);
        value->setFontIndex(5);
        value->setBackgroundColor(kDark);
        value->setFrameColor(kAmber);
        frame->addView(value);
        addLabel(CRect(left - 6, 96, left + 46, 110), names[i], 6, kLight);
    }
    strip->forget();

    gui::CBitmap* led = makeTwoStateBitmap(24, 16, kDark, kGreen);
    auto* power = new gui::COnOffButton(CRect(190, 36, 214, 52), nullptr, 49, led);
    power->setValue(1.0f);
    frame->addView(power);
    auto* solo = new gui::COnOffButton(CRect(190, 58, 214, 74), nullptr, 74, led);
    frame->addView(solo);
    led->forget();
    addLabel(CRect(218, 36, 260, 52), "On", 5, kLight)->setTextAlignment(gui::kLeftText);
    addLabel(CRect(218, 58, 260, 74), "Solo", 5, kLight)->setTextAlignment(gui::kLeftText);

    gui::CBitmap* arrows = makeTwoStateBitmap(17, 17, kLight, kAmber);
    frame->addView(new gui::CKickButton(CRect(190, 84, 207, 101), nullptr, 56, 17, arrows));
    auto* pressed = new gui::CKickButton(CRect(211, 84, 228, 101), nullptr, 62, 17, arrows);
    pressed->setValue(1.0f);
    frame->addView(pressed);
    arrows->forget();

    auto* latency = new gui::COptionMenu(CRect(270, 36, 340, 56), nullptr, 80);
    for (const char* e : {"64", "128", "256", "512"})
        latency->appendEntry(e);
    latency->setCurrentIndex(2);
    latency->setFontIndex(5);
    latency->setFontColor(gui::kBlackCColor);
    latency->setBackgroundColor(gui::kWhiteCColor);
    latency->setFrameColor(gui::kBlackCColor);
    frame->addView(latency);
    addLabel(CRect(270, 60, 340, 74), "Latency", 6, kLight);

    auto* files = new gui::COptionMenu(CRect(10, 120, 350, 140), nullptr, 50, nullptr, 0);
    files->appendEntry("Mesa 4x12 V30 SM57 edge.wav");
    files->setFontIndex(5);
    files->setTextAlignment(gui::kLeftText);
    files->setBackgroundColor(kDark);
    files->setFrameColor(kAmber);
    files->setFontColor(kLight);
    frame->addView(files);

    // Through the real path: a paint of the window draws the views into the frame's image.
    platform::headless::sendPaint(frame->getWindow(), platform::Rect{0, 0, 360, 150});
    ASSERT_NE(frame->getOffscreen(), nullptr);
    const gui::Pixels& image = frame->getOffscreen()->getPixels();
    fs::create_directories(ORVEX_SNAPSHOT_DIR);
    const std::string path = std::string(ORVEX_SNAPSHOT_DIR) + "/demo_views.png";
    ASSERT_TRUE(gui::PngWriter::writeFile(image, path.c_str())) << path;
    EXPECT_FALSE(readFile(path).empty());
    // And the same picture is what the window shows.
    const platform::headless::Snapshot shown = platform::headless::snapshot(frame->getWindow());
    EXPECT_EQ(shown.pixels[static_cast<std::size_t>(100 * 360 + 30)], image.getPixel(30, 100));
    frame->forget();
    platform::headless::destroyHostWindow(host);
}
