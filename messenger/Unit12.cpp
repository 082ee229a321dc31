#include "messenger/Unit12.h"

#include "messenger/FormParts.h"
#include "messenger/GatewayForm.h"
#include "messenger/SiteConfig.h"
#include "platform/classlib/application.h"
#include "platform/classlib/streams.h"
#include "platform/codepage/cp1254.h"
#include "transport/HttpClient.h"

using messenger::NewPart;

TForm12* Form12 = nullptr;

namespace {

constexpr const char* SuggestionPath = "/marendo/banamail.asp";

}  // namespace

TForm12::TForm12(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form12");
    SetCaption("Önerileriniz......."_w);
    BorderStyle = bsSingle;
    BorderIcons = biSystemMenu;
    FormStyle = fsStayOnTop;
    Position = poScreenCenter;
    SetBounds(0, 0, 300, 330);

    Label1 = NewPart<TLabel>(this, "Label1");
    Label1->SetBounds(8, 8, 90, 13);
    Label1->SetCaption("E-Mail Adresiniz:");
    Edit1 = messenger::NewEdit(this, "Edit1");
    Edit1->SetBounds(8, 24, 276, 21);
    Label2 = NewPart<TLabel>(this, "Label2");
    Label2->SetBounds(8, 52, 130, 13);
    Label2->SetCaption("Düşünce ve Önerileriniz:"_w);
    Memo1 = NewPart<TMemo>(this, "Memo1");
    Memo1->SetBounds(8, 68, 276, 110);
    Memo1->MaxLength = 255;
    Button1 = NewPart<TButton>(this, "Button1");
    Button1->SetBounds(104, 184, 89, 25);
    Button1->SetCaption("Gönder"_w);
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Bevel1 = NewPart<TBevel>(this, "Bevel1");
    Bevel1->SetBounds(8, 216, 276, 2);
    Label3 = NewPart<TLabel>(this, "Label3");
    Label3->SetBounds(8, 224, 276, 78);

    HttpClient1 = NewPart<THttpClient>(this, "HttpClient1");

    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm12::FormShow(TObject*) {
    Label3->SetCaption("Tolvar programını sizin önerileriniz\n"
                       "sayesinde çok geliştirdim.\n"
                       "Bu nedenle sizin önerileriniz çok önemli\n"
                       "Programda ne tür değişiklikler\n"
                       "ve yenilikler yapılmasını istiyorsanız\n"
                       "yukarıya yazabilirsiniz"_w);
}

void TForm12::Button1Click(TObject*) {
    Button1->SetEnabled(false);
    TMemoryStream received, sent;
    Application->ProcessMessages();
    const std::string body = "isim=tolvar-" + messenger::EncodeSuggestionValue(Edit1->Text()) + "&mesaj=" +
                             messenger::EncodeSuggestionValue(Memo1->Text());
    sent.WriteString(body);
    sent.SetPosition(0);
    HttpClient1->SendStream = &sent;
    HttpClient1->RcvdStream = &received;
    HttpClient1->ProxyPort = "80";
    HttpClient1->URL = siteconfig::MakerUrl(SuggestionPath);
    // The answer is never read; one longer than any gateway answer is not held either.
    HttpClient1->MaxBodySize = messenger::MaxAnswerSize;
    try {
        HttpClient1->Post();
    } catch (...) {
        // The streams end with this call: the client keeps no reference to them.
        HttpClient1->SendStream = nullptr;
        HttpClient1->RcvdStream = nullptr;
        Button1->SetEnabled(true);
        throw;
    }
    received.SetPosition(0);
    HttpClient1->SendStream = nullptr;
    HttpClient1->RcvdStream = nullptr;
    ShowMessage("Teşekkürler!, En yakın zamanda okuyacağım"_w);
    Button1->SetEnabled(true);
    Edit1->Clear();
    Memo1->Clear();
}
