// The draw context's image transfers: the copies, keyed copies, masked copies and blends that
// bitmaps and offscreen images are drawn with, and copies between contexts.
#include "gui/CDrawContext.h"

#include "gui/DrawArithmetic.h"

#include <algorithm>

namespace gui {

using draw::addClamped;
using draw::div255;
using draw::offsetRect;

struct CDrawContext::Span {
    std::int32_t dx = 0, dy = 0; // destination top-left in target pixels
    std::int32_t sx = 0, sy = 0; // source top-left in source pixels
    std::int32_t w = 0, h = 0;   // size
};

// --- transfers ---------------------------------------------------------------------------

bool CDrawContext::clipTransfer(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint,
                                Span& span) const
{
    if (target_ == nullptr || source.isEmpty())
        return false;
    const CRect d = offsetRect(destRect, offset);
    if (d.isEmpty())
        return false;
    // Destination inside the clip, then the source inside its image; both cut the same way.
    std::int64_t left = std::max<std::int64_t>(d.left, effectiveClip().left);
    std::int64_t top = std::max<std::int64_t>(d.top, effectiveClip().top);
    std::int64_t right = std::min<std::int64_t>(d.right, effectiveClip().right);
    std::int64_t bottom = std::min<std::int64_t>(d.bottom, effectiveClip().bottom);
    const std::int64_t shiftX = static_cast<std::int64_t>(sourcePoint.x) - d.left;
    const std::int64_t shiftY = static_cast<std::int64_t>(sourcePoint.y) - d.top;
    left = std::max<std::int64_t>(left, -shiftX);
    top = std::max<std::int64_t>(top, -shiftY);
    right = std::min<std::int64_t>(right, source.getWidth() - shiftX);
    bottom = std::min<std::int64_t>(bottom, source.getHeight() - shiftY);
    if (right <= left || bottom <= top)
        return false;
    span.dx = static_cast<std::int32_t>(left);
    span.dy = static_cast<std::int32_t>(top);
    span.sx = static_cast<std::int32_t>(left + shiftX);
    span.sy = static_cast<std::int32_t>(top + shiftY);
    span.w = static_cast<std::int32_t>(right - left);
    span.h = static_cast<std::int32_t>(bottom - top);
    return true;
}

void CDrawContext::blitCopy(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint)
{
    Span s;
    if (!clipTransfer(source, destRect, sourcePoint, s))
        return;
    if (&source == target_) {
        // Copy within one image: go through a copy so overlapping areas come out right.
        Pixels copy(s.w, s.h);
        for (std::int32_t y = 0; y < s.h; ++y)
            std::copy_n(source.row(s.sy + y) + s.sx, s.w, copy.row(y));
        for (std::int32_t y = 0; y < s.h; ++y)
            std::copy_n(copy.row(y), s.w, target_->row(s.dy + y) + s.dx);
    } else {
        for (std::int32_t y = 0; y < s.h; ++y)
            std::copy_n(source.row(s.sy + y) + s.sx, s.w, target_->row(s.dy + y) + s.dx);
    }
    markTouched(CRect(s.dx, s.dy, s.dx + s.w, s.dy + s.h));
}

void CDrawContext::blitKeyed(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint, const CColor& key)
{
    Span s;
    if (!clipTransfer(source, destRect, sourcePoint, s))
        return;
    const std::uint32_t keyRgb = Pixels::pack(key.blue, key.green, key.red, 0);
    for (std::int32_t y = 0; y < s.h; ++y) {
        const std::uint32_t* src = source.row(s.sy + y) + s.sx;
        std::uint32_t* dst = target_->row(s.dy + y) + s.dx;
        for (std::int32_t x = 0; x < s.w; ++x)
            if ((src[x] & 0x00FFFFFFu) != keyRgb)
                dst[x] = src[x];
    }
    markTouched(CRect(s.dx, s.dy, s.dx + s.w, s.dy + s.h));
}

void CDrawContext::blitMasked(const Pixels& source, const Pixels& mask, const CRect& destRect,
                              const CPoint& sourcePoint)
{
    Span s;
    if (!clipTransfer(source, destRect, sourcePoint, s))
        return;
    for (std::int32_t y = 0; y < s.h; ++y) {
        const std::uint32_t* src = source.row(s.sy + y) + s.sx;
        std::uint32_t* dst = target_->row(s.dy + y) + s.dx;
        for (std::int32_t x = 0; x < s.w; ++x)
            if ((mask.getPixel(s.sx + x, s.sy + y) & 0x00FFFFFFu) == 0)
                dst[x] = src[x];
    }
    markTouched(CRect(s.dx, s.dy, s.dx + s.w, s.dy + s.h));
}

void CDrawContext::blitAlphaBlend(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint,
                                  std::uint8_t constantAlpha, bool perPixelAlpha)
{
    Span s;
    if (constantAlpha == 0 || !clipTransfer(source, destRect, sourcePoint, s))
        return;
    // Source over destination for premultiplied pixels, with each term rounded to nearest:
    //   s' = round(s * ca / 255) for every channel of the source (alpha included; a source
    //        without per-pixel alpha counts as alpha 255),
    //   d' = s' + round(d * (255 - a') / 255), where a' is the scaled source alpha.
    const std::uint32_t ca = constantAlpha;
    for (std::int32_t y = 0; y < s.h; ++y) {
        const std::uint32_t* src = source.row(s.sy + y) + s.sx;
        std::uint32_t* dst = target_->row(s.dy + y) + s.dx;
        for (std::int32_t x = 0; x < s.w; ++x) {
            const std::uint32_t p = src[x];
            const std::uint32_t sa = div255((perPixelAlpha ? Pixels::alpha(p) : 255u) * ca);
            if (sa == 0 && perPixelAlpha && (p & 0x00FFFFFFu) == 0)
                continue;
            const std::uint32_t keep = 255 - sa;
            const std::uint32_t d = dst[x];
            auto channel = [&](std::uint32_t sc, std::uint32_t dc) {
                return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, div255(sc * ca) + div255(dc * keep)));
            };
            dst[x] = Pixels::pack(channel(Pixels::blue(p), Pixels::blue(d)), channel(Pixels::green(p), Pixels::green(d)),
                                  channel(Pixels::red(p), Pixels::red(d)),
                                  static_cast<std::uint8_t>(std::min<std::uint32_t>(255, sa + div255(Pixels::alpha(d) * keep))));
        }
    }
    markTouched(CRect(s.dx, s.dy, s.dx + s.w, s.dy + s.h));
}

void CDrawContext::copyTo(CDrawContext* destination, const CRect& sourceRect, const CPoint& destinationPoint)
{
    if (destination == nullptr || target_ == nullptr)
        return;
    const CRect src = offsetRect(sourceRect, offset);
    CRect dest(destinationPoint.x, destinationPoint.y, addClamped(destinationPoint.x, sourceRect.width()),
               addClamped(destinationPoint.y, sourceRect.height()));
    destination->blitCopy(*target_, dest, CPoint(src.left, src.top));
    destination->flush();
}

} // namespace gui
