// The history window: the current user's sent texts, one entry per distinct text, in the order
// they were added. The default user's history is loaded from tolvar17.ini when the window is
// created; a login replaces it with a registry user's. "MESAJ EKRANINA EKLE" appends the selected
// text to the send window's message. While it shows, the main window and the send window are
// disabled.
#pragma once

#include "messenger/WindowHolds.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm15 : public TForm {
public:
    explicit TForm15(TComponent* AOwner);
    const char* ClassName() const override { return "TForm15"; }

    TListBox* ListBox1;          // the texts, in the order they were added
    TSpeedButton* SpeedButton4;  // "MESAJ EKRANINA EKLE"
    TSpeedButton* SpeedButton5;  // "&KAPAT"
    TListBox* ListBox2;          // hidden: value names of a registry user's Gecmis key (filled by the login)

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void SpeedButton4Click(TObject* Sender);
    void SpeedButton5Click(TObject* Sender);

    // "MESAJ EKRANINA EKLE" is enabled exactly while a text is selected.
    void UpdateButtons();

private:
    messenger::TShownHolds FHolds;  // the main and the send window, while this one shows
};

extern TForm15* Form15;
