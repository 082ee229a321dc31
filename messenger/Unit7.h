// The news window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm7 : public TForm {
public:
    explicit TForm7(TComponent* AOwner);
    const char* ClassName() const override { return "TForm7"; }
};

extern TForm7* Form7;
