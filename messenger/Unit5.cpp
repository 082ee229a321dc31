#include "messenger/Unit5.h"

#include "messenger/OperatorPrefixes.h"
#include "platform/classlib/cp1254.h"

TForm5* Form5 = nullptr;

namespace {

TEdit* NewEdit(TForm* form, const char* name, int maxLength = 0, const std::string& text = "") {
    auto* e = new TEdit(form);
    e->SetName(name);
    e->SetParent(form);
    e->MaxLength = maxLength;
    e->SetText(text);
    return e;
}

TComboBox* NewPrefixCombo(TForm* form, const char* name) {
    auto* c = new TComboBox(form);
    c->SetName(name);
    c->SetParent(form);
    for (const char* p : messenger::OperatorPrefixes) c->Items()->Add(p);
    return c;
}

}  // namespace

TForm5::TForm5(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form5");
    SetCaption("Tolvar[Düzenle]"_w);
    Edit1 = NewEdit(this, "Edit1");
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    Edit2 = NewEdit(this, "Edit2", 2, "90");
    Edit3 = NewEdit(this, "Edit3", 7);
}
