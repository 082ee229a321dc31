// The sent notice (never shown). It has no behaviour.
#pragma once

#include "platform/classlib/forms.h"

class TForm6 : public TForm {
public:
    explicit TForm6(TComponent* AOwner);
    const char* ClassName() const override { return "TForm6"; }
};

extern TForm6* Form6;
