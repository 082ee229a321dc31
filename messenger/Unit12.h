// The suggestion window: an e-mail address and a free text, posted to the maker's suggestion script.
#pragma once

#include <string>

#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class THttpClient;

class TForm12 : public TForm {
public:
    explicit TForm12(TComponent* AOwner);
    const char* ClassName() const override { return "TForm12"; }

    TLabel* Label1;
    TEdit* Edit1;    // e-mail address
    TLabel* Label2;
    TMemo* Memo1;    // the suggestion, at most 255 characters
    TButton* Button1;
    TBevel* Bevel1;
    TLabel* Label3;  // the explanation, set at each show
    THttpClient* HttpClient1;

    void FormShow(TObject* Sender);
    // Posts the two fields; the button is disabled meanwhile. A failed post leaves the fields as they
    // are and raises the client's exception (the error box shows it).
    void Button1Click(TObject* Sender);
};

extern TForm12* Form12;
