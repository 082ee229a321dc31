// The new contact window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm4 : public TForm {
public:
    explicit TForm4(TComponent* AOwner);
    const char* ClassName() const override { return "TForm4"; }

    TEdit* Edit1;          // name
    TComboBox* ComboBox2;  // operator prefix
    TEdit* Edit4;          // country code
    TEdit* Edit5;          // subscriber digits
};

extern TForm4* Form4;
