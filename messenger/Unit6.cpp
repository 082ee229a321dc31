#include "messenger/Unit6.h"

#include "platform/codepage/cp1254.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form6");
    SetCaption("Mesajınız Yollandı"_w);
}
