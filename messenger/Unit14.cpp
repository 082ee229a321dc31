#include "messenger/Unit14.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "messenger/Unit1.h"
#include "messenger/Unit13.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"

using messenger::NewBitBtn;
using messenger::NewCaptioned;
using messenger::NewPart;
using messenger::NewPasswordEdit;

TForm14* Form14 = nullptr;

TForm14::TForm14(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form14");
    SetCaption("Yeni Kullanıcı"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;
    SetBounds(0, 0, 250, 150);
    GroupBox1 = NewCaptioned<TGroupBox>(this, "GroupBox1", "Yeni Kullanıcı Ekle"_w, {8, 8, 230, 80});
    Edit1 = NewPart<TEdit>(this, "Edit1", GroupBox1);
    Edit1->SetBounds(100, 20, 120, 21);
    Label1 = NewCaptioned<TLabel>(this, "Label1", "Kullanıcı Adı:"_w, {8, 24, 90, 13}, GroupBox1);
    Label2 = NewCaptioned<TLabel>(this, "Label2", "Şifre:"_w, {8, 52, 90, 13}, GroupBox1);
    Edit2 = NewPasswordEdit(this, "Edit2", {100, 48, 120, 21}, GroupBox1);
    BitBtn1 = NewBitBtn(this, "BitBtn1", bkOK, "Ekle", {8, 96, 110, 25});
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewBitBtn(this, "BitBtn2", bkCancel, "Vazgeç"_w, {128, 96, 110, 25});
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnHide = [this](TObject*) { FHolds.Release(); };
}

void TForm14::FormShow(TObject*) { FHolds.Take({Form1, Form13}); }

void TForm14::FormClose(TObject*, TCloseAction&) { FHolds.Release(); }

void TForm14::BitBtn1Click(TObject*) {
    const std::string name = Edit1->Text();
    if (name.empty() || Edit2->Text().empty()) {
        ShowMessage("Lütfen 2 alanı da doldurun"_w);
        return;
    }
    // A backslash would make nested registry keys (a user "a\Liste" is the book of user "a").
    if (name.find('\\') != std::string::npos) {
        ShowMessage("Kullanıcı adında \"\\\" işareti olamaz"_w);
        return;
    }
    if (SameText(name, storedstate::DefaultUser)) {
        ShowMessage("\"GENEL\" adı programın kendi kullanıcısının adıdır; başka bir ad seçin"_w);
        return;
    }
    // One registry key per name, letter case aside (SameText folds as the registry does): a second
    // user of a listed name would be the first one's key under another password.
    const TStrings* users = Form13->ListBox1->Items();
    for (int i = 0; i < users->Count(); ++i)
        if (SameText(name, users->Get(i))) {
            ShowMessage("\"" + users->Get(i) + "\" adında bir kullanıcı zaten var; başka bir ad seçin"_w);
            return;
        }
    Form13->ListBox1->Items()->Add(name);
    Form13->ListBox2->Items()->Add(Edit2->Text());
    Edit1->Clear();
    Edit2->Clear();
    Close();
}

void TForm14::BitBtn2Click(TObject*) {
    Edit1->Clear();
    Edit2->Clear();
    Close();
}
