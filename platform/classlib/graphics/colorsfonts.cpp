// Colours and their names; the graphics objects: fonts, pens and brushes.
#include "platform/classlib/graphics.h"

#include <algorithm>
#include <cstring>

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
