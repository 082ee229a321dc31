// TAboutForm: the about box, with links to the maker's web site and mail.
#pragma once

#include "platform/classlib/forms.h"
#include "platform/classlib/imagectl.h"
#include "platform/classlib/stdctrls.h"
#include "skin/ButtonComps.h"

class TAboutForm : public TForm {
public:
    explicit TAboutForm(TComponent* AOwner);
    const char* ClassName() const override { return "TAboutForm"; }
    TImage* Image1;
    TLabel* Label1;
    TMemo* Memo1;
    TSquareButton* SquareButton1;
    TSquareButton* SquareButton2;
    TSquareButton* SquareButton3;
    void SquareButton1Click(TObject* Sender);
    void SquareButton2Click(TObject* Sender);
    void SquareButton3Click(TObject* Sender);
};
