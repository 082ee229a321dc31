// The new-user window: a name and a password appended to the user-settings window's lists (the
// registry gets them with "Ayarları Kaydet"). While it shows, the main window and the
// user-settings window are disabled.
#pragma once

#include "messenger/WindowHolds.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm14 : public TForm {
public:
    explicit TForm14(TComponent* AOwner);
    const char* ClassName() const override { return "TForm14"; }

    TGroupBox* GroupBox1;
    TEdit* Edit1;      // user name
    TLabel* Label1;
    TLabel* Label2;
    TEdit* Edit2;      // password
    TBitBtn* BitBtn1;  // "Ekle"
    TBitBtn* BitBtn2;  // "Vazgeç"

    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void BitBtn1Click(TObject* Sender);
    void BitBtn2Click(TObject* Sender);

private:
    messenger::TShownHolds FHolds;  // the main and the user-settings window, while this one shows
};

extern TForm14* Form14;
