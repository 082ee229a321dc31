// The preset picker's parts.
#include "player/EQTools.h"

#include "platform/codepage/cp1254.h"

TEQFrm::TEQFrm(TComponent* AOwner) : TForm(AOwner) {
    SetName("EQFrm");
    BorderStyle = bsDialog;
    SetCaption(cp1254::FromUtf8("Equalizer Yükle"));
    SetBounds(0, 0, 164, 217);
    ListBox1 = new TListBox(this);
    ListBox1->SetName("ListBox1");
    ListBox1->SetParent(this);
    ListBox1->SetAlign(alTop);
    ListBox1->SetBounds(0, 0, 164, 177);
    BitBtn1 = new TBitBtn(this);
    BitBtn1->SetName("BitBtn1");
    BitBtn1->SetParent(this);
    BitBtn1->SetKind(bkOK);
    BitBtn1->SetCaption("Tamam");
    BitBtn1->SetBounds(4, 184, 75, 25);
    BitBtn2 = new TBitBtn(this);
    BitBtn2->SetName("BitBtn2");
    BitBtn2->SetParent(this);
    BitBtn2->SetKind(bkCancel);
    BitBtn2->SetCaption(cp1254::FromUtf8("İptal"));
    BitBtn2->SetBounds(84, 184, 75, 25);
}
