// The settings window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
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
