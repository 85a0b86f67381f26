#include "gui/Snapshot.h"

#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "gui/PngWriter.h"

namespace gui {

Pixels Snapshot::renderFrame(CFrame* frame)
{
    if (!frame)
        return Pixels();
    const CRect size = frame->getViewSize();
    auto* image = new COffscreenContext(frame, size.width(), size.height(), kBlackCColor);
    frame->draw(static_cast<CDrawContext*>(image));
    Pixels result = image->getPixels();
    image->forget();
    return result;
}

Pixels Snapshot::renderView(CView* view)
{
    if (!view)
        return Pixels();
    const CRect size = view->getViewSize();
    auto* image = new COffscreenContext(view->getFrame(), size.width(), size.height(), kBlackCColor);
    // The view draws in its parent's coordinates; move them so that its top-left is (0, 0).
    image->setOffset(CPoint(-size.left, -size.top));
    view->draw(image);
    Pixels result = image->getPixels();
    image->forget();
    return result;
}

bool Snapshot::writeFrame(CFrame* frame, const char* path)
{
    Pixels pixels = renderFrame(frame);
    return !pixels.isEmpty() && PngWriter::writeFile(pixels, path);
}

bool Snapshot::writeView(CView* view, const char* path)
{
    Pixels pixels = renderView(view);
    return !pixels.isEmpty() && PngWriter::writeFile(pixels, path);
}

} // namespace gui
