#include "messenger/Unit5.h"

#include "messenger/FormParts.h"
#include "messenger/Unit1.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"

TForm5* Form5 = nullptr;

using messenger::NewBitBtn;
using messenger::NewCaptioned;
using messenger::NewEdit;
using messenger::NewPart;
using messenger::NewPrefixCombo;

TForm5::TForm5(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form5");
    SetCaption("Tolvar[Düzenle]"_w);
    BorderStyle = bsDialog;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    SetBounds(0, 0, 250, 120);
    Label2 = NewCaptioned<TLabel>(this, "Label2", "Cep İsim:"_w, {8, 12, 70, 13});
    Edit1 = NewEdit(this, "Edit1");
    Edit1->SetBounds(80, 8, 160, 21);
    Bevel1 = NewPart<TBevel>(this, "Bevel1");
    Bevel1->Shape = bsTopLine;
    Bevel1->SetBounds(8, 76, 234, 2);
    Label3 = NewCaptioned<TLabel>(this, "Label3", "CEP NO:", {8, 44, 70, 13});
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    ComboBox2->SetBounds(112, 40, 50, 21);
    BitBtn1 = NewBitBtn(this, "BitBtn1", bkOK, "Tamam", {50, 84, 90, 25});
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewBitBtn(this, "BitBtn2", bkCancel, "Vazgeç"_w, {150, 84, 90, 25});
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
    Edit2 = NewEdit(this, "Edit2", 2, "90");
    Edit2->SetBounds(80, 40, 28, 21);
    Edit3 = NewEdit(this, "Edit3", 7);
    Edit3->SetBounds(166, 40, 74, 21);
}

void TForm5::BitBtn1Click(TObject*) {
    TStrings* names = Form1->ListBox1->Items();
    TStrings* numbers = Form1->ListBox2->Items();
    const int index = Form1->ListBox1->ItemIndex();
    if (index < 0 || index >= names->Count() || index >= numbers->Count()) {
        ShowMessage("Lütfen listeden bir kişi seçin"_w);
        return;
    }
    const std::string name = Edit1->Text();
    if (name.empty() || Edit2->Text().empty() || ComboBox2->Text().empty() || Edit3->Text().empty()) {
        ShowMessage("Lütfen Bütün Alanları Doldurun"_w);
        return;
    }
    // Two contacts of one name would share one stored value, and one of them would be lost.
    for (int i = 0; i < names->Count(); ++i) {
        if (i != index && SameText(names->Get(i), name)) {
            ShowMessage("Zaten Böyle bir kişi var listede"_w);
            return;
        }
    }
    names->Put(index, name);
    numbers->Put(index, Edit2->Text() + ComboBox2->Text() + Edit3->Text());
    Form1->ListBox1->SetItemIndex(index);
    Edit1->Clear();
    Edit3->Clear();
    ComboBox2->SetItemIndex(0);
    Close();
}

void TForm5::BitBtn2Click(TObject*) {
    ComboBox2->SetItemIndex(0);
    Edit1->Clear();
    Edit3->Clear();
    Close();
}
