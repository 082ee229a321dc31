// The handle table, device contexts (with their clipping, viewport origin and saved states), object
// selection, stock objects, the halftone colour table, device capabilities, system colours,
// rectangles, global memory and MulDiv.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/gdiobj.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

namespace gdi::detail {
namespace {

struct Table {
    std::mutex mu;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> objects;
    std::uintptr_t next = 0x10000;
};

Table& table() {
    static Table* t = new Table;  // never destroyed: objects may be released during static teardown
    return *t;
}

}  // namespace

HGDIOBJ Add(std::shared_ptr<Object> obj) {
    Table& t = table();
    std::lock_guard lk(t.mu);
    t.next += 4;
    t.objects.emplace(t.next, std::move(obj));
    return reinterpret_cast<HGDIOBJ>(t.next);
}

std::shared_ptr<Object> Find(HGDIOBJ h) {
    if (!h) return nullptr;
    Table& t = table();
    std::lock_guard lk(t.mu);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == t.objects.end()) return nullptr;
    return it->second;
}

bool Remove(HGDIOBJ h) {
    std::shared_ptr<Object> keep;  // destroyed outside the lock
    Table& t = table();
    std::lock_guard lk(t.mu);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == t.objects.end()) return false;
    keep = std::move(it->second);
    t.objects.erase(it);
    return true;
}

std::size_t Count() {
    Table& t = table();
    std::lock_guard lk(t.mu);
    return t.objects.size();
}

int StrideOf(int w, int bpp) { return ((w * bpp + 31) / 32) * 4; }

std::shared_ptr<Bitmap> MakeBitmap(int w, int h, int bpp, bool bottomUp) {
    auto b = std::make_shared<Bitmap>();
    b->width = w;
    b->height = h;
    b->bpp = bpp;
    b->stride = StrideOf(w, bpp);
    b->bottomUp = bottomUp;
    b->bits.assign(static_cast<std::size_t>(b->stride) * h, 0);
    b->createdHeight = bottomUp ? h : -h;
    if (bpp == 1) {
        b->colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    } else if (bpp == 4) {
        b->colors.assign(Vga16Colors(), Vga16Colors() + 16);
    } else if (bpp == 8) {
        b->colors.resize(256);
        HalftoneColors(b->colors.data());
    }
    return b;
}

std::uint32_t Bitmap::Raw(int x, int y) const {
    const std::uint8_t* r = Row(y);
    switch (bpp) {
        case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
        case 4: return (x & 1) ? (r[x >> 1] & 0x0F) : (r[x >> 1] >> 4);
        case 8: return r[x];
        case 16: return static_cast<std::uint32_t>(r[2 * x] | (r[2 * x + 1] << 8));
        case 24: return static_cast<std::uint32_t>(r[3 * x] | (r[3 * x + 1] << 8) | (r[3 * x + 2] << 16));
        default: {
            std::uint32_t v;
            std::memcpy(&v, r + 4 * x, 4);
            return v;
        }
    }
}

void Bitmap::SetRaw(int x, int y, std::uint32_t v) {
    std::uint8_t* r = Row(y);
    switch (bpp) {
        case 1: {
            std::uint8_t m = static_cast<std::uint8_t>(0x80 >> (x & 7));
            if (v & 1) r[x >> 3] |= m; else r[x >> 3] &= static_cast<std::uint8_t>(~m);
            break;
        }
        case 4:
            if (x & 1) r[x >> 1] = static_cast<std::uint8_t>((r[x >> 1] & 0xF0) | (v & 0x0F));
            else r[x >> 1] = static_cast<std::uint8_t>((r[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
            break;
        case 8: r[x] = static_cast<std::uint8_t>(v); break;
        case 16: r[2 * x] = static_cast<std::uint8_t>(v); r[2 * x + 1] = static_cast<std::uint8_t>(v >> 8); break;
        case 24:
            r[3 * x] = static_cast<std::uint8_t>(v);
            r[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            r[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
            break;
        default: std::memcpy(r + 4 * x, &v, 4); break;
    }
}

COLORREF Bitmap::RgbOfRaw(std::uint32_t v) const {
    switch (bpp) {
        case 1: case 4: case 8: {
            if (v >= colors.size()) return 0;
            const RGBQUAD& q = colors[v];
            return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        case 16: {
            unsigned r, g, b;
            if (rgb565) {
                r = (v >> 11) & 31; g = (v >> 5) & 63; b = v & 31;
                return RGB(static_cast<BYTE>((r << 3) | (r >> 2)), static_cast<BYTE>((g << 2) | (g >> 4)),
                           static_cast<BYTE>((b << 3) | (b >> 2)));
            }
            r = (v >> 10) & 31; g = (v >> 5) & 31; b = v & 31;
            return RGB(static_cast<BYTE>((r << 3) | (r >> 2)), static_cast<BYTE>((g << 3) | (g >> 2)),
                       static_cast<BYTE>((b << 3) | (b >> 2)));
        }
        default:
            return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
    }
}

std::uint32_t Bitmap::RawOfRgb(COLORREF c) const {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (bpp) {
        case 1: case 4: case 8: {
            std::uint32_t best = 0;
            long bestD = LONG_MAX;
            for (std::size_t i = 0; i < colors.size(); ++i) {
                long dr = r - colors[i].rgbRed, dg = g - colors[i].rgbGreen, db = b - colors[i].rgbBlue;
                long d = dr * dr + dg * dg + db * db;
                if (d < bestD) {
                    bestD = d;
                    best = static_cast<std::uint32_t>(i);
                    if (d == 0) break;
                }
            }
            return best;
        }
        case 16:
            if (rgb565) return static_cast<std::uint32_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
            return static_cast<std::uint32_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        default: return static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
    }
}

namespace {
const PALETTEENTRY kDefaultPalette[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};
const RGBQUAD kVga16[16] = {
    {0, 0, 0, 0},     {0, 0, 128, 0},     {0, 128, 0, 0},   {0, 128, 128, 0}, {128, 0, 0, 0},   {128, 0, 128, 0},
    {128, 128, 0, 0}, {192, 192, 192, 0}, {128, 128, 128, 0}, {0, 0, 255, 0}, {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},   {255, 0, 255, 0},   {255, 255, 0, 0}, {255, 255, 255, 0},
};
}  // namespace

const PALETTEENTRY* DefaultPaletteEntries() { return kDefaultPalette; }
const RGBQUAD* Vga16Colors() { return kVga16; }

COLORREF ResolveColor(const DC& dc, COLORREF c) {
    DWORD kind = c >> 24;
    if (kind == 0) return c & 0xFFFFFF;
    auto pal = GetPalette(dc.palette);
    if (kind == 1) {
        WORD i = static_cast<WORD>(c & 0xFFFF);
        if (pal && i < pal->entries.size()) {
            const auto& e = pal->entries[i];
            return RGB(e.peRed, e.peGreen, e.peBlue);
        }
        if (!pal && i < 20) return RGB(kDefaultPalette[i].peRed, kDefaultPalette[i].peGreen, kDefaultPalette[i].peBlue);
        return 0;
    }
    return c & 0xFFFFFF;
}

bool InClip(const DC& dc, int x, int y) {
    if (!dc.clip) return true;
    for (const Band& b : *dc.clip) {
        if (y < b.top) return false;
        if (y >= b.bottom) continue;
        for (auto [l, r] : b.spans)
            if (x >= l && x < r) return true;
        return false;
    }
    return false;
}

std::shared_ptr<Bitmap> Target(DC& dc) {
    if (dc.window) {
        HBITMAP s = gdi::GetWindowSurface(dc.window);
        return GetBitmap(s);
    }
    auto b = GetBitmap(dc.bitmap);
    if (!b || b->stock) return nullptr;
    return b;
}

void FillDevice(DC& dc, RECT r, COLORREF c) {
    auto bmp = Target(dc);
    if (!bmp) return;
    std::uint32_t v = bmp->RawOfRgb(c);
    ForEachSpan(dc, *bmp, r, [&](int y, int x0, int x1) {
        if (bmp->bpp == 32) {
            std::uint32_t* p = reinterpret_cast<std::uint32_t*>(bmp->Row(y));
            std::fill(p + x0, p + x1, v);
        } else {
            for (int x = x0; x < x1; ++x) bmp->SetRaw(x, y, v);
        }
    });
}

void PlotDevice(DC& dc, Bitmap& bmp, int x, int y, COLORREF c) {
    if (x < 0 || y < 0 || x >= bmp.width || y >= bmp.height) return;
    if (!InClip(dc, x, y)) return;
    bmp.SetRaw(x, y, bmp.RawOfRgb(c));
}

}  // namespace gdi::detail

using namespace gdi::detail;

namespace {

HGDIOBJ MakeStock(std::shared_ptr<Object> o) {
    o->stock = true;
    return Add(std::move(o));
}

struct Stock {
    HGDIOBJ objs[20] = {};
    HBITMAP bitmap1x1 = nullptr;
    HBRUSH sysBrushes[kSysColorCount] = {};
    Stock() {
        auto brush = [](COLORREF c, bool hollow) {
            auto b = std::make_shared<Brush>();
            b->color = c;
            b->hollow = hollow;
            return MakeStock(b);
        };
        objs[WHITE_BRUSH] = brush(RGB(255, 255, 255), false);
        objs[LTGRAY_BRUSH] = brush(RGB(192, 192, 192), false);
        objs[GRAY_BRUSH] = brush(RGB(128, 128, 128), false);
        objs[DKGRAY_BRUSH] = brush(RGB(64, 64, 64), false);
        objs[BLACK_BRUSH] = brush(RGB(0, 0, 0), false);
        objs[NULL_BRUSH] = brush(0, true);
        auto pen = [](COLORREF c, int style) {
            auto p = std::make_shared<Pen>();
            p->color = c;
            p->style = style;
            return MakeStock(p);
        };
        objs[WHITE_PEN] = pen(RGB(255, 255, 255), PS_SOLID);
        objs[BLACK_PEN] = pen(0, PS_SOLID);
        objs[NULL_PEN] = pen(0, PS_NULL);
        auto font = [](const char* face, LONG height, LONG weight) {
            auto f = std::make_shared<Font>();
            std::snprintf(f->lf.lfFaceName, LF_FACESIZE, "%s", face);
            f->lf.lfHeight = height;
            f->lf.lfWeight = weight;
            return MakeStock(f);
        };
        objs[SYSTEM_FONT] = font("MS Sans Serif", -13, FW_BOLD);
        objs[DEFAULT_GUI_FONT] = font("MS Sans Serif", -11, FW_NORMAL);
        auto pal = std::make_shared<Palette>();
        pal->entries.assign(DefaultPaletteEntries(), DefaultPaletteEntries() + 20);
        objs[DEFAULT_PALETTE] = MakeStock(pal);
        auto bmp = MakeBitmap(1, 1, 1, false);
        bmp->monoDevice = true;
        bitmap1x1 = reinterpret_cast<HBITMAP>(MakeStock(bmp));
        for (int i = 0; i < kSysColorCount; ++i)
            sysBrushes[i] = reinterpret_cast<HBRUSH>(brush(GetSysColor(i), false));
    }
};

Stock& stock() {
    static Stock* s = new Stock;
    return *s;
}

void InitDC(DC& dc) {
    Stock& s = stock();
    dc.bitmap = s.bitmap1x1;
    dc.brush = reinterpret_cast<HBRUSH>(s.objs[WHITE_BRUSH]);
    dc.pen = reinterpret_cast<HPEN>(s.objs[BLACK_PEN]);
    dc.font = reinterpret_cast<HFONT>(s.objs[SYSTEM_FONT]);
    dc.palette = reinterpret_cast<HPALETTE>(s.objs[DEFAULT_PALETTE]);
}

bool Fail(DWORD err) {
    SetLastError(err);
    return false;
}

}  // namespace

HGDIOBJ GetStockObject(int which) {
    if (which < 0 || which >= 20) return nullptr;
    return stock().objs[which];
}

HDC CreateCompatibleDC(HDC) {
    auto dc = std::make_shared<DC>();
    InitDC(*dc);
    return reinterpret_cast<HDC>(Add(dc));
}

BOOL DeleteDC(HDC h) {
    auto dc = GetDCObj(h);
    if (!dc) return Fail(ERROR_INVALID_HANDLE);
    if (auto b = GetBitmap(dc->bitmap)) b->selectedInto = nullptr;
    Remove(ToGdiObj(h));
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    auto dc = std::make_shared<DC>();
    InitDC(*dc);
    if (hwnd) {
        if (!IsWindow(hwnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        dc->window = hwnd;
    } else {
        dc->screen = true;
    }
    return reinterpret_cast<HDC>(Add(dc));
}

int ReleaseDC(HWND, HDC dc) { return DeleteDC(dc) ? 1 : 0; }

HGDIOBJ SelectObject(HDC h, HGDIOBJ obj) {
    auto dc = GetDCObj(h);
    auto o = Find(obj);
    if (!dc || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    switch (o->kind) {
        case Kind::Bitmap: {
            auto b = std::static_pointer_cast<Bitmap>(o);
            if (dc->window || dc->screen) return nullptr;
            if (b->selectedInto && b->selectedInto != h && !b->stock) return nullptr;
            HBITMAP old = dc->bitmap;
            if (auto ob = GetBitmap(old)) ob->selectedInto = nullptr;
            if (!b->stock) b->selectedInto = h;
            dc->bitmap = reinterpret_cast<HBITMAP>(obj);
            return ToGdiObj(old);
        }
        case Kind::Brush: return ToGdiObj(std::exchange(dc->brush, reinterpret_cast<HBRUSH>(obj)));
        case Kind::Pen: return ToGdiObj(std::exchange(dc->pen, reinterpret_cast<HPEN>(obj)));
        case Kind::Font: return ToGdiObj(std::exchange(dc->font, reinterpret_cast<HFONT>(obj)));
        case Kind::Region: {
            int t = SelectClipRgn(h, reinterpret_cast<HRGN>(obj));
            return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(t));
        }
        default: return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ h) {
    auto o = Find(h);
    if (!o) return Fail(ERROR_INVALID_HANDLE);
    if (o->stock) return FALSE;
    if (o->kind == Kind::DC) return FALSE;
    if (o->kind == Kind::Bitmap && std::static_pointer_cast<Bitmap>(o)->selectedInto) return FALSE;
    Remove(h);
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ h) {
    auto o = Find(h);
    if (!o) return 0;
    switch (o->kind) {
        case Kind::DC: return std::static_pointer_cast<DC>(o)->window || std::static_pointer_cast<DC>(o)->screen ? OBJ_DC : OBJ_MEMDC;
        case Kind::Bitmap: return OBJ_BITMAP;
        case Kind::Palette: return OBJ_PAL;
        case Kind::Region: return OBJ_REGION;
        case Kind::Brush: return OBJ_BRUSH;
        case Kind::Pen: return OBJ_PEN;
        case Kind::Font: return OBJ_FONT;
        default: return 0;
    }
}

HGDIOBJ GetCurrentObject(HDC h, UINT type) {
    auto dc = GetDCObj(h);
    if (!dc) return nullptr;
    switch (type) {
        case OBJ_BITMAP: return ToGdiObj(dc->bitmap);
        case OBJ_BRUSH: return ToGdiObj(dc->brush);
        case OBJ_PEN: return ToGdiObj(dc->pen);
        case OBJ_FONT: return ToGdiObj(dc->font);
        case OBJ_PAL: return ToGdiObj(dc->palette);
        default: return nullptr;
    }
}

int GetObjectA(HGDIOBJ h, int size, void* out) {
    auto o = Find(h);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto put = [&](const void* src, int n) {
        if (!out) return n;
        int k = std::min(n, size);
        if (k <= 0) return 0;
        std::memcpy(out, src, static_cast<std::size_t>(k));
        return k;
    };
    switch (o->kind) {
        case Kind::Bitmap: {
            auto b = std::static_pointer_cast<Bitmap>(o);
            DIBSECTION ds{};
            ds.dsBm.bmWidth = b->width;
            ds.dsBm.bmHeight = b->height;
            ds.dsBm.bmWidthBytes = b->stride;
            ds.dsBm.bmBitsPixel = static_cast<WORD>(b->bpp);
            ds.dsBm.bmBits = b->bits.empty() ? nullptr : b->bits.data();
            ds.dsBmih.biWidth = b->width;
            ds.dsBmih.biHeight = b->createdHeight;
            ds.dsBmih.biBitCount = static_cast<WORD>(b->bpp);
            ds.dsBmih.biSizeImage = static_cast<DWORD>(b->bits.size());
            ds.dsBmih.biClrUsed = static_cast<DWORD>(b->colors.size());
            if (b->bpp == 16 && b->rgb565) {
                ds.dsBmih.biCompression = BI_BITFIELDS;
                ds.dsBitfields[0] = 0xF800; ds.dsBitfields[1] = 0x07E0; ds.dsBitfields[2] = 0x001F;
            } else if (b->bpp == 16) {
                ds.dsBitfields[0] = 0x7C00; ds.dsBitfields[1] = 0x03E0; ds.dsBitfields[2] = 0x001F;
            } else if (b->bpp == 32 || b->bpp == 24) {
                ds.dsBitfields[0] = 0xFF0000; ds.dsBitfields[1] = 0xFF00; ds.dsBitfields[2] = 0xFF;
            }
            if (size >= static_cast<int>(sizeof(DIBSECTION)) || !out) return put(&ds, sizeof(DIBSECTION));
            return put(&ds.dsBm, sizeof(BITMAP));
        }
        case Kind::Palette: {
            WORD n = static_cast<WORD>(std::static_pointer_cast<Palette>(o)->entries.size());
            return put(&n, sizeof n);
        }
        case Kind::Brush: {
            auto b = std::static_pointer_cast<Brush>(o);
            LOGBRUSH lb;
            lb.lbStyle = b->hollow ? BS_NULL : BS_SOLID;
            lb.lbColor = b->color;
            return put(&lb, sizeof lb);
        }
        case Kind::Pen: {
            auto p = std::static_pointer_cast<Pen>(o);
            LOGPEN lp;
            lp.lopnStyle = static_cast<UINT>(p->style);
            lp.lopnWidth.x = p->width;
            lp.lopnColor = p->color;
            return put(&lp, sizeof lp);
        }
        case Kind::Font: return put(&std::static_pointer_cast<Font>(o)->lf, sizeof(LOGFONTA));
        default: SetLastError(ERROR_INVALID_HANDLE); return 0;
    }
}

int GetDeviceCaps(HDC h, int index) {
    auto dc = GetDCObj(h);
    if (!dc) return 0;
    switch (index) {
        case HORZRES: return kScreenWidth;
        case VERTRES: return kScreenHeight;
        case BITSPIXEL: return 32;
        case PLANES: return 1;
        case NUMCOLORS: return -1;
        case RASTERCAPS: return 0;  // no RC_PALETTE: a true-colour device
        case LOGPIXELSX: case LOGPIXELSY: return 96;
        case SIZEPALETTE: return 0;
        case NUMRESERVED: return 20;
        default: return 0;
    }
}

BOOL GdiFlush() { return TRUE; }

namespace {
const COLORREF kSysColors[kSysColorCount] = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // app workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3D dark shadow
    RGB(223, 223, 223),  // 3D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
};
}  // namespace

DWORD GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return kSysColors[index];
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    return stock().sysBrushes[index];
}

// ---- Rectangles ----
BOOL SetRect(RECT* r, int l, int t, int rr, int b) {
    if (!r) return FALSE;
    *r = RECT{l, t, rr, b};
    return TRUE;
}
BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }
BOOL CopyRect(RECT* d, const RECT* s) {
    if (!d || !s) return FALSE;
    *d = *s;
    return TRUE;
}
BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL PtInRect(const RECT* r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL OffsetRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx; r->right += dx; r->top += dy; r->bottom += dy;
    return TRUE;
}
BOOL InflateRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx; r->right += dx; r->top -= dy; r->bottom += dy;
    return TRUE;
}
BOOL IntersectRect(RECT* d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *d = RECT{};
        return FALSE;
    }
    *d = r;
    return TRUE;
}
BOOL UnionRect(RECT* d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    bool ea = IsRectEmpty(a), eb = IsRectEmpty(b);
    if (ea && eb) {
        *d = RECT{};
        return FALSE;
    }
    if (ea) { *d = *b; return TRUE; }
    if (eb) { *d = *a; return TRUE; }
    *d = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
              std::max(a->bottom, b->bottom)};
    return TRUE;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

// ---- Global memory ----
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    auto g = std::make_shared<Global>();
    try {
        g->data.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    g->flags = flags;
    return reinterpret_cast<HGLOBAL>(Add(g));
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT) {
    auto g = FindAs<Global>(ToGdiObj(mem), Kind::Global);
    if (!g) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    try {
        g->data.resize(bytes, 0);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return mem;
}

void* GlobalLock(HGLOBAL mem) {
    auto g = FindAs<Global>(ToGdiObj(mem), Kind::Global);
    if (!g) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++g->locks;
    return g->data.empty() ? static_cast<void*>(g.get()) : g->data.data();
}

BOOL GlobalUnlock(HGLOBAL mem) {
    auto g = FindAs<Global>(ToGdiObj(mem), Kind::Global);
    if (!g) return Fail(ERROR_INVALID_HANDLE);
    if (g->locks > 0) --g->locks;
    return g->locks > 0;
}

std::size_t GlobalSize(HGLOBAL mem) {
    auto g = FindAs<Global>(ToGdiObj(mem), Kind::Global);
    return g ? g->data.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    auto g = FindAs<Global>(ToGdiObj(mem), Kind::Global);
    if (!g) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    Remove(ToGdiObj(mem));
    return nullptr;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long p = static_cast<long long>(a) * b;
    long long q = p / c, r = p % c;
    // Round half away from zero.
    if (2 * std::llabs(r) >= std::llabs(static_cast<long long>(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
    if (q > INT_MAX || q < INT_MIN) return -1;
    return static_cast<int>(q);
}

namespace gdi {
HBITMAP CurrentBitmap(HDC h) {
    auto dc = GetDCObj(h);
    if (!dc) return nullptr;
    auto b = GetBitmap(dc->bitmap);
    if (!b || b->stock) return nullptr;
    return dc->bitmap;
}
std::size_t LiveObjectCount() { return gdi::detail::Count(); }
}  // namespace gdi

// ---- Clipping and origin ----
int SelectClipRgn(HDC h, HRGN hr) {
    auto dc = GetDCObj(h);
    if (!dc) return ERROR;
    if (!hr) {
        dc->clip.reset();
        return SIMPLEREGION;
    }
    auto rg = GetRegion(hr);
    if (!rg) return ERROR;
    dc->clip = rg->bands;
    Region tmp;
    tmp.bands = rg->bands;
    return tmp.Type();
}

int IntersectClipRect(HDC h, int l, int t, int r, int b) {
    auto dc = GetDCObj(h);
    if (!dc) return ERROR;
    Region rr;
    rr.SetRects({RECT{l + dc->org.x, t + dc->org.y, r + dc->org.x, b + dc->org.y}});
    if (dc->clip) dc->clip = Combine(*dc->clip, rr.bands, RGN_AND);
    else dc->clip = rr.bands;
    Region tmp;
    tmp.bands = *dc->clip;
    return tmp.Type();
}

int GetClipBox(HDC h, RECT* r) {
    auto dc = GetDCObj(h);
    if (!dc || !r) return ERROR;
    auto b = Target(*dc);
    RECT full{0, 0, b ? b->width : 0, b ? b->height : 0};
    if (dc->screen) full = RECT{0, 0, kScreenWidth, kScreenHeight};
    int type = SIMPLEREGION;
    if (dc->clip) {
        Region tmp;
        tmp.bands = *dc->clip;
        RECT box = tmp.Box();
        IntersectRect(&full, &full, &box);
        type = tmp.Type();
    }
    OffsetRect(&full, -dc->org.x, -dc->org.y);
    *r = full;
    return IsRectEmpty(&full) ? NULLREGION : type;
}

BOOL SetViewportOrgEx(HDC h, int x, int y, POINT* old) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    if (old) *old = dc->org;
    dc->org = POINT{x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC h, POINT* out) {
    auto dc = GetDCObj(h);
    if (!dc || !out) return FALSE;
    *out = dc->org;
    return TRUE;
}

int SaveDC(HDC h) {
    auto dc = GetDCObj(h);
    if (!dc) return 0;
    dc->saved.push_back(DC::Saved{dc->brush, dc->pen, dc->font, dc->palette, dc->textColor, dc->bkColor, dc->bkMode,
                                  dc->stretchMode, dc->clip, dc->org, dc->penPos});
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC h, int n) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    int count = static_cast<int>(dc->saved.size());
    if (n < 0) n = count + 1 + n;
    if (n < 1 || n > count) return FALSE;
    DC::Saved s = dc->saved[static_cast<std::size_t>(n - 1)];
    dc->saved.resize(static_cast<std::size_t>(n - 1));
    dc->brush = s.brush; dc->pen = s.pen; dc->font = s.font; dc->palette = s.palette;
    dc->textColor = s.textColor; dc->bkColor = s.bkColor; dc->bkMode = s.bkMode; dc->stretchMode = s.stretchMode;
    dc->clip = s.clip; dc->org = s.org; dc->penPos = s.penPos;
    return TRUE;
}

namespace gdi {

void HalftoneColors(RGBQUAD out[256]) {
    const PALETTEENTRY* d = DefaultPaletteEntries();
    for (int i = 0; i < 10; ++i) out[i] = RGBQUAD{d[i].peBlue, d[i].peGreen, d[i].peRed, 0};
    for (int i = 0; i < 10; ++i) out[246 + i] = RGBQUAD{d[10 + i].peBlue, d[10 + i].peGreen, d[10 + i].peRed, 0};
    for (int i = 0; i < 216; ++i) {
        BYTE r = static_cast<BYTE>((i / 36) * 51), g = static_cast<BYTE>(((i / 6) % 6) * 51),
             b = static_cast<BYTE>((i % 6) * 51);
        out[10 + i] = RGBQUAD{b, g, r, 0};
    }
    for (int i = 0; i < 20; ++i) {
        BYTE v = static_cast<BYTE>(8 + i * 12);
        out[226 + i] = RGBQUAD{v, v, v, 0};
    }
}

}  // namespace gdi
