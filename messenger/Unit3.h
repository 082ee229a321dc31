// The SuperOnline login window: the user's own prefix, number and password, loaded from
// tolvar17.ini when the window is created. Saving and the send that reads these fields arrive with
// their own feature.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm3 : public TForm {
public:
    explicit TForm3(TComponent* AOwner);
    const char* ClassName() const override { return "TForm3"; }

    TComboBox* ComboBox1;  // the service list ("SuperOnline")
    TComboBox* ComboBox2;  // own operator prefix
    TEdit* Edit1;          // own number
    TEdit* Edit2;          // user name (unused, disabled)
    TEdit* Edit3;          // password
    TEdit* Edit4;          // hidden: [Otomatik] İsim, carried through unchanged

    void FormCreate(TObject* Sender);
};

extern TForm3* Form3;
