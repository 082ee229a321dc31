// The change password window: created with the program; it holds the fields and buttons the main window reaches and
// has no handlers of its own.
#pragma once

#include "platform/classlib/forms.h"

class TForm16 : public TForm {
public:
    explicit TForm16(TComponent* AOwner);
    const char* ClassName() const override { return "TForm16"; }
};

extern TForm16* Form16;
