#include "messenger/Unit9.h"

#include "messenger/FormParts.h"
#include "platform/codepage/cp1254.h"

using messenger::NewPart;

TForm9* Form9 = nullptr;

TForm9::TForm9(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form9");
    SetCaption("Tolvar[Diğer Ayarlar]"_w);
    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel2 = NewPart<TPanel>(this, "Panel2");
    Panel2->SetVisible(false);
}
