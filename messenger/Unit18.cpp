#include "messenger/Unit18.h"

#include "platform/codepage/cp1254.h"

TForm18* Form18 = nullptr;

TForm18::TForm18(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form18");
    BorderStyle = bsNone;
}
