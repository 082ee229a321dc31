#include "messenger/Unit8.h"

#include "platform/codepage/cp1254.h"

TForm8* Form8 = nullptr;

TForm8::TForm8(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form8");
    SetCaption("Yardım Edin"_w);
}
