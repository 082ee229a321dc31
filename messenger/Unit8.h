// The help window: frequently asked questions about the program; choosing a question shows its
// answer.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TForm8 : public TForm {
public:
    explicit TForm8(TComponent* AOwner);
    const char* ClassName() const override { return "TForm8"; }

    TLabel* Label1;
    TListBox* ListBox1;  // the questions
    TMemo* Memo1;        // the answer shown
    TMemo* Memo2;        // hidden: the long answer on using the program
    TMemo* Memo3;        // hidden: the long answer on the SuperOnline service

    void ListBox1Click(TObject* Sender);
};

extern TForm8* Form8;
