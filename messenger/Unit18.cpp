#include "messenger/Unit18.h"

#include "messenger/FormParts.h"
#include "messenger/Unit1.h"
#include "messenger/Unit2.h"
#include "platform/codepage/cp1254.h"

using messenger::NewPart;

TForm18* Form18 = nullptr;

TForm18::TForm18(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form18");
    BorderStyle = bsNone;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    SetClientWidth(152);
    SetClientHeight(39);
    Color = 0xC08000;  // RGB (0, 128, 192)
    ParentColor = false;
    Label1 = NewPart<TLabel>(this, "Label1");
    Label1->SetCaption("SMS Mesajınız Yollanıyor"_w);
    Edit1 = NewPart<TEdit>(this, "Edit1");
    Edit1->SetEnabled(false);
    Edit1->MaxLength = 35;
    Button1 = NewPart<TButton>(this, "Button1");
    Button1->SetCaption("İptal"_w);
    Button1->Cancel = true;
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Timer1 = NewPart<TTimer>(this, "Timer1");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(200);
    Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnHide = [this](TObject*) { FMainHold.reset(); };
}

void TForm18::FormShow(TObject*) {
    if (!FMainHold) FMainHold.emplace(Form1);
    Timer1->SetEnabled(true);
}

void TForm18::FormClose(TObject*, TCloseAction&) { FMainHold.reset(); }

void TForm18::Timer1Timer(TObject*) {
    Edit1->SetText(Edit1->Text() + "|");
    if (static_cast<int>(Edit1->Text().size()) == Edit1->MaxLength) Edit1->SetText("");
}

void TForm18::Button1Click(TObject*) { Form2->a->Abort(); }
