// The SuperOnline login window ("Tolvar [Servis Girişleri]"): the user's own prefix, number and
// password, loaded from tolvar17.ini when the window is created and saved there by "Kaydet". The
// fields are the working values: the SuperOnline send reads them as they stand, saved or not.
#pragma once

#include "platform/classlib/extctrls.h"
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
    TButton* Button1;      // "Kaydet"
    TButton* Button2;      // "İptal"
    TLabel* Label1;        // "Servis  "
    TLabel* Label2;        // "Sizin CEP:"
    TLabel* Label3;        // "Kul. Adı"
    TLabel* Label4;        // "Şifre"
    TLabel* Label5;        // the two lines between the bevels
    TLabel* Label6;
    TBevel* Bevel1;
    TBevel* Bevel2;

    void FormCreate(TObject* Sender);
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);
    void ComboBox1Change(TObject* Sender);
};

extern TForm3* Form3;
