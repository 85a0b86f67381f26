#include "ViewTestSupport.h"

#include "gui/CDragContainer.h"
#include "gui/CDrawContext.h"
#include "platform/Platform.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace viewtest {

void HeadlessTest::SetUp()
{
    platform::setBackend(platform::Backend::headless);
    platform::headless::reset();
}

void HeadlessTest::TearDown()
{
    platform::headless::reset();
}

// --- BoxView -----------------------------------------------------------------------------------

BoxView::BoxView(const CRect& rect, const CColor& fill, EventLog* eventLog, const char* viewName)
    : gui::CView(rect), color(fill), name(viewName), log(eventLog)
{
}

void BoxView::draw(gui::CDrawContext* context)
{
    ++draws;
    if (context) {
        context->setFillColor(color);
        // fillRect leaves the left column and top row; start one earlier to cover the view.
        context->fillRect(CRect(size.left - 1, size.top - 1, size.right, size.bottom));
    }
    setDirty(false);
}

void BoxView::mouse(gui::CDrawContext* /*context*/, const CPoint& where, std::int32_t buttons)
{
    ++clicks;
    lastClick = where;
    lastButtons = buttons;
    if (log)
        log->push_back(name + " click");
}

bool BoxView::onWheel(gui::CDrawContext* /*context*/, const CPoint& where, float distance)
{
    ++wheels;
    lastDistance = distance;
    lastWheelAt = where;
    return true;
}

std::int32_t BoxView::onKeyDown(gui::CKeyCode& /*keyCode*/)
{
    ++keys;
    if (log)
        log->push_back(name + " key");
    return keyAnswer;
}

bool BoxView::onDrop(gui::CDrawContext* /*context*/, gui::CDragContainer* /*drag*/, const CPoint& /*where*/)
{
    if (log)
        log->push_back(name + " drop");
    return dropAnswer;
}

void BoxView::onDragEnter(gui::CDrawContext* /*context*/, gui::CDragContainer* drag, const CPoint& /*where*/)
{
    if (log)
        log->push_back(name + " enter");
    if (keepDrag && drag && !keptDrag) {
        drag->remember();
        keptDrag = drag;
    }
}

void BoxView::onDragLeave(gui::CDrawContext* /*context*/, gui::CDragContainer* /*drag*/, const CPoint& /*where*/)
{
    if (log)
        log->push_back(name + " leave");
}

void BoxView::onDragMove(gui::CDrawContext* /*context*/, gui::CDragContainer* /*drag*/, const CPoint& /*where*/)
{
    if (log)
        log->push_back(name + " move");
}

// --- listener and editor ----------------------------------------------------------------------------

void RecordingListener::valueChanged(gui::CDrawContext* /*context*/, gui::CControl* control)
{
    values.push_back(control->getValue());
    controls.push_back(control);
    if (log)
        log->push_back("changed " + std::to_string(control->getValue()).substr(0, 4));
}

std::int32_t RecordingListener::controlModifierClicked(gui::CDrawContext* /*context*/, gui::CControl* /*control*/,
                                                       std::int32_t /*buttons*/)
{
    ++modifierClicks;
    return modifierAnswer;
}

void FakeEditor::beginEdit(std::int32_t tag)
{
    begins.push_back(tag);
    if (log)
        log->push_back("begin " + std::to_string(tag));
}

void FakeEditor::endEdit(std::int32_t tag)
{
    ends.push_back(tag);
    if (log)
        log->push_back("end " + std::to_string(tag));
}

void FakeEditor::doIdleStuff()
{
    ++idles;
    if (log)
        log->push_back("idle");
    if (idleFrame)
        idleFrame->idle();
}

bool FakeEditor::canHostDo(const char* text)
{
    return hostCanSize && text && std::strcmp(text, "sizeWindow") == 0;
}

bool FakeEditor::sizeWindow(std::int32_t width, std::int32_t height)
{
    sizeRequests.push_back(CRect(0, 0, width, height));
    return hostAcceptsSize;
}

// --- drag data ------------------------------------------------------------------------------------

namespace {

bool copyOut(const std::string& text, char* buffer, std::size_t size)
{
    if (!buffer || size == 0)
        return false;
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

} // namespace

bool FakeDragData::getText(char* buffer, std::size_t size) const
{
    return !text.empty() && copyOut(text, buffer, size);
}

bool FakeDragData::getFile(std::int32_t index, char* buffer, std::size_t size) const
{
    if (index < 0 || index >= getFileCount())
        return false;
    return copyOut(files[static_cast<std::size_t>(index)], buffer, size);
}

// --- bitmaps ---------------------------------------------------------------------------------------

std::uint32_t pixelOf(const CColor& color)
{
    return gui::Pixels::pack(color.blue, color.green, color.red, 255);
}

gui::CBitmap* makeSolidBitmap(std::int32_t width, std::int32_t height, const CColor& color)
{
    gui::Pixels pixels(width, height, pixelOf(color));
    return new gui::CBitmap(pixels, true);
}

gui::CBitmap* makeTwoStateBitmap(std::int32_t width, std::int32_t height, const CColor& top, const CColor& bottom)
{
    gui::Pixels pixels(width, 2 * height, pixelOf(top));
    for (std::int32_t y = height; y < 2 * height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            pixels.setPixel(x, y, pixelOf(bottom));
    return new gui::CBitmap(pixels, true);
}

CColor stripColor(std::int32_t frame)
{
    return CColor{static_cast<std::uint8_t>(frame), static_cast<std::uint8_t>(255 - frame), 7, 255};
}

gui::CBitmap* makeStripBitmap(std::int32_t width, std::int32_t height, std::int32_t frames)
{
    gui::Pixels pixels(width, height * frames, 0);
    for (std::int32_t k = 0; k < frames; ++k)
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width; ++x)
                pixels.setPixel(x, k * height + y, pixelOf(stripColor(k)));
    return new gui::CBitmap(pixels, true);
}

// --- mouse scripts ---------------------------------------------------------------------------------

void queueMouse(std::int32_t x, std::int32_t y, std::int32_t buttons)
{
    platform::headless::queueMouse(platform::headless::MouseState{platform::Point{x, y}, buttons});
}

void queueDrag(const CPoint& from, const std::vector<CPoint>& points, std::int32_t buttons)
{
    queueMouse(from.x, from.y, buttons);
    for (const CPoint& p : points)
        queueMouse(p.x, p.y, buttons);
    const CPoint last = points.empty() ? from : points.back();
    queueMouse(last.x, last.y, 0);
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace viewtest
