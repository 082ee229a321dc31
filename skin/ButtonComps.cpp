// TAOLButton and TSquareButton: their looks and what the mouse does to them.
#include "skin/ButtonComps.h"

#include "platform/classlib/imagectl.h"

namespace {

void Fill(TCanvas* c, TColor color, int l, int t, int r, int b) {
    c->Brush()->SetColor(color);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(Rect(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)));
}

void WriteCaption(TCanvas* c, int x, int y, const std::string& text, TColor color, TColor background) {
    c->Font()->SetColor(color);
    c->Brush()->SetColor(background);
    c->Brush()->SetStyle(bsSolid);
    c->TextOut(x, y, text);
}

}  // namespace

// ---- TAOLButton ------------------------------------------------------------------------------------

TAOLButton::TAOLButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(Left(), Top(), 89, 23);
    FFont.SetName("Arial");
    FFont.SetSize(8);
    FFont.SetStyle(fsBold);
    FFont.SetColor(clWhite);
    SetShowHint(true);
}

void TAOLButton::SetParent(TWinControl* parent) {
    TGraphicControl::SetParent(parent);
    if (parent) SetText(Name());
}

void TAOLButton::SetCaption(const std::string& v) {
    SetText(v);
    Invalidate();
}
void TAOLButton::SetColor(TColor v) {
    FColor = v;
    Invalidate();
}
void TAOLButton::SetRaiseColor(TColor v) {
    FRaiseColor = v;
    Invalidate();
}

void TAOLButton::SetLook(TButtonLook look) {
    FLook = look;
    Invalidate();
}

void TAOLButton::Paint() {
    TCanvas* c = Canvas;
    if (!c) return;
    const int W = Width(), H = Height();
    c->SetFont(&FFont);
    const int tw = c->TextWidth(Caption()), th = c->TextHeight(Caption());
    Fill(c, FColor, 1, 1, W - 1, H - 1);
    if (FLook == TButtonLook::Pressed) {
        Fill(c, clBlack, 1, 1, W - 1, 2);
        WriteCaption(c, W / 2 - tw / 2 + 2, H / 2 - th / 2 + 2, Caption(), FFont.Color(), FColor);
    } else {
        Fill(c, FRaiseColor, 1, 1, 3, H - 1);
        Fill(c, FRaiseColor, 1, 1, W - 1, 3);
        Fill(c, clBlack, W - 1, 1, W - 3, H - 1);
        Fill(c, clBlack, W - 1, H - 1, 1, H - 3);
        WriteCaption(c, W / 2 - tw / 2, H / 2 - th / 2, Caption(), FFont.Color(), FColor);
    }
    c->Brush()->SetColor(clBlack);
    c->FrameRect(Rect(0, 0, W, H));
}

void TAOLButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !FEnabled) return;
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
    SetLook(TButtonLook::Pressed);
}

void TAOLButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft || !FEnabled) return;
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
    if (X > 0 && Y > 0 && X <= Width() && Y <= Height()) SetLook(TButtonLook::Normal);
}

void TAOLButton::MouseLeave() { SetLook(TButtonLook::Normal); }

void TAOLButton::Click() {
    TGraphicControl::Click();
    SetLook(TButtonLook::Normal);
    if (FEnabled && OnClick) OnClick(this);
}

void TAOLButton::Describe(TControlDescription& d) const {
    TGraphicControl::Describe(d);
    if (FLook == TButtonLook::Pressed) d.State("down");
}

// ---- TSquareButton ---------------------------------------------------------------------------------

TSquareButton::TSquareButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(Left(), Top(), 113, 17);
    FFont.SetName("Arial");
    FFont.SetSize(8);
    FFont.SetColor(clBlack);
    SetShowHint(true);
}

void TSquareButton::SetParent(TWinControl* parent) {
    TGraphicControl::SetParent(parent);
    if (parent) SetText(Name());
}

void TSquareButton::SetCaption(const std::string& v) {
    SetText(v);
    Invalidate();
}
void TSquareButton::SetColor(TColor v) {
    FColor = v;
    Invalidate();
}
void TSquareButton::SetColorBorder(TColor v) {
    FColorBorder = v;
    Invalidate();
}
void TSquareButton::SetAlignment(TAlignment v) {
    FAlignment = v;
    Invalidate();
}
void TSquareButton::SetBorderWidth(int v) {
    FBorderWidth = v;
    Invalidate();
}

void TSquareButton::SetLook(TButtonLook look) {
    FLook = look;
    Invalidate();
}

int TSquareButton::CaptionX(int TextWidth) const {
    switch (FAlignment) {
    case taRightJustify: return Width() - TextWidth - 7;
    case taCenter: return Width() / 2 - TextWidth / 2;
    default: return 6;
    }
}

void TSquareButton::Paint() {
    TCanvas* c = Canvas;
    if (!c) return;
    const int W = Width(), H = Height();
    c->SetFont(&FFont);
    const int tw = c->TextWidth(Caption()), th = c->TextHeight(Caption());
    TColor text = FFont.Color(), border = FColorBorder;
    if (FLook == TButtonLook::Hover) {
        text = ColorOverCaption;
        border = ColorOverBorder;
    } else if (FLook == TButtonLook::Pressed) {
        border = FPressedBorder;
    }
    Fill(c, FColor, 0, 0, W, H);
    WriteCaption(c, CaptionX(tw), H / 2 - th / 2 - 1, Caption(), text, FColor);
    Fill(c, border, 0, H, W, H - FBorderWidth);
    Fill(c, border, 0, 0, FBorderWidth, H);
}

void TSquareButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !FEnabled) return;
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
    FPressedBorder = DownBorderColor;
    SetLook(TButtonLook::Pressed);
}

void TSquareButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft || !FEnabled) return;
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
    FReleasedOver = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (FReleasedOver) SetLook(TButtonLook::Hover);
}

void TSquareButton::MouseEnter() {
    if (FEnabled) SetLook(TButtonLook::Hover);
}

void TSquareButton::MouseLeave() { SetLook(TButtonLook::Normal); }

void TSquareButton::Click() {
    TGraphicControl::Click();
    // The form runs the click after the release: a button released under the pointer keeps the
    // hover look that the release gave it.
    if (!FReleasedOver) SetLook(TButtonLook::Normal);
    FReleasedOver = false;
    if (FEnabled && OnClick) OnClick(this);
}

void TSquareButton::Describe(TControlDescription& d) const {
    TGraphicControl::Describe(d);
    if (FLook == TButtonLook::Pressed) d.State("down");
    if (FLook == TButtonLook::Hover) d.State("hover");
}
