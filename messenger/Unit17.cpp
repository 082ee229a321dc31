#include "messenger/Unit17.h"

#include "platform/codepage/cp1254.h"

TForm17* Form17 = nullptr;

TForm17::TForm17(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form17");
    SetCaption("Kullanıcı Seçimi"_w);
}
