// The wait window (borderless, no caption): shown by every gateway sender while its post runs. A bar
// of "|" grows every 200 ms from the timer that the post's message pump dispatches, and empties
// when it reaches 35; the timer keeps running after the window closed, so the next send's bar goes
// on from where it stands. Its "İptal" button aborts the post under way. While shown it holds the
// main window disabled.
#pragma once

#include <optional>

#include "messenger/WindowHolds.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"
#include "platform/classlib/timer.h"

class TForm18 : public TForm {
public:
    explicit TForm18(TComponent* AOwner);
    const char* ClassName() const override { return "TForm18"; }

    TLabel* Label1;   // "SMS Mesajınız Yollanıyor"
    TEdit* Edit1;     // the bar
    TTimer* Timer1;
    TButton* Button1; // "İptal": aborts the send window's post

    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void Timer1Timer(TObject* Sender);
    void Button1Click(TObject* Sender);

private:
    // The hold taken on the main window at the show; a close or hide ends this one only.
    std::optional<messenger::TWindowHold> FMainHold;
};

extern TForm18* Form18;
