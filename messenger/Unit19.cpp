#include "messenger/Unit19.h"

#include "platform/codepage/cp1254.h"

TForm19* Form19 = nullptr;

TForm19::TForm19(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form19");
    SetCaption("Özel Mesaj Ekranı"_w);
}
