// The user-settings window: the choice between one and several users of the program, and the
// registry users with their passwords. Added users and changed passwords live in its two parallel
// lists until "Ayarları Kaydet" writes them; deleting a user acts on the registry at once.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm13 : public TForm {
public:
    explicit TForm13(TComponent* AOwner);
    const char* ClassName() const override { return "TForm13"; }

    TGroupBox* GroupBox1;
    TListBox* ListBox1;        // user names
    TButton* Button1;          // "Kullanıcı Ekle"
    TButton* Button2;          // "Kullanıcı'yı Sil"
    TLabel* Label1;
    TButton* Button5;          // "Şifre Değiştir"
    TRadioButton* RadioButton1;  // one user
    TRadioButton* RadioButton2;  // several users
    TBitBtn* BitBtn1;          // "Ayarları Kaydet"
    TBitBtn* BitBtn2;          // "Vazgeç"
    TListBox* ListBox2;        // hidden: the passwords, item i belongs to user i

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void RadioButton1Click(TObject* Sender);
    void RadioButton2Click(TObject* Sender);
    void ListBox1Click(TObject* Sender);
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);
    void Button5Click(TObject* Sender);
    void BitBtn1Click(TObject* Sender);
    void BitBtn2Click(TObject* Sender);

private:
    // The list and the buttons follow the mode and the selection: in single-user mode the list
    // and its buttons are disabled and greyed; otherwise the list and "Kullanıcı Ekle" are
    // enabled, and delete and change password exactly while a user is selected.
    void UpdateControls();
};

extern TForm13* Form13;
