#include "messenger/Unit16.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "messenger/Unit1.h"
#include "messenger/Unit13.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"
#include "platform/classlib/registry.h"

using messenger::NewBitBtn;
using messenger::NewCaptioned;
using messenger::NewPart;
using messenger::NewPasswordEdit;

TForm16* Form16 = nullptr;

TForm16::TForm16(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form16");
    SetCaption("Şifre Değiştir"_w);
    BorderIcons = biSystemMenu;
    BorderStyle = bsToolWindow;
    FormStyle = fsStayOnTop;
    SetBounds(0, 0, 240, 140);
    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel1->SetBounds(8, 8, 220, 70);
    Panel1->SetCaption("");
    Label1 = NewCaptioned<TLabel>(this, "Label1", "Eski Şifre:"_w, {8, 12, 80, 13}, Panel1);
    Edit1 = NewPasswordEdit(this, "Edit1", {90, 8, 120, 21}, Panel1);
    Label2 = NewCaptioned<TLabel>(this, "Label2", "Yeni Şifre"_w, {8, 40, 80, 13}, Panel1);
    Edit2 = NewPasswordEdit(this, "Edit2", {90, 36, 120, 21}, Panel1);
    BitBtn1 = NewBitBtn(this, "BitBtn1", bkOK, "Kaydet", {8, 86, 105, 25});
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewBitBtn(this, "BitBtn2", bkCancel, "Vazgeç"_w, {123, 86, 105, 25});
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
    Label3 = NewPart<TLabel>(this, "Label3");
    Label3->SetCaption("sifre");
    Label3->SetVisible(false);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnHide = [this](TObject*) { FHolds.Release(); };
}

void TForm16::FormCreate(TObject*) {
    TRegistry reg;
    reg.OpenKey(storedstate::ProgramKey, true);
}

void TForm16::FormShow(TObject*) {
    FHolds.Take({Form13, Form1});
    const int index = Form13->ListBox1->ItemIndex();
    const TStrings* passwords = Form13->ListBox2->Items();
    Label3->SetCaption(index >= 0 && index < passwords->Count() ? passwords->Get(index) : std::string());
}

void TForm16::FormClose(TObject*, TCloseAction&) { FHolds.Release(); }

void TForm16::BitBtn1Click(TObject*) {
    if (Edit1->Text() != Label3->Caption()) {
        ShowMessage("Eski Şifreyi yanlış girdiniz"_w);
        return;
    }
    // The user chosen when the window opened; the settings window stays disabled meanwhile.
    const int index = Form13->ListBox1->ItemIndex();
    if (index >= 0 && index < Form13->ListBox2->Items()->Count())
        Form13->ListBox2->Items()->Put(index, Edit2->Text());
    Close();
    Edit1->Clear();
    Edit2->Clear();
}

void TForm16::BitBtn2Click(TObject*) { Close(); }
