// The main window: the current user's address book, the menus, the tray icon and the exit with its
// write-back of the address book and the history.
#pragma once

#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/comctrls.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/stdctrls.h"

class TTrayIcon;
class TINetDetector;
class THTTPGet;

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);
    const char* ClassName() const override { return "TForm1"; }

    // The address book: names (shown) and numbers (hidden), entry i of both belongs together.
    TListBox* ListBox1;
    TListBox* ListBox2;
    TLabel* Label1;           // the current user ("GENEL" by default)
    TMemo* Memo1;             // the gateway's last answer
    TStatusBar* StatusBar1;
    TTrayIcon* taskbar;
    TINetDetector* INetDetector1;
    THTTPGet* HTTPGet1;
    TSaveDialog* SaveDialog1;
    TOpenDialog* OpenDialog1;
    TApplicationEvents* ApplicationEvents1;

    TPopupMenu* PopupMenu2;   // the list's context menu
    TMenuItem* MesajYolla1;
    TMenuItem* YeniCEPEkle1;
    TMenuItem* CEPSil1;
    TMenuItem* CEPDzenle1;

    TPopupMenu* PopupMenu1;   // the tray icon's menu
    TMenuItem* N1;
    TMenuItem* N4;
    TMenuItem* Servisler1;
    TMenuItem* N5;
    TMenuItem* k1;

    TMainMenu* MainMenu1;
    TMenuItem* Ayarlar1;
    TMenuItem* Servisler2;
    TMenuItem* ProgramAyarl1;
    TMenuItem* ProgramAyarlar1;
    TMenuItem* KullancAyarlar1;
    TMenuItem* N6;
    TMenuItem* Kullanc1;
    TMenuItem* N7;
    TMenuItem* GemiiTemizle1;
    TMenuItem* GemiiAKAPAT1;  // checked = history on
    TMenuItem* CEPListesi1;
    TMenuItem* CEPEKLE1;
    TMenuItem* CEPSil2;
    TMenuItem* CEPDzenle2;
    TMenuItem* N3;
    TMenuItem* CEPListesiniKaydet1;
    TMenuItem* ListeYkle1;
    TMenuItem* k2;
    TMenuItem* k3;
    TMenuItem* N55Haknda1;
    TMenuItem* Hakknda1;
    TMenuItem* nerileriniz1;
    TMenuItem* N55Hakknda1;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void ListBox1Click(TObject* Sender);
    void ListBox1DblClick(TObject* Sender);
    void PopupMenu2Popup(TObject* Sender);
    void CEPListesi1Click(TObject* Sender);
    void MesajYolla1Click(TObject* Sender);
    void YeniCEPEkle1Click(TObject* Sender);
    void CEPEKLE1Click(TObject* Sender);
    void CEPSil1Click(TObject* Sender);
    void CEPSil2Click(TObject* Sender);
    void CEPDzenle1Click(TObject* Sender);
    void CEPDzenle2Click(TObject* Sender);
    void Servisler1Click(TObject* Sender);
    void Servisler2Click(TObject* Sender);
    void ProgramAyarlar1Click(TObject* Sender);
    void KullancAyarlar1Click(TObject* Sender);
    void Kullanc1Click(TObject* Sender);
    void GemiiTemizle1Click(TObject* Sender);
    void GemiiAKAPAT1Click(TObject* Sender);
    void CEPListesiniKaydet1Click(TObject* Sender);
    void ListeYkle1Click(TObject* Sender);
    void Hakknda1Click(TObject* Sender);
    void nerileriniz1Click(TObject* Sender);
    void N55Hakknda1Click(TObject* Sender);
    void N1Click(TObject* Sender);
    void k1Click(TObject* Sender);
    void k3Click(TObject* Sender);
    void taskbarDblClick(TObject* Sender);
    void ApplicationEvents1Minimize(TObject* Sender);
    // The news check: coming online starts the download of the news file; a downloaded file with a
    // newer stamp fills and shows the news window.
    void INetDetector1Changed(TObject* Sender);
    void HTTPGet1DoneFile(TObject* Sender, const std::string& FileName, int FileSize);

    // The commands that act on the selected contact (send, delete, edit, in both menus) are
    // enabled exactly while a contact is selected.
    void UpdateContactCommands();

    // The current user: the default user (its book and history in tolvar17.ini) until a login makes
    // a registry user current (its own key below Kullanıcılar). A registry user may be named GENEL
    // too (hives written before the name was refused), so the kind is held apart from the name.
    bool RegistryUserCurrent() const { return FRegistryUserCurrent; }
    // The login: `user`, a registry user, becomes current and its name shows in Label1.
    void MakeRegistryUserCurrent(const std::string& user);

private:
    bool FRegistryUserCurrent = false;
    bool ContactSelected() const;
    TMenuItem* AddItem(TMenuItem* parent, const char* name, const std::string& caption,
                       void (TForm1::*handler)(TObject*) = nullptr);
    void EditSelected();
    void DeleteSelected();
    // Asks the exit question; on Yes writes the current user's book and history back and ends the
    // process. A failed write raises (the error box shows it) and the program runs on.
    void ExitProgram();
};

extern TForm1* Form1;
