#include "messenger/Unit3.h"

#include <climits>

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/inifiles.h"

TForm3* Form3 = nullptr;

using messenger::NewEdit;

namespace {

TComboBox* NewList(TForm* form, const char* name, std::initializer_list<const char*> items) {
    auto* c = messenger::NewPart<TComboBox>(form, name);
    c->Style = csDropDownList;
    for (const char* s : items) c->Items()->Add(s);
    return c;
}

}  // namespace

TForm3::TForm3(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form3");
    SetCaption("Tolvar [Servis Girişleri]"_w);
    BorderStyle = bsDialog;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    ComboBox1 = NewList(this, "ComboBox1", {"SuperOnline"});
    ComboBox2 = NewList(this, "ComboBox2", {"532", "533", "535"});
    Edit1 = NewEdit(this, "Edit1");
    Edit1->MaxLength = 7;
    Edit2 = NewEdit(this, "Edit2");
    Edit3 = NewEdit(this, "Edit3");
    Edit3->PasswordChar = '*';
    Edit4 = NewEdit(this, "Edit4");
    Edit4->SetVisible(false);
    OnCreate = [this](TObject* s) { FormCreate(s); };
}

void TForm3::FormCreate(TObject*) {
    ComboBox1->SetItemIndex(0);
    Edit2->SetEnabled(false);
    Edit2->Color = clInactiveBorder;
    Edit2->ParentColor = false;
    TIniFile ini(storedstate::MainIniName);
    const std::string tel = ini.ReadString("Superonline", "Tel", "");
    ComboBox2->SetItemIndex(ComboBox2->Items()->IndexOf(Copy(tel, 1, 3)));
    Edit1->SetText(Copy(tel, 4, INT_MAX));
    Edit3->SetText(ini.ReadString("Superonline", "Sifre", ""));
    Edit4->SetText(ini.ReadString("Otomatik", "İsim"_w, ""));
}
