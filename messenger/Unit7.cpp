#include "messenger/Unit7.h"

#include "platform/codepage/cp1254.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form7");
    SetCaption("Marendo Yenilikler"_w);
}
