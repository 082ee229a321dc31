#include "messenger/Unit17.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "messenger/Unit1.h"
#include "messenger/Unit15.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"
#include "platform/classlib/registry.h"

using messenger::NewBitBtn;
using messenger::NewCaptioned;
using messenger::NewPart;
using messenger::NewPasswordEdit;

TForm17* Form17 = nullptr;

TForm17::TForm17(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form17");
    SetCaption("Kullanıcı Seçimi"_w);
    BorderStyle = bsToolWindow;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;
    SetBounds(0, 0, 250, 150);
    GroupBox1 = NewCaptioned<TGroupBox>(this, "GroupBox1", "Kullanıcılar"_w, {8, 8, 230, 80});
    ComboBox1 = NewPart<TComboBox>(this, "ComboBox1", GroupBox1);
    ComboBox1->Style = csOwnerDrawVariable;
    ComboBox1->ItemHeight = 16;
    ComboBox1->SetBounds(100, 20, 120, 22);
    Edit1 = NewPasswordEdit(this, "Edit1", {100, 48, 120, 21}, GroupBox1);
    Label1 = NewCaptioned<TLabel>(this, "Label1", "Kullanıcı Adı:"_w, {8, 24, 90, 13}, GroupBox1);
    Label2 = NewCaptioned<TLabel>(this, "Label2", "Şifre:"_w, {8, 52, 90, 13}, GroupBox1);
    BitBtn1 = NewBitBtn(this, "BitBtn1", bkOK, "Tamam", {8, 96, 110, 25});
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewBitBtn(this, "BitBtn2", bkCancel, "Vazgeç"_w, {128, 96, 110, 25});
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm17::FormCreate(TObject*) {}

void TForm17::FormShow(TObject*) {
    TRegistry reg;
    TStringList users;
    if (reg.OpenKey("\\" + storedstate::UsersKey, true)) reg.GetKeyNames(&users);
    ComboBox1->Items()->Assign(&users);
}

void TForm17::BitBtn1Click(TObject*) {
    // Only a listed user can be chosen; with none chosen there is nobody to log in (an empty name
    // would be the users key itself).
    const int chosen = ComboBox1->ItemIndex();
    if (chosen < 0 || chosen >= ComboBox1->Items()->Count() || ComboBox1->Items()->Get(chosen).empty()) {
        ShowMessage("Lütfen bir kullanıcı seçin"_w);
        return;
    }
    const std::string user = ComboBox1->Items()->Get(chosen);
    {
        TRegistry reg;
        if (!reg.OpenKey(storedstate::UserKeyPath(user), false)) {
            ShowMessage("Bu kullanıcı artık yok"_w);
            return;
        }
        if (reg.ReadString("Sifre") != Edit1->Text()) {
            ShowMessage("Girdiğiniz şifre yanlış"_w);
            return;
        }
    }
    // The whole book and history are read before anything in the windows changes.
    storedstate::ReadRegistryUserState(user, Form1->ListBox1->Items(), Form1->ListBox2->Items(),
                                       Form15->ListBox2->Items(), Form15->ListBox1->Items());
    Form1->MakeRegistryUserCurrent(user);
    Form1->StatusBar1->Panels()->Items(0)->SetText("SMS Listesi: " + user);
    Form1->UpdateContactCommands();
    Form15->UpdateButtons();
    Edit1->Clear();
    Close();
}

void TForm17::BitBtn2Click(TObject*) { Close(); }
