#include "messenger/Unit14.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "messenger/Unit1.h"
#include "messenger/Unit13.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"

using messenger::NewPart;

TForm14* Form14 = nullptr;

TForm14::TForm14(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form14");
    SetCaption("Yeni Kullanıcı"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;
    SetBounds(0, 0, 250, 150);
    GroupBox1 = NewPart<TGroupBox>(this, "GroupBox1");
    GroupBox1->SetCaption("Yeni Kullanıcı Ekle"_w);
    GroupBox1->SetBounds(8, 8, 230, 80);
    Edit1 = NewPart<TEdit>(this, "Edit1", GroupBox1);
    Edit1->SetBounds(100, 20, 120, 21);
    Label1 = NewPart<TLabel>(this, "Label1", GroupBox1);
    Label1->SetCaption("Kullanıcı Adı:"_w);
    Label1->SetBounds(8, 24, 90, 13);
    Label2 = NewPart<TLabel>(this, "Label2", GroupBox1);
    Label2->SetCaption("Şifre:"_w);
    Label2->SetBounds(8, 52, 90, 13);
    Edit2 = NewPart<TEdit>(this, "Edit2", GroupBox1);
    Edit2->PasswordChar = '*';
    Edit2->SetBounds(100, 48, 120, 21);
    BitBtn1 = NewPart<TBitBtn>(this, "BitBtn1");
    BitBtn1->SetKind(bkOK);
    BitBtn1->SetCaption("Ekle");
    BitBtn1->SetBounds(8, 96, 110, 25);
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewPart<TBitBtn>(this, "BitBtn2");
    BitBtn2->SetKind(bkCancel);
    BitBtn2->SetCaption("Vazgeç"_w);
    BitBtn2->SetBounds(128, 96, 110, 25);
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnHide = [this](TObject*) { ReleaseHolds(); };
}

void TForm14::FormShow(TObject*) {
    ReleaseHolds();
    FMainHold.emplace(Form1);
    FSettingsHold.emplace(Form13);
}

void TForm14::FormClose(TObject*, TCloseAction&) { ReleaseHolds(); }

void TForm14::ReleaseHolds() {
    FSettingsHold.reset();
    FMainHold.reset();
}

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
