// The send window ("Tolvar [Mesaj Yolla]"): one text for the contact selected in the main window,
// one of four gateway services, and the send through that service's sender (GatewayForm.h) with
// the wait window shown, then the history entry.
//
// The remaining-characters counter follows the chosen service's limit (160, 145, 145, 144); the
// signature counts against it for the maker's three services. The dotted address the maker's
// gateways get is drawn anew at every show from the program's generator.
#pragma once

#include <optional>

#include "messenger/WindowHolds.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"
#include "transport/HttpClient.h"

class TForm2 : public TForm {
public:
    explicit TForm2(TComponent* AOwner);
    const char* ClassName() const override { return "TForm2"; }

    TPanel* Panel1;          // title strip: the selected contact
    TLabel* Label3;
    TMemo* Memo1;            // the message text
    TEdit* Edit1;            // remaining characters
    TLabel* Label7;
    TComboBox* ComboBox2;    // the service
    TLabel* Label2;          // hidden: the dotted address of the maker's gateways
    TSpeedButton* SpeedButton1;  // "&Yolla"
    TSpeedButton* SpeedButton2;  // "&İptal"
    TSpeedButton* SpeedButton3;  // "Hazır Mesaj"
    TSpeedButton* SpeedButton4;  // "Geçmiş Mesaj"
    THttpClient* a;          // carries every gateway send

    // The limit of service `index` (0..3), 0 for none.
    static int Limit(int index);

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void SpeedButton1Click(TObject* Sender);
    void SpeedButton2Click(TObject* Sender);
    void SpeedButton3Click(TObject* Sender);
    void SpeedButton4Click(TObject* Sender);
    void ComboBox2Change(TObject* Sender);
    void Memo1KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void aRequestDone(TObject* Sender, THttpRequest RqType, WORD Error);
    void aCookie(TObject* Sender, const std::string& Data, bool& Accept);

private:
    // Runs the chosen service's sender; false when the send was refused before anything was posted
    // (SuperOnline without a login, or a recipient outside Turkcell's prefixes) or when the
    // gateway's answer was judged a failure.
    bool Dispatch();
    int SignatureLength() const;
    // The hold this window took on the main window at its show; a close or hide ends this one only.
    std::optional<messenger::TWindowHold> FMainHold;
};

extern TForm2* Form2;
