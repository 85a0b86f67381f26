// orvex_editor_figure: the manual's labelled picture of the editor. It takes the editor's
// picture (`orvex snapshot`) and draws numbered callouts on it: on the whole editor the parts
// every cab shares (a cab, the link and blend switches, latency, output, on/off), and below
// it cab 1 at twice the size with each of its controls. The callouts point at the views'
// rectangles in the panel table (src/editor/PanelLayout.h), so they move with the controls;
// the numbers are the ones the manual's list uses.
//
//   orvex_editor_figure --fonts DIR --in EDITOR.png --out FIGURE.png
//
// Drawn with the skin generator's shapes and DejaVu text: the same input gives the same bytes.
#include "Canvas.h"
#include "ImageFiles.h"
#include "Text.h"
#include "editor/PanelLayout.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace skin;

namespace {

struct Point {
    float x, y;
};

// The rectangle of the view of `kind` that drives `param` (cab rows: cab 1's parameter).
panel::Rect viewRect(panel::Kind kind, int param)
{
    for (const panel::View& v : panel::kViews)
        if (v.kind == kind && v.param == param)
            return v.rect;
    std::fprintf(stderr, "orvex_editor_figure: the panel has no such view (parameter %d)\n", param);
    std::exit(1);
}

Point centre(const panel::Rect& r)
{
    return {r.x + r.w / 2.0f, r.y + r.h / 2.0f};
}

// A switch picture holds its cap and its shadow; its first frame's upper part is the cap.
Point capCentre(const panel::Rect& r)
{
    return {r.x + r.w / 2.0f, r.y + r.h * 0.42f};
}

Image readPng(const std::string& path)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        std::fprintf(stderr, "orvex_editor_figure: cannot read %s: %s\n", path.c_str(), png.message);
        std::exit(1);
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> rgba(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr)) {
        std::fprintf(stderr, "orvex_editor_figure: cannot decode %s: %s\n", path.c_str(), png.message);
        std::exit(1);
    }
    Image image(static_cast<int>(png.width), static_cast<int>(png.height));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const png_byte* p = &rgba[(static_cast<std::size_t>(y) * png.width + x) * 4];
            image.blend(x, y, rgb(p[0], p[1], p[2], p[3] / 255.0f), 1.0f);
        }
    return image;
}

// `source` (opaque) laid onto `target` at (x, y), each pixel repeated scale x scale times.
void drawScaled(Image& target, const Image& source, int x, int y, int scale)
{
    for (int sy = 0; sy < source.height(); ++sy)
        for (int sx = 0; sx < source.width(); ++sx) {
            const Rgba c = source.at(sx, sy);
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx)
                    target.blend(x + sx * scale + dx, y + sy * scale + dy, c, 1.0f);
        }
}

const Rgba kMark = rgb(255, 196, 42);  // callouts: amber, as the panel's lamps
const Rgba kInk = rgb(24, 22, 20);     // their outline and numbers
const Rgba kCaption = rgb(70, 70, 74); // text on the page

constexpr float kBadgeRadius = 10.5f;

void leader(Image& image, Point from, Point to)
{
    image.fill(segment(from.x, from.y, to.x, to.y, 2.0f), kInk);
    image.fill(segment(from.x, from.y, to.x, to.y, 1.0f), kMark);
    image.fill(circle(to.x, to.y, 3.6f), kInk);
    image.fill(circle(to.x, to.y, 2.5f), kMark);
}

void badge(Image& image, Point at, int number)
{
    image.fill(circle(at.x, at.y + 1.0f, kBadgeRadius + 1.5f), Rgba{0, 0, 0, 0.35f});
    image.fill(circle(at.x, at.y, kBadgeRadius + 1.2f), kInk);
    image.fill(circle(at.x, at.y, kBadgeRadius), kMark);
    Text::drawCentred(image, Face::SansBold, 12.5f, std::to_string(number), at.x, at.y + 4.5f, solid(kInk));
}

// One numbered callout: a badge at `at` and a leader to each target.
void callout(Image& image, int number, Point at, const std::vector<Point>& targets)
{
    for (const Point& t : targets)
        leader(image, at, t);
    badge(image, at, number);
}

} // namespace

int main(int argc, char** argv)
{
    std::string fonts, in, out;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--fonts") == 0)
            fonts = argv[i + 1];
        else if (std::strcmp(argv[i], "--in") == 0)
            in = argv[i + 1];
        else if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
    }
    if (fonts.empty() || in.empty() || out.empty()) {
        std::fprintf(stderr, "usage: orvex_editor_figure --fonts DIR --in EDITOR.png --out FIGURE.png\n");
        return 2;
    }
    if (!Text::init(fonts))
        return 1;
    const Image editor = readPng(in);
    if (editor.width() != panel::kWidth || editor.height() != panel::kHeight) {
        std::fprintf(stderr, "orvex_editor_figure: %s is %dx%d, not the editor's %dx%d\n", in.c_str(), editor.width(),
                     editor.height(), panel::kWidth, panel::kHeight);
        return 1;
    }

    // Cab 1's bay (the recessed area of its controls), as the skin draws it, and its copy at
    // twice the size below the editor.
    const panel::Rect bay{6, 107, 419, 121};
    constexpr int kScale = 2;
    constexpr int kMargin = 36;
    constexpr int kGap = 64; // between the editor and the enlarged cab, for the caption and badges
    const int width = panel::kWidth + 2 * kMargin;
    const int zoomX = (width - bay.w * kScale) / 2;
    const int editorX = kMargin, editorY = 14;
    const int zoomY = editorY + panel::kHeight + kGap;
    const int height = zoomY + bay.h * kScale + 40;

    Image figure(width, height);
    figure.fill(Shape([](float, float) { return -1.0f; }), rgb(242, 242, 240));
    figure.draw(editor, editorX, editorY);
    drawScaled(figure, editor.crop(bay.x, bay.y, bay.w, bay.h), zoomX, zoomY, kScale);

    auto onEditor = [&](Point p) { return Point{editorX + p.x, editorY + p.y}; };
    auto onZoom = [&](Point p) { return Point{zoomX + (p.x - bay.x) * kScale, zoomY + (p.y - bay.y) * kScale}; };
    using panel::Kind;

    // --- the whole editor: badges in the dark band between the header and the cabs ----------
    const float band = 97.0f; // the middle of that band
    {
        // 1: a cab, outlined, enlarged below.
        const Point a = onEditor({bay.x + 1.0f, bay.y + 1.0f});
        const Point b = onEditor({bay.x + bay.w - 1.0f, bay.y + bay.h - 1.0f});
        figure.fill(subtract(roundRect(a.x - 1.5f, a.y - 1.5f, b.x + 1.5f, b.y + 1.5f, 7),
                             roundRect(a.x + 1.0f, a.y + 1.0f, b.x - 1.0f, b.y - 1.0f, 5)),
                    kInk);
        figure.fill(subtract(roundRect(a.x - 0.5f, a.y - 0.5f, b.x + 0.5f, b.y + 0.5f, 6.5f),
                             roundRect(a.x + 0.5f, a.y + 0.5f, b.x - 0.5f, b.y - 0.5f, 5.5f)),
                    kMark);
        badge(figure, onEditor({bay.x + 24.0f, band}), 1);
    }
    const Point link = capCentre(viewRect(Kind::Switch, orvex::kLink12));
    callout(figure, 2, onEditor({link.x, band}), {onEditor(link)});
    const panel::Rect blend13 = viewRect(Kind::Switch, orvex::kBlend13);
    const panel::Rect blend24 = viewRect(Kind::Switch, orvex::kBlend24);
    const Point lamp13 = {blend13.x + blend13.w / 2.0f, blend13.y + blend13.h / 2.0f};
    const Point lamp24 = {blend24.x + blend24.w / 2.0f, blend24.y + blend24.h / 2.0f};
    callout(figure, 3, onEditor({(lamp13.x + lamp24.x) / 2.0f, lamp13.y}), {onEditor(lamp13), onEditor(lamp24)});
    // The global controls stand over their value labels; a leader from below ends on the
    // label, so that it crosses none of them.
    int number = 4;
    for (int param : {orvex::kLatency, orvex::kOutput, orvex::kOnOff}) {
        const panel::Rect label = viewRect(Kind::ValueLabel, param);
        const Point at{label.x + label.w / 2.0f, static_cast<float>(label.bottom())};
        callout(figure, number++, onEditor({at.x, band}), {onEditor(at)});
    }

    // --- cab 1 at twice the size -------------------------------------------------------------
    Text::draw(figure, Face::SansBold, 14.0f, "Cab 1, twice the size", static_cast<float>(zoomX),
               static_cast<float>(zoomY) - 38.0f, solid(kCaption));
    const float above = zoomY - 16.0f;
    const float below = zoomY + bay.h * kScale + 18.0f;
    const float left = zoomX - 18.0f;

    const panel::Rect load = viewRect(Kind::Load, orvex::kLoad);
    const panel::Rect folder = viewRect(Kind::FolderLabel, -1);
    const panel::Rect menu = viewRect(Kind::FileMenu, orvex::kFileMenu);
    const panel::Rect previous = viewRect(Kind::Step, orvex::kPrevious);
    const panel::Rect next = viewRect(Kind::Step, orvex::kNext);
    const Point loadAt = onZoom(centre(load));
    // Into the plates' empty right parts, clear of the texts.
    const Point folderAt = onZoom({folder.x + folder.w * 0.62f, folder.y + folder.h / 2.0f});
    const Point menuAt = onZoom({menu.x + menu.w * 0.86f, menu.y + menu.h / 2.0f});
    callout(figure, 7, {loadAt.x, above}, {loadAt});
    callout(figure, 8, {folderAt.x, above}, {folderAt});
    callout(figure, 9, {menuAt.x, above}, {menuAt});
    const Point previousAt = onZoom(centre(previous));
    const Point nextAt = onZoom(centre(next));
    callout(figure, 10, {previousAt.x, above}, {previousAt});
    callout(figure, 10, {nextAt.x, above}, {nextAt});
    const Point soloAt = onZoom(centre(viewRect(Kind::Switch, orvex::kSolo)));
    callout(figure, 11, {left, soloAt.y}, {soloAt});
    const Point activeAt = onZoom(capCentre(viewRect(Kind::Switch, orvex::kBypass)));
    callout(figure, 12, {activeAt.x, above}, {activeAt});

    number = 13;
    for (int param : {orvex::kChannel, orvex::kPhase}) {
        const Point at = onZoom(capCentre(viewRect(Kind::Switch, param)));
        callout(figure, number++, {at.x, below}, {at});
    }
    for (int param : {orvex::kDelay, orvex::kFreqHp, orvex::kFreqLp, orvex::kPan, orvex::kVolume}) {
        const Point at = onZoom(centre(viewRect(Kind::Knob, param)));
        callout(figure, number++, {at.x, below}, {at});
    }
    // The display strip: every value label of the cab; the leader ends on the last one.
    const panel::Rect volumeLabel = viewRect(Kind::ValueLabel, orvex::kVolume);
    const Point stripEnd = onZoom({static_cast<float>(volumeLabel.right()) - 4.0f,
                                   volumeLabel.y + volumeLabel.h / 2.0f});
    callout(figure, number, {zoomX + bay.w * kScale + 20.0f, stripEnd.y}, {stripEnd});

    Text::shutdown();
    if (!writeFile(out, encodePng(figure, false))) {
        std::fprintf(stderr, "orvex_editor_figure: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
