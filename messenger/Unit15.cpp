#include "messenger/Unit15.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "messenger/Unit1.h"
#include "messenger/Unit2.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/inifiles.h"

using messenger::NewPart;

TForm15* Form15 = nullptr;

namespace {

TSpeedButton* NewFlatButton(TForm* form, const char* name, const std::string& caption, int left) {
    auto* b = NewPart<TSpeedButton>(form, name);
    b->SetCaption(caption);
    b->Flat = true;
    b->SetBounds(left, 196, 180, 22);
    return b;
}

}  // namespace

TForm15::TForm15(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form15");
    SetCaption("Geçmiş Mesajlar Bölümü"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = biSystemMenu;
    FormStyle = fsStayOnTop;
    Position = poDesktopCenter;
    SetBounds(0, 0, 380, 226);
    ListBox1 = NewPart<TListBox>(this, "ListBox1");
    ListBox1->Style = lbOwnerDrawFixed;
    ListBox1->ItemHeight = 16;
    ListBox1->SetBounds(4, 4, 372, 188);
    ListBox1->OnClick = [this](TObject*) { UpdateButtons(); };
    SpeedButton4 = NewFlatButton(this, "SpeedButton4", "MESAJ EKRANINA EKLE", 4);
    SpeedButton4->OnClick = [this](TObject* s) { SpeedButton4Click(s); };
    SpeedButton5 = NewFlatButton(this, "SpeedButton5", "&KAPAT", 196);
    SpeedButton5->OnClick = [this](TObject* s) { SpeedButton5Click(s); };
    ListBox2 = NewPart<TListBox>(this, "ListBox2");
    ListBox2->SetVisible(false);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnHide = [this](TObject*) { FHolds.Release(); };
}

void TForm15::FormCreate(TObject*) {
    TIniFile ini(storedstate::MainIniName);
    storedstate::ReadHistory(ini, ListBox1->Items());
    UpdateButtons();
}

void TForm15::FormShow(TObject*) {
    FHolds.Take({Form1, Form2});
    UpdateButtons();
}

void TForm15::FormClose(TObject*, TCloseAction&) { FHolds.Release(); }

void TForm15::UpdateButtons() {
    const int index = ListBox1->ItemIndex();
    SpeedButton4->SetEnabled(index >= 0 && index < ListBox1->Items()->Count());
}

void TForm15::SpeedButton4Click(TObject*) {
    const int index = ListBox1->ItemIndex();
    if (index < 0 || index >= ListBox1->Items()->Count()) return UpdateButtons();
    Form2->Memo1->SetText(Form2->Memo1->Text() + ListBox1->Items()->Get(index));
}

void TForm15::SpeedButton5Click(TObject*) { Close(); }
