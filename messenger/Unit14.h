// The new user window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm14 : public TForm {
public:
    explicit TForm14(TComponent* AOwner);
    const char* ClassName() const override { return "TForm14"; }
};

extern TForm14* Form14;
