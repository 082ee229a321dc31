#include "messenger/Unit13.h"

#include "platform/codepage/cp1254.h"

TForm13* Form13 = nullptr;

TForm13::TForm13(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form13");
    SetCaption("Tolvar[Kullanıcı Ayarları]"_w);
}
