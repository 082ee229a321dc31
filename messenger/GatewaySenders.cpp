// The four senders: what they set on the send window's client around the post, and how the answer
// is judged.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "messenger/GatewayForm.h"
#include "messenger/SiteConfig.h"
#include "messenger/Unit1.h"
#include "messenger/Unit18.h"
#include "messenger/Unit2.h"
#include "messenger/Unit3.h"
#include "messenger/Unit9.h"
#include "platform/classlib/application.h"
#include "platform/codepage/cp1254.h"

namespace messenger {
namespace {

// The recipient's stored number: the main window's number at the index selected in its name list
// (the list's index error when none is selected).
std::string Recipient() { return Form1->ListBox2->Items()->Get(Form1->ListBox1->ItemIndex()); }

std::string Signature() { return Form9->Edit1->Text(); }

// Points the client at the settings window's proxy when its switch is on, else at nothing.
void ApplyProxy(THttpClient* a) {
    a->Proxy.clear();
    a->ProxyUsername.clear();
    a->ProxyPassword.clear();
    a->ProxyPort = "80";
    if (!Form9->CheckBox3->Checked()) return;
    a->Proxy = Form9->Edit3->Text();
    a->ProxyPort = Form9->Edit4->Text();
    if (!Form9->CheckBox4->Checked()) return;
    a->ProxyUsername = Form9->Edit5->Text();
    a->ProxyPassword = Form9->Edit6->Text();
}

// The common road of every send: streams, one pass of the message loop, the body, the client, the
// wait window and the post. Returns true after a post that returned, false when the answer went
// past MaxAnswerSize (the client stopped reading it and the answer field stays empty, which
// ReportGatewayAnswer judges a failure).
bool Post(const std::string& url, bool referToForm, const std::function<std::string()>& body) {
    auto rcvd = std::make_unique<TMemoryStream>();
    auto sent = std::make_unique<TMemoryStream>();
    Application->ProcessMessages();
    sent->WriteString(body());
    sent->SetPosition(0);

    THttpClient* a = Form2->a;
    a->SendStream = sent.get();
    a->RcvdStream = rcvd.get();
    ApplyProxy(a);
    a->URL = url;
    if (referToForm) a->Reference = url;
    a->MaxBodySize = MaxAnswerSize;

    // This post's answer alone is judged: an earlier one never counts for it.
    Form1->Memo1->Clear();
    Form18->Show();
    struct Detach {
        THttpClient* a;
        ~Detach() {
            a->SendStream = nullptr;  // the streams go with this call
            a->RcvdStream = nullptr;
        }
    } detach{a};
    try {
        a->Post();
    } catch (EHttpException& e) {
        Form18->Close();
        if (e.ErrorCode == THttpClient::BodyTooLong) return false;
        throw;
    } catch (...) {
        Form18->Close();
        throw;
    }
    // The whole body is judged, however the network cut it into receives; from here on the answer
    // field alone holds it.
    Form1->Memo1->SetText(rcvd->Data());
    rcvd.reset();
    Form18->Close();
    return true;
}

}  // namespace

bool IsSuccessAnswer(const std::string& body) {
    std::string_view text(body);
    const size_t end = text.find_last_not_of("\r\n \t");
    text = end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
    return text == SuccessAnswer;
}

bool ReportGatewayAnswer() {
    const bool sent = IsSuccessAnswer(Form1->Memo1->Text());
    if (sent) ShowMessage("Mesajınız Başarıyla Gönderildi"_w);
    else ShowMessage("Mesajınız Yollanamadı"_w);
    return sent;
}

bool SendViaNormal() {
    Post(siteconfig::MakerUrl(NormalPath), false, [] {
        return NormalBody(Recipient(), Form2->Memo1->Text(), Signature(), Form2->Label2->Caption());
    });
    return ReportGatewayAnswer();
}

bool SendViaNormal2() {
    Post(siteconfig::MakerUrl(Normal2Path), false, [] {
        return Normal2Body(1, Recipient(), Form2->Memo1->Text(), Signature(), Form2->Label2->Caption());
    });
    return ReportGatewayAnswer();
}

bool SendViaFlash() {
    Post(siteconfig::MakerUrl(Normal2Path), false, [] {
        return Normal2Body(2, Recipient(), Form2->Memo1->Text(), Signature(), Form2->Label2->Caption());
    });
    return ReportGatewayAnswer();
}

bool SendViaSuperOnline() {
    const std::string address = DrawDottedAddress(254, 1);
    if (!Post("http://" + siteconfig::SuperOnline() + SuperOnlinePath, true, [&address] {
            return SuperOnlineBody(address, Form3->ComboBox2->Text(), Form3->Edit1->Text(), Form3->Edit3->Text(),
                                   Recipient(), Form2->Memo1->Text(), Signature());
        })) {
        ShowMessage("Mesajınız Yollanamadı"_w);
        return false;
    }
    ShowMessage("SMS Mesajınız başarıyla yollandı"_w);
    return true;
}

}  // namespace messenger
