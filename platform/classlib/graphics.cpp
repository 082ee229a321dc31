// The class library's graphics classes over our GDI.
#include "platform/classlib/graphics.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/classlib/jpeg.h"
#include "platform/gdi/bmpcodec.h"

// ---- Colours -------------------------------------------------------------------------------------
TColor ColorToRGB(TColor color) {
    if (color < 0) return static_cast<TColor>(GetSysColor(color & 0xFF));
    return color;
}

namespace {
struct ColorName {
    TColor value;
    const char* name;
};
const ColorName kColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"}, {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"}, {clMenu, "clMenu"}, {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"}, {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"}, {clActiveBorder, "clActiveBorder"}, {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"}, {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"}, {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"}, {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"}, {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"}, {clInfoBk, "clInfoBk"}, {clNone, "clNone"}, {clDefault, "clDefault"},
};
}  // namespace

std::string ColorToString(TColor color) {
    for (const auto& n : kColorNames)
        if (n.value == color) return n.name;
    return "$" + IntToHex(static_cast<std::uint32_t>(color), 8);
}

TColor StringToColor(const std::string& text) {
    for (const auto& n : kColorNames)
        if (SameText(n.name, text)) return n.value;
    int v;
    if (TryStrToInt(text, v)) return v;
    throw EConvertError(Format("'%s' is not a valid integer value", {text}));
}

// ---- Graphics objects ----------------------------------------------------------------------------
void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

TFont::TFont() = default;
TFont::~TFont() {
    if (FHandle) DeleteObject(ToGdiObj(FHandle));
}

void TFont::Assign(TPersistent* Source) {
    if (auto f = dynamic_cast<TFont*>(Source)) {
        FName = f->FName;
        FHeight = f->FHeight;
        PixelsPerInch = f->PixelsPerInch;
        FColor = f->FColor;
        FStyle = f->FStyle;
        FCharset = f->FCharset;
        FPitch = f->FPitch;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

void TFont::Changed() {
    if (FHandle) {
        DeleteObject(ToGdiObj(FHandle));
        FHandle = nullptr;
    }
    TGraphicsObject::Changed();
}

void TFont::SetName(const std::string& name) {
    if (name.empty() || name == FName) return;
    FName = name;
    Changed();
}

int TFont::Size() const { return -MulDiv(FHeight, 72, PixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, PixelsPerInch, 72)); }

void TFont::SetHeight(int pixels) {
    if (pixels == FHeight) return;
    FHeight = pixels;
    Changed();
}

void TFont::SetColor(TColor c) {
    if (c == FColor) return;
    FColor = c;
    // The colour is not part of the GDI font: keep the handle.
    TGraphicsObject::Changed();
}

void TFont::SetStyle(TFontStyles s) {
    if (s == FStyle) return;
    FStyle = s;
    Changed();
}

void TFont::SetCharset(BYTE cs) {
    if (cs == FCharset) return;
    FCharset = cs;
    Changed();
}

void TFont::SetPitch(TFontPitch p) {
    if (p == FPitch) return;
    FPitch = p;
    Changed();
}

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONTA lf;
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & fsItalic) ? 1 : 0;
        lf.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = FCharset;
        std::snprintf(lf.lfFaceName, LF_FACESIZE, "%s", FName.c_str());
        FHandle = CreateFontIndirectA(&lf);
    }
    return FHandle;
}

TPen::TPen() = default;
TPen::~TPen() {
    if (FHandle) DeleteObject(ToGdiObj(FHandle));
}
void TPen::Assign(TPersistent* Source) {
    if (auto p = dynamic_cast<TPen*>(Source)) {
        FColor = p->FColor;
        FWidth = p->FWidth;
        FStyle = p->FStyle;
        FMode = p->FMode;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}
void TPen::Changed() {
    if (FHandle) {
        DeleteObject(ToGdiObj(FHandle));
        FHandle = nullptr;
    }
    TGraphicsObject::Changed();
}
void TPen::SetColor(TColor c) { if (c != FColor) { FColor = c; Changed(); } }
void TPen::SetWidth(int w) { if (w != FWidth) { FWidth = w; Changed(); } }
void TPen::SetStyle(TPenStyle s) { if (s != FStyle) { FStyle = s; Changed(); } }
void TPen::SetMode(TPenMode m) { if (m != FMode) { FMode = m; Changed(); } }
HPEN TPen::Handle() {
    if (!FHandle)
        FHandle = CreatePen(FStyle == psClear ? PS_NULL : PS_SOLID, FWidth, static_cast<COLORREF>(ColorToRGB(FColor)));
    return FHandle;
}

TBrush::TBrush() = default;
TBrush::~TBrush() {
    if (FHandle) DeleteObject(ToGdiObj(FHandle));
}
void TBrush::Assign(TPersistent* Source) {
    if (auto b = dynamic_cast<TBrush*>(Source)) {
        FColor = b->FColor;
        FStyle = b->FStyle;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}
void TBrush::Changed() {
    if (FHandle) {
        DeleteObject(ToGdiObj(FHandle));
        FHandle = nullptr;
    }
    TGraphicsObject::Changed();
}
void TBrush::SetColor(TColor c) {
    if (c == FColor && FStyle != bsClear) return;
    FColor = c;
    if (FStyle == bsClear) FStyle = bsSolid;
    Changed();
}
void TBrush::SetStyle(TBrushStyle s) { if (s != FStyle) { FStyle = s; Changed(); } }
HBRUSH TBrush::Handle() {
    if (!FHandle) {
        LOGBRUSH lb;
        lb.lbStyle = FStyle == bsClear ? BS_NULL : BS_SOLID;
        lb.lbColor = static_cast<COLORREF>(ColorToRGB(FColor));
        FHandle = CreateBrushIndirect(&lb);
    }
    return FHandle;
}

// ---- TCanvas -------------------------------------------------------------------------------------
TCanvas::TCanvas() : FFont(new TFont), FBrush(new TBrush), FPen(new TPen), FLock(new std::recursive_mutex) {
    FFont->OnChange = [this](TObject*) { FFontValid = false; };
    FBrush->OnChange = [this](TObject*) { FBrushValid = false; };
    FPen->OnChange = [this](TObject*) { FPenValid = false; };
}

TCanvas::~TCanvas() {
    if (FHandle) {
        // Put the DC's own objects back so ours can go.
        if (FOldFont) SelectObject(FHandle, FOldFont);
        if (FOldPen) SelectObject(FHandle, FOldPen);
        if (FOldBrush) SelectObject(FHandle, FOldBrush);
    }
    delete FFont;
    delete FBrush;
    delete FPen;
    delete static_cast<std::recursive_mutex*>(FLock);
}

HDC TCanvas::Handle() {
    if (!FHandle) CreateHandle();
    return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == FHandle) return;
    if (FHandle) {
        if (FOldFont) SelectObject(FHandle, FOldFont);
        if (FOldPen) SelectObject(FHandle, FOldPen);
        if (FOldBrush) SelectObject(FHandle, FOldBrush);
    }
    FOldFont = FOldPen = FOldBrush = nullptr;
    FHandle = dc;
    FFontValid = FPenValid = FBrushValid = false;
}

void TCanvas::FreeHandle() { SetHandle(nullptr); }

void TCanvas::Refresh() { FFontValid = FPenValid = FBrushValid = false; }

void TCanvas::RequireHandle() {
    if (!FHandle) CreateHandle();
    if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
}

void TCanvas::RequireTools(bool font, bool pen, bool brush) {
    RequireHandle();
    if (font && !FFontValid) {
        HGDIOBJ old = SelectObject(FHandle, ToGdiObj(FFont->Handle()));
        if (!FOldFont) FOldFont = old;
        SetTextColor(FHandle, static_cast<COLORREF>(ColorToRGB(FFont->Color())));
        FFontValid = true;
    }
    if (pen && !FPenValid) {
        HGDIOBJ old = SelectObject(FHandle, ToGdiObj(FPen->Handle()));
        if (!FOldPen) FOldPen = old;
        FPenValid = true;
    }
    if (brush && !FBrushValid) {
        HGDIOBJ old = SelectObject(FHandle, ToGdiObj(FBrush->Handle()));
        if (!FOldBrush) FOldBrush = old;
        SetBkColor(FHandle, static_cast<COLORREF>(ColorToRGB(FBrush->Color())));
        SetBkMode(FHandle, FBrush->Style() == bsSolid ? OPAQUE : TRANSPARENT);
        FBrushValid = true;
    }
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::Lock() {
    static_cast<std::recursive_mutex*>(FLock)->lock();
    ++FLockCount;
}

void TCanvas::Unlock() {
    --FLockCount;
    static_cast<std::recursive_mutex*>(FLock)->unlock();
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    RequireTools(true, false, true);
    Changing();
    Graphic->Draw(this, RECT{X, Y, X + Graphic->Width(), Y + Graphic->Height()});
    Changed();
}

void TCanvas::StretchDraw(const RECT& R, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    RequireTools(true, false, true);
    Changing();
    Graphic->Draw(this, R);
    Changed();
}

void TCanvas::CopyRect(const RECT& Dest, TCanvas* Source, const RECT& SourceRect) {
    if (!Source) return;
    RequireTools(true, false, true);
    Source->RequireTools(true, false, true);
    Changing();
    StretchBlt(FHandle, Dest.left, Dest.top, Dest.right - Dest.left, Dest.bottom - Dest.top, Source->FHandle,
               SourceRect.left, SourceRect.top, SourceRect.right - SourceRect.left, SourceRect.bottom - SourceRect.top,
               CopyMode);
    Changed();
}

void TCanvas::BrushCopy(const RECT& Dest, TBitmap* Bitmap, const RECT& Source, TColor TransparentColor) {
    if (!Bitmap || Bitmap->Empty()) return;
    RequireTools(false, false, true);
    Changing();
    // Pixels of the transparent colour take the brush colour, the others are copied.
    int w = Dest.right - Dest.left, h = Dest.bottom - Dest.top;
    HBITMAP mask = Bitmap->CreateMask(TransparentColor);
    HDC src = Bitmap->Canvas()->Handle();
    HDC mdc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldm = SelectObject(mdc, ToGdiObj(mask));
    FillRect(Dest);
    if (w == Source.right - Source.left && h == Source.bottom - Source.top) {
        MaskBlt(FHandle, Dest.left, Dest.top, w, h, src, Source.left, Source.top, mask, Source.left, Source.top,
                MAKEROP4(ROP_DSTCOPY, SRCCOPY));
    } else {
        StretchBlt(FHandle, Dest.left, Dest.top, w, h, src, Source.left, Source.top, Source.right - Source.left,
                   Source.bottom - Source.top, SRCCOPY);
    }
    SelectObject(mdc, oldm);
    DeleteDC(mdc);
    DeleteObject(ToGdiObj(mask));
    Changed();
}

void TCanvas::FillRect(const RECT& R) {
    RequireTools(false, false, true);
    Changing();
    ::FillRect(FHandle, &R, FBrush->Handle());
    Changed();
}

void TCanvas::FrameRect(const RECT& R) {
    RequireTools(false, false, true);
    Changing();
    ::FrameRect(FHandle, &R, FBrush->Handle());
    Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    RequireTools(false, true, true);
    Changing();
    ::Rectangle(FHandle, X1, Y1, X2, Y2);
    Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
    RequireTools(false, true, true);
    Changing();
    ::Ellipse(FHandle, X1, Y1, X2, Y2);
    Changed();
}

void TCanvas::MoveTo(int X, int Y) {
    if (HandleAllocated()) ::MoveToEx(FHandle, X, Y, nullptr);
    FPenPos = POINT{X, Y};
}

void TCanvas::LineTo(int X, int Y) {
    RequireTools(false, true, true);
    Changing();
    ::MoveToEx(FHandle, FPenPos.x, FPenPos.y, nullptr);
    ::LineTo(FHandle, X, Y);
    FPenPos = POINT{X, Y};
    Changed();
}

void TCanvas::Polyline(const std::vector<POINT>& Points) {
    RequireTools(false, true, true);
    Changing();
    ::Polyline(FHandle, Points.data(), static_cast<int>(Points.size()));
    if (!Points.empty()) FPenPos = Points.back();
    Changed();
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
    RequireTools(true, false, true);
    Changing();
    ::TextOutA(FHandle, X, Y, Text.data(), static_cast<int>(Text.size()));
    SIZE s{};
    GetTextExtentPoint32A(FHandle, Text.data(), static_cast<int>(Text.size()), &s);
    FPenPos = POINT{X + s.cx, Y};
    Changed();
}

void TCanvas::TextRect(const RECT& R, int X, int Y, const std::string& Text) {
    RequireTools(true, false, true);
    Changing();
    UINT opts = ETO_CLIPPED | (FBrush->Style() != bsClear ? ETO_OPAQUE : 0);
    ::ExtTextOutA(FHandle, X, Y, opts, &R, Text.data(), static_cast<UINT>(Text.size()), nullptr);
    Changed();
}

SIZE TCanvas::TextExtent(const std::string& Text) {
    RequireTools(true, false, false);
    SIZE s{};
    GetTextExtentPoint32A(FHandle, Text.data(), static_cast<int>(Text.size()), &s);
    return s;
}

TColor TCanvas::Pixel(int X, int Y) {
    RequireHandle();
    return static_cast<TColor>(GetPixel(FHandle, X, Y));
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
    RequireHandle();
    Changing();
    ::SetPixel(FHandle, X, Y, static_cast<COLORREF>(ColorToRGB(Color)));
    Changed();
}

RECT TCanvas::ClipRect() {
    RequireHandle();
    RECT r{};
    GetClipBox(FHandle, &r);
    return r;
}

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
    delete FCanvas;
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
    if (!FCanvas) FCanvas = new TBitmapCanvas(this);
    return FCanvas;
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
    if (w == FWidth && h == FHeight) {
        MaskBlt(dst, R.left, R.top, w, h, src, 0, 0, mask, 0, 0, MAKEROP4(ROP_DSTCOPY, SRCCOPY));
    } else if (w != 0 && h != 0) {
        // Stretch picture and mask first, then one masked copy.
        int aw = std::abs(w), ah = std::abs(h);
        HBITMAP sp = CreateCompatibleBitmap(nullptr, aw, ah);
        HBITMAP sm = CreateBitmap(aw, ah, 1, 1, nullptr);
        HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr), m = CreateCompatibleDC(nullptr);
        HGDIOBJ oa = SelectObject(a, ToGdiObj(sp)), ob = SelectObject(b, ToGdiObj(sm)), om = SelectObject(m, ToGdiObj(mask));
        StretchBlt(a, 0, 0, aw, ah, src, w < 0 ? FWidth : 0, h < 0 ? FHeight : 0, w < 0 ? -FWidth : FWidth,
                   h < 0 ? -FHeight : FHeight, SRCCOPY);
        StretchBlt(b, 0, 0, aw, ah, m, w < 0 ? FWidth : 0, h < 0 ? FHeight : 0, w < 0 ? -FWidth : FWidth,
                   h < 0 ? -FHeight : FHeight, SRCCOPY);
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
    DeleteObject(ToGdiObj(mask));
}

void TBitmap::LoadFromStream(TStream* Stream) {
    std::int64_t start = Stream->Position();
    std::string data = Stream->ReadAll();
    std::size_t used = 0;
    std::string why;
    HBITMAP h = nullptr;
    try {
        h = gdi::ReadBmp(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), true, &used, &why);
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

// ---- The picture-format list ---------------------------------------------------------------------
namespace {

struct FormatList {
    std::mutex mu;
    std::vector<TPicture::FileFormat> entries;
};

FormatList& Formats() {
    static FormatList* list = [] {
        auto* l = new FormatList;
        l->entries.push_back({"bmp", "Bitmaps", GraphicClassOf<TBitmap>()});
        // The JPEG module's registration, made here so that every program linking the class
        // library has it.
        l->entries.push_back({"jpeg", "JPEG Image File", GraphicClassOf<TJPEGImage>()});
        l->entries.push_back({"jpg", "JPEG Image File", GraphicClassOf<TJPEGImage>()});
        return l;
    }();
    return *list;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  const TGraphicClass& Class) {
    FormatList& f = Formats();
    std::lock_guard lk(f.mu);
    f.entries.push_back({LowerCase(Extension), Description, Class});
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& Class) {
    FormatList& f = Formats();
    std::vector<TPicture::FileFormat> keep;
    std::vector<TPicture::FileFormat> all;
    {
        std::lock_guard lk(f.mu);
        all = f.entries;
    }
    std::vector<std::type_index> gone;
    for (auto& e : all) {
        bool match = e.Class == Class;
        if (!match && e.Class.Create && Class.IsInstance) {
            TGraphic* probe = e.Class.Create();
            match = Class.IsInstance(probe);
            delete probe;
        }
        if (match) gone.push_back(e.Class.Type);
    }
    std::lock_guard lk(f.mu);
    f.entries.erase(std::remove_if(f.entries.begin(), f.entries.end(),
                                   [&](const FileFormat& e) {
                                       return std::find(gone.begin(), gone.end(), e.Class.Type) != gone.end();
                                   }),
                    f.entries.end());
}

std::vector<TPicture::FileFormat> TPicture::FileFormats() {
    FormatList& f = Formats();
    std::lock_guard lk(f.mu);
    return f.entries;
}

bool TPicture::FindFileFormat(const std::string& Extension, TGraphicClass* out) {
    FormatList& f = Formats();
    std::string ext = LowerCase(Extension);
    std::lock_guard lk(f.mu);
    for (auto it = f.entries.rbegin(); it != f.entries.rend(); ++it)
        if (it->Extension == ext) {
            if (out) *out = it->Class;
            return true;
        }
    return false;
}

// ---- TPicture ------------------------------------------------------------------------------------
TPicture::TPicture() = default;

TPicture::~TPicture() { delete FGraphic; }

void TPicture::Attach(TGraphic* g) {
    TGraphic* old = FGraphic;
    FGraphic = g;
    if (g) {
        g->OnChange = [this](TObject* s) { GraphicChanged(s); };
        g->OnProgress = [this](TObject* s, TProgressStage st, BYTE pct, bool redraw, const RECT& r, const std::string& msg) {
            if (OnProgress) OnProgress(s, st, pct, redraw, r, msg);
        };
    }
    delete old;
    GraphicChanged(this);
}

void TPicture::GraphicChanged(TObject*) {
    if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(TGraphic* g) {
    if (g == FGraphic) return;
    if (!g) {
        Attach(nullptr);
        return;
    }
    TGraphic* n = nullptr;
    for (const auto& e : FileFormats())
        if (e.Class.Type == std::type_index(typeid(*g))) {
            n = e.Class.Create();
            break;
        }
    if (!n && typeid(*g) == typeid(TBitmap)) n = new TBitmap;
    if (!n) throw EInvalidGraphic(Format("Cannot assign a %s to a %s", {std::string(g->ClassName()), std::string("TPicture")}));
    try {
        n->Assign(g);
    } catch (...) {
        delete n;
        throw;
    }
    Attach(n);
}

TBitmap* TPicture::Bitmap() {
    auto* b = dynamic_cast<TBitmap*>(FGraphic);
    if (!b) {
        b = new TBitmap;
        Attach(b);
    }
    return b;
}

void TPicture::Assign(TPersistent* Source) {
    if (!Source) {
        SetGraphic(nullptr);
        return;
    }
    if (auto p = dynamic_cast<TPicture*>(Source)) {
        SetGraphic(p->Graphic());
        return;
    }
    if (auto g = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(g);
        return;
    }
    TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const std::string& FileName) {
    std::string ext = ExtractFileExt(FileName);
    if (!ext.empty()) ext = ext.substr(1);
    ext = LowerCase(ext);
    TGraphicClass cls;
    if (!FindFileFormat(ext, &cls)) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", {ext}));
    TGraphic* g = cls.Create();
    g->OnProgress = [this](TObject* s, TProgressStage st, BYTE pct, bool redraw, const RECT& r, const std::string& msg) {
        if (OnProgress) OnProgress(s, st, pct, redraw, r, msg);
    };
    try {
        g->LoadFromFile(FileName);
    } catch (...) {
        delete g;
        throw;
    }
    Attach(g);
}

void TPicture::SaveToFile(const std::string& FileName) {
    if (FGraphic) FGraphic->SaveToFile(FileName);
}
