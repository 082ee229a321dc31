#include "messenger/Unit14.h"

#include "platform/codepage/cp1254.h"

TForm14* Form14 = nullptr;

TForm14::TForm14(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form14");
    SetCaption("Yeni Kullanıcı"_w);
}
