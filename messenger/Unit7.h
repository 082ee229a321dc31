// The news window: the two announcements of a fetched news file, each with a button that opens its
// link in the web browser. The main window fills and shows it; closing only hides it.
#pragma once

#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm7 : public TForm {
public:
    explicit TForm7(TComponent* AOwner);
    const char* ClassName() const override { return "TForm7"; }

    TPanel* Panel1;
    TPanel* Panel2;
    TMemo* Memo1;      // first announcement
    TButton* Button1;  // opens Label1's link
    TMemo* Memo2;      // second announcement
    TButton* Button2;  // opens Label2's link
    TLabel* Label1;    // hidden: the first link
    TLabel* Label2;    // hidden: the second link

    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);

private:
    // Opens a web link maximised; anything that is not an http or https address is not opened.
    void OpenLink(const std::string& url);
};

extern TForm7* Form7;
