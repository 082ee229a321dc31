// The user settings window. Its behaviour arrives with its own feature; for now it is created with the
// program and holds what the main window reaches.
#pragma once

#include "platform/classlib/forms.h"

class TForm13 : public TForm {
public:
    explicit TForm13(TComponent* AOwner);
    const char* ClassName() const override { return "TForm13"; }
};

extern TForm13* Form13;
