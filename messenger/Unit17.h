// The login window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm17 : public TForm {
public:
    explicit TForm17(TComponent* AOwner);
    const char* ClassName() const override { return "TForm17"; }
};

extern TForm17* Form17;
