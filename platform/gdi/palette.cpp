// Logical palettes. The screen is true-colour, so selecting and realising only keep the palette for
// PALETTEINDEX colours.
#include <algorithm>
#include <climits>

#include "platform/gdi/gdiobj.h"
#include "platform/win/winbase.h"

using namespace gdi::detail;

HPALETTE CreatePalette(const LOGPALETTE* lp) {
    if (!lp || lp->palNumEntries == 0 || lp->palNumEntries > 256) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = std::make_shared<Palette>();
    p->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
    return reinterpret_cast<HPALETTE>(Add(p));
}

UINT GetPaletteEntries(HPALETTE h, UINT start, UINT count, PALETTEENTRY* out) {
    auto p = GetPalette(h);
    if (!p) return 0;
    UINT n = static_cast<UINT>(p->entries.size());
    if (!out) return n;
    if (start >= n) return 0;
    UINT k = std::min(count, n - start);
    std::copy_n(p->entries.begin() + start, k, out);
    return k;
}

UINT SetPaletteEntries(HPALETTE h, UINT start, UINT count, const PALETTEENTRY* in) {
    auto p = GetPalette(h);
    if (!p || !in || p->stock) return 0;
    UINT n = static_cast<UINT>(p->entries.size());
    if (start >= n) return 0;
    UINT k = std::min(count, n - start);
    std::copy_n(in, k, p->entries.begin() + start);
    return k;
}

BOOL ResizePalette(HPALETTE h, UINT count) {
    auto p = GetPalette(h);
    if (!p || p->stock || count == 0 || count > 1024) return FALSE;
    p->entries.resize(count);
    return TRUE;
}

UINT GetNearestPaletteIndex(HPALETTE h, COLORREF c) {
    auto p = GetPalette(h);
    if (!p || p->entries.empty()) return CLR_INVALID;
    UINT best = 0;
    long bestD = LONG_MAX;
    for (UINT i = 0; i < p->entries.size(); ++i) {
        const auto& e = p->entries[i];
        long dr = GetRValue(c) - e.peRed, dg = GetGValue(c) - e.peGreen, db = GetBValue(c) - e.peBlue;
        long d = dr * dr + dg * dg + db * db;
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

HPALETTE SelectPalette(HDC h, HPALETTE pal, BOOL) {
    auto dc = GetDCObj(h);
    if (!dc || !GetPalette(pal)) return nullptr;
    return std::exchange(dc->palette, pal);
}

UINT RealizePalette(HDC h) { return GetDCObj(h) ? 0u : 0xFFFFFFFFu; }

UINT GetSystemPaletteEntries(HDC, UINT start, UINT count, PALETTEENTRY* out) {
    const PALETTEENTRY* d = DefaultPaletteEntries();
    if (!out) return 20;
    if (start >= 20) return 0;
    UINT k = std::min<UINT>(count, 20 - start);
    std::copy_n(d + start, k, out);
    return k;
}
