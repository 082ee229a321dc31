// The about box: the program's name and version, the credits, the maker's mail and web links and the
// system's name, version, build and memory, filled each time it is shown.
#pragma once

#include "platform/classlib/extctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/stdctrls.h"

class TLinkLabel;
class TSysInfo;

class TForm10 : public TForm {
public:
    explicit TForm10(TComponent* AOwner);
    const char* ClassName() const override { return "TForm10"; }

    TLabel* Label1;  // "Tolvar"
    TLabel* Label3;  // the version
    TLabel* Label2;  // the author's credit
    TLabel* Label5;  // the maker's credit
    TLinkLabel* LinkLabel1;  // the maker's mail address
    TLinkLabel* LinkLabel2;  // the maker's web host
    TBevel* Bevel1;
    TLabel* Label4;  // the system line
    TLabel* Label6;  // the memory line
    TSysInfo* SysInfo1;

    void FormShow(TObject* Sender);
};

extern TForm10* Form10;
