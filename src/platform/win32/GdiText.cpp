// Text on Windows: GDI fonts made as the toolkit has always made them (character height,
// weight 700 or 400, ANSI character set, string precision, stroke clipping, default quality)
// and drawn by GDI, white on black, into a DIB section whose brightness becomes the coverage
// mask the toolkit blends in its own colour.
#include "platform/Platform.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace platform {

struct Font {
    HFONT handle = nullptr;   // the GDI font, owned
    std::int32_t height = 0;  // line height (tmHeight)
    std::int32_t ascent = 0;  // tmAscent
    std::int32_t overhang = 0; // pixels ink may reach past the advance box (italics)
};

namespace {

// A memory device context for measuring, made with the first font and deleted with the last,
// so that an editor closed (or a plug-in unloaded) leaves no device context behind. Shared by
// every instance of the plug-in in the process, whose editors may draw on different threads
// (one on the screen, another into a snapshot): one font at a time is selected into it.
std::mutex sharedDcLock; // guards sharedDc, liveFonts and what is selected into sharedDc
HDC sharedDc = nullptr;  // the measuring context while any font lives
int liveFonts = 0;       // fonts made and not yet destroyed

HDC measuringDc()
{
    if (sharedDc == nullptr)
        sharedDc = CreateCompatibleDC(nullptr);
    return sharedDc;
}

} // namespace

Font* createFont(const FontRequest& request)
{
    if (request.pixelHeight <= 0)
        return nullptr;
    const DWORD pitchAndFamily = request.decorative ? (DEFAULT_PITCH | FF_DECORATIVE) : (VARIABLE_PITCH | FF_SWISS);
    HFONT handle = CreateFontA(-request.pixelHeight, 0, 0, 0, request.bold ? 700 : 400, request.italic ? TRUE : FALSE,
                               request.underline ? TRUE : FALSE, FALSE, ANSI_CHARSET, OUT_STRING_PRECIS,
                               CLIP_STROKE_PRECIS, DEFAULT_QUALITY, pitchAndFamily,
                               request.face != nullptr ? request.face : "");
    if (handle == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> guard(sharedDcLock);
    HDC dc = measuringDc();
    HGDIOBJ old = SelectObject(dc, handle);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ++liveFonts;
    auto* font = new Font;
    font->handle = handle;
    font->height = tm.tmHeight;
    font->ascent = tm.tmAscent;
    font->overhang = std::max<std::int32_t>(tm.tmOverhang, tm.tmHeight / 2);
    return font;
}

void destroyFont(Font* font)
{
    if (font == nullptr)
        return;
    DeleteObject(font->handle);
    delete font;
    std::lock_guard<std::mutex> guard(sharedDcLock);
    if (--liveFonts == 0 && sharedDc != nullptr) {
        DeleteDC(sharedDc);
        sharedDc = nullptr;
    }
}

TextExtent measureText(const Font* font, const char* text)
{
    TextExtent extent;
    if (font == nullptr || text == nullptr)
        return extent;
    extent.height = font->height;
    extent.ascent = font->ascent;
    const int length = static_cast<int>(std::min<std::size_t>(std::strlen(text), 0x7FFFFFF));
    if (length == 0)
        return extent;
    std::lock_guard<std::mutex> guard(sharedDcLock);
    HDC dc = measuringDc();
    HGDIOBJ old = SelectObject(dc, font->handle);
    SIZE size{};
    if (GetTextExtentPoint32A(dc, text, length, &size))
        extent.width = size.cx;
    SelectObject(dc, old);
    return extent;
}

bool renderText(const Font* font, const char* text, TextMask& mask)
{
    mask = TextMask{};
    if (font == nullptr || text == nullptr)
        return false;
    const TextExtent extent = measureText(font, text);
    const int length = static_cast<int>(std::min<std::size_t>(std::strlen(text), 0x7FFFFFF));
    // Room around the line box for overhanging ink.
    const std::int32_t padX = font->overhang + 1, padY = 1;
    const std::int32_t width = extent.width + 2 * padX, height = extent.height + 2 * padY;
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr)
        return false;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib == nullptr || bits == nullptr) {
        if (dib != nullptr)
            DeleteObject(dib);
        DeleteDC(dc);
        return false;
    }
    std::memset(bits, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    HGDIOBJ oldBitmap = SelectObject(dc, dib);
    HGDIOBJ oldFont = SelectObject(dc, font->handle);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, padX, padY, text, length);
    GdiFlush();
    mask.originX = -padX;
    mask.originY = -padY;
    mask.width = width;
    mask.height = height;
    mask.alpha.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < mask.alpha.size(); ++i) {
        // Sub-pixel (ClearType) rendering tints the channels; the brightest one is the ink.
        const std::uint8_t* p = pixels + 4 * i;
        mask.alpha[i] = std::max({p[0], p[1], p[2]});
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(dib);
    DeleteDC(dc);
    return true;
}

} // namespace platform
