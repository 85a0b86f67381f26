// orvex_skin_generator: draws the editor's pictures.
//
//   orvex_skin_generator --fonts DIR --out DIR       png/01.png .. png/23.png, background.bmp
//   orvex_skin_generator --fonts DIR --preview DIR   preview-off.png, preview-on.png
//
// The output depends on nothing but this program, zlib and FreeType and the DejaVu font
// files in DIR, so running it again gives the same bytes.
#include "ImageFiles.h"
#include "Pictures.h"
#include "Preview.h"
#include "Text.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

using namespace skin;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: orvex_skin_generator --fonts DIR (--out DIR | --preview DIR)\n");
    return 2;
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty() || !writeFile(path, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool writeResources(const std::string& dir)
{
    std::error_code ignored;
    std::filesystem::create_directories(dir + "/png", ignored);
    for (const panel::Picture& r : panel::kPictures) {
        const Image image = picture(r.id);
        if (image.width() != r.width || image.height() != r.height) {
            std::fprintf(stderr, "picture %d is %dx%d, not %dx%d\n", r.id, image.width(), image.height(), r.width,
                         r.height);
            return false;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/png/%02d.png", r.id);
        if (!save(dir + name, encodePng(image, r.alpha)))
            return false;
    }
    return save(dir + "/background.bmp", encodeBmp(background()));
}

} // namespace

int main(int argc, char** argv)
{
    std::string fonts, out, previewDir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--fonts") == 0)
            fonts = argv[i + 1];
        else if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
        else if (std::strcmp(argv[i], "--preview") == 0)
            previewDir = argv[i + 1];
        else
            return usage();
    }
    if (fonts.empty() || out.empty() == previewDir.empty())
        return usage();
    if (!Text::init(fonts))
        return 1;
    bool ok;
    if (!out.empty())
        ok = writeResources(out);
    else
        ok = save(previewDir + "/preview-off.png", encodePng(preview(false), true))
             && save(previewDir + "/preview-on.png", encodePng(preview(true), true));
    Text::shutdown();
    return ok ? 0 : 1;
}
