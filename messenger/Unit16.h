// The change password window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm16 : public TForm {
public:
    explicit TForm16(TComponent* AOwner);
    const char* ClassName() const override { return "TForm16"; }
};

extern TForm16* Form16;
