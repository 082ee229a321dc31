// The about box. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm10 : public TForm {
public:
    explicit TForm10(TComponent* AOwner);
    const char* ClassName() const override { return "TForm10"; }
};

extern TForm10* Form10;
