// The new contact window: a name and a number (country code, operator prefix, subscriber digits)
// appended to the current user's address book in the main window. Nothing is stored here: the book
// is written at exit.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm4 : public TForm {
public:
    explicit TForm4(TComponent* AOwner);
    const char* ClassName() const override { return "TForm4"; }

    TEdit* Edit1;                // name
    TLabel* Label2;
    TLabel* Label4;
    TSpeedButton* SpeedButton2;  // "TAMAM"
    TSpeedButton* SpeedButton3;  // "İPTAL"
    TBevel* Bevel1;
    TComboBox* ComboBox2;        // operator prefix (a typed one is taken as it is)
    TEdit* Edit4;                // country code
    TEdit* Edit5;                // subscriber digits

    void FormShow(TObject* Sender);
    void SpeedButton2Click(TObject* Sender);
    void SpeedButton3Click(TObject* Sender);
};

extern TForm4* Form4;
