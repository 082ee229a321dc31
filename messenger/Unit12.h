// The suggestion window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm12 : public TForm {
public:
    explicit TForm12(TComponent* AOwner);
    const char* ClassName() const override { return "TForm12"; }
};

extern TForm12* Form12;
