// The suggestion window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm12 : public TForm {
public:
    explicit TForm12(TComponent* AOwner);
    const char* ClassName() const override { return "TForm12"; }
};

extern TForm12* Form12;
