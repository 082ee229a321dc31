// Inside of the GDI: the handle table and the objects behind the handles. Not for callers of the
// GDI; they use wingdi.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/pixelmemory.h"
#include "platform/gdi/wingdi.h"

namespace gdi::detail {

enum class Kind { DC, Bitmap, Palette, Region, Brush, Pen, Font, Global };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
};

struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    int width = 0, height = 0, bpp = 32;
    int stride = 0;
    bool bottomUp = false;          // row 0 in memory is the bottom image row
    bool rgb565 = false;            // 16 bits: 5-6-5 instead of 5-5-5
    // A monochrome device bitmap (CreateBitmap with 1 bit): drawn into colour with the target DC's
    // text (0) and background (1) colours. Every other 1-bit bitmap is drawn with its colour table.
    bool monoDevice = false;
    std::vector<std::uint8_t, PixelAllocator<std::uint8_t>> bits;
    std::vector<RGBQUAD> colors;    // bpp <= 8
    HDC selectedInto = nullptr;
    LONG createdHeight = 0;         // the height as CreateDIBSection got it (sign kept)

    std::uint8_t* Row(int y) {
        return bits.data() + static_cast<std::size_t>(bottomUp ? height - 1 - y : y) * stride;
    }
    const std::uint8_t* Row(int y) const {
        return bits.data() + static_cast<std::size_t>(bottomUp ? height - 1 - y : y) * stride;
    }
    std::uint32_t Raw(int x, int y) const;
    void SetRaw(int x, int y, std::uint32_t v);
    COLORREF RgbOfRaw(std::uint32_t v) const;
    std::uint32_t RawOfRgb(COLORREF c) const;  // nearest colour-table entry for bpp <= 8
    COLORREF Pixel(int x, int y) const { return RgbOfRaw(Raw(x, y)); }
};

// One band of a region: rows top..bottom-1 hold the sorted, disjoint, non-touching spans.
struct Band {
    int top = 0, bottom = 0;
    std::vector<std::pair<int, int>> spans;  // [left, right)
    bool operator==(const Band& o) const = default;
};

struct Region : Object {
    Region() : Object(Kind::Region) {}
    std::vector<Band> bands;
    void SetRects(std::vector<RECT> rects);
    bool Contains(int x, int y) const;
    RECT Box() const;
    int Type() const;  // NULLREGION, SIMPLEREGION, COMPLEXREGION
    std::vector<RECT> Rects() const;
};
// Combines two band lists (RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF).
std::vector<Band> Combine(const std::vector<Band>& a, const std::vector<Band>& b, int mode);
// a := a OR b, touching only the bands of a from b's first row down: a region grown downwards
// (b below or overlapping the bottom of a) costs the size of b, not of a.
void UniteInPlace(std::vector<Band>& a, const std::vector<Band>& b);

struct Palette : Object {
    Palette() : Object(Kind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    bool hollow = false;
    COLORREF color = 0;
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Font : Object {
    Font() : Object(Kind::Font) {}
    LOGFONTA lf;
};

struct Global : Object {
    Global() : Object(Kind::Global) {}
    std::vector<std::uint8_t> data;
    UINT flags = 0;
    int locks = 0;
};

struct DC : Object {
    DC() : Object(Kind::DC) {}
    HBITMAP bitmap = nullptr;  // the stock 1x1 bitmap when nothing else is selected
    HBRUSH brush = nullptr;
    HPEN pen = nullptr;
    HFONT font = nullptr;
    HPALETTE palette = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    std::optional<std::vector<Band>> clip;  // device coordinates
    POINT org{};
    POINT penPos{};
    HWND window = nullptr;  // window DCs draw on the window's surface
    bool screen = false;
    struct Saved {
        HBRUSH brush; HPEN pen; HFONT font; HPALETTE palette;
        COLORREF textColor, bkColor; int bkMode, stretchMode;
        std::optional<std::vector<Band>> clip; POINT org, penPos;
    };
    std::vector<Saved> saved;
};

// The handle table.
HGDIOBJ Add(std::shared_ptr<Object> obj);
std::shared_ptr<Object> Find(HGDIOBJ h);
template <class T>
std::shared_ptr<T> FindAs(HGDIOBJ h, Kind k) {
    auto o = Find(h);
    if (!o || o->kind != k) return nullptr;
    return std::static_pointer_cast<T>(o);
}
inline std::shared_ptr<DC> GetDCObj(HDC h) { return FindAs<DC>(ToGdiObj(h), Kind::DC); }
inline std::shared_ptr<Bitmap> GetBitmap(HBITMAP h) { return FindAs<Bitmap>(ToGdiObj(h), Kind::Bitmap); }
inline std::shared_ptr<Region> GetRegion(HRGN h) { return FindAs<Region>(ToGdiObj(h), Kind::Region); }
inline std::shared_ptr<Palette> GetPalette(HPALETTE h) { return FindAs<Palette>(ToGdiObj(h), Kind::Palette); }
inline std::shared_ptr<Brush> GetBrush(HBRUSH h) { return FindAs<Brush>(ToGdiObj(h), Kind::Brush); }
inline std::shared_ptr<Pen> GetPen(HPEN h) { return FindAs<Pen>(ToGdiObj(h), Kind::Pen); }
inline std::shared_ptr<Font> GetFont(HFONT h) { return FindAs<Font>(ToGdiObj(h), Kind::Font); }
bool Remove(HGDIOBJ h);
std::size_t Count();

// The bitmap a DC draws on (its selected bitmap, or a window's surface), or nullptr.
std::shared_ptr<Bitmap> Target(DC& dc);
// A new bitmap object with zeroed pixels (not yet in the table).
std::shared_ptr<Bitmap> MakeBitmap(int w, int h, int bpp, bool bottomUp);
int StrideOf(int w, int bpp);
// Resolves PALETTEINDEX / PALETTERGB colours against the DC's palette.
COLORREF ResolveColor(const DC& dc, COLORREF c);
// The 20 colours of the default palette.
const PALETTEENTRY* DefaultPaletteEntries();
const RGBQUAD* Vga16Colors();

// Spans of the DC's drawing area (device coordinates) inside `r` (device coordinates) and the
// target bitmap, row by row: fn(y, x0, x1).
template <class Fn>
void ForEachSpan(const DC& dc, const Bitmap& bmp, RECT r, Fn&& fn) {
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > bmp.width) r.right = bmp.width;
    if (r.bottom > bmp.height) r.bottom = bmp.height;
    if (r.left >= r.right || r.top >= r.bottom) return;
    if (!dc.clip) {
        for (int y = r.top; y < r.bottom; ++y) fn(y, r.left, r.right);
        return;
    }
    for (const Band& b : *dc.clip) {
        if (b.bottom <= r.top) continue;
        if (b.top >= r.bottom) break;
        int y0 = std::max(b.top, static_cast<int>(r.top)), y1 = std::min(b.bottom, static_cast<int>(r.bottom));
        for (int y = y0; y < y1; ++y)
            for (auto [l, rr] : b.spans) {
                int x0 = std::max(l, static_cast<int>(r.left)), x1 = std::min(rr, static_cast<int>(r.right));
                if (x0 < x1) fn(y, x0, x1);
            }
    }
}

// Fills a device rectangle with a colour (clipped).
void FillDevice(DC& dc, RECT r, COLORREF c);
// Sets one device pixel (clipped) to a colour.
void PlotDevice(DC& dc, Bitmap& bmp, int x, int y, COLORREF c);
bool InClip(const DC& dc, int x, int y);

}  // namespace gdi::detail
