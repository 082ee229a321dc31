// The wait window (borderless). Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm18 : public TForm {
public:
    explicit TForm18(TComponent* AOwner);
    const char* ClassName() const override { return "TForm18"; }
};

extern TForm18* Form18;
