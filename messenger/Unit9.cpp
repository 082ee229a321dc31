#include "messenger/Unit9.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "platform/classlib/registry.h"
#include "platform/codepage/cp1254.h"

using messenger::NewEdit;
using messenger::NewPart;

TForm9* Form9 = nullptr;

namespace {

const std::string kSignature = "Eklenecek";
const std::string kProxy = "Proxy";
const std::string kProxyAddress = "Proxy Adresi";
const std::string kProxyPort = "Proxy Portu";
const std::string kAuth = "Yetki";
const std::string kAuthUser = "YetkiKullanıcıadı"_w;
const std::string kAuthPassword = "YetkiSifre";

template <class T>
T* NewCaptioned(TForm* form, const char* name, TWinControl* parent, const std::string& caption) {
    auto* c = NewPart<T>(form, name, parent);
    c->SetCaption(caption);
    return c;
}

}  // namespace

TForm9::TForm9(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form9");
    SetCaption("Tolvar[Diğer Ayarlar]"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poDesktopCenter;
    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel2 = NewPart<TPanel>(this, "Panel2");
    Panel2->SetVisible(false);

    TabSheet1 = NewCaptioned<TGroupBox>(this, "TabSheet1", Panel2, "Proxy Ayarları"_w);
    CheckBox3 = NewCaptioned<TCheckBox>(this, "CheckBox3", TabSheet1, "Proxy arkasındayım"_w);
    CheckBox3->OnClick = [this](TObject* s) { CheckBox3Click(s); };
    Label1 = NewCaptioned<TLabel>(this, "Label1", TabSheet1, "Proxy Adresi:");
    Edit3 = NewPart<TEdit>(this, "Edit3", TabSheet1);
    Label2 = NewCaptioned<TLabel>(this, "Label2", TabSheet1, "Proxy Port'u:");
    Edit4 = NewPart<TEdit>(this, "Edit4", TabSheet1);
    Edit4->SetText("80");
    CheckBox4 = NewCaptioned<TCheckBox>(this, "CheckBox4", TabSheet1, "Yetki Gerekiyor");
    CheckBox4->OnClick = [this](TObject* s) { CheckBox4Click(s); };
    Label3 = NewCaptioned<TLabel>(this, "Label3", TabSheet1, "Kul.Adı:"_w);
    Edit5 = NewPart<TEdit>(this, "Edit5", TabSheet1);
    Label4 = NewCaptioned<TLabel>(this, "Label4", TabSheet1, "Şifre:"_w);
    Edit6 = NewPart<TEdit>(this, "Edit6", TabSheet1);

    TabSheet2 = NewCaptioned<TGroupBox>(this, "TabSheet2", Panel2, "Diğerleri"_w);
    GroupBox1 = NewCaptioned<TGroupBox>(this, "GroupBox1", TabSheet2, "İsim Ekle"_w);
    Edit1 = NewPart<TEdit>(this, "Edit1", GroupBox1);
    Edit1->MaxLength = 10;
    Edit1->SetText("Tolvar");
    Label5 = NewCaptioned<TLabel>(this, "Label5", GroupBox1, "İstemezseniz boş bırakın..."_w);
    GroupBox2 = NewPart<TGroupBox>(this, "GroupBox2", TabSheet2);
    GroupBox2->SetEnabled(false);
    Edit2 = NewPart<TEdit>(this, "Edit2", GroupBox2);
    CheckBox1 = NewCaptioned<TCheckBox>(this, "CheckBox1", GroupBox2, "Aktif Yap");

    BitBtn1 = NewCaptioned<TBitBtn>(this, "BitBtn1", this, "Tamam");
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewCaptioned<TBitBtn>(this, "BitBtn2", this, "İptal"_w);
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm9::FormCreate(TObject*) {
    TRegistry reg;
    reg.OpenKey(storedstate::ProgramKey, true);
    if (reg.ValueExists(kSignature)) Edit1->SetText(reg.ReadString(kSignature));
    if (reg.ValueExists(kProxy)) CheckBox3->SetChecked(reg.ReadBool(kProxy));
    if (reg.ValueExists(kProxyAddress)) Edit3->SetText(reg.ReadString(kProxyAddress));
    if (reg.ValueExists(kProxyPort)) Edit4->SetText(reg.ReadString(kProxyPort));
    if (reg.ValueExists(kAuth)) CheckBox4->SetChecked(reg.ReadBool(kAuth));
    if (reg.ValueExists(kAuthUser)) Edit5->SetText(reg.ReadString(kAuthUser));
    if (reg.ValueExists(kAuthPassword)) Edit6->SetText(reg.ReadString(kAuthPassword));
    reg.CloseKey();
}

void TForm9::FormShow(TObject*) {
    TRegistry reg;
    reg.OpenKey(storedstate::ProgramKey, true);
    const bool proxy = CheckBox3->Checked();
    Edit3->SetEnabled(proxy);
    Edit4->SetEnabled(proxy);
    CheckBox4->SetEnabled(proxy);
    if (reg.ValueExists(kAuth)) CheckBox4->SetChecked(reg.ReadBool(kAuth));
    const bool auth = CheckBox4->Checked();
    Edit5->SetEnabled(auth);
    Edit6->SetEnabled(auth);
    Label1->SetEnabled(proxy);
    Label2->SetEnabled(proxy);
    Label3->SetEnabled(auth);
    Label4->SetEnabled(auth);
}

void TForm9::BitBtn1Click(TObject*) {
    TRegistry reg;
    reg.OpenKey(storedstate::ProgramKey, true);
    reg.WriteString(kSignature, Edit1->Text());
    reg.WriteBool(kProxy, CheckBox3->Checked());
    reg.WriteString(kProxyAddress, Edit3->Text());
    reg.WriteString(kProxyPort, Edit4->Text());
    reg.WriteBool(kAuth, CheckBox4->Checked());
    reg.WriteString(kAuthUser, Edit5->Text());
    reg.WriteString(kAuthPassword, Edit6->Text());
    Close();
}

void TForm9::BitBtn2Click(TObject*) { Close(); }

void TForm9::CheckBox3Click(TObject*) {
    const bool on = CheckBox3->Checked();
    Edit3->SetEnabled(on);
    Edit4->SetEnabled(on);
    Label1->SetEnabled(on);
    Label2->SetEnabled(on);
    CheckBox4->SetEnabled(on);
}

void TForm9::CheckBox4Click(TObject*) {
    const bool on = CheckBox4->Checked();
    Edit5->SetEnabled(on);
    Edit6->SetEnabled(on);
    Label3->SetEnabled(on);
    Label4->SetEnabled(on);
}
