// The login window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm17 : public TForm {
public:
    explicit TForm17(TComponent* AOwner);
    const char* ClassName() const override { return "TForm17"; }
};

extern TForm17* Form17;
