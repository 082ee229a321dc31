// The about box: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm10 : public TForm {
public:
    explicit TForm10(TComponent* AOwner);
    const char* ClassName() const override { return "TForm10"; }
};

extern TForm10* Form10;
