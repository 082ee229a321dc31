#include "messenger/Unit4.h"

#include "messenger/FormParts.h"
#include "platform/codepage/cp1254.h"

TForm4* Form4 = nullptr;

using messenger::NewEdit;
using messenger::NewPrefixCombo;

TForm4::TForm4(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form4");
    SetCaption("Tolvar [Yeni CEP]"_w);
    Edit1 = NewEdit(this, "Edit1");
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    Edit4 = NewEdit(this, "Edit4", 2, "90");
    Edit5 = NewEdit(this, "Edit5", 7);
}
