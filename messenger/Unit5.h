// The edit contact window: the main window fills it from the selected contact (name, country code,
// operator prefix, subscriber digits); "Tamam" puts the edited name and number in that contact's
// place in the current user's address book. Nothing is stored here: the book is written at exit.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm5 : public TForm {
public:
    explicit TForm5(TComponent* AOwner);
    const char* ClassName() const override { return "TForm5"; }

    TLabel* Label2;
    TEdit* Edit1;          // name
    TBevel* Bevel1;
    TLabel* Label3;
    TComboBox* ComboBox2;  // operator prefix (a typed one is taken as it is)
    TBitBtn* BitBtn1;      // "Tamam"
    TBitBtn* BitBtn2;      // "Vazgeç"
    TEdit* Edit2;          // country code
    TEdit* Edit3;          // subscriber digits

    void BitBtn1Click(TObject* Sender);
    void BitBtn2Click(TObject* Sender);
};

extern TForm5* Form5;
