// Bitmaps, DIB sections, conversions, blits, pixels, lines, fills, brushes and pens.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/gdiobj.h"
#include "platform/gdi/picturelimits.h"
#include "platform/win/winbase.h"

using namespace gdi::detail;

namespace {

bool ValidDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

HBITMAP AddBitmap(std::shared_ptr<Bitmap> b) { return reinterpret_cast<HBITMAP>(Add(std::move(b))); }

// Reads the format of a BITMAPINFO: depth, 5-6-5, colour table. False when unsupported.
bool InfoFormat(const BITMAPINFO* info, UINT usage, const DC* dc, int* bpp, bool* rgb565,
                std::vector<RGBQUAD>* colors) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < 40 || !ValidDepth(h.biBitCount)) return false;
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return false;
    *bpp = h.biBitCount;
    *rgb565 = false;
    const std::uint8_t* after = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
    if (h.biCompression == BI_BITFIELDS) {
        DWORD m[3];
        std::memcpy(m, after, sizeof m);
        if (h.biBitCount == 16) {
            if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F) *rgb565 = true;
            else if (!(m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F)) return false;
        } else if (h.biBitCount == 32) {
            if (!(m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF)) return false;
        } else {
            return false;
        }
    }
    colors->clear();
    if (h.biBitCount <= 8) {
        DWORD n = h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount);
        n = std::min<DWORD>(n, 1u << h.biBitCount);
        if (usage == DIB_PAL_COLORS) {
            const WORD* idx = reinterpret_cast<const WORD*>(after);
            for (DWORD i = 0; i < n; ++i) {
                COLORREF c = dc ? ResolveColor(*dc, PALETTEINDEX(idx[i])) : 0;
                colors->push_back(RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
            }
        } else {
            const RGBQUAD* q = reinterpret_cast<const RGBQUAD*>(after);
            colors->assign(q, q + n);
        }
    }
    return true;
}

// A view of DIB memory in a given format, for conversions from and to caller memory.
std::shared_ptr<Bitmap> ViewOf(int w, int h, int bpp, bool rgb565, const std::vector<RGBQUAD>& colors) {
    auto b = std::make_shared<Bitmap>();
    b->width = w;
    b->height = h;
    b->bpp = bpp;
    b->rgb565 = rgb565;
    b->stride = StrideOf(w, bpp);
    b->colors = colors;
    return b;
}

// Copies `count` pixels between 24- and 32-bit rows (blue, green, red; the fourth byte becomes 0).
void CopyTrueColourRow(const std::uint8_t* from, int fromBpp, std::uint8_t* to, int toBpp, int count) {
    if (fromBpp == 24 && toBpp == 32) {
        for (int i = 0; i < count; ++i, from += 3, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 0;
        }
    } else if (fromBpp == 32 && toBpp == 24) {
        for (int i = 0; i < count; ++i, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    } else {
        std::memcpy(to, from, static_cast<std::size_t>(count) * static_cast<std::size_t>(fromBpp / 8));
    }
}

// Converts a source pixel to the raw value of the target, following the monochrome rules.
struct PixelMapper {
    const Bitmap& src;
    const Bitmap& dst;
    COLORREF srcBk;      // source DC background: colour -> mono
    COLORREF dstText;    // target DC text colour: mono 0 -> colour
    COLORREF dstBk;      // target DC background: mono 1 -> colour
    bool raw;            // same format and table: copy raw values
    bool trueColour;     // 24 and 32 bits: the raw values are the same blue, green, red bytes
    std::unordered_map<std::uint32_t, std::uint32_t> cache;

    PixelMapper(const Bitmap& s, const Bitmap& d, COLORREF sbk, COLORREF dtext, COLORREF dbk)
        : src(s), dst(d), srcBk(sbk), dstText(dtext), dstBk(dbk) {
        raw = s.bpp == d.bpp && s.rgb565 == d.rgb565 &&
              (s.bpp > 8 || (s.bpp == 1 && (s.monoDevice || d.monoDevice)) ||
               (s.colors.size() == d.colors.size() &&
                std::equal(s.colors.begin(), s.colors.end(), d.colors.begin(), [](const RGBQUAD& a, const RGBQUAD& b) {
                    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
                })));
        trueColour = !raw && (s.bpp == 24 || s.bpp == 32) && (d.bpp == 24 || d.bpp == 32);
    }
    std::uint32_t Map(std::uint32_t v) {
        if (raw) return v;
        if (trueColour) return v & 0xFFFFFF;
        auto it = cache.find(v);
        if (it != cache.end()) return it->second;
        std::uint32_t out;
        if (src.bpp == 1 && src.monoDevice) {
            out = dst.RawOfRgb(v ? dstBk : dstText);
        } else if (dst.bpp == 1) {
            out = (src.RgbOfRaw(v) == (srcBk & 0xFFFFFF)) ? 1u : 0u;
        } else {
            out = dst.RawOfRgb(src.RgbOfRaw(v));
        }
        cache.emplace(v, out);
        return out;
    }
};

std::uint32_t ApplyRop(DWORD rop, std::uint32_t s, std::uint32_t d, std::uint32_t mask) {
    switch (rop) {
        case SRCCOPY: return s;
        case SRCAND: return s & d;
        case SRCPAINT: return s | d;
        case SRCINVERT: return s ^ d;
        case NOTSRCCOPY: return ~s & mask;
        case ROP_DSTCOPY: return d;
        case BLACKNESS: return 0;
        case WHITENESS: return mask;
        case DSTINVERT: return ~d & mask;
        default: return s;
    }
}

bool KnownRop(DWORD rop) {
    return rop == SRCCOPY || rop == SRCAND || rop == SRCPAINT || rop == SRCINVERT || rop == NOTSRCCOPY;
}

std::uint32_t MaskOf(int bpp) { return bpp == 32 ? 0xFFFFFFFFu : ((1u << bpp) - 1u); }

// The one blit engine: nearest-pixel scaling, raster operation per pixel, optional 1-bit mask
// choosing between two operations (maskRop for mask bit 1, rop for 0... see MaskBlt).
BOOL Blit(HDC hdst, int x, int y, int cx, int cy, HDC hsrc, int sx, int sy, int scx, int scy, DWORD rop,
          const Bitmap* mask = nullptr, int mx = 0, int my = 0, DWORD backRop = 0) {
    auto ddc = GetDCObj(hdst);
    if (!ddc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto dst = Target(*ddc);
    if (rop == BLACKNESS || rop == WHITENESS || rop == DSTINVERT) {
        if (!dst) return TRUE;
        RECT r{x + ddc->org.x, y + ddc->org.y, x + cx + ddc->org.x, y + cy + ddc->org.y};
        const std::uint32_t m = MaskOf(dst->bpp);
        // The fill colour's table entry is looked up once for the whole fill, not once a pixel.
        const std::uint32_t fill = rop == WHITENESS ? dst->RawOfRgb(RGB(255, 255, 255)) : dst->RawOfRgb(0);
        ForEachSpan(*ddc, *dst, r, [&](int yy, int x0, int x1) {
            for (int xx = x0; xx < x1; ++xx) dst->SetRaw(xx, yy, rop == DSTINVERT ? (~dst->Raw(xx, yy) & m) : fill);
        });
        return TRUE;
    }
    if (!KnownRop(rop) && rop != ROP_DSTCOPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto sdc = GetDCObj(hsrc);
    if (!sdc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto src = Target(*sdc);
    if (!dst || !src || cx == 0 || cy == 0 || scx == 0 || scy == 0) return TRUE;
    // Normalise mirrored rectangles.
    bool mirrorX = false, mirrorY = false;
    if (cx < 0) { x += cx; cx = -cx; mirrorX = !mirrorX; }
    if (cy < 0) { y += cy; cy = -cy; mirrorY = !mirrorY; }
    if (scx < 0) { sx += scx; scx = -scx; mirrorX = !mirrorX; }
    if (scy < 0) { sy += scy; scy = -scy; mirrorY = !mirrorY; }
    sx += sdc->org.x;
    sy += sdc->org.y;
    int dx0 = x + ddc->org.x, dy0 = y + ddc->org.y;
    // Same bitmap: read from a snapshot so overlapping copies come out right.
    std::shared_ptr<Bitmap> srcCopy;
    const Bitmap* s = src.get();
    if (src == dst) {
        srcCopy = std::make_shared<Bitmap>(*src);
        s = srcCopy.get();
    }
    PixelMapper map(*s, *dst, sdc->bkColor & 0xFFFFFF, ResolveColor(*ddc, ddc->textColor),
                    ResolveColor(*ddc, ddc->bkColor));
    std::uint32_t m = MaskOf(dst->bpp);
    bool unscaled = cx == scx && cy == scy && !mirrorX && !mirrorY;
    RECT r{dx0, dy0, dx0 + cx, dy0 + cy};
    ForEachSpan(*ddc, *dst, r, [&](int yy, int x0, int x1) {
        int ry = yy - dy0;
        int syy = unscaled ? sy + ry : sy + static_cast<int>((2LL * (mirrorY ? cy - 1 - ry : ry) + 1) * scy / (2LL * cy));
        if (syy < 0 || syy >= s->height) return;
        if (unscaled && rop == SRCCOPY && !mask && (map.raw || map.trueColour) && (s->bpp % 8) == 0) {
            int a = std::max(x0, dx0 - sx), b = std::min(x1, dx0 - sx + s->width);
            if (a >= b) return;
            if (map.raw) {
                int bytes = s->bpp / 8;
                std::memcpy(dst->Row(yy) + a * bytes, s->Row(syy) + (a - dx0 + sx) * bytes,
                            static_cast<std::size_t>(b - a) * bytes);
            } else {
                CopyTrueColourRow(s->Row(syy) + (a - dx0 + sx) * (s->bpp / 8), s->bpp, dst->Row(yy) + a * (dst->bpp / 8),
                                  dst->bpp, b - a);
            }
            return;
        }
        for (int xx = x0; xx < x1; ++xx) {
            int rx = xx - dx0;
            int sxx = unscaled ? sx + rx : sx + static_cast<int>((2LL * (mirrorX ? cx - 1 - rx : rx) + 1) * scx / (2LL * cx));
            if (sxx < 0 || sxx >= s->width) continue;
            DWORD op = rop;
            if (mask) {
                int mxx = mx + rx, myy = my + ry;
                bool bit = mxx >= 0 && myy >= 0 && mxx < mask->width && myy < mask->height && mask->Raw(mxx, myy);
                op = bit ? rop : backRop;
            }
            if (op == ROP_DSTCOPY) continue;
            std::uint32_t sv = map.Map(s->Raw(sxx, syy));
            std::uint32_t dv = (op == SRCCOPY || op == NOTSRCCOPY) ? 0 : dst->Raw(xx, yy);
            dst->SetRaw(xx, yy, ApplyRop(op, sv, dv, m));
        }
    });
    return TRUE;
}

}  // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
    if (width < 0 || height < 0 || planes != 1 || !ValidDepth(static_cast<int>(bpp))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto b = MakeBitmap(width, height, static_cast<int>(bpp), false);
    b->monoDevice = bpp == 1;
    if (bits) {
        int srcStride = ((width * static_cast<int>(bpp) + 15) / 16) * 2;
        const std::uint8_t* p = static_cast<const std::uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            std::memcpy(b->Row(y), p + static_cast<std::size_t>(y) * srcStride, static_cast<std::size_t>(srcStride));
    }
    return AddBitmap(b);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return AddBitmap(MakeBitmap(width, height, 32, false));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    int bpp;
    bool rgb565;
    std::vector<RGBQUAD> colors;
    auto dc = GetDCObj(hdc);
    // Sides beyond the picture side limit are refused; a side of 0 makes an empty section.
    const std::int64_t sectionHeight = info ? std::abs(static_cast<std::int64_t>(info->bmiHeader.biHeight)) : 0;
    if (!InfoFormat(info, usage, dc.get(), &bpp, &rgb565, &colors) || info->bmiHeader.biWidth < 0 ||
        info->bmiHeader.biWidth > gdi::kMaxPictureSide || sectionHeight > gdi::kMaxPictureSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        if (bits) *bits = nullptr;
        return nullptr;
    }
    LONG h = info->bmiHeader.biHeight;
    std::shared_ptr<Bitmap> b;
    try {
        b = MakeBitmap(info->bmiHeader.biWidth, h < 0 ? -h : h, bpp, h > 0);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        if (bits) *bits = nullptr;
        return nullptr;
    }
    b->rgb565 = rgb565;
    if (bpp <= 8) {
        b->colors.assign(static_cast<std::size_t>(1) << bpp, RGBQUAD{});
        std::copy(colors.begin(), colors.end(), b->colors.begin());
    }
    if (bits) *bits = b->bits.empty() ? nullptr : b->bits.data();
    return AddBitmap(b);
}

namespace {
// Copies pixels between a bitmap and a view of caller memory of another format.
void Transfer(const Bitmap& from, Bitmap& to, int fromY0, int toY0, int lines) {
    PixelMapper map(from, to, RGB(255, 255, 255), 0, RGB(255, 255, 255));
    int w = std::min(from.width, to.width);
    for (int i = 0; i < lines; ++i) {
        int fy = fromY0 + i, ty = toY0 + i;
        if (fy < 0 || fy >= from.height || ty < 0 || ty >= to.height) continue;
        if (map.raw && from.bpp % 8 == 0) {
            std::memcpy(to.Row(ty), from.Row(fy), static_cast<std::size_t>(w) * (from.bpp / 8));
            continue;
        }
        if (map.trueColour) {
            CopyTrueColourRow(from.Row(fy), from.bpp, to.Row(ty), to.bpp, w);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = from.Raw(x, fy);
            if (from.bpp == 1 && to.bpp != 1) v = to.RawOfRgb(from.RgbOfRaw(v));
            else if (to.bpp == 1 && from.bpp != 1) v = to.RawOfRgb(from.RgbOfRaw(v));
            else v = map.Map(v);
            to.SetRaw(x, ty, v);
        }
    }
}
}  // namespace

int GetDIBits(HDC hdc, HBITMAP hbmp, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
    auto b = GetBitmap(hbmp);
    if (!b || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits) {
        h.biSize = 40;
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(b->bpp);
        h.biCompression = (b->bpp == 16 && b->rgb565) ? BI_BITFIELDS : BI_RGB;
        h.biSizeImage = static_cast<DWORD>(StrideOf(b->width, b->bpp)) * b->height;
        h.biClrUsed = 0;
        std::uint8_t* after = reinterpret_cast<std::uint8_t*>(info) + 40;
        if (b->bpp <= 8) std::memcpy(after, b->colors.data(), b->colors.size() * sizeof(RGBQUAD));
        if (h.biCompression == BI_BITFIELDS) {
            DWORD m[3] = {0xF800, 0x07E0, 0x001F};
            std::memcpy(after, m, sizeof m);
        }
        return b->height;
    }
    int bpp;
    bool rgb565;
    std::vector<RGBQUAD> colors;
    if (h.biBitCount <= 8 && h.biBitCount > 0) {
        // The caller receives the bitmap's table when depths match, else the standard table.
        h.biClrUsed = 0;
    }
    auto dc = GetDCObj(hdc);
    if (!InfoFormat(info, usage, dc.get(), &bpp, &rgb565, &colors)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (bpp <= 8) {
        if (bpp == b->bpp) colors = b->colors;
        else colors = MakeBitmap(1, 1, bpp, false)->colors;
        std::memcpy(reinterpret_cast<std::uint8_t*>(info) + h.biSize, colors.data(), colors.size() * sizeof(RGBQUAD));
    }
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    auto view = ViewOf(h.biWidth, height, bpp, rgb565, colors);
    view->bottomUp = h.biHeight > 0;
    // `view` points at caller memory through a temporary buffer.
    view->bits.assign(static_cast<std::size_t>(view->stride) * height, 0);
    std::uint8_t* out = static_cast<std::uint8_t*>(bits);
    // Lines are counted from the bottom (start 0 = bottom row) as the system does for bottom-up DIBs.
    int n = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(std::max(0, b->height - static_cast<int>(start)))));
    for (int i = 0; i < n; ++i) {
        int imgRow = b->height - 1 - (static_cast<int>(start) + i);  // image row (0 = top)
        int viewRow = view->bottomUp ? height - 1 - (static_cast<int>(start) + i) : imgRow;
        if (viewRow < 0 || viewRow >= height) continue;
        Transfer(*b, *view, imgRow, viewRow, 1);
    }
    // Copy out the rows in memory order of the caller's DIB, starting at memory row `start`
    // for bottom-up layouts.
    std::size_t off = view->bottomUp ? static_cast<std::size_t>(start) * view->stride : 0;
    std::size_t len = static_cast<std::size_t>(n) * view->stride;
    if (view->bottomUp) std::memcpy(out, view->bits.data() + off, len);
    else std::memcpy(out, view->bits.data(), std::min(len, view->bits.size()));
    return n;
}

int SetDIBits(HDC hdc, HBITMAP hbmp, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    auto b = GetBitmap(hbmp);
    int bpp;
    bool rgb565;
    std::vector<RGBQUAD> colors;
    auto dc = GetDCObj(hdc);
    if (!b || !bits || !InfoFormat(info, usage, dc.get(), &bpp, &rgb565, &colors)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    auto view = ViewOf(h.biWidth, height, bpp, rgb565, colors);
    view->bottomUp = h.biHeight > 0;
    int n = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(std::max(0, height - static_cast<int>(start)))));
    view->bits.assign(static_cast<std::size_t>(view->stride) * height, 0);
    if (view->bottomUp)
        std::memcpy(view->bits.data() + static_cast<std::size_t>(start) * view->stride, bits,
                    static_cast<std::size_t>(n) * view->stride);
    else
        std::memcpy(view->bits.data(), bits, static_cast<std::size_t>(n) * view->stride);
    for (int i = 0; i < n; ++i) {
        int viewRow = view->bottomUp ? height - 1 - (static_cast<int>(start) + i) : static_cast<int>(start) + i;
        int imgRow = b->height - height + viewRow;
        Transfer(*view, *b, viewRow, imgRow, 1);
    }
    return n;
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
    auto dc = GetDCObj(hdc);
    if (!dc) return 0;
    auto b = GetBitmap(dc->bitmap);
    if (!b || b->bpp > 8 || start >= b->colors.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(b->colors.size()) - start);
    if (colors) std::copy_n(b->colors.begin() + start, n, colors);
    return n;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
    auto dc = GetDCObj(hdc);
    if (!dc || !colors) return 0;
    auto b = GetBitmap(dc->bitmap);
    if (!b || b->stock || b->bpp > 8 || start >= b->colors.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(b->colors.size()) - start);
    std::copy_n(colors, n, b->colors.begin() + start);
    return n;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop) {
    return Blit(dst, x, y, cx, cy, src, sx, sy, cx, cy, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, int scx, int scy, DWORD rop) {
    return Blit(dst, x, y, cx, cy, src, sx, sy, scx, scy, rop);
}

int SetStretchBltMode(HDC h, int mode) {
    auto dc = GetDCObj(h);
    if (!dc) return 0;
    return std::exchange(dc->stretchMode, mode);
}

int GetStretchBltMode(HDC h) {
    auto dc = GetDCObj(h);
    return dc ? dc->stretchMode : 0;
}

BOOL MaskBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, HBITMAP hmask, int mx, int my,
             DWORD rop4) {
    DWORD fore = rop4 & 0x00FFFFFFu;
    DWORD back = ((rop4 >> 8) & 0x00FF0000u);
    // The back operation is given by its code byte; rebuild the full operation from it.
    auto full = [](DWORD codeByte) -> DWORD {
        switch (codeByte >> 16) {
            case 0xCC: return SRCCOPY;
            case 0xAA: return ROP_DSTCOPY;
            case 0x88: return SRCAND;
            case 0xEE: return SRCPAINT;
            case 0x66: return SRCINVERT;
            case 0x33: return NOTSRCCOPY;
            default: return 0;
        }
    };
    DWORD backRop = full(back);
    if (!hmask) return Blit(dst, x, y, cx, cy, src, sx, sy, cx, cy, fore);
    auto mask = GetBitmap(hmask);
    if (!mask || mask->bpp != 1 || backRop == 0 || (full(fore & 0x00FF0000u) == 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Blit(dst, x, y, cx, cy, src, sx, sy, cx, cy, fore, mask.get(), mx, my, backRop);
}

int StretchDIBits(HDC hdc, int x, int y, int cx, int cy, int sx, int sy, int scx, int scy, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
    int bpp;
    bool rgb565;
    std::vector<RGBQUAD> colors;
    auto dc = GetDCObj(hdc);
    if (!dc || !bits || !InfoFormat(info, usage, dc.get(), &bpp, &rgb565, &colors)) return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    auto view = ViewOf(h.biWidth, height, bpp, rgb565, colors);
    view->bottomUp = h.biHeight > 0;
    view->bits.assign(static_cast<const std::uint8_t*>(bits),
                      static_cast<const std::uint8_t*>(bits) + static_cast<std::size_t>(view->stride) * height);
    HBITMAP tmp = AddBitmap(view);
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, ToGdiObj(tmp));
    // DIB source coordinates count from the bottom-left for bottom-up DIBs.
    int top = view->bottomUp ? height - sy - scy : sy;
    Blit(hdc, x, y, cx, cy, mem, sx, top, scx, scy, rop);
    DeleteDC(mem);
    DeleteObject(ToGdiObj(tmp));
    return height;
}

BOOL PatBlt(HDC h, int x, int y, int cx, int cy, DWORD rop) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    if (cx < 0) { x += cx; cx = -cx; }
    if (cy < 0) { y += cy; cy = -cy; }
    if (rop == PATCOPY) {
        auto br = GetBrush(dc->brush);
        if (!br || br->hollow) return TRUE;
        FillDevice(*dc, RECT{x + dc->org.x, y + dc->org.y, x + cx + dc->org.x, y + cy + dc->org.y}, ResolveColor(*dc, br->color));
        return TRUE;
    }
    if (rop == BLACKNESS || rop == WHITENESS || rop == DSTINVERT) return Blit(h, x, y, cx, cy, nullptr, 0, 0, cx, cy, rop);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// ---- Pixels, lines, shapes ----
COLORREF SetPixel(HDC h, int x, int y, COLORREF c) {
    auto dc = GetDCObj(h);
    if (!dc) return CLR_INVALID;
    auto b = Target(*dc);
    x += dc->org.x;
    y += dc->org.y;
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return CLR_INVALID;
    if (!InClip(*dc, x, y)) return CLR_INVALID;
    std::uint32_t v = b->RawOfRgb(ResolveColor(*dc, c));
    b->SetRaw(x, y, v);
    return b->RgbOfRaw(v);
}

COLORREF GetPixel(HDC h, int x, int y) {
    auto dc = GetDCObj(h);
    if (!dc) return CLR_INVALID;
    auto b = Target(*dc);
    x += dc->org.x;
    y += dc->org.y;
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return CLR_INVALID;
    return b->Pixel(x, y);
}

BOOL MoveToEx(HDC h, int x, int y, POINT* old) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    if (old) *old = dc->penPos;
    dc->penPos = POINT{x, y};
    return TRUE;
}

namespace {
void DrawLine(DC& dc, int x0, int y0, int x1, int y1, bool last) {
    auto pen = GetPen(dc.pen);
    auto b = Target(dc);
    if (!pen || !b || pen->style == PS_NULL) return;
    COLORREF c = ResolveColor(dc, pen->color);
    int w = std::max(1, pen->width);
    x0 += dc.org.x; x1 += dc.org.x; y0 += dc.org.y; y1 += dc.org.y;
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int stx = x0 < x1 ? 1 : -1, sty = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    auto plot = [&](int px, int py) {
        if (w == 1) {
            PlotDevice(dc, *b, px, py, c);
            return;
        }
        for (int oy = 0; oy < w; ++oy)
            for (int ox = 0; ox < w; ++ox) PlotDevice(dc, *b, px - w / 2 + ox, py - w / 2 + oy, c);
    };
    while (true) {
        if (x0 == x1 && y0 == y1) {
            if (last) plot(x0, y0);
            break;
        }
        plot(x0, y0);
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += stx; }
        if (e2 <= dx) { err += dx; y0 += sty; }
    }
}
}  // namespace

BOOL LineTo(HDC h, int x, int y) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    DrawLine(*dc, dc->penPos.x, dc->penPos.y, x, y, false);
    dc->penPos = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC h, const POINT* pts, int count) {
    auto dc = GetDCObj(h);
    if (!dc || !pts || count < 2) return FALSE;
    for (int i = 1; i < count; ++i) DrawLine(*dc, pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y, false);
    return TRUE;
}

BOOL Rectangle(HDC h, int l, int t, int r, int bt) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    if (l > r) std::swap(l, r);
    if (t > bt) std::swap(t, bt);
    auto br = GetBrush(dc->brush);
    if (br && !br->hollow)
        FillDevice(*dc, RECT{l + dc->org.x, t + dc->org.y, r + dc->org.x, bt + dc->org.y}, ResolveColor(*dc, br->color));
    auto pen = GetPen(dc->pen);
    if (pen && pen->style != PS_NULL && r - l > 0 && bt - t > 0) {
        COLORREF c = ResolveColor(*dc, pen->color);
        int w = std::max(1, pen->width);
        auto fill = [&](int a, int b2, int c2, int d) {
            FillDevice(*dc, RECT{a + dc->org.x, b2 + dc->org.y, c2 + dc->org.x, d + dc->org.y}, c);
        };
        fill(l, t, r, std::min(bt, t + w));
        fill(l, std::max(t, bt - w), r, bt);
        fill(l, t, std::min(r, l + w), bt);
        fill(std::max(l, r - w), t, r, bt);
    }
    return TRUE;
}

BOOL Ellipse(HDC h, int l, int t, int r, int bt) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    auto b = Target(*dc);
    if (!b) return TRUE;
    if (l > r) std::swap(l, r);
    if (t > bt) std::swap(t, bt);
    double cx = (l + r - 1) / 2.0, cy = (t + bt - 1) / 2.0, rx = (r - l) / 2.0, ry = (bt - t) / 2.0;
    if (rx <= 0 || ry <= 0) return TRUE;
    auto br = GetBrush(dc->brush);
    auto pen = GetPen(dc->pen);
    COLORREF fillC = br ? ResolveColor(*dc, br->color) : 0, penC = pen ? ResolveColor(*dc, pen->color) : 0;
    bool doFill = br && !br->hollow, doPen = pen && pen->style != PS_NULL;
    for (int y = t; y < bt; ++y)
        for (int x = l; x < r; ++x) {
            double nx = (x - cx) / rx, ny = (y - cy) / ry;
            double d = nx * nx + ny * ny;
            if (d > 1.0) continue;
            double ix = (x - cx) / std::max(rx - 1, 0.5), iy = (y - cy) / std::max(ry - 1, 0.5);
            bool edge = ix * ix + iy * iy > 1.0;
            if (edge && doPen) PlotDevice(*dc, *b, x + dc->org.x, y + dc->org.y, penC);
            else if (doFill) PlotDevice(*dc, *b, x + dc->org.x, y + dc->org.y, fillC);
        }
    return TRUE;
}

int FillRect(HDC h, const RECT* r, HBRUSH hb) {
    auto dc = GetDCObj(h);
    auto br = GetBrush(hb);
    if (!dc || !r || !br) return 0;
    if (br->hollow) return 1;
    FillDevice(*dc, RECT{r->left + dc->org.x, r->top + dc->org.y, r->right + dc->org.x, r->bottom + dc->org.y},
               ResolveColor(*dc, br->color));
    return 1;
}

int FrameRect(HDC h, const RECT* r, HBRUSH hb) {
    auto dc = GetDCObj(h);
    auto br = GetBrush(hb);
    if (!dc || !r || !br) return 0;
    if (br->hollow || IsRectEmpty(r)) return 1;
    COLORREF c = ResolveColor(*dc, br->color);
    int ox = dc->org.x, oy = dc->org.y;
    FillDevice(*dc, RECT{r->left + ox, r->top + oy, r->right + ox, r->top + 1 + oy}, c);
    FillDevice(*dc, RECT{r->left + ox, r->bottom - 1 + oy, r->right + ox, r->bottom + oy}, c);
    FillDevice(*dc, RECT{r->left + ox, r->top + oy, r->left + 1 + ox, r->bottom + oy}, c);
    FillDevice(*dc, RECT{r->right - 1 + ox, r->top + oy, r->right + ox, r->bottom + oy}, c);
    return 1;
}

BOOL InvertRect(HDC h, const RECT* r) {
    if (!r) return FALSE;
    return PatBlt(h, r->left, r->top, r->right - r->left, r->bottom - r->top, DSTINVERT);
}

BOOL FillRgn(HDC h, HRGN hr, HBRUSH hb) {
    auto dc = GetDCObj(h);
    auto rg = GetRegion(hr);
    auto br = GetBrush(hb);
    if (!dc || !rg || !br) return FALSE;
    if (br->hollow) return TRUE;
    COLORREF c = ResolveColor(*dc, br->color);
    for (const RECT& r : rg->Rects())
        FillDevice(*dc, RECT{r.left + dc->org.x, r.top + dc->org.y, r.right + dc->org.x, r.bottom + dc->org.y}, c);
    return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF c) {
    auto b = std::make_shared<Brush>();
    b->color = c;
    return reinterpret_cast<HBRUSH>(Add(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    auto b = std::make_shared<Brush>();
    b->color = lb->lbColor;
    b->hollow = lb->lbStyle == BS_NULL;
    return reinterpret_cast<HBRUSH>(Add(b));
}

HPEN CreatePen(int style, int width, COLORREF c) {
    auto p = std::make_shared<Pen>();
    p->style = style;
    p->width = width;
    p->color = c;
    return reinterpret_cast<HPEN>(Add(p));
}

// ---- Our own extensions ----
namespace gdi {

HBITMAP ConvertBitmap(HBITMAP hsrc, int bpp, const RGBQUAD* colors, int count, bool rgb565) {
    auto src = GetBitmap(hsrc);
    if (!src || !ValidDepth(bpp)) return nullptr;
    auto dst = MakeBitmap(src->width, src->height, bpp, false);
    dst->rgb565 = bpp == 16 && rgb565;
    if (bpp <= 8) {
        if (colors && count > 0) {
            dst->colors.assign(static_cast<std::size_t>(1) << bpp, RGBQUAD{});
            std::copy_n(colors, std::min(count, 1 << bpp), dst->colors.begin());
            // Only the given entries take part in the nearest-colour search.
            dst->colors.resize(static_cast<std::size_t>(std::min(count, 1 << bpp)));
        } else if (src->bpp == bpp) {
            dst->colors = src->colors;
        }
    }
    for (int y = 0; y < src->height; ++y) {
        if (src->bpp == bpp && (bpp > 8 ? src->rgb565 == dst->rgb565 : (!colors || count <= 0))) {
            std::memcpy(dst->Row(y), src->Row(y), static_cast<std::size_t>(src->stride));
            continue;
        }
        std::unordered_map<std::uint32_t, std::uint32_t> cache;
        for (int x = 0; x < src->width; ++x) {
            std::uint32_t v = src->Raw(x, y);
            auto it = cache.find(v);
            std::uint32_t out;
            if (it != cache.end()) out = it->second;
            else cache.emplace(v, out = dst->RawOfRgb(src->RgbOfRaw(v)));
            dst->SetRaw(x, y, out);
        }
    }
    if (bpp <= 8) dst->colors.resize(static_cast<std::size_t>(1) << bpp);
    return AddBitmap(dst);
}

COLORREF BitmapPixel(HBITMAP h, int x, int y) {
    auto b = GetBitmap(h);
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return CLR_INVALID;
    return b->Pixel(x, y);
}

void SetBitmapPixel(HBITMAP h, int x, int y, COLORREF c) {
    auto b = GetBitmap(h);
    if (!b || b->stock || x < 0 || y < 0 || x >= b->width || y >= b->height) return;
    b->SetRaw(x, y, b->RawOfRgb(c & 0xFFFFFF));
}

BYTE* BitmapRow(HBITMAP h, int y) {
    auto b = GetBitmap(h);
    if (!b || y < 0 || y >= b->height || b->bits.empty()) return nullptr;
    return b->Row(y);
}

}  // namespace gdi
