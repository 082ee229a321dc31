// The edit contact window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm5 : public TForm {
public:
    explicit TForm5(TComponent* AOwner);
    const char* ClassName() const override { return "TForm5"; }

    TEdit* Edit1;          // name
    TComboBox* ComboBox2;  // operator prefix
    TEdit* Edit2;          // country code
    TEdit* Edit3;          // subscriber digits
};

extern TForm5* Form5;
