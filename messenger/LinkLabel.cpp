#include "messenger/LinkLabel.h"

#include <cctype>

#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/imagectl.h"
#include "platform/win/shellapi.h"

namespace {

constexpr int kShowNoActivate = 4;  // SW_SHOWNOACTIVATE

// Whether Key is the accelerator of Text: the character after a single "&".
bool IsAccel(char key, const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return std::toupper(static_cast<unsigned char>(text[i + 1])) == std::toupper(static_cast<unsigned char>(key));
    }
    return false;
}

}  // namespace

const char* URLTypePrefix(TURLType type) {
    switch (type) {
        case utFile: return "file://";
        case utFtp: return "ftp://";
        case utGopher: return "gopher://";
        case utHttp: return "http://";
        case utHttps: return "https://";
        case utMailto: return "mailto:";
        case utNews: return "news:";
        case utTelnet: return "telnet:";
        case utWais: return "wais:";
    }
    return "";
}

TLinkLabel::TLinkLabel(TComponent* AOwner) : TGraphicControl(AOwner), FFont(std::make_unique<TFont>()) {
    SetBounds(0, 0, 65, 17);
    FSavedColor = FFont->Color();
    FTransparent = true;
    Cursor = crHandPoint;
    FFont->OnChange = [this](TObject* s) { FontChanged(s); };
}

TLinkLabel::~TLinkLabel() { FFont->OnChange = nullptr; }

void TLinkLabel::SetAlignment(TAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    Invalidate();
}

void TLinkLabel::SetAutoSize(bool v) {
    if (v == FAutoSize) return;
    FAutoSize = v;
    FitToCaption();
}

void TLinkLabel::SetFocusControl(TWinControl* v) {
    if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
    FFocusControl = v;
    if (v) v->FreeNotification(this);
    if (FShowFocus) Invalidate();
}

void TLinkLabel::SetLayout(TTextLayout v) {
    if (v == FLayout) return;
    FLayout = v;
    Invalidate();
}

void TLinkLabel::SetShadowColor(TColor v) {
    if (v == FShadowColor) return;
    FShadowColor = v;
    Invalidate();
}

void TLinkLabel::SetShadowSize(BYTE v) {
    if (v == FShadowSize) return;
    FShadowSize = v;
    FitToCaption();
    Invalidate();
}

void TLinkLabel::SetShadowPos(TShadowPosition v) {
    if (v == FShadowPos) return;
    FShadowPos = v;
    Invalidate();
}

void TLinkLabel::SetShowAccelChar(bool v) {
    if (v == FShowAccelChar) return;
    FShowAccelChar = v;
    Invalidate();
}

void TLinkLabel::SetShowFocus(bool v) {
    if (v == FShowFocus) return;
    FShowFocus = v;
    Invalidate();
}

void TLinkLabel::SetTransparent(bool v) {
    if (v == FTransparent) return;
    FTransparent = v;
    Invalidate();
}

void TLinkLabel::SetWordWrap(bool v) {
    if (v == FWordWrap) return;
    FWordWrap = v;
    FitToCaption();
}

int TLinkLabel::DrawShadowedText(HDC DC, const std::string& Text, int Length, TShadowPosition ShadowPos,
                                 COLORREF ShadowRGB, int ShadowSize, UINT Format, RECT& Rect) {
    RECT shadow = Rect, text = Rect;
    const int s = ShadowSize;
    switch (ShadowPos) {
        case spLeftTop: OffsetRect(&text, s, s); break;
        case spLeftBottom:
            OffsetRect(&text, s, 0);
            OffsetRect(&shadow, 0, s);
            break;
        case spRightBottom: OffsetRect(&shadow, s, s); break;
        case spRightTop:
            OffsetRect(&text, 0, s);
            OffsetRect(&shadow, s, 0);
            break;
    }
    const COLORREF previous = SetTextColor(DC, ShadowRGB);
    int height = DrawTextA(DC, Text.c_str(), Length, &shadow, Format);
    SetTextColor(DC, previous);
    DrawTextA(DC, Text.c_str(), Length, &text, Format);
    UnionRect(&Rect, &text, &shadow);
    return height > 0 ? height + s : height;
}

void TLinkLabel::PaintCaptionOn(HDC dc, RECT& Rect, UINT Format) {
    std::string text = Caption();
    if ((Format & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += " ";
    if (!FShowAccelChar) Format |= DT_NOPREFIX;
    TColor color = FFont->Color(), shadowColor = FShadowColor;
    int size = FShadowSize;
    TShadowPosition pos = FShadowPos;
    if (!Enabled()) {
        color = clGrayText;
        shadowColor = clBtnHighlight;
        if (size == 0) {  // new-style controls show a disabled caption embossed
            size = 1;
            pos = spRightBottom;
        }
    }
    HFONT oldFont = SelectObjectT(dc, FFont->Handle());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(color)));
    DrawShadowedText(dc, text, -1, pos, static_cast<COLORREF>(ColorToRGB(shadowColor)), size, Format, Rect);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObjectT(dc, oldFont);
}

void TLinkLabel::PaintCaption(RECT& Rect, UINT Format) {
    if (!Canvas) return;
    PaintCaptionOn(Canvas->Handle(), Rect, Format);
}

void TLinkLabel::Paint() {
    TCanvas* canvas = Canvas;
    if (!canvas) return;
    const RECT client = ClientRect();
    if (!FTransparent) {
        canvas->Brush()->SetColor(Color);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->FillRect(client);
    }
    canvas->Brush()->SetStyle(bsClear);
    RECT r = client;
    r.left += 1;
    r.right -= 1;
    UINT format = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0);
    format |= FAlignment == taRightJustify ? DT_RIGHT : FAlignment == taCenter ? DT_CENTER : DT_LEFT;
    if (FLayout != tlTop) {
        RECT measured = r;
        PaintCaption(measured, format | DT_CALCRECT);
        measured.left = client.left;
        measured.right = client.right;
        int dy = client.bottom - measured.bottom;
        if (FLayout == tlCenter) dy /= 2;
        OffsetRect(&measured, 0, dy);
        r = measured;
    }
    PaintCaption(r, format);
}

void TLinkLabel::FitToCaption() {
    if (!FAutoSize) return;
    RECT r = ClientRect();
    r.left += 1;
    r.right -= 1;
    HDC dc = GetDC(nullptr);
    PaintCaptionOn(dc, r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    ReleaseDC(nullptr, dc);
    r.left -= 1;
    r.right += 1;
    // The measured rectangle starts at the client origin: its right and bottom are the new size. A
    // right-aligned caption keeps the control's right edge where it was.
    const int left = FAlignment == taRightJustify ? Left() + Width() - r.right : Left();
    SetBounds(left, Top(), r.right, r.bottom);
}

std::string TLinkLabel::URL() const { return URLTypeAdd ? URLTypePrefix(URLType) + Caption() : Caption(); }

bool TLinkLabel::LaunchURL() {
    if (Caption().empty() || !URLEnabled) return false;
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    HINSTANCE result = ShellExecuteA(main ? main->Handle() : nullptr, nullptr, URL().c_str(), "", "", kShowNoActivate);
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

void TLinkLabel::Click() {
    TGraphicControl::Click();
    LaunchURL();
    Invalidate();
}

void TLinkLabel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case CM_FOCUSCHANGED: {
            const bool focused = FFocusControl && reinterpret_cast<TWinControl*>(Message.LParam) == FFocusControl;
            if (focused != FFocused) {
                FFocused = focused;
                if (FShowFocus) Invalidate();
            }
            break;
        }
        case CM_DIALOGCHAR:
            if (FFocusControl && Enabled() && FShowAccelChar && IsAccel(static_cast<char>(Message.WParam), Caption())) {
                if (FFocusControl->Visible() && FFocusControl->Enabled()) FFocusControl->SetFocus();
                Message.Result = 1;
                return;
            }
            break;
        default: break;
    }
    TGraphicControl::WndProc(Message);
}

void TLinkLabel::MouseEnter() {
    FSavedColor = FFont->Color();
    FFont->SetColor(LinkColor);
    Invalidate();
}

void TLinkLabel::MouseLeave() {
    FFont->SetColor(FSavedColor);
    Invalidate();
}

void TLinkLabel::TextChanged() {
    Invalidate();
    FitToCaption();
}

void TLinkLabel::EnabledChanged() { Invalidate(); }

void TLinkLabel::FontChanged(TObject*) {
    FitToCaption();
    Invalidate();
}

void TLinkLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}
