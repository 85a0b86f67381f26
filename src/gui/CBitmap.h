// The toolkit's picture: loaded once from the library's own resources (a "PNG" resource
// decoded with libpng into premultiplied BGRA, or the Windows bitmap resource of the
// background) and drawn, whole or in part, into any CDrawContext: opaquely, with a key
// colour, or alpha-blended. Reference counted: created with one reference, remembered by
// every view that shows it.
#pragma once

#include "gui/CColor.h"
#include "gui/CGeometry.h"
#include "gui/CReferenceCounter.h"
#include "gui/Pixels.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace gui {

class CDrawContext;

class CBitmap : public CReferenceCounter {
public:
    // Loads the resource (a missing one leaves a 0 x 0 bitmap without image).
    explicit CBitmap(std::int32_t resourceID);
    // A bitmap over pixels already in memory (premultiplied BGRA); resource ID 0.
    CBitmap(const Pixels& pixels, bool noAlpha);
    ~CBitmap() override;

    // Copies the part of the image that starts at `offset` (image pixels) and has rect's size
    // to rect in the context. With alpha: drawAlphaBlend(..., 255); else opaque.
    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // With alpha: drawAlphaBlend(..., 255); else pixels equal to transparentColor (by red,
    // green and blue) leave the destination unchanged (through the mask when one is set).
    virtual void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // Source-over blend with per-pixel alpha (unless noAlpha) and a constant alpha.
    virtual void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                                std::uint8_t alpha = 255);
    // Frees the image and mask; 0 x 0; noAlpha false.
    virtual void dispose();
    // "PNG" resource first, then the Windows bitmap resource; false when neither exists.
    virtual bool loadFromResource(std::int32_t resourceID);
    // Not supported: disposes and returns false.
    virtual bool loadFromPath(const void* path);

    std::int32_t getWidth() const { return width_; }
    std::int32_t getHeight() const { return height_; }
    std::int32_t getResourceID() const { return resourceID_; }
    bool getNoAlpha() const { return noAlpha_; }
    void setNoAlpha(bool flag) { noAlpha_ = flag; }
    const CColor& getTransparentColor() const { return transparentColor_; }
    void setTransparentColor(const CColor& color) { transparentColor_ = color; }
    // The decoded image (premultiplied BGRA, top-down); null without one.
    const Pixels* getImage() const { return image_.get(); }
    // Key-colour mask of the image's size (white keeps the destination); null to remove.
    void setMask(const Pixels* mask);
    const Pixels* getMask() const { return mask_.get(); }

    // Decoders, public for tests and tools. Each returns false when nothing could be decoded
    // at all. decodePng keeps the rows decoded before an error and still answers true once
    // the header was read (a corrupt picture shows what was readable).
    static bool decodePng(const std::uint8_t* bytes, std::size_t size, Pixels& out);
    // A Windows bitmap: a whole .bmp file ("BM" header) or a resource's bare
    // BITMAPINFOHEADER and pixels. 24- and 32-bit uncompressed; pixels come out opaque.
    static bool decodeBmp(const std::uint8_t* bytes, std::size_t size, Pixels& out);

private:
    std::int32_t resourceID_ = 0;                   // ID the bitmap was created with
    std::int32_t width_ = 0;                        // pixels; 0 until a load succeeds
    std::int32_t height_ = 0;                       // pixels; 0 until a load succeeds
    CColor transparentColor_ = kTransparentCColor;  // key colour of drawTransparent
    bool noAlpha_ = true;                           // opaque pixels (Windows bitmap)
    std::unique_ptr<Pixels> image_;                 // the pixels, or null
    std::unique_ptr<Pixels> mask_;                  // optional key mask, or null
};

} // namespace gui
