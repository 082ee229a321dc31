// The special message window (never shown). It has no behaviour.
#pragma once

#include "platform/classlib/forms.h"

class TForm19 : public TForm {
public:
    explicit TForm19(TComponent* AOwner);
    const char* ClassName() const override { return "TForm19"; }
};

extern TForm19* Form19;
