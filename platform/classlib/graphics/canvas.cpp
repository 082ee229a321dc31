// TCanvas: drawing on a device context with a font, pen and brush.
#include "platform/classlib/graphics.h"

#include <algorithm>
#include <cstring>

// ---- TCanvas -------------------------------------------------------------------------------------
TCanvas::TCanvas() : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>()) {
    FFont->OnChange = [this](TObject*) { FFontValid = false; };
    FBrush->OnChange = [this](TObject*) { FBrushValid = false; };
    FPen->OnChange = [this](TObject*) { FPenValid = false; };
}

// Puts the DC's own objects back so that ours can go.
void TCanvas::PutBackTools() {
    if (!FHandle) return;
    if (FOldFont) SelectObject(FHandle, FOldFont);
    if (FOldPen) SelectObject(FHandle, FOldPen);
    if (FOldBrush) SelectObject(FHandle, FOldBrush);
}

TCanvas::~TCanvas() { PutBackTools(); }

HDC TCanvas::Handle() {
    if (!FHandle) CreateHandle();
    return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == FHandle) return;
    PutBackTools();
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

void TCanvas::Lock() { FLock.lock(); }

void TCanvas::Unlock() { FLock.unlock(); }

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
