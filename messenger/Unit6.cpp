#include "messenger/Unit6.h"

#include "messenger/FormParts.h"
#include "platform/codepage/cp1254.h"

using messenger::NewPart;

TForm6* Form6 = nullptr;

TForm6::TForm6(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form6");
    SetCaption("Mesajınız Yollandı"_w);
    BorderStyle = bsDialog;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    SetBounds(0, 0, 220, 110);
    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel1->SetBounds(8, 8, 196, 41);
    Panel1->BevelOuter = bvLowered;
    Panel1->SetCaption("SMS Mesajınız Yollandı"_w);
    SpeedButton1 = NewPart<TSpeedButton>(this, "SpeedButton1");
    SpeedButton1->SetBounds(64, 56, 89, 22);
    SpeedButton1->Flat = true;
    SpeedButton1->SetCaption("Tamam");
    SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
    Label1 = NewPart<TLabel>(this, "Label1");
    Label1->SetVisible(false);
}

void TForm6::SpeedButton1Click(TObject*) { Close(); }
