// TLinkLabel: a windowless label whose caption is a link. It draws the caption with an optional
// shadow, takes LinkColor while the mouse is over it and, when clicked, opens the caption (with the
// URLType scheme before it) through the shell.
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/stdctrls.h"

enum TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };
enum TURLType { utFile, utFtp, utGopher, utHttp, utHttps, utMailto, utNews, utTelnet, utWais };

// The scheme text of a URL type ("mailto:", "http://", ...).
const char* URLTypePrefix(TURLType type);

class TLinkLabel : public TGraphicControl {
public:
    explicit TLinkLabel(TComponent* AOwner);
    ~TLinkLabel() override;
    const char* ClassName() const override { return "TLinkLabel"; }

    static constexpr int crHandPoint = -21;

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool v);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* v);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout v);
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor v);
    BYTE ShadowSize() const { return FShadowSize; }
    void SetShadowSize(BYTE v);
    TShadowPosition ShadowPos() const { return FShadowPos; }
    void SetShadowPos(TShadowPosition v);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool v);
    bool ShowFocus() const { return FShowFocus; }
    void SetShowFocus(bool v);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);
    TFont* Font() const { return FFont.get(); }

    TColor LinkColor = clBlue;
    bool URLEnabled = true;
    bool URLTypeAdd = true;
    TURLType URLType = utMailto;

    // Draws Text (Length bytes, -1: all) in the shadow colour into Rect moved by the shadow's
    // offset and then in the DC's text colour into Rect moved the other way; Rect becomes the union
    // of both. Returns the height DrawText gave plus ShadowSize (0 or less unchanged).
    static int DrawShadowedText(HDC DC, const std::string& Text, int Length, TShadowPosition ShadowPos,
                                COLORREF ShadowRGB, int ShadowSize, UINT Format, RECT& Rect);
    // Draws (or with DT_CALCRECT measures) the caption on the canvas with the font and shadow.
    void PaintCaption(RECT& Rect, UINT Format);
    // With AutoSize: sizes the control to its caption and shadow (a right-aligned one keeps its right edge).
    void FitToCaption();
    // Opens the URL through the shell; false when there is none or the shell refused it.
    bool LaunchURL();
    // What a click opens: the caption, after the scheme of URLType when URLTypeAdd.
    std::string URL() const;

    void Click() override;

protected:
    void Paint() override;
    void WndProc(TMessage& Message) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void TextChanged() override;
    void EnabledChanged() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void PaintCaptionOn(HDC dc, RECT& Rect, UINT Format);
    void FontChanged(TObject* Sender);

    std::unique_ptr<TFont> FFont;
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    TWinControl* FFocusControl = nullptr;
    TTextLayout FLayout = tlTop;
    TColor FShadowColor = clBtnHighlight;
    BYTE FShadowSize = 1;
    TShadowPosition FShadowPos = spLeftTop;
    bool FShowAccelChar = true;
    bool FShowFocus = false;
    bool FTransparent = false;
    bool FWordWrap = false;
    TColor FSavedColor;  // the font colour from before the mouse entered
    bool FFocused = false;
};
