// TEQFrm: the dialog that picks an equalizer preset by name.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TEQFrm : public TForm {
public:
    explicit TEQFrm(TComponent* AOwner);
    const char* ClassName() const override { return "TEQFrm"; }
    TListBox* ListBox1;
    TBitBtn* BitBtn1;
    TBitBtn* BitBtn2;
};
