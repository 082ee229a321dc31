// The sent notice: a small box saying the message went, closed with its button. Nothing in the
// program shows it.
#pragma once

#include "platform/classlib/buttons.h"
#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm6 : public TForm {
public:
    explicit TForm6(TComponent* AOwner);
    const char* ClassName() const override { return "TForm6"; }

    TPanel* Panel1;
    TSpeedButton* SpeedButton1;  // "Tamam": closes the window
    TLabel* Label1;              // hidden, empty

    void SpeedButton1Click(TObject* Sender);
};

extern TForm6* Form6;
