// The system-information component with injected machine facts and registry values, the about box
// that shows them and its two links, the FAQ window's answers and the sent notice.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "messenger/LinkLabel.h"
#include "messenger/RegistryIni.h"
#include "messenger/SiteConfig.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit10.h"
#include "messenger/Unit6.h"
#include "messenger/Unit8.h"
#include "messenger/sysinfo.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/registry.h"
#include "platform/codepage/cp1254.h"
#include "platform/registry/registry.h"
#include "platform/win/shellapi.h"
#include "platform/win/sysfacts.h"
#include "support/tempstate.h"
#include "transport/INetDetector.h"

namespace {

// A Windows 95-family machine of version 4.90: the build number carries the version in its high
// 16 bits and 3000 in its low ones.
win::SystemFacts Millennium() {
    win::SystemFacts f;
    f.version.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    f.version.dwMajorVersion = 4;
    f.version.dwMinorVersion = 90;
    f.version.dwBuildNumber = (4u << 24) | (90u << 16) | 3000u;
    f.processorType = PROCESSOR_INTEL_PENTIUM;
    f.totalPhys = 134217728;  // 128 MB
    f.driveSizes['c'] = 2147483648ull + 1048575;  // 2 GB and not quite one MB more
    return f;
}

struct Facts {
    explicit Facts(const win::SystemFacts& f) { win::SetSystemFacts(f); }
    ~Facts() { win::ClearSystemFacts(); }
};

class MachineFacts : public ::testing::Test {
protected:
    void SetUp() override { reg::ReloadHives(); }
    void TearDown() override { reg::ReloadHives(); }
    testsupport::TempState state_;
};

}  // namespace

TEST_F(MachineFacts, TheComponentFormatsTheFacts) {
    Facts facts(Millennium());
    reg::SeedMachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner", REG_SZ, "Ayşe"_w);
    TSysInfo info(nullptr);
    EXPECT_EQ(info.OperatingSystem(), "Windows 95");
    EXPECT_EQ(info.WinVersion(), "4.90");
    EXPECT_EQ(info.Build(), "3000");
    EXPECT_EQ(info.TotalMemory(), "131072 KB");
    EXPECT_EQ(info.CPU(), "Intel Pentium");
    EXPECT_EQ(info.DriveC(), "2048 MB");
    EXPECT_EQ(info.Owner(), "Ayşe"_w);
    EXPECT_EQ(info.Organisation(), "Failure");
    info.SetOwner("someone else");
    EXPECT_EQ(info.Owner(), "Ayşe"_w);
}

TEST_F(MachineFacts, PlatformAndProcessorCodes) {
    struct Case {
        DWORD platform, processor;
        const char *system, *cpu;
    } cases[] = {
        {VER_PLATFORM_WIN32s, PROCESSOR_INTEL_386, "Windows 3.1", "Intel 386"},
        {VER_PLATFORM_WIN32_WINDOWS, PROCESSOR_INTEL_486, "Windows 95", "Intel 486"},
        {VER_PLATFORM_WIN32_NT, 8664, "Windows NT", ""},
        {7, 0, "", ""},
    };
    reg::SeedMachineValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOrganization", REG_SZ,
                          "Marendo NT");
    reg::SeedMachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOrganization", REG_SZ,
                          "Marendo 9x");
    for (const Case& k : cases) {
        SCOPED_TRACE(k.system);
        win::SystemFacts f = Millennium();
        f.version.dwPlatformId = k.platform;
        f.processorType = k.processor;
        f.driveSizes.clear();  // drive C cannot be read
        Facts facts(f);
        TSysInfo info(nullptr);
        EXPECT_EQ(info.OperatingSystem(), k.system);
        EXPECT_EQ(info.CPU(), k.cpu);
        EXPECT_EQ(info.DriveC(), "");
        EXPECT_EQ(info.Organisation(), k.platform == VER_PLATFORM_WIN32_NT ? "Marendo NT" : "Marendo 9x");
    }
}

TEST_F(MachineFacts, TheMachineItselfAndAReadOnlyRegistry) {
    TSysInfo info(nullptr);  // this machine: the platform's own record
    EXPECT_EQ(info.OperatingSystem(), "Windows NT");
    EXPECT_NE(info.TotalMemory(), "0 KB");
    EXPECT_NE(info.DriveC(), "");
    EXPECT_EQ(info.Owner(), "Failure");
    // Reading HKLM created nothing there.
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists("\\SOFTWARE\\Microsoft\\Windows NT"));
    // The ini class itself opens a key of HKCU and creates it, as it always did.
    {
        TRegistryIniFile ini("\\Software\\Marendo\\Deneme", HKEY_CURRENT_USER);
        ini.WriteString("Bolum", "Anahtar", "deger");
    }
    TRegistryIniFile again("\\Software\\Marendo\\Deneme", HKEY_CURRENT_USER, KEY_READ);
    EXPECT_EQ(again.ReadString("Bolum", "Anahtar", "yok"), "deger");
    EXPECT_EQ(again.ReadString("Bolum", "Baska", "yok"), "yok");
}

class AboutWindows : public MachineFacts {
protected:
    void Start() {
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        // The tests start every download themselves: the watcher does not tick.
        Form1->INetDetector1->SetEnabled(false);
        headless::Pump();
        shell::ClearRecordedRequests();
    }
    void TearDown() override {
        session_.reset();
        MachineFacts::TearDown();
    }
    std::unique_ptr<headless::TSession> session_;
};

TEST_F(AboutWindows, TheAboutBoxShowsTheSystemAndOpensItsLinks) {
    Facts facts(Millennium());
    Start();
    headless::Click(Form1->Hakknda1);
    ASSERT_TRUE(Form10->Visible());
    EXPECT_EQ(Form10->Label4->Caption(), "Windows 95 4.90(3000)");
    EXPECT_EQ(Form10->Label6->Caption(), "Windows için ayrılan belek:131072 KB"_w);
    EXPECT_EQ(Form10->Label3->Caption(), "Sürüm:       Alfa 1.81"_w);
    EXPECT_TRUE(Form1->Enabled());

    headless::Click(Form10->LinkLabel1);
    headless::Click(Form10->LinkLabel2);
    auto requests = shell::RecordedRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].file, "mailto:" + Form10->LinkLabel1->Caption());
    EXPECT_EQ(requests[0].show, 4);
    EXPECT_EQ(requests[0].verb, "");
    EXPECT_EQ(requests[1].file, std::string("http://") + siteconfig::MakerHost);
}

TEST_F(AboutWindows, TheFaqAnswersEachQuestion) {
    Start();
    Form8->Show();  // nothing in the program shows it
    ASSERT_EQ(Form8->ListBox1->Items()->Count(), 9);
    EXPECT_EQ(Form8->ListBox1->Items()->Get(1), "-Nasıl Kullanılır ve Adres defterine kayıt nasıl  yapılır?"_w);
    Form8->ListBox1Click(Form8->ListBox1);  // no selection: nothing
    EXPECT_EQ(Form8->Memo1->Text(), "");
    headless::Select(Form8->ListBox1, 0);
    EXPECT_EQ(Form8->Memo1->Text(),
              "Tolvar Cep Telefonlarınıza Mesaj göndermenize yarayan nadir Türkçe programlardan birisidir."_w);
    headless::Select(Form8->ListBox1, 1);
    EXPECT_EQ(Form8->Memo1->Text(), Form8->Memo2->Text());
    EXPECT_NE(Form8->Memo2->Text().find("CEP EKLE"), std::string::npos);
    headless::Select(Form8->ListBox1, 6);
    EXPECT_EQ(Form8->Memo1->Text(), Form8->Memo3->Text());
    headless::Select(Form8->ListBox1, 7);
    EXPECT_NE(Form8->Memo1->Text().find("(Ğ,Ş,Ç,,İ,ı)"_w), std::string::npos);
    headless::Select(Form8->ListBox1, 8);
    EXPECT_EQ(Form8->Memo1->Text().substr(0, 43), "Görüş ve önerileriniz benim için çok önemli"_w);

    Form6->Show();
    headless::Click(Form6->SpeedButton1);
    EXPECT_FALSE(Form6->Visible());
}
