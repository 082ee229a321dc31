// The windows around a send: the settings window and its registry values, the SuperOnline login
// and tolvar17.ini, the wait window's bar, the ready-message window's browser.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fixtures.h"
#include "messenger/SiteConfig.h"
#include "messenger/StoredState.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit11.h"
#include "messenger/Unit18.h"
#include "messenger/Unit3.h"
#include "messenger/Unit9.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/registry.h"
#include "platform/winsock/winsock.h"
#include "transport/INetDetector.h"

using headless::Headless;

namespace {

class Windows : public ::testing::Test {
protected:
    void Start() {
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        Form1->INetDetector1->SetEnabled(false);
        headless::Pump();
    }
    void TearDown() override {
        session_.reset();
        winsock::SetTestHostName("");
        winsock::ClearTestHosts();
        unsetenv("TOLVAR_MAKER_HOST");
    }
    void OpenSettings() { headless::Click("Form1.ProgramAyarlar1"); }
    std::string Box() const { return Headless().Boxes().empty() ? "" : Headless().Boxes().back().Text; }

    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

}  // namespace

TEST_F(Windows, FirstRunSettingsAreTheDefaultsAndOkStoresAllSeven) {
    Start();
    {
        TRegistry reg;
        EXPECT_TRUE(reg.KeyExists(storedstate::ProgramKey)) << "the creation made the key";
    }
    OpenSettings();
    EXPECT_EQ(Form9->Edit1->Text(), "Tolvar");
    EXPECT_EQ(Form9->Edit4->Text(), "80");
    EXPECT_FALSE(Form9->CheckBox3->Checked());
    EXPECT_FALSE(Form9->CheckBox4->Checked());
    EXPECT_FALSE(Form9->Edit3->Enabled()) << "the proxy fields follow the proxy switch";
    EXPECT_FALSE(Form9->CheckBox4->Enabled());

    headless::Click("Form9.CheckBox3");
    EXPECT_TRUE(Form9->Edit3->Enabled());
    EXPECT_TRUE(Form9->CheckBox4->Enabled());
    EXPECT_FALSE(Form9->Edit5->Enabled()) << "the credentials follow the authorisation switch";
    headless::Type("Form9.Edit3", "vekil.example");
    headless::Click("Form9.CheckBox4");
    headless::Type("Form9.Edit5", "ali");
    headless::Type("Form9.Edit6", "ş&1"_w);
    headless::Click("Form9.CheckBox3");  // off again: stored all the same
    Form9->Edit1->Clear();
    headless::Click("Form9.BitBtn1");
    EXPECT_FALSE(Form9->Visible());

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(storedstate::ProgramKey, false));
    EXPECT_EQ(reg.ReadString("Eklenecek"), "") << "an empty signature is stored empty";
    EXPECT_FALSE(reg.ReadBool("Proxy"));
    EXPECT_EQ(reg.ReadString("Proxy Adresi"), "vekil.example");
    EXPECT_EQ(reg.ReadString("Proxy Portu"), "80");
    EXPECT_TRUE(reg.ReadBool("Yetki"));
    EXPECT_EQ(reg.ReadString("YetkiKullanıcıadı"_w), "ali");
    EXPECT_EQ(reg.ReadString("YetkiSifre"), "ş&1"_w);
}

TEST_F(Windows, StoredSettingsLoadAtStartAndTheAuthorisationSwitchIsRereadAtShow) {
    {
        TRegistry reg;
        reg.OpenKey(storedstate::ProgramKey, true);
        reg.WriteString("Eklenecek", "Ayşe"_w);
        reg.WriteBool("Proxy", true);
        reg.WriteString("Proxy Adresi", "10.0.0.9");
        reg.WriteString("Proxy Portu", "3128");
        reg.WriteBool("Yetki", false);
        reg.WriteString("YetkiKullanıcıadı"_w, "u");
    }
    Start();
    EXPECT_EQ(Form9->Edit1->Text(), "Ayşe"_w);
    EXPECT_TRUE(Form9->CheckBox3->Checked());
    EXPECT_EQ(Form9->Edit3->Text(), "10.0.0.9");
    EXPECT_EQ(Form9->Edit4->Text(), "3128");
    EXPECT_EQ(Form9->Edit5->Text(), "u");
    OpenSettings();
    headless::Click("Form9.CheckBox4");
    headless::Type("Form9.Edit5", "ser");
    headless::Click("Form9.BitBtn2");  // cancel: nothing written, nothing reverted
    OpenSettings();
    EXPECT_FALSE(Form9->CheckBox4->Checked()) << "the switch is read again from the registry";
    EXPECT_EQ(Form9->Edit5->Text(), "user") << "the typed name stays";
    EXPECT_FALSE(Form9->Edit5->Enabled());
}

TEST_F(Windows, TheLoginSavesOnlyWhenEveryFieldIsFilledAndCancelKeepsTheTyping) {
    fixtures::SeedMainIni(fixtures::CrLf({"[Superonline]", "Tel=5391234567", "Sifre=eski", "[Otomatik]", "İsim=Oto"_w}));
    Start();
    EXPECT_EQ(Form3->ComboBox2->ItemIndex(), -1) << "539 is not one of the three prefixes";
    EXPECT_EQ(Form3->Edit1->Text(), "1234567");
    EXPECT_EQ(Form3->Edit3->Text(), "eski");
    EXPECT_FALSE(Form3->Edit2->Enabled());

    headless::Click("Form1.Servisler2");
    ASSERT_TRUE(Form3->Visible());
    EXPECT_TRUE(Form1->Enabled()) << "the login window holds nothing";
    headless::Click("Form3.Button1");
    EXPECT_EQ(Box(), "Lütfen Bütün Alanları Doldurun"_w);
    EXPECT_TRUE(Form3->Visible());

    headless::Select("Form3.ComboBox2", 2);
    headless::Click("Form3.Button1");
    EXPECT_FALSE(Form3->Visible());
    TIniFile ini(storedstate::MainIniName);
    EXPECT_EQ(ini.ReadString("Superonline", "Tel", ""), "5351234567");
    EXPECT_EQ(ini.ReadString("Superonline", "Sifre", ""), "eski");
    EXPECT_EQ(ini.ReadString("Otomatik", "İsim"_w, ""), "Oto");

    headless::Click("Form1.Servisler2");
    Form3->Edit3->Clear();
    headless::Type("Form3.Edit3", "yeni");
    headless::Click("Form3.Button2");
    EXPECT_FALSE(Form3->Visible());
    EXPECT_EQ(Form3->Edit3->Text(), "yeni") << "the working value for the next send";
    EXPECT_EQ(ini.ReadString("Superonline", "Sifre", ""), "eski") << "only a save stores";
}

TEST_F(Windows, TheWaitBarGrowsFromItsTimerAndWrapsAtThirtyFive) {
    Start();
    Form18->Show();
    EXPECT_FALSE(Form1->Enabled());
    for (int i = 0; i < 34; ++i) Form18->Timer1Timer(Form18->Timer1);
    EXPECT_EQ(Form18->Edit1->Text(), std::string(34, '|'));
    Form18->Timer1Timer(Form18->Timer1);
    EXPECT_EQ(Form18->Edit1->Text(), "") << "the 35th mark empties the bar";
    Form18->Close();
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_TRUE(Form18->Timer1->Enabled());
    const size_t before = Form18->Edit1->Text().size();
    headless::Wait(450);
    EXPECT_GE(Form18->Edit1->Text().size(), before + 1) << "the hidden window's timer still ticks";
}

TEST_F(Windows, TheReadyMessagesOpenTheMakersPageWhenOnline) {
    setenv("TOLVAR_MAKER_HOST", "127.0.0.1:8080", 1);
    Start();
    Form11->Show();
    EXPECT_EQ(Box(), "İnternete bağlı değilsiniz"_w);
    EXPECT_TRUE(Headless().Navigations().empty()) << "offline the browser stays empty";
    Form11->Close();

    winsock::SetTestHostName("tolvar-box");
    winsock::SetTestHosts({{"tolvar-box", {{"10.20.30.40"}, 0, 0}}});
    Form1->INetDetector1->Poll();
    Form11->Show();
    ASSERT_EQ(Headless().Navigations().size(), 1u);
    EXPECT_EQ(Headless().Navigations()[0].URL, "http://127.0.0.1:8080/marendo/hazir.asp");
    EXPECT_EQ(Form11->StatusBar1->Panels()->Items(0)->Text(), "Marendo Hazır SMS Bölümü açıldı."_w);
    std::vector<std::string> statuses;
    Form11->WebBrowser1->OnBeforeNavigate2 = [&](TObject* s, const std::string&, bool&) {
        Form11->WebBrowser1BeforeNavigate2(s);
        statuses.push_back(Form11->StatusBar1->Panels()->Items(0)->Text());
    };
    Form11->WebBrowser1->Navigate("http://127.0.0.1:8080/marendo/link.asp");  // a link on the page
    EXPECT_EQ(statuses, std::vector<std::string>{"Marendo Hazır SMS Bölümü açılıyor...."_w});
    EXPECT_EQ(Form11->StatusBar1->Panels()->Items(0)->Text(), "Marendo Hazır SMS Bölümü açıldı."_w);
}

TEST_F(Windows, TheHostsComeFromTheEnvironmentThenTheStateFolderFile) {
    EXPECT_EQ(siteconfig::Maker(), "www.marendo.example");
    EXPECT_EQ(siteconfig::SuperOnline(), "wap.superonline.example");
    testsupport::WriteAll(win::StateDir() + "/tolvar-hosts.ini",
                          "[Hosts]\r\nMaker=10.0.0.5:8081\r\nSuperOnline=\r\n");
    EXPECT_EQ(siteconfig::Maker(), "10.0.0.5:8081");
    EXPECT_EQ(siteconfig::SuperOnline(), "wap.superonline.example") << "an empty value counts as absent";
    setenv("TOLVAR_MAKER_HOST", "127.0.0.1:9", 1);
    EXPECT_EQ(siteconfig::MakerUrl("/marendo/tolvar1.asp"), "http://127.0.0.1:9/marendo/tolvar1.asp");
}
