// The new user window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm14 : public TForm {
public:
    explicit TForm14(TComponent* AOwner);
    const char* ClassName() const override { return "TForm14"; }
};

extern TForm14* Form14;
