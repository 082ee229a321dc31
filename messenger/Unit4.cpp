#include "messenger/Unit4.h"

#include "messenger/FormParts.h"
#include "messenger/Unit1.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/application.h"

TForm4* Form4 = nullptr;

using messenger::NewCaptioned;
using messenger::NewEdit;
using messenger::NewPart;
using messenger::NewPrefixCombo;

TForm4::TForm4(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form4");
    SetCaption("Tolvar [Yeni CEP]"_w);
    BorderStyle = bsDialog;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    SetBounds(0, 0, 250, 120);
    Edit1 = NewEdit(this, "Edit1");
    Edit1->SetBounds(80, 8, 160, 21);
    Label2 = NewCaptioned<TLabel>(this, "Label2", "Cep İsim:"_w, {8, 12, 70, 13});
    Label4 = NewCaptioned<TLabel>(this, "Label4", "CEP NO:", {8, 44, 70, 13});
    SpeedButton2 = NewCaptioned<TSpeedButton>(this, "SpeedButton2", "TAMAM", {50, 84, 90, 25});
    SpeedButton2->NumGlyphs = 2;
    SpeedButton2->OnClick = [this](TObject* s) { SpeedButton2Click(s); };
    SpeedButton3 = NewCaptioned<TSpeedButton>(this, "SpeedButton3", "İPTAL"_w, {150, 84, 90, 25});
    SpeedButton3->OnClick = [this](TObject* s) { SpeedButton3Click(s); };
    Bevel1 = NewPart<TBevel>(this, "Bevel1");
    Bevel1->Shape = bsTopLine;
    Bevel1->SetBounds(8, 76, 234, 2);
    ComboBox2 = NewPrefixCombo(this, "ComboBox2");
    ComboBox2->SetBounds(112, 40, 50, 21);
    Edit4 = NewEdit(this, "Edit4", 2, "90");
    Edit4->SetBounds(80, 40, 28, 21);
    Edit5 = NewEdit(this, "Edit5", 7);
    Edit5->SetBounds(166, 40, 74, 21);
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm4::FormShow(TObject*) {
    ComboBox2->SetItemIndex(0);
    SetActiveControl(Edit1);
}

void TForm4::SpeedButton2Click(TObject*) {
    const std::string name = Edit1->Text();
    if (Form1->ListBox1->Items()->IndexOf(name) >= 0) {
        ShowMessage("Zaten Böyle bir kişi var listede"_w);
        return;
    }
    // The prefix is part of the number too: without it the subscriber digits would take its place.
    if (name.empty() || Edit4->Text().empty() || ComboBox2->Text().empty() || Edit5->Text().empty()) {
        ShowMessage("Lütfen Bütün Alanları Doldurun"_w);
        return;
    }
    Form1->ListBox1->Items()->Add(name);
    Form1->ListBox2->Items()->Add(Edit4->Text() + ComboBox2->Text() + Edit5->Text());
    Edit1->Clear();
    Edit5->Clear();
    ComboBox2->SetItemIndex(0);
    Close();
}

void TForm4::SpeedButton3Click(TObject*) {
    ComboBox2->SetItemIndex(0);
    Edit1->Clear();
    Edit5->Clear();
    Close();
}
