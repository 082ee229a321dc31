#include "messenger/Unit3.h"

#include <climits>

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "platform/classlib/application.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/inifiles.h"
#include "platform/codepage/cp1254.h"

TForm3* Form3 = nullptr;

using messenger::NewEdit;
using messenger::NewPart;

namespace {

TComboBox* NewList(TForm* form, const char* name, std::initializer_list<const char*> items) {
    auto* c = NewPart<TComboBox>(form, name);
    c->Style = csDropDownList;
    for (const char* s : items) c->Items()->Add(s);
    return c;
}

TLabel* NewLabel(TForm* form, const char* name, const std::string& caption) {
    auto* l = NewPart<TLabel>(form, name);
    l->SetCaption(caption);
    return l;
}

void Paint(TControl* c, int color) {
    c->Color = color;
    c->ParentColor = false;
}

}  // namespace

TForm3::TForm3(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form3");
    SetCaption("Tolvar [Servis Girişleri]"_w);
    BorderStyle = bsDialog;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    Bevel1 = NewPart<TBevel>(this, "Bevel1");
    Label5 = NewLabel(this, "Label5", "Bu bölüm sadece üyelikle sms yollanabilen"_w);
    Label6 = NewLabel(this, "Label6", "servisler için kul. adı ve şifre ayarlamalarını yapar"_w);
    Bevel2 = NewPart<TBevel>(this, "Bevel2");
    Label1 = NewLabel(this, "Label1", "Servis  ");
    ComboBox1 = NewList(this, "ComboBox1", {"SuperOnline"});
    ComboBox1->OnChange = [this](TObject* s) { ComboBox1Change(s); };
    Label2 = NewLabel(this, "Label2", "Sizin CEP:");
    ComboBox2 = NewList(this, "ComboBox2", {"532", "533", "535"});
    Edit1 = NewEdit(this, "Edit1");
    Edit1->MaxLength = 7;
    Label3 = NewLabel(this, "Label3", "Kul. Adı"_w);
    Edit2 = NewEdit(this, "Edit2");
    Label4 = NewLabel(this, "Label4", "Şifre"_w);
    Edit3 = NewEdit(this, "Edit3");
    Edit3->PasswordChar = '*';
    Edit4 = NewEdit(this, "Edit4");
    Edit4->SetVisible(false);
    Button1 = NewPart<TButton>(this, "Button1");
    Button1->SetCaption("Kaydet");
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button2 = NewPart<TButton>(this, "Button2");
    Button2->SetCaption("İptal"_w);
    Button2->OnClick = [this](TObject* s) { Button2Click(s); };
    OnCreate = [this](TObject* s) { FormCreate(s); };
}

void TForm3::FormCreate(TObject*) {
    ComboBox1->SetItemIndex(0);
    Edit2->SetEnabled(false);
    Paint(Edit2, clInactiveBorder);
    TIniFile ini(storedstate::MainIniName);
    const std::string tel = ini.ReadString("Superonline", "Tel", "");
    ComboBox2->SetItemIndex(ComboBox2->Items()->IndexOf(Copy(tel, 1, 3)));
    Edit1->SetText(Copy(tel, 4, INT_MAX));
    Edit3->SetText(ini.ReadString("Superonline", "Sifre", ""));
    Edit4->SetText(ini.ReadString("Otomatik", "İsim"_w, ""));
}

void TForm3::Button1Click(TObject*) {
    TIniFile ini(storedstate::MainIniName);
    if (ComboBox1->Text().empty() || Edit1->Text().empty() || Edit3->Text().empty() || ComboBox2->Text().empty()) {
        ShowMessage("Lütfen Bütün Alanları Doldurun"_w);
        return;
    }
    ini.WriteString("Superonline", "Tel", ComboBox2->Text() + Edit1->Text());
    ini.WriteString("Superonline", "Sifre", Edit3->Text());
    ini.WriteString("Otomatik", "İsim"_w, Edit4->Text());
    Close();
}

void TForm3::Button2Click(TObject*) {
    ComboBox1->SetItemIndex(0);
    Edit2->SetEnabled(false);
    Paint(Edit2, clInactiveBorder);
    Paint(Edit4, clInactiveBorder);
    Paint(Edit1, clWhite);
    Edit1->SetEnabled(true);
    Paint(ComboBox2, clWhite);
    ComboBox2->SetEnabled(true);
    Paint(Edit3, clWhite);
    Close();
}

void TForm3::ComboBox1Change(TObject*) {}
