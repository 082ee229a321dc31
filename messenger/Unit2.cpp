#include "messenger/Unit2.h"

#include "messenger/FormParts.h"
#include "platform/codepage/cp1254.h"

using messenger::NewPart;

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form2");
    SetCaption("Tolvar [Mesaj Yolla]"_w);
    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel1->SetAlign(alTop);
    Panel1->SetCaption("Tolvar");
    Memo1 = NewPart<TMemo>(this, "Memo1");
    Memo1->MaxLength = 160;
    Memo1->Hint = "Mesajınızı Yazın..."_w;
}
