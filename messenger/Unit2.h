// The send window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"
#include "platform/classlib/extctrls.h"

class TForm2 : public TForm {
public:
    explicit TForm2(TComponent* AOwner);
    const char* ClassName() const override { return "TForm2"; }

    TPanel* Panel1;  // title strip: the selected contact
    TMemo* Memo1;    // the message text
};

extern TForm2* Form2;
