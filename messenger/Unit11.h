// The ready-message window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm11 : public TForm {
public:
    explicit TForm11(TComponent* AOwner);
    const char* ClassName() const override { return "TForm11"; }
};

extern TForm11* Form11;
