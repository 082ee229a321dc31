// Bitmap buttons and speed buttons. Glyphs are pictures of the graphics classes and are left to
// them (a Glyph slot is not part of these models).
#pragma once

#include "platform/classlib/stdctrls.h"

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A button with a kind: setting Kind to a standard kind sets its ModalResult (bkOK -> mrOk,
// bkCancel -> mrCancel, bkYes -> mrYes, ...), Default (bkOK, bkYes), Cancel (bkCancel, bkNo) and
// caption ("OK", "Cancel", "&Help", "&Yes", "&No", "&Close", "Abort", "&Retry", "&Ignore", "&All").
// A bkClose button's click closes its form.
class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* AOwner);
    const char* ClassName() const override { return "TBitBtn"; }
    TBitBtnKind Kind() const { return FKind; }
    void SetKind(TBitBtnKind k);
    TButtonLayout Layout = blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;
    int NumGlyphs = 1;
    void Click() override;

private:
    TBitBtnKind FKind = bkCustom;
};

// A flat button without focus. With GroupIndex 0 it only clicks. With a GroupIndex it stays down:
// a click puts it down (and every other speed button of the same parent and group up), and a click
// on a down button puts it up only when AllowAllUp. Setting Down by code follows the same grouping
// and runs no event. OnClick runs on every click.
class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    const char* ClassName() const override { return "TSpeedButton"; }
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int v);
    bool Down() const { return FDown; }
    void SetDown(bool v);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool v);
    bool Flat = false;
    bool Transparent = true;
    TButtonLayout Layout = blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;
    int NumGlyphs = 1;
    void Click() override;
    void Describe(TControlDescription& d) const override;  // adds "down" when down

private:
    void UpdateGroup();
    int FGroupIndex = 0;
    bool FDown = false;
    bool FAllowAllUp = false;
};
