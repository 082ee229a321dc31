// The login window: makes a registry user current. With the right password the user's address book
// replaces the main window's lists and the user's history the history window's; nothing is written.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm17 : public TForm {
public:
    explicit TForm17(TComponent* AOwner);
    const char* ClassName() const override { return "TForm17"; }

    TGroupBox* GroupBox1;
    TComboBox* ComboBox1;  // the users (only listed names can be chosen)
    TEdit* Edit1;          // password
    TLabel* Label1;
    TLabel* Label2;
    TBitBtn* BitBtn1;      // "Tamam"
    TBitBtn* BitBtn2;      // "Vazgeç"

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void BitBtn1Click(TObject* Sender);
    void BitBtn2Click(TObject* Sender);
};

extern TForm17* Form17;
