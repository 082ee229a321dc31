// The user settings window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm13 : public TForm {
public:
    explicit TForm13(TComponent* AOwner);
    const char* ClassName() const override { return "TForm13"; }
};

extern TForm13* Form13;
