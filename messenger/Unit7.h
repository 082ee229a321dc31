// The news window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm7 : public TForm {
public:
    explicit TForm7(TComponent* AOwner);
    const char* ClassName() const override { return "TForm7"; }
};

extern TForm7* Form7;
