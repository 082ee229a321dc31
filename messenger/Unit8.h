// The help window. It has no behaviour.
#pragma once

#include "platform/classlib/forms.h"

class TForm8 : public TForm {
public:
    explicit TForm8(TComponent* AOwner);
    const char* ClassName() const override { return "TForm8"; }
};

extern TForm8* Form8;
