// The ready-message window ("Tolvar HAZIR MESAJ"): the maker's page of ready-made messages in the
// web browser control, opened when the connectivity watcher reports online; the status bar follows
// every navigation of the control.
#pragma once

#include "platform/classlib/comctrls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/webbrowser.h"

class TForm11 : public TForm {
public:
    explicit TForm11(TComponent* AOwner);
    const char* ClassName() const override { return "TForm11"; }

    TWebBrowser* WebBrowser1;
    TStatusBar* StatusBar1;
    TPopupMenu* PopupMenu1;  // the control's context menu; its items do nothing
    TMenuItem* ANASAYFA1;
    TMenuItem* SMSEKLE1;
    TMenuItem* MarendoWeb1;

    // The page's path on the maker's host.
    static constexpr const char* PagePath = "/marendo/hazir.asp";

    void FormShow(TObject* Sender);
    void WebBrowser1BeforeNavigate2(TObject* Sender);
    void WebBrowser1NavigateComplete2(TObject* Sender);
};

extern TForm11* Form11;
