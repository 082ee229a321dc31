#include "messenger/Unit11.h"

#include "platform/codepage/cp1254.h"

TForm11* Form11 = nullptr;

TForm11::TForm11(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form11");
    SetCaption("Tolvar HAZIR MESAJ"_w);
}
