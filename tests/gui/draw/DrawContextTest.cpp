// Pixel rules of the drawing context: which pixels each primitive covers and why, clip and
// offset, the caching of pens, brushes and fonts, copies between contexts, and drawing for
// a (headless) window.
#include "gui/CDrawContext.h"
#include "gui/CFontTable.h"
#include "gui/COffscreenContext.h"
#include "platform/Headless.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

using namespace gui;

namespace {

constexpr std::uint32_t kBlack = Pixels::pack(0, 0, 0, 255);
constexpr std::uint32_t kRed = Pixels::pack(0, 0, 255, 255);
constexpr std::uint32_t kGreen = Pixels::pack(0, 255, 0, 255);

// Columns (or rows) of a row (column) whose pixel equals `value`.
std::set<int> columnsOf(const Pixels& p, int y, std::uint32_t value)
{
    std::set<int> s;
    for (int x = 0; x < p.getWidth(); ++x)
        if (p.getPixel(x, y) == value)
            s.insert(x);
    return s;
}
std::set<int> rowsOf(const Pixels& p, int x, std::uint32_t value)
{
    std::set<int> s;
    for (int y = 0; y < p.getHeight(); ++y)
        if (p.getPixel(x, y) == value)
            s.insert(y);
    return s;
}
std::set<int> range(int from, int to) // inclusive
{
    std::set<int> s;
    for (int i = from; i <= to; ++i)
        s.insert(i);
    return s;
}

// Bounding box of the pixels that differ from `background` (right/bottom exclusive).
CRect inkBox(const Pixels& p, std::uint32_t background = kBlack)
{
    CRect box(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
    for (int y = 0; y < p.getHeight(); ++y)
        for (int x = 0; x < p.getWidth(); ++x)
            if (p.getPixel(x, y) != background) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

std::string dump(const Pixels& p, std::uint32_t ink)
{
    std::ostringstream s;
    for (int y = 0; y < p.getHeight(); ++y) {
        for (int x = 0; x < p.getWidth(); ++x)
            s << (p.getPixel(x, y) == ink ? '#' : '.');
        s << '\n';
    }
    return s.str();
}

struct Offscreen {
    COffscreenContext* context;
    explicit Offscreen(int w = 40, int h = 40) : context(new COffscreenContext(nullptr, w, h, kBlackCColor)) {}
    ~Offscreen() { context->forget(); }
    COffscreenContext* operator->() const { return context; }
    const Pixels& pixels() const { return context->getPixels(); }
};

} // namespace

TEST(DrawContext, NewOffscreenIsBackgroundEverywhere)
{
    Offscreen big(850, 520);
    const Pixels& p = big.pixels();
    ASSERT_EQ(p.getWidth(), 850);
    ASSERT_EQ(p.getHeight(), 520);
    std::size_t wrong = 0;
    for (int y = 0; y < 520; ++y)
        for (int x = 0; x < 850; ++x)
            wrong += p.getPixel(x, y) != kBlack;
    EXPECT_EQ(wrong, 0u);

    // Another background colour, and a negative size taken by its magnitude.
    COffscreenContext* odd = new COffscreenContext(nullptr, -7, 5, kOrangeCColor);
    EXPECT_EQ(odd->getWidth(), 7);
    EXPECT_EQ(odd->getPixels().getWidth(), 7);
    EXPECT_EQ(columnsOf(odd->getPixels(), 0, Pixels::pack(51, 153, 255, 255)), range(0, 6));
    EXPECT_EQ(columnsOf(odd->getPixels(), 4, Pixels::pack(51, 153, 255, 255)), range(0, 6));
    CRect clip;
    EXPECT_EQ(odd->getClipRect(clip), CRect(0, 0, 7, 5));
    odd->forget();
}

TEST(DrawContext, FillRectCoversLeftPlusOneToRightExclusive)
{
    Offscreen c;
    c->setFillColor(kRedCColor);
    c->fillRect(CRect(10, 10, 20, 20));
    // GDI's rule as the toolkit uses it: the first row and column belong to the outline.
    EXPECT_EQ(columnsOf(c.pixels(), 15, kRed), range(11, 19));
    EXPECT_EQ(rowsOf(c.pixels(), 15, kRed), range(11, 19));
    EXPECT_EQ(inkBox(c.pixels()), CRect(11, 11, 20, 20)) << dump(c.pixels(), kRed);
    // Empty and inverted rectangles draw nothing.
    Offscreen d;
    d->setFillColor(kRedCColor);
    d->fillRect(CRect(5, 5, 6, 30));
    d->fillRect(CRect(20, 20, 10, 10));
    EXPECT_TRUE(inkBox(d.pixels()).left == INT32_MAX) << dump(d.pixels(), kRed);
}

TEST(DrawContext, DrawRectOutlinesLeftToRightMinusOne)
{
    Offscreen c;
    c->setFrameColor(kRedCColor);
    c->drawRect(CRect(10, 10, 20, 20));
    EXPECT_EQ(columnsOf(c.pixels(), 10, kRed), range(10, 19));
    EXPECT_EQ(columnsOf(c.pixels(), 19, kRed), range(10, 19));
    EXPECT_EQ(rowsOf(c.pixels(), 10, kRed), range(10, 19));
    EXPECT_EQ(rowsOf(c.pixels(), 19, kRed), range(10, 19));
    EXPECT_EQ(columnsOf(c.pixels(), 15, kRed), (std::set<int>{10, 19})) << dump(c.pixels(), kRed);
    // fillRect then drawRect of the same rect cover the block 10..19 exactly.
    c->setFillColor(kRedCColor);
    c->fillRect(CRect(10, 10, 20, 20));
    EXPECT_EQ(inkBox(c.pixels()), CRect(10, 10, 20, 20));
    EXPECT_EQ(columnsOf(c.pixels(), 12, kRed), range(10, 19));
}

TEST(DrawContext, FillEllipseIsInscribedInTheShiftedBox)
{
    Offscreen c;
    c->setFillColor(kGreenCColor);
    c->fillEllipse(CRect(10, 10, 20, 20));
    // Inside (11, 11)-(21, 21): ink spans 11..20, symmetric, centre filled, corners not.
    EXPECT_EQ(inkBox(c.pixels()), CRect(11, 11, 21, 21)) << dump(c.pixels(), kGreen);
    EXPECT_EQ(columnsOf(c.pixels(), 15, kGreen), range(11, 20));
    EXPECT_EQ(rowsOf(c.pixels(), 16, kGreen), range(11, 20));
    EXPECT_EQ(c.pixels().getPixel(11, 11), kBlack);
    EXPECT_EQ(c.pixels().getPixel(20, 20), kBlack);
    for (int y = 11; y <= 20; ++y)
        for (int x = 11; x <= 20; ++x)
            EXPECT_EQ(c.pixels().getPixel(x, y), c.pixels().getPixel(31 - x, y)) << x << "," << y;
}

TEST(DrawContext, LinesLeaveOutTheEndPoint)
{
    Offscreen c;
    c->setFrameColor(kRedCColor);
    c->moveTo(CPoint(5, 5));
    c->lineTo(CPoint(15, 5)); // horizontal: 5..14
    EXPECT_EQ(columnsOf(c.pixels(), 5, kRed), range(5, 14));
    c->moveTo(CPoint(30, 20));
    c->lineTo(CPoint(30, 10)); // upward: 20 down to 11
    EXPECT_EQ(rowsOf(c.pixels(), 30, kRed), range(11, 20));
    c->moveTo(CPoint(0, 30));
    c->lineTo(CPoint(4, 34)); // diagonal: (0,30)..(3,33)
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(c.pixels().getPixel(i, 30 + i), kRed) << i;
    EXPECT_EQ(c.pixels().getPixel(4, 34), kBlack);
    // A shallow line steps like Bresenham: 10 across, 2 down; every column exactly once.
    Offscreen d;
    d->setFrameColor(kRedCColor);
    d->moveTo(CPoint(0, 0));
    d->lineTo(CPoint(10, 2));
    int count = 0;
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(rowsOf(d.pixels(), x, kRed).size(), 1u) << x;
        count += static_cast<int>(rowsOf(d.pixels(), x, kRed).size());
    }
    EXPECT_EQ(count, 10);
    EXPECT_EQ(rowsOf(d.pixels(), 0, kRed), std::set<int>{0});
    EXPECT_EQ(rowsOf(d.pixels(), 9, kRed), std::set<int>{2});
    CPoint where;
    d->getLoc(where);
    EXPECT_EQ(where, CPoint(10, 2));
    // Zero length: nothing.
    Offscreen e;
    e->moveTo(CPoint(3, 3));
    e->lineTo(CPoint(3, 3));
    EXPECT_EQ(inkBox(e.pixels()).left, INT32_MAX);
}

TEST(DrawContext, DashedLinesAlternateThreeOnThreeOffAcrossSegments)
{
    Offscreen c;
    c->setFrameColor(kRedCColor);
    const int pensBefore = c->getPenCreations();
    c->setLineStyle(kLineOnOffDash);
    EXPECT_EQ(c->getPenCreations(), pensBefore + 1);
    c->moveTo(CPoint(0, 1));
    c->lineTo(CPoint(8, 1));
    c->lineTo(CPoint(8, 9)); // the pattern runs on around the corner
    EXPECT_EQ(columnsOf(c.pixels(), 1, kRed), (std::set<int>{0, 1, 2, 6, 7, 8})) << dump(c.pixels(), kRed);
    // After 8 pixels (phase 2) the vertical run continues: on at 8 (phase 2), off 3..5, on 6..8.
    EXPECT_EQ(rowsOf(c.pixels(), 8, kRed), (std::set<int>{1, 5, 6, 7})) << dump(c.pixels(), kRed);
    // moveTo restarts the pattern; back to solid draws every pixel.
    c->setLineStyle(kLineSolid);
    c->moveTo(CPoint(0, 20));
    c->lineTo(CPoint(10, 20));
    EXPECT_EQ(columnsOf(c.pixels(), 20, kRed), range(0, 9));
}

TEST(DrawContext, WideLinesAreCentredDots)
{
    Offscreen c;
    c->setFrameColor(kRedCColor);
    c->setLineWidth(3);
    c->moveTo(CPoint(10, 10));
    c->lineTo(CPoint(20, 10));
    // Three rows thick, centred on the line.
    EXPECT_EQ(rowsOf(c.pixels(), 15, kRed), range(9, 11));
    EXPECT_EQ(c.pixels().getPixel(15, 8), kBlack);
    EXPECT_EQ(c.pixels().getPixel(15, 12), kBlack);
}

TEST(DrawContext, OffsetAndClipApplyToEveryPrimitive)
{
    Offscreen c;
    c->setFillColor(kRedCColor);
    c->setFrameColor(kRedCColor);
    c->setOffset(CPoint(5, 7));
    c->fillRect(CRect(0, 0, 4, 4)); // -> 6..8, 8..10
    EXPECT_EQ(inkBox(c.pixels()), CRect(6, 8, 9, 11));

    Offscreen d;
    d->setFillColor(kRedCColor);
    d->setFrameColor(kRedCColor);
    d->setOffset(CPoint(2, 2));
    d->setClipRect(CRect(0, 0, 10, 10)); // stored as (2, 2, 12, 12)
    EXPECT_EQ(d->getAbsoluteClipRect(), CRect(2, 2, 12, 12));
    CRect clip;
    EXPECT_EQ(d->getClipRect(clip), CRect(0, 0, 10, 10)); // round trip under the same offset
    d->fillRect(CRect(-10, -10, 30, 30));
    EXPECT_EQ(inkBox(d.pixels()), CRect(2, 2, 12, 12));
    d->moveTo(CPoint(-5, 20));
    d->lineTo(CPoint(30, 20)); // below the clip: nothing
    d->fillEllipse(CRect(20, 20, 30, 30));
    EXPECT_EQ(inkBox(d.pixels()), CRect(2, 2, 12, 12));

    // Coordinates far outside the image neither hang nor write outside.
    Offscreen e(20, 20);
    e->setFrameColor(kRedCColor);
    e->moveTo(CPoint(-2000000000, 10));
    e->lineTo(CPoint(2000000000, 10));
    EXPECT_EQ(columnsOf(e.pixels(), 10, kRed), range(0, 19));
    e->setFillColor(kRedCColor);
    e->fillRect(CRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
    EXPECT_EQ(inkBox(e.pixels()), CRect(0, 0, 20, 20));
}

TEST(DrawContext, PensBrushesAndClipsAreMadeOnlyWhenTheRequestDiffers)
{
    Offscreen c;
    const int brushes = c->getBrushCreations();
    const int pens = c->getPenCreations();
    const int clips = c->getClipCreations();
    c->setFillColor(kRedCColor);
    c->setFillColor(kRedCColor);
    EXPECT_EQ(c->getBrushCreations(), brushes + 1);
    c->setFrameColor(kGreenCColor);
    c->setFrameColor(kGreenCColor);
    c->setLineWidth(1); // unchanged
    EXPECT_EQ(c->getPenCreations(), pens + 1);
    c->setLineWidth(2);
    EXPECT_EQ(c->getPenCreations(), pens + 2);
    c->setLineStyle(kLineSolid); // already solid
    EXPECT_EQ(c->getPenCreations(), pens + 2);
    c->setClipRect(CRect(1, 1, 5, 5));
    c->setClipRect(CRect(1, 1, 5, 5));
    EXPECT_EQ(c->getClipCreations(), clips + 1);
    // Alpha is part of the colour asked for, but never of what is drawn: fills are opaque.
    c->setFillColor(CColor{0, 0, 255, 10});
    c->resetClipRect();
    c->fillRect(CRect(0, 0, 3, 3));
    EXPECT_EQ(c.pixels().getPixel(1, 1), Pixels::pack(255, 0, 0, 255));
}

TEST(DrawContext, FontIndexOutsideTheTableFallsBackToTheBoldSystemFont)
{
    Offscreen c;
    const int fonts = c->getFontCreations();
    c->setFont(3);
    EXPECT_EQ(c->getFont(), 3);
    EXPECT_EQ(c->getFontSize(), 14);
    c->setFont(9);
    EXPECT_EQ(c->getFont(), 0);
    EXPECT_EQ(c->getFontSize(), 12);
    EXPECT_EQ(c->getFontCreations(), fonts + 2);
    c->setFont(0); // same request again: nothing made
    c->setFont(-1);
    EXPECT_EQ(c->getFontCreations(), fonts + 2);
    // Font 0 is bold whatever the style asks: asking for bold makes a new font (the style
    // differs) of the very same width.
    const int plainWidth = c->getStringWidth("Mmmmmmmmmm");
    c->setFont(0, kBoldFace);
    EXPECT_EQ(c->getFontCreations(), fonts + 3);
    EXPECT_EQ(c->getStringWidth("Mmmmmmmmmm"), plainWidth);
    EXPECT_GT(plainWidth, 0);
    EXPECT_EQ(c->getStringWidth(nullptr), 0);
    EXPECT_EQ(c->getStringWidth(""), 0);
}

TEST(DrawContext, ColoursAndStateStartAsTheToolkitDefines)
{
    Offscreen c;
    EXPECT_EQ(c->getFrameColor(), kBlackCColor); // the offscreen's background colour
    EXPECT_EQ(c->getFillColor(), kBlackCColor);
    EXPECT_EQ(c->getFontColor(), kWhiteCColor);
    EXPECT_EQ(c->getLineWidth(), 1);
    EXPECT_EQ(c->getLineStyle(), kLineSolid);
    EXPECT_EQ(c->getDrawMode(), kCopyMode);
    EXPECT_EQ(c->getFont(), 0);
    EXPECT_EQ(c->getOffset(), CPoint(0, 0));

    Pixels target(10, 10);
    CDrawContext* plain = new CDrawContext(nullptr, &target, nullptr);
    EXPECT_EQ(plain->getFrameColor(), kWhiteCColor);
    CRect clip;
    EXPECT_EQ(plain->getClipRect(clip), CRect(0, 0, 10, 10));
    plain->forget();
    CDrawContext* none = new CDrawContext(nullptr, nullptr, nullptr);
    EXPECT_EQ(none->getClipRect(clip), CRect(0, 0, 1000, 1000));
    none->fillRect(CRect(0, 0, 10, 10)); // no target: nothing happens, nothing fails
    none->drawString("x", CRect(0, 0, 10, 10));
    none->forget();
}

TEST(DrawContext, CopiesRespectOffsetsAndClip)
{
    Offscreen src(20, 20);
    src->setFillColor(kRedCColor);
    src->fillRect(CRect(4, 4, 8, 8)); // red at 5..7
    Offscreen dst(20, 20);
    dst->setOffset(CPoint(1, 1));
    src->copyFrom(dst.context, CRect(10, 10, 13, 13), CPoint(5, 5)); // -> 11..13
    EXPECT_EQ(inkBox(dst.pixels()), CRect(11, 11, 14, 14));
    // Only the part inside the destination clip is written.
    Offscreen clipped(20, 20);
    clipped->setClipRect(CRect(0, 0, 12, 12));
    src->copyFrom(clipped.context, CRect(10, 10, 13, 13), CPoint(5, 5));
    EXPECT_EQ(inkBox(clipped.pixels()), CRect(10, 10, 12, 12));
    // A source block running off the image copies only what exists.
    Offscreen edge(20, 20);
    edge->setFillColor(kGreenCColor);
    edge->fillRect(CRect(-1, -1, 20, 20));
    src->copyFrom(edge.context, CRect(0, 0, 10, 10), CPoint(15, 15));
    EXPECT_EQ(edge.pixels().getPixel(4, 4), kBlack);       // copied from (19, 19)
    EXPECT_EQ(edge.pixels().getPixel(5, 5), kGreen);       // beyond the source: untouched

    // copyTo: the source's offset is added to the source rect.
    Offscreen target(20, 20);
    src->setOffset(CPoint(2, 2));
    src->copyTo(target.context, CRect(3, 3, 6, 6), CPoint(0, 0)); // source 5..7 -> 0..2
    EXPECT_EQ(inkBox(target.pixels()), CRect(0, 0, 3, 3));
    // Within one image, overlapping blocks come out as if copied through a buffer.
    src->setOffset(CPoint(0, 0));
    src->copyTo(src.context, CRect(5, 5, 8, 8), CPoint(6, 6));
    EXPECT_EQ(inkBox(src.pixels()), CRect(5, 5, 9, 9));
}

TEST(DrawContext, TextIsCentredVerticallyAndLeftTextStartsOnePixelIn)
{
    Offscreen ref(200, 40);
    ref->setFont(5);
    const std::string text = "Hello";
    const int width = ref->getStringWidth(text.c_str());
    ASSERT_GT(width, 0);

    // Ink of the same text drawn with its left edge at 0 (left alignment, rect from -1).
    Offscreen atZero(200, 40);
    atZero->setFont(5);
    atZero->drawString(text.c_str(), CRect(-1, 0, 199, 40), false, kLeftText);
    const CRect base = inkBox(atZero.pixels());
    ASSERT_LT(base.left, 200) << "no ink";

    Offscreen left(200, 40);
    left->setFont(5);
    left->drawString(text.c_str(), CRect(10, 0, 190, 40), false, kLeftText);
    EXPECT_EQ(inkBox(left.pixels()).left, base.left + 11); // rect.left + 1

    Offscreen right(200, 40);
    right->setFont(5);
    right->drawString(text.c_str(), CRect(10, 0, 190, 40), false, kRightText);
    EXPECT_EQ(inkBox(right.pixels()).left, base.left + 190 - width);

    Offscreen centre(200, 40);
    centre->setFont(5);
    centre->drawString(text.c_str(), CRect(10, 0, 190, 40), false, kCenterText);
    EXPECT_EQ(inkBox(centre.pixels()).left, base.left + 10 + (180 - width) / 2);

    // Vertical centring: moving the rect down by 10 and making it 6 taller moves the ink by 13.
    Offscreen low(200, 80);
    low->setFont(5);
    low->drawString(text.c_str(), CRect(-1, 10, 199, 56), false, kLeftText);
    EXPECT_EQ(inkBox(low.pixels()).top, base.top + 13);
    // White ink by default; null text draws nothing.
    Offscreen none(50, 20);
    none->drawString(nullptr, CRect(0, 0, 50, 20));
    EXPECT_EQ(inkBox(none.pixels()).left, INT32_MAX);
}

TEST(DrawContext, TextIsClippedToItsRectAndOpaqueTextFillsItsBox)
{
    Offscreen c(200, 40);
    c->setFont(2);
    c->setFontColor(kWhiteCColor);
    c->drawString("WWWWWWWWWWWWWWWWWWWW", CRect(20, 5, 60, 35), false, kLeftText);
    const CRect ink = inkBox(c.pixels());
    EXPECT_GE(ink.left, 21);
    EXPECT_LE(ink.right, 60);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 35);

    Offscreen o(200, 40);
    o->setFont(5);
    o->setFillColor(kRedCColor);
    o->setFontColor(kWhiteCColor);
    o->drawString("Hi", CRect(0, 0, 200, 40), true, kLeftText);
    // The line box (text width x line height, vertically centred) is red, or ink.
    const CRect box = inkBox(o.pixels());
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.width(), o->getStringWidth("Hi"));
    EXPECT_EQ(o.pixels().getPixel(box.left, box.top), kRed);
    EXPECT_EQ(o.pixels().getPixel(0, 20), kBlack);
}

TEST(DrawContext, WindowContextPresentsWhatItDraws)
{
    platform::setBackend(platform::Backend::headless);
    platform::headless::reset();
    platform::NativeHandle host = platform::headless::createHostWindow(100, 60);
    struct Quiet : platform::WindowListener {
        void onPaint(const platform::Rect&) override {}
        void onButtonDown(const platform::Point&) override {}
        void onWheel(const platform::Point&, float) override {}
        void onDestroy() override {}
    } listener;
    platform::Window* window = platform::headlessLayer().createWindow(host, 30, 20, &listener);
    ASSERT_NE(window, nullptr);
    platform::headless::setWindowScreenOrigin(window, platform::Point{100, 200});

    CDrawContext* c = new CDrawContext(nullptr, nullptr, window);
    EXPECT_EQ(c->getWindowOrigin(), CPoint(100, 200));
    CRect clip;
    EXPECT_EQ(c->getClipRect(clip), CRect(0, 0, 30, 20));
    c->setFillColor(kRedCColor);
    c->fillRect(CRect(0, 0, 5, 5));
    c->flush();
    platform::headless::Snapshot shot = platform::headless::snapshot(window);
    ASSERT_EQ(shot.width, 30);
    EXPECT_EQ(shot.pixels[2 * 30 + 2], kRed);
    EXPECT_EQ(shot.pixels[0], 0u); // outside what was drawn: never presented

    // Copies into a window context are presented at once.
    Offscreen off(30, 20);
    off->setFillColor(kGreenCColor);
    off->fillRect(CRect(-1, -1, 30, 20));
    off->copyFrom(c, CRect(10, 10, 30, 20), CPoint(0, 0));
    shot = platform::headless::snapshot(window);
    EXPECT_EQ(shot.pixels[15 * 30 + 15], kGreen);

    // The cursor position comes back in window coordinates; buttons come from the platform.
    platform::headless::queueMouse({platform::Point{110, 215}, platform::kLeftButton | platform::kShift});
    EXPECT_EQ(c->getMouseButtons(), 9);
    CPoint where;
    c->getMouseLocation(where);
    EXPECT_EQ(where, CPoint(10, 15));
    EXPECT_EQ(c->getMouseButtons(), 0);
    c->forget();
    platform::headlessLayer().destroyWindow(window);
    platform::headless::reset();
}
