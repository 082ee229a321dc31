#include "messenger/Unit5.h"

#include "messenger/FormParts.h"
#include "platform/codepage/cp1254.h"

TForm5* Form5 = nullptr;

using messenger::NewEdit;
using messenger::NewPrefixCombo;

TForm5::TForm5(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form5");
    SetCaption("Tolvar[Düzenle]"_w);
    Edit1 = NewEdit(this, "Edit1");
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    Edit2 = NewEdit(this, "Edit2", 2, "90");
    Edit3 = NewEdit(this, "Edit3", 7);
}
