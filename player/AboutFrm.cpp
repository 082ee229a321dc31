// The about box's parts and handlers.
#include "player/AboutFrm.h"

#include "platform/codepage/cp1254.h"
#include "platform/win/shellapi.h"
#include "player/Main.h"

TAboutForm::TAboutForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("AboutForm");
    BorderStyle = bsDialog;
    SetCaption(cp1254::FromUtf8("Dorlin Hakkında"));
    SetBounds(0, 0, 361, 232);
    Image1 = new TImage(this);
    Image1->SetName("Image1");
    Image1->SetParent(this);
    Image1->SetBounds(8, 28, 32, 32);
    Image1->Canvas()->Brush()->SetColor(static_cast<TColor>(10840372));
    Image1->Canvas()->FillRect(Rect(0, 0, 32, 32));
    Image1->Canvas()->Brush()->SetColor(clWhite);
    Image1->Canvas()->Ellipse(6, 6, 26, 26);
    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetAlign(alTop);
    Label1->Alignment = taCenter;
    Label1->Font()->SetColor(clNavy);
    Label1->Font()->SetStyle(fsBold);
    Label1->SetCaption("Dorlin");
    Memo1 = new TMemo(this);
    Memo1->SetName("Memo1");
    Memo1->SetParent(this);
    Memo1->SetBounds(48, 28, 305, 150);
    Memo1->ReadOnly = true;
    Memo1->ScrollBars = ssVertical;
    Memo1->Color = clBtnFace;  // the form's own colour
    Memo1->ParentColor = false;
    Memo1->Lines()->SetText(cp1254::FromUtf8(
        "Dorlin MP3 Çalar\r\n"
        "Kabuklu bir MP3 çalar: şarkı listesi, on bantlı ekolayzer ve kayıtlı ayarları.\r\n"
        "MPEG ses çözücüsü: libmpg123.\r\n"));
    auto button = [this](const char* name, const char* caption, int x, void (TAboutForm::*handler)(TObject*)) {
        auto* b = new TSquareButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetCaption(caption);
        b->SetBounds(x, 200, 113, 17);
        b->Font()->SetColor(clBlue);
        b->Font()->SetStyle(fsBold);
        b->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
        return b;
    };
    SquareButton1 = button("SquareButton1", "Web Sitesi", 4, &TAboutForm::SquareButton1Click);
    SquareButton2 = button("SquareButton2", "EMail", 124, &TAboutForm::SquareButton2Click);
    SquareButton3 = button("SquareButton3", "Tamam", 244, &TAboutForm::SquareButton3Click);
}

void TAboutForm::SquareButton1Click(TObject*) {
    ShellExecuteA(Handle(), "open", dorlin::kWebSite, nullptr, nullptr, SW_SHOWNORMAL);
}

void TAboutForm::SquareButton2Click(TObject*) {
    ShellExecuteA(Handle(), "open", (std::string("mailto:") + dorlin::kMailAddress).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TAboutForm::SquareButton3Click(TObject*) { Close(); }
