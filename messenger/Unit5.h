// The edit contact window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
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
