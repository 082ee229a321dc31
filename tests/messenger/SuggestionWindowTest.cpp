// The suggestion window posting to the gateway fake (scripts/gateway-fake), which keeps the request
// bytes and decodes the form on its own (Python's parse_qsl from Windows-1254): the fields as the
// maker receives them, the thank-you box and the cleared fields, the disabled button during the
// post, empty fields, a failed post, and the settings' proxy, which the suggestion never takes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fixtures.h"
#include "gatewayfake.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit12.h"
#include "platform/classlib/headless.h"
#include "platform/codepage/cp1254.h"
#include "support/tempstate.h"
#include "messenger/Unit2.h"
#include "messenger/Unit9.h"
#include "platform/winsock/winsock.h"
#include "transport/HttpClient.h"
#include "transport/INetDetector.h"

using headless::Headless;

namespace {

using Strings = std::vector<std::string>;

class Suggestion : public ::testing::Test {
protected:
    // Starts the program with the maker's host at the fake (or at `host`).
    void Start(const std::string& modes, const std::string& host = "") {
        fake_ = std::make_unique<fixtures::GatewayFake>(state_.Path("fake" + std::to_string(++starts_)), modes);
        ASSERT_TRUE(fake_->Started());
        setenv("TOLVAR_MAKER_HOST", (host.empty() ? fake_->Host() : host).c_str(), 1);
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        Form1->INetDetector1->SetEnabled(false);  // no news check meets the fake
        headless::Pump();
    }
    void TearDown() override {
        session_.reset();
        fake_.reset();
        unsetenv("TOLVAR_MAKER_HOST");
    }
    std::string Body(int n) {
        std::string r = fake_->Request(n);
        return r.substr(r.find("\r\n\r\n") + 4);
    }
    testsupport::TempState state_;
    int starts_ = 0;
    std::unique_ptr<fixtures::GatewayFake> fake_;
    std::unique_ptr<headless::TSession> session_;
};

}  // namespace

TEST_F(Suggestion, TheMakerReceivesTheFieldsAndTheUserIsThanked) {
    Start("yollandi");
    Form12->Show();
    EXPECT_EQ(Form12->Label3->Caption(),
              "Tolvar programını sizin önerileriniz\nsayesinde çok geliştirdim.\nBu nedenle sizin önerileriniz çok "
              "önemli\nProgramda ne tür değişiklikler\nve yenilikler yapılmasını istiyorsanız\nyukarıya yazabilirsiniz"_w);
    headless::Type(Form12->Edit1, "ali'nin@posta.example");
    headless::Type(Form12->Memo1, "Öneri: Çağrı'ya 100% güzel & hızlı"_w);
    std::vector<bool> enabledDuringPost;
    Form12->HttpClient1->OnStateChange = [&](TObject*) { enabledDuringPost.push_back(Form12->Button1->Enabled()); };
    headless::Click(Form12->Button1);

    ASSERT_EQ(fake_->Count(), 1);
    EXPECT_EQ(fake_->Request(1).substr(0, 37), "POST /marendo/banamail.asp HTTP/1.0\r\n");
    // The apostrophes are gone, the ten Turkish letters folded, "Ö" and the punctuation kept.
    EXPECT_EQ(fake_->Fields(1), (Strings{"isim=tolvar-alinin@posta.example", "mesaj=Öneri: Cagriya 100% guzel & hizli"}));
    EXPECT_EQ(Body(1), "isim=tolvar-alinin%40posta%2Eexample&mesaj=%D6neri%3A+Cagriya+100%25+guzel+%26+hizli");
    ASSERT_FALSE(enabledDuringPost.empty());
    for (bool e : enabledDuringPost) EXPECT_FALSE(e);
    ASSERT_FALSE(Headless().Boxes().empty());
    EXPECT_EQ(Headless().Boxes().back().Text, "Teşekkürler!, En yakın zamanda okuyacağım"_w);
    EXPECT_TRUE(Form12->Button1->Enabled());
    EXPECT_EQ(Form12->Edit1->Text(), "");
    EXPECT_EQ(Form12->Memo1->Text(), "");
    EXPECT_EQ(Form12->HttpClient1->SendStream, nullptr);
}

TEST_F(Suggestion, EmptyFieldsAreSentAsTheyAre) {
    Start("fail");  // the answer is not looked at
    Form12->Button1Click(Form12->Button1);
    ASSERT_EQ(fake_->Count(), 1);
    EXPECT_EQ(Body(1), "isim=tolvar-&mesaj=");
    EXPECT_EQ(fake_->Fields(1), (Strings{"isim=tolvar-", "mesaj="}));
    EXPECT_EQ(Headless().Boxes().back().Text, "Teşekkürler!, En yakın zamanda okuyacağım"_w);
}

// An error status, a refused connection and an answer longer than any the program holds (the
// client stops reading it at the cap) all fail the post.
TEST_F(Suggestion, AFailedPostKeepsTheFieldsAndFreesTheButton) {
    struct Case {
        const char* mode;
        bool refused;
        int code;  // the exception's ErrorCode
    } cases[] = {{"404", false, 404}, {"404", true, 404}, {"huge", false, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (c.refused ? ", refused" : ""));
        TearDown();
        Start(c.mode, c.refused ? "127.0.0.1:" + std::to_string(testsupport::FreePort()) : "");
        Form12->Edit1->SetText("a@b.example");
        Form12->Memo1->SetText("metin");
        const size_t boxes = Headless().Boxes().size();
        int code = 0;
        try {
            Form12->Button1Click(Form12->Button1);
        } catch (const EHttpException& e) {
            code = e.ErrorCode;
        }
        EXPECT_EQ(code, c.code);
        EXPECT_TRUE(Form12->Button1->Enabled());
        EXPECT_EQ(Form12->Edit1->Text(), "a@b.example");
        EXPECT_EQ(Form12->Memo1->Text(), "metin");
        EXPECT_EQ(Headless().Boxes().size(), boxes) << "no thank-you box";
        EXPECT_EQ(Form12->HttpClient1->SendStream, nullptr);
        EXPECT_EQ(fake_->Count(), c.refused ? 0 : 1);
    }
}

// The suggestion always goes direct: with a proxy in the settings, a gateway send reaches the
// maker's host through the proxy, the suggestion without it (so where only the proxy leads to the
// maker, the suggestion fails while the sends get through).
TEST_F(Suggestion, TheSettingsProxyCarriesTheSendsButNotTheSuggestion) {
    std::string prog = testpeers::FindProgram({"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy"});
    ASSERT_FALSE(prog.empty()) << "tinyproxy is not installed (Debian package tinyproxy)";
    const int proxyPort = testsupport::FreePort();
    testsupport::WriteAll(state_.Path("tinyproxy.conf"),
                          "Port " + std::to_string(proxyPort) +
                              "\nListen 127.0.0.1\nTimeout 30\nMaxClients 8\nAllow 127.0.0.1\nLogLevel Critical\n"
                              "LogFile \"" + state_.Path("tinyproxy.log") + "\"\n");
    testpeers::ChildProcess proxy(prog, {"-d", "-c", state_.Path("tinyproxy.conf")});
    ASSERT_TRUE(testpeers::WaitForPort(proxyPort)) << "tinyproxy did not start";
    // The machine's own name resolves to an address other than 127.0.0.1: the watcher says online.
    winsock::SetTestHostName("tolvar-box");
    winsock::SetTestHosts({{"tolvar-box", {{"10.20.30.40"}, 0, 0}}});
    struct Restore {
        ~Restore() {
            winsock::SetTestHostName("");
            winsock::ClearTestHosts();
        }
    } restore;
    fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", "Toplam=1", "[1]", "isim=Deniz", "numara=905321112233"}));
    Start("yollandi");
    Form1->INetDetector1->Poll();
    ASSERT_TRUE(Form1->INetDetector1->Online());
    Form9->CheckBox3->SetChecked(true);
    Form9->Edit3->SetText("127.0.0.1");
    Form9->Edit4->SetText(std::to_string(proxyPort));

    headless::Select("Form1.ListBox1", 0);
    headless::DblClick("Form1.ListBox1", 0);
    ASSERT_TRUE(Form2->Visible());
    headless::Type("Form2.Memo1", "vekil");
    headless::Click("Form2.SpeedButton1");
    ASSERT_EQ(fake_->Count(), 1);
    EXPECT_NE(fake_->Request(1).find("\r\nVia: "), std::string::npos) << "the send came through the proxy";
    EXPECT_EQ(Headless().Boxes().back().Text, "Mesajınız Başarıyla Gönderildi"_w);

    Form12->Edit1->SetText("a@b.example");
    Form12->Memo1->SetText("metin");
    Form12->Button1Click(Form12->Button1);
    ASSERT_EQ(fake_->Count(), 2);
    EXPECT_EQ(fake_->Request(2).substr(0, 37), "POST /marendo/banamail.asp HTTP/1.0\r\n");
    EXPECT_EQ(fake_->Request(2).find("\r\nVia: "), std::string::npos) << "the suggestion went direct";
    EXPECT_EQ(Form12->HttpClient1->Proxy, "");
}
