// The change-password window: the user selected in the user-settings window gets a new password
// in that window's list, once the old one is typed exactly (the registry gets it with "Ayarları
// Kaydet"). While it shows, the main window and the user-settings window are disabled.
#pragma once

#include "messenger/WindowHolds.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm16 : public TForm {
public:
    explicit TForm16(TComponent* AOwner);
    const char* ClassName() const override { return "TForm16"; }

    TPanel* Panel1;
    TLabel* Label1;
    TEdit* Edit1;      // old password
    TLabel* Label2;
    TEdit* Edit2;      // new password
    TBitBtn* BitBtn1;  // "Kaydet"
    TBitBtn* BitBtn2;  // "Vazgeç"
    TLabel* Label3;    // hidden: the selected user's password now

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void BitBtn1Click(TObject* Sender);
    void BitBtn2Click(TObject* Sender);

private:
    messenger::TShownHolds FHolds;  // the main and the user-settings window, while this one shows
};

extern TForm16* Form16;
