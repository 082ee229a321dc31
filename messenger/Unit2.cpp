#include "messenger/Unit2.h"

#include "platform/codepage/cp1254.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form2");
    SetCaption("Tolvar [Mesaj Yolla]"_w);
    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetAlign(alTop);
    Panel1->SetCaption("Tolvar");
    Memo1 = new TMemo(this);
    Memo1->SetName("Memo1");
    Memo1->SetParent(this);
    Memo1->MaxLength = 160;
    Memo1->Hint = "Mesajınızı Yazın..."_w;
}
