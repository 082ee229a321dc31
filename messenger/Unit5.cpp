#include "messenger/Unit5.h"

#include "messenger/FormParts.h"
#include "messenger/Unit1.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"

TForm5* Form5 = nullptr;

using messenger::NewEdit;
using messenger::NewPart;
using messenger::NewPrefixCombo;

namespace {

TLabel* NewBoldLabel(TForm* form, const char* name, const std::string& caption, int top) {
    auto* l = NewPart<TLabel>(form, name);
    l->SetCaption(caption);
    l->SetBounds(8, top, 70, 13);
    return l;
}

TBitBtn* NewButton(TForm* form, const char* name, TBitBtnKind kind, const std::string& caption, int left) {
    auto* b = NewPart<TBitBtn>(form, name);
    b->SetKind(kind);
    b->SetCaption(caption);
    b->SetBounds(left, 84, 90, 25);
    return b;
}

}  // namespace

TForm5::TForm5(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form5");
    SetCaption("Tolvar[Düzenle]"_w);
    BorderStyle = bsDialog;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    SetBounds(0, 0, 250, 120);
    Label2 = NewBoldLabel(this, "Label2", "Cep İsim:"_w, 12);
    Edit1 = NewEdit(this, "Edit1");
    Edit1->SetBounds(80, 8, 160, 21);
    Bevel1 = NewPart<TBevel>(this, "Bevel1");
    Bevel1->Shape = bsTopLine;
    Bevel1->SetBounds(8, 76, 234, 2);
    Label3 = NewBoldLabel(this, "Label3", "CEP NO:", 44);
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    ComboBox2->SetBounds(112, 40, 50, 21);
    BitBtn1 = NewButton(this, "BitBtn1", bkOK, "Tamam", 50);
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewButton(this, "BitBtn2", bkCancel, "Vazgeç"_w, 150);
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
