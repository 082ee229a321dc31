#include "messenger/Unit4.h"

#include "messenger/OperatorPrefixes.h"
#include "platform/classlib/cp1254.h"

TForm4* Form4 = nullptr;

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

TForm4::TForm4(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form4");
    SetCaption("Tolvar [Yeni CEP]"_w);
    Edit1 = NewEdit(this, "Edit1");
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    Edit4 = NewEdit(this, "Edit4", 2, "90");
    Edit5 = NewEdit(this, "Edit5", 7);
}
