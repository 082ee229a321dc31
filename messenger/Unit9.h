// The settings window ("Tolvar[Diğer Ayarlar]"): the signature appended to messages and the proxy
// of the gateway sends, kept in the program's registry key. Its fields are the working values: the
// send window and the senders read them as they stand, saved or not; only "Tamam" stores them.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm9 : public TForm {
public:
    explicit TForm9(TComponent* AOwner);
    const char* ClassName() const override { return "TForm9"; }

    TPanel* Panel1;  // the empty panel shown at first
    TPanel* Panel2;  // the settings pages
    // Page "Proxy Ayarları": a group titled with the page's name.
    TGroupBox* TabSheet1;
    TCheckBox* CheckBox3;  // "Proxy arkasındayım"
    TLabel* Label1;        // "Proxy Adresi:"
    TEdit* Edit3;          // proxy address
    TLabel* Label2;        // "Proxy Port'u:"
    TEdit* Edit4;          // proxy port
    TCheckBox* CheckBox4;  // "Yetki Gerekiyor"
    TLabel* Label3;        // "Kul.Adı:"
    TEdit* Edit5;          // proxy user name
    TLabel* Label4;        // "Şifre:"
    TEdit* Edit6;          // proxy password (shown in clear)
    // Page "Diğerleri": a group titled with the page's name.
    TGroupBox* TabSheet2;
    TGroupBox* GroupBox1;  // "İsim Ekle"
    TEdit* Edit1;          // the signature
    TLabel* Label5;        // "İstemezseniz boş bırakın..."
    TGroupBox* GroupBox2;  // disabled, read by nothing
    TEdit* Edit2;
    TCheckBox* CheckBox1;  // "Aktif Yap"
    TBitBtn* BitBtn1;      // "Tamam"
    TBitBtn* BitBtn2;      // "İptal"

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void BitBtn1Click(TObject* Sender);
    void BitBtn2Click(TObject* Sender);
    void CheckBox3Click(TObject* Sender);
    void CheckBox4Click(TObject* Sender);
};

extern TForm9* Form9;
