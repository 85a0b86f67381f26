#include "TestSkin.h"

#include "editor/PanelLayout.h"
#include "gui/Pixels.h"
#include "gui/PngWriter.h"
#include "platform/Platform.h"

#include <iterator>
#include <vector>

namespace editortest {

namespace {

std::uint32_t frameColour(int id, int frame, int frames)
{
    const auto r = static_cast<std::uint8_t>(40 + id * 9);
    const auto g = static_cast<std::uint8_t>(frames > 1 ? frame * 255 / (frames - 1) : 0);
    const auto b = static_cast<std::uint8_t>(200 - id * 5);
    return gui::Pixels::pack(b, g, r, 255);
}

// A 24-bit bottom-up Windows bitmap file.
std::vector<std::uint8_t> bmpFile(const gui::Pixels& image)
{
    const std::uint32_t w = static_cast<std::uint32_t>(image.getWidth());
    const std::uint32_t h = static_cast<std::uint32_t>(image.getHeight());
    const std::uint32_t stride = (w * 3 + 3) & ~3u;
    const std::uint32_t dataSize = stride * h;
    std::vector<std::uint8_t> out(54 + dataSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    out[26] = 1;
    out[28] = 24;
    put32(34, dataSize);
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint32_t* row = image.row(static_cast<std::int32_t>(h - 1 - y));
        std::uint8_t* dst = out.data() + 54 + y * stride;
        for (std::uint32_t x = 0; x < w; ++x) {
            dst[x * 3] = gui::Pixels::blue(row[x]);
            dst[x * 3 + 1] = gui::Pixels::green(row[x]);
            dst[x * 3 + 2] = gui::Pixels::red(row[x]);
        }
    }
    return out;
}

} // namespace

void registerTestSkin()
{
    static std::vector<std::vector<std::uint8_t>> files; // registered bytes stay alive
    if (!files.empty())
        return;
    std::vector<panel::Picture> pictures(std::begin(panel::kPictures), std::end(panel::kPictures));
    pictures.push_back({panel::kBackgroundId, panel::kWidth, panel::kHeight, 1, false});
    files.reserve(pictures.size());
    for (const panel::Picture& p : pictures) {
        gui::Pixels image(p.width, p.height);
        const int frameHeight = p.height / p.frames;
        for (int y = 0; y < p.height; ++y) {
            // A darker rim row at each frame's top edge shows where frames join.
            const std::uint32_t colour = y % frameHeight == 0 ? 0xff101010u : frameColour(p.id, y / frameHeight, p.frames);
            for (int x = 0; x < p.width; ++x)
                image.setPixel(x, y, colour);
        }
        std::vector<std::uint8_t> bytes;
        if (p.id == panel::kBackgroundId)
            bytes = bmpFile(image);
        else
            gui::PngWriter::writeMemory(image, bytes);
        files.push_back(std::move(bytes));
        const char* type = p.id == panel::kBackgroundId ? platform::kBitmapResourceType : platform::kPngResourceType;
        platform::registerResource(type, p.id, files.back().data(), files.back().size());
    }
}

} // namespace editortest
