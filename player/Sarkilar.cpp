// The playlist editor's parts and handlers.
#include "player/Sarkilar.h"

#include "platform/codepage/cp1254.h"
#include "player/Main.h"

TSarkiForm::TSarkiForm(TForm1* AOwner) : TForm(AOwner), FMain(AOwner) {
    SetName("SarkiForm");
    BorderStyle = bsDialog;
    SetCaption(cp1254::FromUtf8("Şarkılar"));
    SetBounds(0, 0, 594, 347);
    Liste = new TListBox(this);
    Liste->SetName("Liste");
    Liste->SetParent(this);
    Liste->SetAlign(alTop);
    Liste->SetBounds(0, 0, 594, 310);
    Liste->Color = static_cast<int>(clInfoBk);
    Liste->ParentColor = false;
    Liste->OnDblClick = [this](TObject* s) { ListeDblClick(s); };

    auto button = [this](const char* name, const char* caption, int x, void (TSarkiForm::*handler)(TObject*)) {
        auto* b = new TAOLButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->SetCaption(cp1254::FromUtf8(caption));
        b->SetBounds(x, 318, 89, 23);
        b->SetParentShowHint(false);
        b->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
        return b;
    };
    Ekle = button("Ekle", "Ekle", 4, &TSarkiForm::EkleClick);
    Cikar = button("Cikar", "Çıkar", 97, &TSarkiForm::CikarClick);
    AOLButton3 = button("AOLButton3", "Yukarı", 190, &TSarkiForm::AOLButton3Click);
    AOLButton4 = button("AOLButton4", "Aşağı", 283, &TSarkiForm::AOLButton4Click);
    AOLButton1 = button("AOLButton1", "Tamam", 408, &TSarkiForm::AOLButton1Click);
    AOLButton2 = button("AOLButton2", "İptal", 501, &TSarkiForm::AOLButton2Click);

    OpenDlg = new TOpenDialog(this);
    OpenDlg->SetName("OpenDlg");
    OpenDlg->DefaultExt = "MP3";
    OpenDlg->Filter = dorlin::kAudioFilter;
}

void TSarkiForm::AOLButton1Click(TObject*) { ModalResult = mrOk; }
void TSarkiForm::AOLButton2Click(TObject*) { ModalResult = mrCancel; }

void TSarkiForm::EkleClick(TObject*) {
    if (!OpenDlg->Execute()) return;
    if (Liste->Items()->IndexOf(OpenDlg->FileName) < 0) Liste->Items()->Add(OpenDlg->FileName);
}

void TSarkiForm::CikarClick(TObject*) {
    const int i = Liste->ItemIndex();
    if (i >= 0) Liste->Items()->Delete(i);
}

void TSarkiForm::AOLButton3Click(TObject*) {
    const int i = Liste->ItemIndex();
    if (i < 1) return;
    Liste->Items()->Exchange(i, i - 1);
    Liste->SetItemIndex(i - 1);
}

void TSarkiForm::AOLButton4Click(TObject*) {
    const int i = Liste->ItemIndex();
    if (i < 0 || i >= Liste->Items()->Count() - 1) return;
    Liste->Items()->Exchange(i, i + 1);
    Liste->SetItemIndex(i + 1);
}

void TSarkiForm::ListeDblClick(TObject*) {
    const int i = Liste->ItemIndex();
    if (i >= 0) FMain->PlayFromList(Liste->Items()->Get(i));
}
