// The toolkit's drawing surface: a software rasteriser over a 32-bit BGRA pixel image with
// premultiplied alpha (see Pixels). A context draws either into an image it is given (an
// offscreen, see COffscreenContext) or for a platform window, in which case it draws into a
// window-sized image of its own and presents the touched part to the window on flush(), on
// every copy into it and at its destruction.
//
// It keeps the current colours, pen, font and clip, and re-creates a pen, brush, font or clip
// region only when the requested value differs from the current one; the counters
// (getPenCreations() ...) make that caching observable.
//
// Coordinates given to drawing operations are view coordinates: `offset` is added to them.
// Edge rules (they are GDI's, which the pictures were made for):
// - lineTo draws from the pen position to the end point, the end point itself not drawn;
// - drawRect outlines left..right-1 and top..bottom-1;
// - fillRect fills left+1..right-1 and top+1..bottom-1 (right and bottom exclusive);
// - fillEllipse fills the ellipse inscribed in (left+1, top+1)-(right+1, bottom+1), exclusive.
// Fill, frame and font colours are drawn opaque: their alpha is ignored, as GDI ignores it.
//
// Thread: the thread that owns the editor window. Not copyable; reference counted.
#pragma once

#include "gui/CColor.h"
#include "gui/CGeometry.h"
#include "gui/CReferenceCounter.h"
#include "gui/Pixels.h"

#include <cstdint>

namespace platform {
class WindowLayer;
struct Window;
struct Font;
} // namespace platform

namespace gui {

class CFrame;

enum CLineStyle : std::int32_t {
    kLineSolid = 0,
    kLineOnOffDash,
};

enum CDrawMode : std::int32_t {
    kCopyMode = 0,
    kOrMode,
    kXorMode,
};

enum CHoriTxtAlign : std::int32_t {
    kLeftText = 0,
    kCenterText = 1,
    kRightText = 2,
};

class CDrawContext : public CReferenceCounter {
public:
    // `target`: the image to draw into (not owned), or null. Without a target but with a
    // window, the context draws for that window (see the class comment). The clip starts as
    // the window's size, else the target's size, else (0, 0, 1000, 1000): the frame creates
    // contexts for its own window, whose size is the frame's.
    CDrawContext(CFrame* frame, Pixels* target, platform::Window* window);
    ~CDrawContext() override;

    // --- state ---------------------------------------------------------------------------
    CPoint offset; // added to every coordinate a drawing operation receives; views move it

    void setOffset(const CPoint& p) { offset = p; }
    const CPoint& getOffset() const { return offset; }
    const CPoint& getWindowOrigin() const { return windowOrigin_; }
    CFrame* getFrame() const { return frame_; }
    platform::Window* getWindow() const { return window_; }
    // The image this context draws into (its own for a window context); null when none.
    Pixels* getTarget() const { return target_; }

    void setFrameColor(const CColor& color);
    const CColor& getFrameColor() const { return frameColor_; }
    void setFillColor(const CColor& color);
    const CColor& getFillColor() const { return fillColor_; }
    void setFontColor(const CColor& color);
    const CColor& getFontColor() const { return fontColor_; }
    void setLineWidth(std::int32_t width);
    std::int32_t getLineWidth() const { return lineWidth_; }
    void setLineStyle(CLineStyle style);
    CLineStyle getLineStyle() const { return lineStyle_; }
    void setDrawMode(CDrawMode mode);
    CDrawMode getDrawMode() const { return drawMode_; }

    // Sets the clip from view coordinates (offset added); clipping also always stays inside
    // the target image.
    void setClipRect(const CRect& clip);
    // The clip in view coordinates (the stored clip minus the current offset), so that
    // setClipRect(getClipRect(r)) restores it exactly under the same offset.
    CRect& getClipRect(CRect& clip) const;
    // The stored clip, in target coordinates.
    const CRect& getAbsoluteClipRect() const { return clipRect_; }
    void resetClipRect(); // the whole target again

    // index outside 0..7 -> 0; index 0 always bold. style: CTxtFace bits.
    void setFont(std::int32_t index, std::int32_t style = 0);
    std::int32_t getFont() const { return fontIndex_; }
    std::int32_t getFontSize() const { return fontSize_; }
    std::int32_t getFontStyle() const { return fontStyle_; }
    // Width in pixels of one line of text in the current font; 0 for null text.
    std::int32_t getStringWidth(const char* text);

    // --- drawing -------------------------------------------------------------------------
    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void getLoc(CPoint& where) const; // pen position in view coordinates
    void drawRect(const CRect& rect);
    void fillRect(const CRect& rect);
    void fillEllipse(const CRect& rect);
    // One line of text, vertically centred in rect, clipped to rect; alignment as
    // CHoriTxtAlign (left-aligned text starts at rect.left + 1). opaque: the text's line box
    // is first filled with the fill colour. Null text draws nothing.
    void drawString(const char* text, const CRect& rect, bool opaque = false, CHoriTxtAlign align = kCenterText);

    // Copies the rect of this context (its offset added) to a point of another context (that
    // context's offset added), clipped by the destination's clip.
    void copyTo(CDrawContext* destination, const CRect& sourceRect, const CPoint& destinationPoint);

    // Image transfers, used by CBitmap and the copies. destRect is in view coordinates (offset
    // added) and clipped; sourcePoint is the image pixel drawn at destRect's top-left.
    // Opaque copy.
    void blitCopy(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint);
    // Copy in which source pixels whose colour (blue, green, red) equals keyRgb's leave the
    // destination unchanged.
    void blitKeyed(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint, const CColor& key);
    // Copy through a mask of the source's size: where the mask pixel is white (non-zero) the
    // destination stays, where it is black the source is copied.
    void blitMasked(const Pixels& source, const Pixels& mask, const CRect& destRect, const CPoint& sourcePoint);
    // Source-over blend with a constant alpha ca (0..255) and, when perPixelAlpha, the
    // source's premultiplied alpha (see CBitmap::drawAlphaBlend for the exact rule).
    void blitAlphaBlend(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint,
                        std::uint8_t constantAlpha, bool perPixelAlpha);

    // --- input ---------------------------------------------------------------------------
    // Input is read from the frame's window layer, else the window's, else the process's
    // default. Buttons and modifiers: 1 left, 2 middle, 4 right, 8 shift, 16 control, 32 alt.
    std::int32_t getMouseButtons();
    // Cursor position minus windowOrigin.
    void getMouseLocation(CPoint& point);

    // Presents what has been drawn since the last flush to the window (window contexts only).
    void flush();

    // --- caching counters (tests) ----------------------------------------------------------
    std::int32_t getPenCreations() const { return penCreations_; }
    std::int32_t getBrushCreations() const { return brushCreations_; }
    std::int32_t getFontCreations() const { return fontCreations_; }
    std::int32_t getClipCreations() const { return clipCreations_; }

protected:
    // Sets up a context that draws into `target` without a window (offscreen contexts).
    void attachTarget(Pixels* target);

private:
    struct Span; // a clipped transfer, see clipTransfer
    bool clipTransfer(const Pixels& source, const CRect& destRect, const CPoint& sourcePoint, Span& span) const;
    CRect effectiveClip() const;       // clipRect_ within the target
    void makePen();                    // a pen from frame colour, width and style
    void markTouched(const CRect& r);  // window contexts: remember what to present
    void plot(std::int32_t x, std::int32_t y, std::uint32_t color, const CRect& clip);
    void stamp(std::int32_t x, std::int32_t y, std::uint32_t color, const CRect& clip); // pen-width dot
    void fillSpan(std::int32_t y, std::int32_t x0, std::int32_t x1, std::uint32_t color, const CRect& clip);

    CPoint windowOrigin_;                // screen position of the window; (0, 0) without one
    CFrame* frame_ = nullptr;            // owning frame, not owned
    platform::Window* window_ = nullptr; // window drawn for, not owned
    platform::WindowLayer* layer_;       // the frame's layer, else the window's, else the default
    Pixels* target_ = nullptr;           // image drawn into (windowPixels_ for window contexts)
    Pixels windowPixels_;                // a window context's own image
    CRect touched_;                      // window contexts: area drawn since the last flush
    bool hasTouched_ = false;            // touched_ is valid

    std::int32_t fontSize_ = -1;         // size of the selected font; -1 before the first
    std::int32_t fontStyle_ = 0;         // style of the selected font
    std::int32_t fontIndex_ = 8;         // table index of the selected font; 8 before the first
    platform::Font* font_ = nullptr;     // the font this context made, owned

    CColor fontColor_{0, 0, 0, 0};  // text colour
    CColor frameColor_{0, 0, 0, 0}; // line colour; starts unlike any real colour so the
                                    // constructor's setFrameColor makes the first pen
    CColor fillColor_{0, 0, 0, 0};  // fill colour (same start rule as frameColor_)
    std::int32_t lineWidth_ = 1;    // pen width in pixels
    CLineStyle lineStyle_ = kLineSolid; // pen style
    CDrawMode drawMode_ = kCopyMode;    // raster mode for lines and fills
    CRect clipRect_;                    // clip in target coordinates

    std::uint32_t penColor_ = 0;       // packed colour of the current pen
    std::int32_t penWidth_ = 1;        // width of the current pen
    CLineStyle penStyle_ = kLineSolid; // style of the current pen
    std::uint32_t brushColor_ = 0;     // packed colour of the current brush
    CPoint penPosition_;               // in target coordinates
    std::int32_t dashPhase_ = 0;       // position in the on-off pattern; restarts at moveTo

    std::int32_t penCreations_ = 0;   // pens made
    std::int32_t brushCreations_ = 0; // brushes made
    std::int32_t fontCreations_ = 0;  // fonts made
    std::int32_t clipCreations_ = 0;  // clip regions made
};

} // namespace gui
