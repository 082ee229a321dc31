// The suggestion window posting to Python's http.server, which decodes the body on its own
// (parse_qsl from Windows-1254): the fields as the maker receives them, the thank-you box and the
// cleared fields, the disabled button during the post, and a failed post.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit12.h"
#include "platform/classlib/headless.h"
#include "platform/codepage/cp1254.h"
#include "support/tempstate.h"
#include "transport/INetDetector.h"
#include "support/webservers.h"
#include "transport/HttpClient.h"

using headless::Headless;
using testsupport::WebServer;

namespace {

class Suggestion : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        // The tests start every download themselves: the watcher does not tick.
        Form1->INetDetector1->SetEnabled(false);
        headless::Pump();
    }
    void TearDown() override { session_.reset(); }
    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

}  // namespace

TEST_F(Suggestion, TheMakerReceivesTheFieldsAndTheUserIsThanked) {
    WebServer server(WebServer::Python);
    EXPECT_EQ(Form12->ScriptURL, "http://www.marendo.example/marendo/banamail.asp");
    Form12->ScriptURL = server.Url("/marendo/banamail.asp");
    Form12->Show();
    EXPECT_EQ(Form12->Label3->Caption(),
              "Tolvar programını sizin önerileriniz\nsayesinde çok geliştirdim.\nBu nedenle sizin önerileriniz çok "
              "önemli\nProgramda ne tür değişiklikler\nve yenilikler yapılmasını istiyorsanız\nyukarıya yazabilirsiniz"_w);
    headless::Type(Form12->Edit1, "ali'nin@posta.example");
    headless::Type(Form12->Memo1, "Öneri: Çağrı'ya 100% güzel & hızlı"_w);
    std::vector<bool> enabledDuringPost;
    Form12->HttpClient1->OnStateChange = [&](TObject*) { enabledDuringPost.push_back(Form12->Button1->Enabled()); };
    headless::Click(Form12->Button1);

    // The apostrophes are gone, the ten Turkish letters folded, "Ö" and the punctuation kept.
    EXPECT_EQ(server.PostedFields(), "isim=tolvar-alinin@posta.example\nmesaj=Öneri: Cagriya 100% guzel & hizli\n");
    EXPECT_EQ(server.Posted(), "isim=tolvar-alinin%40posta%2Eexample&mesaj=%D6neri%3A+Cagriya+100%25+guzel+%26+hizli");
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
    WebServer server(WebServer::Python);
    Form12->ScriptURL = server.Url("/marendo/banamail.asp");
    Form12->Button1Click(Form12->Button1);
    EXPECT_EQ(server.Posted(), "isim=tolvar-&mesaj=");
    EXPECT_EQ(server.PostedFields(), "isim=tolvar-\nmesaj=\n");
}

TEST_F(Suggestion, AFailedPostKeepsTheFieldsAndFreesTheButton) {
    Form12->ScriptURL = "http://127.0.0.1:" + std::to_string(testsupport::FreePort()) + "/marendo/banamail.asp";
    Form12->Edit1->SetText("a@b.example");
    Form12->Memo1->SetText("metin");
    const size_t boxes = Headless().Boxes().size();
    EXPECT_THROW(Form12->Button1Click(Form12->Button1), EHttpException);
    EXPECT_TRUE(Form12->Button1->Enabled());
    EXPECT_EQ(Form12->Edit1->Text(), "a@b.example");
    EXPECT_EQ(Form12->Memo1->Text(), "metin");
    EXPECT_EQ(Headless().Boxes().size(), boxes) << "no thank-you box";
    EXPECT_EQ(Form12->HttpClient1->SendStream, nullptr);
}
