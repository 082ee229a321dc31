#include "messenger/Unit12.h"

#include "platform/codepage/cp1254.h"

TForm12* Form12 = nullptr;

TForm12::TForm12(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form12");
    SetCaption("Önerileriniz......."_w);
}
