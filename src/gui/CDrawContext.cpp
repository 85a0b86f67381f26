#include "gui/CDrawContext.h"

#include "gui/CFontTable.h"
#include "gui/CFrame.h"
#include "gui/DrawArithmetic.h"
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace gui {

using draw::addClamped;
using draw::div255;
using draw::offsetRect;

namespace {

// On-off dash pattern of a dashed pen: 3 pixels on, 3 off, as the cosmetic dotted pen of
// the Windows NT family draws it. The pattern restarts at moveTo and runs on across the
// segments of one path (drawRect's four sides are one path).
constexpr std::int32_t kDashOn = 3;
constexpr std::int32_t kDashPeriod = 6;

// Coordinates further out than this are first clipped to it, so that line stepping stays in
// 64-bit range and never walks billions of invisible pixels.
constexpr double kCoordinateLimit = 16777216.0;

std::uint32_t opaque(const CColor& c) { return Pixels::pack(c.blue, c.green, c.red, 255); }

CRect intersect(const CRect& a, const CRect& b)
{
    CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom));
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// Clips the segment p0-p1 to the square of kCoordinateLimit (Liang-Barsky); false when it
// lies outside entirely.
bool limitSegment(double& x0, double& y0, double& x1, double& y1)
{
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 + kCoordinateLimit, kCoordinateLimit - x0, y0 + kCoordinateLimit, kCoordinateLimit - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
        } else {
            double t = q[i] / p[i];
            if (p[i] < 0.0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
    }
    if (t0 > t1)
        return false;
    const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
    x0 = std::round(nx0);
    y0 = std::round(ny0);
    x1 = std::round(nx1);
    y1 = std::round(ny1);
    return true;
}

} // namespace

CDrawContext::CDrawContext(CFrame* frame, Pixels* target, platform::Window* window)
    : frame_(frame), window_(window),
      layer_(frame ? &frame->getWindowLayer() : window ? window->layer : &platform::defaultLayer()), target_(target)
{
    if (window_ != nullptr) {
        platform::Point origin = layer_->getWindowScreenOrigin(window_);
        windowOrigin_ = CPoint(origin.x, origin.y);
        if (target_ == nullptr) {
            // Drawing for a window goes into an image of the window's size, presented by flush().
            platform::Rect size = layer_->getWindowSize(window_);
            windowPixels_.create(size.right - size.left, size.bottom - size.top);
            target_ = &windowPixels_;
        }
    }
    resetClipRect();
    setFrameColor(kWhiteCColor);
    setLineStyle(kLineSolid);
    setLineWidth(1);
    setFillColor(kBlackCColor);
    setFontColor(kWhiteCColor);
    setFont(0, 0);
    setDrawMode(kCopyMode);
}

CDrawContext::~CDrawContext()
{
    flush();
    platform::destroyFont(font_);
}

void CDrawContext::attachTarget(Pixels* target)
{
    target_ = target;
    resetClipRect();
}

void CDrawContext::resetClipRect()
{
    if (window_ != nullptr) {
        platform::Rect r = layer_->getWindowSize(window_);
        clipRect_ = CRect(0, 0, r.right - r.left, r.bottom - r.top);
    } else if (target_ != nullptr) {
        clipRect_ = CRect(0, 0, target_->getWidth(), target_->getHeight());
    } else {
        clipRect_ = CRect(0, 0, 1000, 1000);
    }
}

// --- state -------------------------------------------------------------------------------

void CDrawContext::makePen()
{
    penColor_ = opaque(frameColor_);
    penWidth_ = lineWidth_;
    penStyle_ = lineStyle_;
    ++penCreations_;
}

void CDrawContext::setFrameColor(const CColor& color)
{
    if (color == frameColor_)
        return;
    frameColor_ = color;
    makePen();
}

void CDrawContext::setFillColor(const CColor& color)
{
    if (color == fillColor_)
        return;
    fillColor_ = color;
    brushColor_ = opaque(color);
    ++brushCreations_;
}

void CDrawContext::setFontColor(const CColor& color) { fontColor_ = color; }

void CDrawContext::setLineWidth(std::int32_t width)
{
    if (width == lineWidth_)
        return;
    lineWidth_ = width;
    makePen();
}

void CDrawContext::setLineStyle(CLineStyle style)
{
    if (style == lineStyle_)
        return;
    lineStyle_ = style;
    makePen();
}

void CDrawContext::setDrawMode(CDrawMode mode) { drawMode_ = mode; }

void CDrawContext::setClipRect(const CRect& clip)
{
    CRect r = offsetRect(clip, offset);
    if (r == clipRect_)
        return;
    clipRect_ = r;
    ++clipCreations_;
}

CRect& CDrawContext::getClipRect(CRect& clip) const
{
    clip = offsetRect(clipRect_, CPoint(-offset.x, -offset.y));
    return clip;
}

void CDrawContext::setFont(std::int32_t index, std::int32_t style)
{
    index = CFontTable::normalise(index);
    const CFontDesc& desc = CFontTable::get(index);
    if (index == fontIndex_ && desc.size == fontSize_ && style == fontStyle_)
        return;
    platform::FontRequest request;
    request.face = desc.face;
    request.pixelHeight = desc.size;
    request.bold = (style & kBoldFace) != 0 || desc.alwaysBold;
    request.italic = (style & kItalicFace) != 0;
    request.underline = (style & kUnderlineFace) != 0;
    request.decorative = desc.decorative;
    ++fontCreations_;
    platform::Font* made = platform::createFont(request);
    // A font the system cannot make leaves the previous one selected, and the request is
    // not remembered, so the next one tries again.
    if (made == nullptr)
        return;
    platform::destroyFont(font_);
    font_ = made;
    fontIndex_ = index;
    fontSize_ = desc.size;
    fontStyle_ = style;
}

std::int32_t CDrawContext::getStringWidth(const char* text)
{
    if (text == nullptr)
        return 0;
    return platform::measureText(font_, text).width;
}

// --- pixels ------------------------------------------------------------------------------

CRect CDrawContext::effectiveClip() const
{
    if (target_ == nullptr)
        return CRect();
    return intersect(clipRect_, CRect(0, 0, target_->getWidth(), target_->getHeight()));
}

void CDrawContext::markTouched(const CRect& r)
{
    if (window_ == nullptr || r.isEmpty())
        return;
    if (!hasTouched_) {
        touched_ = r;
        hasTouched_ = true;
    } else {
        touched_ = CRect(std::min(touched_.left, r.left), std::min(touched_.top, r.top),
                         std::max(touched_.right, r.right), std::max(touched_.bottom, r.bottom));
    }
}

void CDrawContext::plot(std::int32_t x, std::int32_t y, std::uint32_t color, const CRect& clip)
{
    if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom)
        return;
    std::uint32_t& d = target_->row(y)[x];
    switch (drawMode_) {
    case kOrMode: d = (d | color) | 0xFF000000u; break;
    case kXorMode: d = (d ^ (color & 0x00FFFFFFu)) | 0xFF000000u; break;
    default: d = color; break;
    }
}

void CDrawContext::fillSpan(std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t color, const CRect& clip)
{
    if (y < clip.top || y >= clip.bottom)
        return;
    x0 = std::max(x0, clip.left);
    x1 = std::min(x1, clip.right);
    if (x1 <= x0)
        return;
    if (drawMode_ == kCopyMode) {
        std::fill(target_->row(y) + x0, target_->row(y) + x1, color);
        return;
    }
    for (std::int32_t x = x0; x < x1; ++x)
        plot(x, y, color, clip);
}

void CDrawContext::stamp(std::int32_t x, std::int32_t y, std::uint32_t color, const CRect& clip)
{
    if (penWidth_ <= 1) {
        plot(x, y, color, clip);
        return;
    }
    // A wide pen is a round dot of the pen's width centred on the line (GDI's wide pens have
    // round ends and joins).
    const std::int32_t lo = -(penWidth_ - 1) / 2;
    const std::int32_t hi = penWidth_ / 2;
    const double c = (lo + hi) / 2.0;
    const double r2 = (penWidth_ / 2.0) * (penWidth_ / 2.0);
    for (std::int32_t dy = lo; dy <= hi; ++dy)
        for (std::int32_t dx = lo; dx <= hi; ++dx)
            if ((dx - c) * (dx - c) + (dy - c) * (dy - c) <= r2)
                plot(x + dx, y + dy, color, clip);
}

// --- drawing -----------------------------------------------------------------------------

void CDrawContext::moveTo(const CPoint& point)
{
    penPosition_ = CPoint(addClamped(point.x, offset.x), addClamped(point.y, offset.y));
    dashPhase_ = 0;
}

void CDrawContext::getLoc(CPoint& where) const
{
    where = CPoint(addClamped(penPosition_.x, -offset.x), addClamped(penPosition_.y, -offset.y));
}

void CDrawContext::lineTo(const CPoint& point)
{
    const CPoint end(addClamped(point.x, offset.x), addClamped(point.y, offset.y));
    const CPoint start = penPosition_;
    penPosition_ = end;
    if (target_ == nullptr || lineWidth_ <= 0)
        return;
    double fx0 = start.x, fy0 = start.y, fx1 = end.x, fy1 = end.y;
    if (!limitSegment(fx0, fy0, fx1, fy1))
        return;
    const std::int64_t x0 = static_cast<std::int64_t>(fx0), y0 = static_cast<std::int64_t>(fy0);
    const std::int64_t dx = static_cast<std::int64_t>(fx1) - x0, dy = static_cast<std::int64_t>(fy1) - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy); // pixels drawn: end excluded
    const std::int64_t minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const std::int64_t sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
    if (major == 0)
        return;

    const CRect clip = effectiveClip();
    // Only the steps whose major coordinate can touch the clip (widened by the pen) are
    // walked; the minor coordinate of step t is exact: round(t * minor / major).
    const std::int64_t pad = penWidth_;
    const std::int64_t m0 = xMajor ? x0 : y0;
    const std::int64_t lo = (xMajor ? clip.left : clip.top) - pad;
    const std::int64_t hi = (xMajor ? clip.right : clip.bottom) + pad;
    std::int64_t tFirst = 0, tLast = major - 1;
    if (sMajor > 0) {
        tFirst = std::max<std::int64_t>(tFirst, lo - m0);
        tLast = std::min<std::int64_t>(tLast, hi - m0);
    } else {
        tFirst = std::max<std::int64_t>(tFirst, m0 - hi);
        tLast = std::min<std::int64_t>(tLast, m0 - lo);
    }
    const std::int64_t n0 = xMajor ? y0 : x0;
    for (std::int64_t t = tFirst; t <= tLast; ++t) {
        if (penStyle_ == kLineOnOffDash && (dashPhase_ + t) % kDashPeriod >= kDashOn)
            continue;
        const std::int64_t a = m0 + sMajor * t;
        const std::int64_t b = n0 + sMinor * ((2 * t * minor + major) / (2 * major));
        const std::int64_t px = xMajor ? a : b, py = xMajor ? b : a;
        if (px < clip.left - pad || px >= clip.right + pad || py < clip.top - pad || py >= clip.bottom + pad)
            continue;
        stamp(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py), penColor_, clip);
    }
    dashPhase_ = static_cast<std::int32_t>((dashPhase_ + major) % kDashPeriod);
    const std::int32_t grow = penWidth_;
    markTouched(intersect(CRect(static_cast<std::int32_t>(std::min(fx0, fx1)) - grow,
                                static_cast<std::int32_t>(std::min(fy0, fy1)) - grow,
                                static_cast<std::int32_t>(std::max(fx0, fx1)) + grow + 1,
                                static_cast<std::int32_t>(std::max(fy0, fy1)) + grow + 1),
                          clip));
}

void CDrawContext::drawRect(const CRect& rect)
{
    moveTo(CPoint(rect.left, rect.top));
    lineTo(CPoint(rect.right - 1, rect.top));
    lineTo(CPoint(rect.right - 1, rect.bottom - 1));
    lineTo(CPoint(rect.left, rect.bottom - 1));
    lineTo(CPoint(rect.left, rect.top));
}

void CDrawContext::fillRect(const CRect& rect)
{
    if (target_ == nullptr)
        return;
    const CRect clip = effectiveClip();
    CRect r = offsetRect(rect, offset);
    r.left = addClamped(r.left, 1);
    r.top = addClamped(r.top, 1);
    if (r.isEmpty())
        return;
    r = intersect(r, clip);
    for (std::int32_t y = r.top; y < r.bottom; ++y)
        fillSpan(y, r.left, r.right, brushColor_, clip);
    markTouched(r);
}

void CDrawContext::fillEllipse(const CRect& rect)
{
    if (target_ == nullptr)
        return;
    const CRect clip = effectiveClip();
    const CRect box = offsetRect(CRect(rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1), offset);
    if (box.isEmpty())
        return;
    // Pixels whose centres lie inside the ellipse inscribed in the box (right and bottom
    // exclusive), row by row.
    const double cx = (static_cast<double>(box.left) + box.right) / 2.0;
    const double cy = (static_cast<double>(box.top) + box.bottom) / 2.0;
    const double rx = (static_cast<double>(box.right) - box.left) / 2.0;
    const double ry = (static_cast<double>(box.bottom) - box.top) / 2.0;
    const std::int32_t yFirst = std::max(box.top, clip.top), yEnd = std::min(box.bottom, clip.bottom);
    for (std::int32_t y = yFirst; y < yEnd; ++y) {
        const double v = (y + 0.5 - cy) / ry;
        if (v * v > 1.0)
            continue;
        const double half = rx * std::sqrt(1.0 - v * v);
        const double from = std::ceil(cx - half - 0.5 - 1e-9), to = std::floor(cx + half - 0.5 + 1e-9);
        if (to < from)
            continue;
        const std::int32_t x0 = static_cast<std::int32_t>(std::max<double>(from, clip.left));
        const std::int32_t x1 = static_cast<std::int32_t>(std::min<double>(to + 1, clip.right));
        fillSpan(y, x0, x1, brushColor_, clip);
    }
    markTouched(intersect(box, clip));
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaqueBackground, CHoriTxtAlign align)
{
    if (text == nullptr || target_ == nullptr)
        return;
    CRect r = offsetRect(rect, offset);
    if (align == kLeftText)
        r.left = addClamped(r.left, 1); // left-aligned text starts one pixel in
    const platform::TextExtent extent = platform::measureText(font_, text);
    std::int32_t x = r.left;
    if (align == kCenterText)
        x = r.left + (r.width() - extent.width) / 2;
    else if (align == kRightText)
        x = r.right - extent.width;
    const std::int32_t y = r.top + (r.height() - extent.height) / 2;
    // Text is clipped to its rectangle as well as to the context's clip.
    const CRect clip = intersect(effectiveClip(), r);
    if (clip.isEmpty())
        return;
    if (opaqueBackground) {
        const CRect box = intersect(CRect(x, y, x + extent.width, y + extent.height), clip);
        for (std::int32_t row = box.top; row < box.bottom; ++row)
            for (std::int32_t col = box.left; col < box.right; ++col)
                target_->row(row)[col] = brushColor_;
        markTouched(box);
    }
    platform::TextMask mask;
    if (!platform::renderText(font_, text, mask))
        return;
    const std::uint32_t cr = fontColor_.red, cg = fontColor_.green, cb = fontColor_.blue;
    const CRect area = intersect(CRect(x + mask.originX, y + mask.originY, x + mask.originX + mask.width,
                                       y + mask.originY + mask.height),
                                 clip);
    for (std::int32_t py = area.top; py < area.bottom; ++py) {
        const std::uint8_t* cov = mask.alpha.data() + static_cast<std::size_t>(py - (y + mask.originY)) * mask.width;
        std::uint32_t* dst = target_->row(py);
        for (std::int32_t px = area.left; px < area.right; ++px) {
            const std::uint32_t a = cov[px - (x + mask.originX)];
            if (a == 0)
                continue;
            const std::uint32_t d = dst[px];
            const std::uint32_t keep = 255 - a;
            dst[px] = Pixels::pack(static_cast<std::uint8_t>(div255(cb * a + Pixels::blue(d) * keep)),
                                   static_cast<std::uint8_t>(div255(cg * a + Pixels::green(d) * keep)),
                                   static_cast<std::uint8_t>(div255(cr * a + Pixels::red(d) * keep)),
                                   static_cast<std::uint8_t>(div255(255 * a + Pixels::alpha(d) * keep)));
        }
    }
    markTouched(area);
}

// --- input and presentation --------------------------------------------------------------

// The frame's layer answers: a context of a frame drawn offline must not read the screen's
// mouse, nor one on the screen the offline one's.
std::int32_t CDrawContext::getMouseButtons()
{
    return layer_->getMouseButtons();
}

void CDrawContext::getMouseLocation(CPoint& point)
{
    platform::Point p = layer_->getCursorPosition();
    point = CPoint(addClamped(p.x, -windowOrigin_.x), addClamped(p.y, -windowOrigin_.y));
}

void CDrawContext::flush()
{
    if (window_ == nullptr || !hasTouched_ || target_ == nullptr)
        return;
    hasTouched_ = false;
    layer_->presentPixels(window_, platform::Rect{touched_.left, touched_.top, touched_.right, touched_.bottom},
                          target_->data(), target_->getWidth(), target_->getHeight(), target_->getWidth());
}

} // namespace gui
