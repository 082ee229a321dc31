// TSarkiForm: the playlist editor. It edits its own copy of the playlist (the main window takes it
// on OK) and can start any song on it at once.
#pragma once

#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"
#include "skin/ButtonComps.h"

class TForm1;

class TSarkiForm : public TForm {
public:
    explicit TSarkiForm(TForm1* AOwner);
    const char* ClassName() const override { return "TSarkiForm"; }

    TListBox* Liste;
    TAOLButton* Ekle;
    TAOLButton* Cikar;
    TAOLButton* AOLButton1;
    TAOLButton* AOLButton2;
    TAOLButton* AOLButton3;
    TAOLButton* AOLButton4;
    TOpenDialog* OpenDlg;

    void ListeDblClick(TObject* Sender);
    void EkleClick(TObject* Sender);
    void CikarClick(TObject* Sender);
    void AOLButton1Click(TObject* Sender);
    void AOLButton2Click(TObject* Sender);
    void AOLButton3Click(TObject* Sender);
    void AOLButton4Click(TObject* Sender);

private:
    TForm1* FMain;
};
