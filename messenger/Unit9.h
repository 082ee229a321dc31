// The settings window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/extctrls.h"

class TForm9 : public TForm {
public:
    explicit TForm9(TComponent* AOwner);
    const char* ClassName() const override { return "TForm9"; }

    TPanel* Panel1;  // the empty panel shown at first
    TPanel* Panel2;  // the settings pages
};

extern TForm9* Form9;
