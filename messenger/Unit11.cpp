#include "messenger/Unit11.h"

#include <tuple>

#include "messenger/FormParts.h"
#include "messenger/SiteConfig.h"
#include "messenger/Unit1.h"
#include "platform/classlib/application.h"
#include "platform/codepage/cp1254.h"
#include "transport/INetDetector.h"

using messenger::NewPart;

TForm11* Form11 = nullptr;

TForm11::TForm11(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form11");
    SetCaption("Tolvar HAZIR MESAJ"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = biSystemMenu;
    FormStyle = fsStayOnTop;
    SetClientWidth(434);
    SetClientHeight(287);

    PopupMenu1 = NewPart<TPopupMenu>(this, "PopupMenu1");
    for (auto [item, name, caption] : {std::tuple{&ANASAYFA1, "ANASAYFA1", "ANA SAYFA"},
                                       std::tuple{&SMSEKLE1, "SMSEKLE1", "SMS EKLE"},
                                       std::tuple{&MarendoWeb1, "MarendoWeb1", "Marendo Web"}}) {
        *item = NewPart<TMenuItem>(this, name);
        (*item)->Caption = caption;
        PopupMenu1->Items()->Add(*item);
    }
    StatusBar1 = NewPart<TStatusBar>(this, "StatusBar1");
    StatusBar1->Panels()->Add()->SetWidth(50);
    WebBrowser1 = NewPart<TWebBrowser>(this, "WebBrowser1");
    WebBrowser1->SetAlign(alClient);
    WebBrowser1->SetPopupMenu(PopupMenu1);
    WebBrowser1->OnBeforeNavigate2 = [this](TObject* s, const std::string&, bool&) { WebBrowser1BeforeNavigate2(s); };
    WebBrowser1->OnNavigateComplete2 = [this](TObject* s, const std::string&) { WebBrowser1NavigateComplete2(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm11::FormShow(TObject*) {
    if (Form1->INetDetector1->Online()) WebBrowser1->Navigate(siteconfig::MakerUrl(PagePath));
    else ShowMessage("İnternete bağlı değilsiniz"_w);
}

void TForm11::WebBrowser1BeforeNavigate2(TObject*) {
    StatusBar1->Panels()->Items(0)->SetText("Marendo Hazır SMS Bölümü açılıyor...."_w);
}

void TForm11::WebBrowser1NavigateComplete2(TObject*) {
    StatusBar1->Panels()->Items(0)->SetText("Marendo Hazır SMS Bölümü açıldı."_w);
}
