#include "messenger/Unit9.h"

#include "platform/codepage/cp1254.h"

TForm9* Form9 = nullptr;

TForm9::TForm9(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form9");
    SetCaption("Tolvar[Diğer Ayarlar]"_w);
    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel2 = new TPanel(this);
    Panel2->SetName("Panel2");
    Panel2->SetParent(this);
    Panel2->SetVisible(false);
}
