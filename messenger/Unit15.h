// The history window: the current user's sent texts. The default user's history is loaded from
// tolvar17.ini when the window is created. Its buttons have no handlers.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm15 : public TForm {
public:
    explicit TForm15(TComponent* AOwner);
    const char* ClassName() const override { return "TForm15"; }

    TListBox* ListBox1;  // the texts, in the order they were added
    TListBox* ListBox2;  // hidden: value names of a registry user's Gecmis key (filled by the login)

    void FormCreate(TObject* Sender);
};

extern TForm15* Form15;
