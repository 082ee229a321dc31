// The send window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
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
