#include "messenger/Unit10.h"

#include "platform/codepage/cp1254.h"

TForm10* Form10 = nullptr;

TForm10::TForm10(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form10");
    SetCaption("Tolvar Hakkında"_w);
}
