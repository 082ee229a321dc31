// The wait window (borderless): created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm18 : public TForm {
public:
    explicit TForm18(TComponent* AOwner);
    const char* ClassName() const override { return "TForm18"; }
};

extern TForm18* Form18;
