// TGraphic, the base of every picture class, and TBitmap with its canvas.
#include "platform/classlib/graphics.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/streamdata.h"
#include "platform/gdi/bmpcodec.h"

// ---- TGraphic ------------------------------------------------------------------------------------
TGraphic::TGraphic() = default;
TGraphic::~TGraphic() = default;

void TGraphic::LoadFromFile(const std::string& FileName) {
    TFileStream s(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&s);
}

void TGraphic::SaveToFile(const std::string& FileName) {
    TFileStream s(FileName, fmCreate);
    SaveToStream(&s);
}

void TGraphic::SetTransparent(bool t) {
    if (t == FTransparent) return;
    FTransparent = t;
    Changed(this);
}

bool TGraphic::Equals(TGraphic* Other) {
    if (!Other || typeid(*Other) != typeid(*this)) return false;
    if (Empty() || Other->Empty()) return Empty() == Other->Empty();
    TMemoryStream a, b;
    SaveToStream(&a);
    Other->SaveToStream(&b);
    return a.Data() == b.Data();
}

void TGraphic::SetModified(bool m) {
    if (m) Changed(this);
    else FModified = false;
}

void TGraphic::Changed(TObject*) {
    FModified = true;
    if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, BYTE PercentDone, bool RedrawNow, const RECT& R,
                        const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

namespace graphics_detail {

void DrawMasked(HDC dst, const RECT& R, HDC src, int srcWidth, int srcHeight, HBITMAP mask) {
    const int w = R.right - R.left, h = R.bottom - R.top;
    if (w == srcWidth && h == srcHeight) {
        MaskBlt(dst, R.left, R.top, w, h, src, 0, 0, mask, 0, 0, MAKEROP4(ROP_DSTCOPY, SRCCOPY));
        return;
    }
    if (w == 0 || h == 0) return;
    // Stretch picture and mask first, then one masked copy.
    const int aw = std::abs(w), ah = std::abs(h);
    const int sx = w < 0 ? srcWidth : 0, sy = h < 0 ? srcHeight : 0;
    const int sw = w < 0 ? -srcWidth : srcWidth, sh = h < 0 ? -srcHeight : srcHeight;
    HBITMAP sp = CreateCompatibleBitmap(nullptr, aw, ah);
    HBITMAP sm = CreateBitmap(aw, ah, 1, 1, nullptr);
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr), m = CreateCompatibleDC(nullptr);
    HGDIOBJ oa = SelectObject(a, ToGdiObj(sp)), ob = SelectObject(b, ToGdiObj(sm)), om = SelectObject(m, ToGdiObj(mask));
    StretchBlt(a, 0, 0, aw, ah, src, sx, sy, sw, sh, SRCCOPY);
    StretchBlt(b, 0, 0, aw, ah, m, sx, sy, sw, sh, SRCCOPY);
    SelectObject(b, ob);
    MaskBlt(dst, std::min(R.left, R.right), std::min(R.top, R.bottom), aw, ah, a, 0, 0, sm, 0, 0,
            MAKEROP4(ROP_DSTCOPY, SRCCOPY));
    SelectObject(a, oa);
    SelectObject(m, om);
    DeleteDC(a);
    DeleteDC(b);
    DeleteDC(m);
    DeleteObject(ToGdiObj(sp));
    DeleteObject(ToGdiObj(sm));
}

}  // namespace graphics_detail

// ---- TBitmap -------------------------------------------------------------------------------------
namespace {

int BppOf(TPixelFormat pf) {
    switch (pf) {
        case pf1bit: return 1;
        case pf4bit: return 4;
        case pf8bit: return 8;
        case pf15bit: case pf16bit: return 16;
        case pf24bit: return 24;
        default: return 32;
    }
}

// A blank top-down bitmap, white.
HBITMAP NewBlank(int w, int h, int bpp, bool rgb565, const RGBQUAD* colors, int ncolors) {
    std::vector<std::uint8_t> buf(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD) + 12, 0);
    auto* bi = reinterpret_cast<BITMAPINFO*>(buf.data());
    bi->bmiHeader.biSize = 40;
    bi->bmiHeader.biPlanes = 1;
    bi->bmiHeader.biWidth = w;
    bi->bmiHeader.biHeight = -h;
    bi->bmiHeader.biBitCount = static_cast<WORD>(bpp);
    bi->bmiHeader.biCompression = rgb565 ? BI_BITFIELDS : BI_RGB;
    if (rgb565) {
        DWORD m[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(bi->bmiColors, m, sizeof m);
    } else if (bpp <= 8) {
        std::vector<RGBQUAD> table;
        if (colors && ncolors > 0) {
            table.assign(colors, colors + std::min(ncolors, 1 << bpp));
        } else if (bpp == 1) {
            table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        } else {
            // The GDI's default tables: take them from a throwaway conversion of nothing.
            HBITMAP probe = CreateBitmap(1, 1, 1, static_cast<UINT>(bpp), nullptr);
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(dc, ToGdiObj(probe));
            table.resize(static_cast<std::size_t>(1) << bpp);
            GetDIBColorTable(dc, 0, static_cast<UINT>(table.size()), table.data());
            SelectObject(dc, old);
            DeleteDC(dc);
            DeleteObject(ToGdiObj(probe));
        }
        bi->bmiHeader.biClrUsed = static_cast<DWORD>(table.size());
        std::memcpy(bi->bmiColors, table.data(), table.size() * sizeof(RGBQUAD));
    }
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!b) throw EOutOfResources("Out of system resources");
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ToGdiObj(b));
    PatBlt(dc, 0, 0, w, h, WHITENESS);
    SelectObject(dc, old);
    DeleteDC(dc);
    return b;
}

std::vector<RGBQUAD> PaletteColors(HPALETTE pal) {
    std::vector<RGBQUAD> out;
    UINT n = GetPaletteEntries(pal, 0, 0, nullptr);
    std::vector<PALETTEENTRY> e(n);
    GetPaletteEntries(pal, 0, n, e.data());
    for (auto& p : e) out.push_back(RGBQUAD{p.peBlue, p.peGreen, p.peRed, 0});
    return out;
}

std::vector<RGBQUAD> ColorTableOf(HBITMAP b) {
    std::vector<RGBQUAD> out(256);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ToGdiObj(b));
    UINT n = old ? GetDIBColorTable(dc, 0, 256, out.data()) : 0;
    // A bitmap selected elsewhere: read the table through GetDIBits.
    if (!old) {
        std::vector<std::uint8_t> buf(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD) + 12, 0);
        auto* bi = reinterpret_cast<BITMAPINFO*>(buf.data());
        GetDIBits(nullptr, b, 0, 0, nullptr, bi, DIB_RGB_COLORS);
        n = bi->bmiHeader.biBitCount <= 8 ? (1u << bi->bmiHeader.biBitCount) : 0;
        std::memcpy(out.data(), bi->bmiColors, n * sizeof(RGBQUAD));
    } else {
        SelectObject(dc, old);
    }
    DeleteDC(dc);
    out.resize(n);
    return out;
}

}  // namespace

TBitmapCanvas::~TBitmapCanvas() { Release(); }

void TBitmapCanvas::CreateHandle() {
    HDC dc = CreateCompatibleDC(nullptr);
    if (FBitmap && FBitmap->FHandle) FOldBitmap = reinterpret_cast<HBITMAP>(SelectObject(dc, ToGdiObj(FBitmap->FHandle)));
    SetHandle(dc);
}

void TBitmapCanvas::Release() {
    HDC dc = HandleAllocated() ? Handle() : nullptr;
    if (!dc) return;
    FreeHandle();
    if (FOldBitmap) SelectObject(dc, ToGdiObj(FOldBitmap));
    FOldBitmap = nullptr;
    DeleteDC(dc);
}

void TBitmapCanvas::Changed() {
    if (FBitmap) FBitmap->Changed(FBitmap);
    TCanvas::Changed();
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
    FCanvas.reset();
    if (FHandle) DeleteObject(ToGdiObj(FHandle));
    if (FPalette) DeleteObject(ToGdiObj(FPalette));
}

void TBitmap::ReleaseCanvasDC() {
    if (FCanvas) FCanvas->Release();
}

void TBitmap::DropPaletteCache() {
    if (FPalette && !FPaletteSet) {
        DeleteObject(ToGdiObj(FPalette));
        FPalette = nullptr;
    }
}

TBitmapCanvas* TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
    return FCanvas.get();
}

int TBitmap::BitsPerPixel() const { return BppOf(FPixelFormat); }

void TBitmap::NewImage(int w, int h, int bpp, const RGBQUAD* colors, int ncolors) {
    ReleaseCanvasDC();
    HBITMAP nb = (w > 0 && h > 0) ? NewBlank(w, h, bpp, FPixelFormat == pf16bit, colors, ncolors) : nullptr;
    if (FHandle) DeleteObject(ToGdiObj(FHandle));
    FHandle = nb;
    FWidth = w;
    FHeight = h;
}

void TBitmap::Resize(int w, int h) {
    w = std::max(0, w);
    h = std::max(0, h);
    if (w == FWidth && h == FHeight) return;
    ReleaseCanvasDC();
    std::vector<RGBQUAD> table;
    if (FHandle && BitsPerPixel() <= 8) table = ColorTableOf(FHandle);
    else if (FPaletteSet && FPalette && BitsPerPixel() <= 8) table = PaletteColors(FPalette);
    HBITMAP old = FHandle;
    FHandle = nullptr;
    HBITMAP nb = (w > 0 && h > 0) ? NewBlank(w, h, BitsPerPixel(), FPixelFormat == pf16bit, table.empty() ? nullptr : table.data(),
                                             static_cast<int>(table.size()))
                                  : nullptr;
    if (old && nb) {
        HDC s = CreateCompatibleDC(nullptr), d = CreateCompatibleDC(nullptr);
        HGDIOBJ os = SelectObject(s, ToGdiObj(old)), od = SelectObject(d, ToGdiObj(nb));
        BitBlt(d, 0, 0, std::min(w, FWidth), std::min(h, FHeight), s, 0, 0, SRCCOPY);
        SelectObject(s, os);
        SelectObject(d, od);
        DeleteDC(s);
        DeleteDC(d);
    }
    if (old) DeleteObject(ToGdiObj(old));
    FHandle = nb;
    FWidth = w;
    FHeight = h;
    Changed(this);
}

void TBitmap::SetWidth(int w) { Resize(w, FHeight); }
void TBitmap::SetHeight(int h) { Resize(FWidth, h); }
void TBitmap::SetSize(int w, int h) { Resize(w, h); }

HBITMAP TBitmap::Handle() { return FHandle; }

void TBitmap::SetHandle(HBITMAP h) {
    if (h == FHandle) return;
    ReleaseCanvasDC();
    if (FHandle) DeleteObject(ToGdiObj(FHandle));
    FHandle = nullptr;
    FWidth = FHeight = 0;
    DropPaletteCache();
    if (h) {
        DIBSECTION ds{};
        if (GetObjectA(ToGdiObj(h), sizeof ds, &ds) == 0) throw EInvalidGraphic("Invalid bitmap handle");
        FHandle = h;
        FWidth = ds.dsBm.bmWidth;
        FHeight = ds.dsBm.bmHeight;
        switch (ds.dsBm.bmBitsPixel) {
            case 1: FPixelFormat = pf1bit; break;
            case 4: FPixelFormat = pf4bit; break;
            case 8: FPixelFormat = pf8bit; break;
            case 16: FPixelFormat = ds.dsBmih.biCompression == BI_BITFIELDS ? pf16bit : pf15bit; break;
            case 24: FPixelFormat = pf24bit; break;
            default: FPixelFormat = pf32bit; break;
        }
        if (FPaletteSet && FPalette && BitsPerPixel() <= 8) SetPalette(std::exchange(FPalette, nullptr));
    }
    Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
    ReleaseCanvasDC();
    HBITMAP h = FHandle;
    FHandle = nullptr;
    FWidth = FHeight = 0;
    return h;
}

TBitmapHandleType TBitmap::HandleType() const { return FPixelFormat == pfDevice ? bmDDB : bmDIB; }

void TBitmap::SetHandleType(TBitmapHandleType t) {
    if (t == HandleType()) return;
    SetPixelFormat(t == bmDDB ? pfDevice : pf32bit);
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
    if (pf == pfCustom) throw EInvalidGraphic("Invalid pixel format");
    if (pf == FPixelFormat) return;
    int oldBpp = BitsPerPixel();
    int bpp = BppOf(pf);
    bool was565 = FPixelFormat == pf16bit;
    FPixelFormat = pf;
    if (!FHandle) {
        DropPaletteCache();
        return;
    }
    if (bpp == oldBpp && (bpp != 16 || was565 == (pf == pf16bit))) {
        Changed(this);
        return;
    }
    std::vector<RGBQUAD> table;
    if (bpp <= 8 && FPaletteSet && FPalette) table = PaletteColors(FPalette);
    // A deeper palette format keeps the DIB's own colours (a handle from a reader or the BMP
    // codec brings its table without a palette set): every pixel finds its colour again.
    else if (bpp <= 8 && oldBpp < bpp) table = ColorTableOf(FHandle);
    ReleaseCanvasDC();
    HBITMAP nb = gdi::ConvertBitmap(FHandle, bpp, table.empty() ? nullptr : table.data(), static_cast<int>(table.size()),
                                    pf == pf16bit);
    if (!nb) throw EOutOfResources("Out of system resources");
    DeleteObject(ToGdiObj(FHandle));
    FHandle = nb;
    DropPaletteCache();
    Changed(this);
}

bool TBitmap::Monochrome() const { return BitsPerPixel() == 1; }

void TBitmap::SetMonochrome(bool m) {
    if (m) SetPixelFormat(pf1bit);
    else if (Monochrome()) SetPixelFormat(pfDevice);
}

HPALETTE TBitmap::Palette() {
    if (!FPalette && FHandle && BitsPerPixel() <= 8) {
        std::vector<RGBQUAD> t = ColorTableOf(FHandle);
        if (!t.empty()) {
            std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + t.size() * sizeof(PALETTEENTRY));
            auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
            lp->palVersion = 0x300;
            lp->palNumEntries = static_cast<WORD>(t.size());
            for (std::size_t i = 0; i < t.size(); ++i)
                lp->palPalEntry[i] = PALETTEENTRY{t[i].rgbRed, t[i].rgbGreen, t[i].rgbBlue, 0};
            FPalette = CreatePalette(lp);
        }
    }
    return FPalette;
}

void TBitmap::SetPalette(HPALETTE pal) {
    if (pal == FPalette) {
        FPaletteSet = pal != nullptr;
        return;
    }
    if (FPalette) DeleteObject(ToGdiObj(FPalette));
    FPalette = pal;
    FPaletteSet = pal != nullptr;
    if (pal && FHandle && BitsPerPixel() <= 8) {
        std::vector<RGBQUAD> t = PaletteColors(pal);
        t.resize(static_cast<std::size_t>(1) << BitsPerPixel());
        ReleaseCanvasDC();
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, ToGdiObj(FHandle));
        SetDIBColorTable(dc, 0, static_cast<UINT>(t.size()), t.data());
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    SetPaletteModified(true);
    Changed(this);
}

void TBitmap::SetTransparent(bool t) { TGraphic::SetTransparent(t); }

void* TBitmap::ScanLine(int Row) {
    if (Row < 0 || Row >= FHeight || !FHandle) throw EInvalidGraphicOperation("Scan line index out of range");
    return gdi::BitmapRow(FHandle, Row);
}

int TBitmap::ScanLineBytes() const { return ((FWidth * BitsPerPixel() + 31) / 32) * 4; }

TColor TBitmap::TransparentColor() {
    if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
    if (!FHandle) return clDefault;
    return static_cast<TColor>(gdi::BitmapPixel(FHandle, 0, FHeight - 1));
}

void TBitmap::SetTransparentColor(TColor c) {
    if (c == FTransparentColor && FTransparentMode == tmFixed) return;
    FTransparentColor = c;
    FTransparentMode = c == clDefault ? tmAuto : tmFixed;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode m) {
    if (m == FTransparentMode) return;
    if (m == tmAuto) SetTransparentColor(clDefault);
    else SetTransparentColor(TransparentColor());
}

HBITMAP TBitmap::CreateMask(TColor transparent) {
    HBITMAP mask = CreateBitmap(std::max(FWidth, 0), std::max(FHeight, 0), 1, 1, nullptr);
    if (!FHandle) return mask;
    COLORREF key = static_cast<COLORREF>(ColorToRGB(transparent)) & 0xFFFFFF;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x)
            gdi::SetBitmapPixel(mask, x, y, gdi::BitmapPixel(FHandle, x, y) == key ? RGB(255, 255, 255) : 0);
    return mask;
}

void TBitmap::Changed(TObject* Sender) { TGraphic::Changed(Sender); }

void TBitmap::Draw(TCanvas* ACanvas, const RECT& R) {
    if (!ACanvas || !FHandle) return;
    HDC dst = ACanvas->Handle();
    HDC src = Canvas()->Handle();
    int w = R.right - R.left, h = R.bottom - R.top;
    if (!Transparent()) {
        StretchBlt(dst, R.left, R.top, w, h, src, 0, 0, FWidth, FHeight, ACanvas->CopyMode);
        return;
    }
    HBITMAP mask = CreateMask(TransparentColor());
    graphics_detail::DrawMasked(dst, R, src, FWidth, FHeight, mask);
    DeleteObject(ToGdiObj(mask));
}

void TBitmap::LoadFromStream(TStream* Stream) {
    std::int64_t start = Stream->Position();
    std::size_t used = 0;
    std::string why;
    HBITMAP h = nullptr;
    try {
        const graphics_detail::StreamBytes data = graphics_detail::ReadRest(Stream);
        h = gdi::ReadBmp(data.data, data.size, true, &used, &why);
    } catch (const std::bad_alloc&) {
        Stream->SetPosition(start);
        throw EOutOfResources("Out of system resources");
    }
    if (!h) {
        Stream->SetPosition(start);
        throw EInvalidGraphic("Bitmap image is not valid (" + why + ")");
    }
    Stream->SetPosition(start + static_cast<std::int64_t>(used));
    if (FPalette) DeleteObject(ToGdiObj(FPalette));
    FPalette = nullptr;
    FPaletteSet = false;
    SetHandle(h);
}

void TBitmap::SaveToStream(TStream* Stream) {
    if (!FHandle) return;
    std::vector<std::uint8_t> bytes = gdi::WriteBmp(FHandle, true);
    Stream->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TBitmap::Assign(TPersistent* Source) {
    if (!Source) {
        ReleaseCanvasDC();
        if (FHandle) DeleteObject(ToGdiObj(FHandle));
        FHandle = nullptr;
        FWidth = FHeight = 0;
        Changed(this);
        return;
    }
    if (auto b = dynamic_cast<TBitmap*>(Source)) {
        if (b == this) return;
        ReleaseCanvasDC();
        HBITMAP copy = b->FHandle ? gdi::ConvertBitmap(b->FHandle, b->BitsPerPixel(), nullptr, 0, b->FPixelFormat == pf16bit) : nullptr;
        if (FHandle) DeleteObject(ToGdiObj(FHandle));
        if (FPalette) DeleteObject(ToGdiObj(FPalette));
        FPalette = nullptr;
        FPaletteSet = false;
        if (b->FPaletteSet && b->FPalette) {
            UINT n = GetPaletteEntries(b->FPalette, 0, 0, nullptr);
            std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
            auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
            lp->palNumEntries = static_cast<WORD>(n);
            GetPaletteEntries(b->FPalette, 0, n, lp->palPalEntry);
            FPalette = CreatePalette(lp);
            FPaletteSet = true;
        }
        FHandle = copy;
        FWidth = b->FWidth;
        FHeight = b->FHeight;
        FPixelFormat = b->FPixelFormat;
        FTransparent = b->FTransparent;
        FTransparentColor = b->FTransparentColor;
        FTransparentMode = b->FTransparentMode;
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}
