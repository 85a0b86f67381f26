#include "Preview.h"

#include "Palette.h"
#include "Pictures.h"
#include "Text.h"

#include <map>
#include <string>

namespace skin {

Image preview(bool lit, const panel::Views& views)
{
    using panel::Kind;
    Image image = background(views);
    std::map<int, Image> pictures;
    auto pictureOf = [&](int id) -> const Image& {
        auto it = pictures.find(id);
        if (it == pictures.end())
            it = pictures.emplace(id, picture(id)).first;
        return it->second;
    };
    const float knobValues[] = {0.0f, 0.25f, 0.5f, 0.8f, 1.0f, 0.62f, 0.1f};
    int knobIndex = 0;
    for (const panel::View& v : views) {
        const panel::Rect& p = v.rect;
        if (v.picture == 0) { // the latency menu draws itself: white box, black frame and text
            image.fill(roundRect(static_cast<float>(p.x), static_cast<float>(p.y), p.x + p.w + 0.0f, p.y + p.h + 0.0f, 0.1f),
                       rgb(0, 0, 0));
            image.fill(roundRect(p.x + 1.0f, p.y + 1.0f, p.x + p.w - 1.0f, p.y + p.h - 1.0f, 0.1f), rgb(255, 255, 255));
            Text::drawCentred(image, Face::Sans, 10, "256", p.x + p.w / 2.0f, p.y + 16.0f, solid(rgb(0, 0, 0)));
            continue;
        }
        // A held push button draws nothing (its picture has one frame): the panel beneath
        // shows it pressed.
        if (lit && (v.kind == Kind::Load || v.kind == Kind::Step))
            continue;
        const panel::Picture r = panel::picture(v.picture);
        const int frameHeight = r.height / r.frames;
        int frame = 0;
        if (v.kind == Kind::Knob) {
            const float value = knobValues[(knobIndex++ + (lit ? 3 : 0)) % 7];
            frame = static_cast<int>(value * 200 + 0.5f);
        } else if (r.frames == 2) {
            frame = lit ? 1 : 0;
        }
        // Only the picture's part that the view's rectangle shows (a label wider than its
        // picture shows the panel beside it).
        const int w = std::min(p.w, r.width), h = std::min(p.h, frameHeight);
        image.draw(pictureOf(v.picture).crop(0, frame * frameHeight, w, h), p.x, p.y);

        const Paint white = solid(rgb(255, 255, 255));
        if (v.kind == Kind::ValueLabel) {
            const char* samples[] = {"0.500", "NORM", "1.2 ms", "120 Hz", "OFF", "<C>", "0.708"};
            Text::drawCentred(image, Face::Sans, 10, samples[(p.x / 40) % 7], p.x + p.w / 2.0f, p.y + 11.0f, white);
        } else if (v.kind == Kind::FolderLabel) {
            Text::draw(image, Face::Sans, 10, "...\\IR\\Cabs\\Greenback 4x12\\", p.x + 3.0f, p.y + 12.0f, white);
        } else if (v.kind == Kind::FileMenu) {
            Text::draw(image, Face::Sans, 10, "SM57 cap edge 1in.wav", p.x + 3.0f, p.y + 12.0f, white);
        }
    }
    return image;
}

} // namespace skin
