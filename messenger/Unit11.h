// The ready-message window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm11 : public TForm {
public:
    explicit TForm11(TComponent* AOwner);
    const char* ClassName() const override { return "TForm11"; }
};

extern TForm11* Form11;
