// Two push buttons that draw themselves on their parent (no window of their own): TAOLButton, a
// bevelled colour button, and TSquareButton, a flat button with border strips and a hover look.
//
// Each keeps the look it is in (normal, pressed, hover) and paints that look whenever it is
// painted; a change of look, or of a property that shows, repaints it at once. When Enabled is off
// a button neither changes its look on the mouse nor fires its events; it is not drawn greyed.
#pragma once

#include <string>

#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"


// The look a button is drawn in.
enum class TButtonLook { Normal, Pressed, Hover };

class TAOLButton : public TGraphicControl {
public:
    explicit TAOLButton(TComponent* AOwner);
    const char* ClassName() const override { return "TAOLButton"; }
    // After the inherited step the caption becomes the component's name (a stored caption is
    // read after that and replaces it).
    void SetParent(TWinControl* parent) override;

    void SetCaption(const std::string& v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TColor RaiseColor() const { return FRaiseColor; }
    void SetRaiseColor(TColor v);
    bool ButtonEnabled() const { return FEnabled; }
    void SetButtonEnabled(bool v) { FEnabled = v; }
    TFont* Font() { return &FFont; }
    TButtonLook Look() const { return FLook; }

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseLeave;  // never fired
    TNotifyEvent OnClick;

    void Click() override;
    void Paint() override;
    void Describe(TControlDescription& d) const override;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;

private:
    void SetLook(TButtonLook look);
    TColor FColor = static_cast<TColor>(10840372);
    TColor FRaiseColor = static_cast<TColor>(14131850);
    bool FEnabled = true;
    TFont FFont;
    TButtonLook FLook = TButtonLook::Normal;
};

class TSquareButton : public TGraphicControl {
public:
    explicit TSquareButton(TComponent* AOwner);
    const char* ClassName() const override { return "TSquareButton"; }
    void SetParent(TWinControl* parent) override;

    void SetCaption(const std::string& v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TColor ColorBorder() const { return FColorBorder; }
    void SetColorBorder(TColor v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int v);
    // Stored only: they show at the next hover or press.
    TColor ColorOverCaption = clWhite;
    TColor ColorOverBorder = clBlack;
    TColor DownBorderColor = clWhite;
    bool ButtonEnabled() const { return FEnabled; }
    void SetButtonEnabled(bool v) { FEnabled = v; }
    TFont* Font() { return &FFont; }
    TButtonLook Look() const { return FLook; }

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;  // never fired
    TNotifyEvent OnMouseLeave;  // never fired
    TNotifyEvent OnClick;

    void Click() override;
    void Paint() override;
    void Describe(TControlDescription& d) const override;
    // The caption's x for the alignment and a text width.
    int CaptionX(int TextWidth) const;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void SetLook(TButtonLook look);
    TColor FColor = clBtnFace;
    TColor FColorBorder = clBlack;
    TAlignment FAlignment = taLeftJustify;
    int FBorderWidth = 2;
    bool FEnabled = true;
    TFont FFont;
    TButtonLook FLook = TButtonLook::Normal;
    // The colours the last press drew with (the canvas font colour and the down border).
    TColor FPressedBorder = clWhite;
    bool FReleasedOver = false;
};
