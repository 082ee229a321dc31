#include "messenger/Unit16.h"

#include "platform/codepage/cp1254.h"

TForm16* Form16 = nullptr;

TForm16::TForm16(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form16");
    SetCaption("Şifre Değiştir"_w);
}
