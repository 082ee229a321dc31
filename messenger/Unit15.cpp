#include "messenger/Unit15.h"

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/inifiles.h"

using messenger::NewPart;

TForm15* Form15 = nullptr;

TForm15::TForm15(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form15");
    SetCaption("Geçmiş Mesajlar Bölümü"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = biSystemMenu;
    FormStyle = fsStayOnTop;
    Position = poDesktopCenter;
    ListBox1 = NewPart<TListBox>(this, "ListBox1");
    ListBox1->Style = lbOwnerDrawFixed;
    ListBox1->ItemHeight = 16;
    ListBox1->Color = 8404992;
    ListBox1->ParentColor = false;
    ListBox2 = NewPart<TListBox>(this, "ListBox2");
    ListBox2->SetVisible(false);
    OnCreate = [this](TObject* s) { FormCreate(s); };
}

void TForm15::FormCreate(TObject*) {
    TIniFile ini(storedstate::MainIniName);
    storedstate::ReadHistory(ini, ListBox1->Items());
}
