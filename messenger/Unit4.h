// The new contact window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
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
