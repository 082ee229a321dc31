// Scripted runs of the messenger's start and main window on the headless backend: the stored
// address book and history, the menus, deleting and editing, the history switch, list files and the
// exit with its write-back.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "fixtures.h"
#include "messenger/StoredState.h"
#include "messenger/TolvarProgram.h"
#include "messenger/TrayIcon.h"
#include "messenger/Unit1.h"
#include "messenger/Unit15.h"
#include "messenger/Unit2.h"
#include "messenger/Unit3.h"
#include "messenger/Unit5.h"
#include "messenger/Unit9.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/registry.h"
#include "platform/registry/registry.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"

using headless::Headless;
using storedstate::UsersKey;

namespace {

std::vector<std::string> Items(const TStrings* l) {
    std::vector<std::string> out;
    for (int i = 0; i < l->Count(); ++i) out.push_back(l->Get(i));
    return out;
}
using Strings = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, std::string>>;

Values RegistryValues(const std::string& key) {
    TRegistry reg;
    Values out;
    if (!reg.OpenKey(key, false)) return out;
    TStringList names;
    reg.GetValueNames(&names);
    for (int i = 0; i < names.Count(); ++i) out.emplace_back(names.Get(i), reg.ReadString(names.Get(i)));
    return out;
}

Strings FilesIn(const std::string& dir) {
    Strings out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        closedir(d);
    }
    return out;
}

bool RegistryKeyExists(const std::string& key) {
    TRegistry reg;
    return reg.KeyExists(key);
}

// A CR LF file in 1254 bytes as an older version left it: the count written in another case and
// in hex, a stale section beyond it, the history and the SuperOnline login.
const std::string kSeededIni = fixtures::CrLf({
    "[Ayarlar]", "TOPLAM=0x2",
    "[1]", "isim=" + "Ayşe Işık"_w, "numara=905431234567",
    "[2]", "isim=" + "Çağrı"_w, "numara=905321112233",
    "[3]", "isim=Eski", "numara=905550000000",
    "[Mesaj]", "Toplam=2", "Mesaj0=" + "Günaydın"_w, "Mesaj1=Selam",
    "[Superonline]", "Tel=5351234567", "Sifre=gizli",
    "[Otomatik]", "İsim=Oto"_w,
});

class TolvarRun : public ::testing::Test {
protected:
    // Starts the program as its block does: the nineteen windows, then the main form shown.
    void Start() {
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        headless::Pump();
    }
    void TearDown() override { session_.reset(); }

    const headless::BoxRecord& LastBox() {
        EXPECT_FALSE(Headless().Boxes().empty());
        return Headless().Boxes().back();
    }
    std::string Status() { return Form1->StatusBar1->Panels()->Items(0)->Text(); }

    // Makes a registry user current the way the login does (the login window is not scripted here).
    void BecomeUser(const std::string& user, const Strings& names, const Strings& numbers,
                    const Strings& history) {
        Form1->ListBox1->Items()->Clear();
        Form1->ListBox2->Items()->Clear();
        for (const auto& s : names) Form1->ListBox1->Items()->Add(s);
        for (const auto& s : numbers) Form1->ListBox2->Items()->Add(s);
        Form1->MakeRegistryUserCurrent(user);
        Form15->ListBox1->Items()->Clear();
        for (const auto& s : history) Form15->ListBox1->Items()->Add(s);
    }

    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

void ExpectQuestion(const headless::BoxRecord& box, const std::string& caption, const std::string& text) {
    EXPECT_EQ(box.Caption, caption);
    EXPECT_EQ(box.Text, text);
    EXPECT_EQ(box.Buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(box.DefaultButton, IDNO);
    EXPECT_EQ(box.Icon, "question");
}

}  // namespace

TEST_F(TolvarRun, FirstStartWithoutIniShowsAnEmptyBookForGenel) {
    Start();
    EXPECT_TRUE(Items(Form1->ListBox1->Items()).empty());
    EXPECT_TRUE(Items(Form15->ListBox1->Items()).empty());
    EXPECT_EQ(Form1->Label1->Caption(), "GENEL");
    EXPECT_EQ(Status(), "SMS Listesi : GENEL");
    EXPECT_TRUE(Form1->GemiiAKAPAT1->Checked);
    EXPECT_FALSE(FileExists(fixtures::MainIniPath())) << "starting writes no ini file";

    // The nineteen windows in numeric order, the first the main form, only it shown.
    const Strings captions = {
        "Tolvar[a] 1.81", "Tolvar [Mesaj Yolla]", "Tolvar [Servis Girişleri]"_w, "Tolvar [Yeni CEP]",
        "Tolvar[Düzenle]"_w, "Mesajınız Yollandı"_w, "Marendo Yenilikler", "Yardım Edin"_w,
        "Tolvar[Diğer Ayarlar]"_w, "Tolvar Hakkında"_w, "Tolvar HAZIR MESAJ", "Önerileriniz......."_w,
        "Tolvar[Kullanıcı Ayarları]"_w, "Yeni Kullanıcı"_w, "Geçmiş Mesajlar Bölümü"_w,
        "Şifre Değiştir"_w, "Kullanıcı Seçimi"_w, "", "Özel Mesaj Ekranı"_w};
    ASSERT_EQ(Application->FormCount(), 19);
    EXPECT_EQ(Application->MainForm(), Form1);
    for (int i = 0; i < 19; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(Application->Forms(i)->Name(), "Form" + IntToStr(i + 1));
        EXPECT_EQ(Application->Forms(i)->Caption(), captions[static_cast<size_t>(i)]);
        EXPECT_EQ(Application->Forms(i)->Visible(), i == 0);
    }
    EXPECT_EQ(Application->Title, "Tolvar");
}

TEST_F(TolvarRun, SeededIniLoadsBookHistoryAndLoginUpToTheCounts) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Ayşe Işık"_w, "Çağrı"_w}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905431234567", "905321112233"}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"Günaydın"_w, "Selam"}));
    EXPECT_EQ(Form3->ComboBox2->Text(), "535");
    EXPECT_EQ(Form3->Edit1->Text(), "1234567");
    EXPECT_EQ(Form3->Edit3->Text(), "gizli");
    EXPECT_EQ(Form3->Edit4->Text(), "Oto");
    EXPECT_EQ(Form3->ComboBox1->Text(), "SuperOnline");
    EXPECT_FALSE(Form3->Edit2->Enabled());
}

// A save cut by a kill leaves its temporary file ("<file>.tmp.<pid>") beside tolvar17.ini or the
// hive. The next start removes those whose process is gone, and keeps the stored files and the
// temporary file of a save still running.
TEST_F(TolvarRun, StartRemovesTheTemporaryFilesOfSavesAKillCut) {
    fixtures::SeedMainIni(kSeededIni);
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    const std::string windows = win::WindowsDir();
    const std::string hive = reg::HiveFilePath(HKEY_CURRENT_USER);
    const std::string cut = windows + "/tolvar17.ini.tmp." + std::to_string(ended);
    const std::string cutHive = hive + ".tmp." + std::to_string(ended);
    const std::string running = windows + "/tolvar17.ini.tmp." + std::to_string(getpid());
    testsupport::WriteAll(cut, kSeededIni.substr(0, 40));
    testsupport::WriteAll(cutHive, "REGEDIT4\r\n");
    testsupport::WriteAll(running, "x");

    Start();
    EXPECT_FALSE(FileExists(cut));
    EXPECT_FALSE(FileExists(cutHive));
    EXPECT_TRUE(FileExists(running));
    EXPECT_EQ(fixtures::MainIniBytes(), kSeededIni);
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Ayşe Işık"_w, "Çağrı"_w}));
}

TEST_F(TolvarRun, StoredTelWithAnUnknownPrefixLeavesThePrefixEmpty) {
    fixtures::SeedMainIni(fixtures::CrLf({"[Superonline]", "Tel=5421234567"}));
    Start();
    EXPECT_EQ(Form3->ComboBox2->ItemIndex(), -1);
    EXPECT_EQ(Form3->ComboBox2->Text(), "");
    EXPECT_EQ(Form3->Edit1->Text(), "1234567");
}

TEST_F(TolvarRun, SelectingAContactFillsTheOtherWindowsAndEnablesItsCommands) {
    struct Case {
        std::string number, country, prefix, subscriber;
        int prefixIndex;
    };
    const std::vector<Case> cases = {
        {"905431234567", "90", "543", "1234567", 5},
        {"491231234567", "49", "", "1234567", -1},  // a prefix the list does not offer
        {"9053", "90", "", "", -1},                 // too short for a prefix: nothing to take
        {"4", "4", "", "", -1},
    };
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        Form1->ListBox1->Items()->Clear();
        Form1->ListBox2->Items()->Clear();
        Form1->ListBox1->Items()->Add("Ali");
        Form1->ListBox2->Items()->Add(c.number);
        Form5->Edit2->SetText("44");
        headless::Click("Form1.CEPListesi1");
        EXPECT_FALSE(Form1->CEPSil2->Enabled);
        headless::RightClick("Form1.ListBox1");
        EXPECT_FALSE(Form1->MesajYolla1->Enabled);
        EXPECT_FALSE(Form1->CEPSil1->Enabled);
        EXPECT_FALSE(Form1->CEPDzenle1->Enabled);
        EXPECT_TRUE(Form1->YeniCEPEkle1->Enabled);
        Headless().ClosePopup();

        headless::Select("Form1.ListBox1", 0);
        EXPECT_EQ(Form2->Panel1->Caption(), "Ali-" + c.number);
        EXPECT_EQ(Form5->Edit1->Text(), "Ali");
        EXPECT_EQ(Form5->ComboBox2->ItemIndex(), c.prefixIndex);
        EXPECT_EQ(Form5->ComboBox2->Text(), c.prefix);
        EXPECT_EQ(Form5->Edit3->Text(), c.subscriber);
        EXPECT_EQ(Form5->Edit2->Text(), c.country) << "the country code comes from the stored number";
        EXPECT_EQ(Status(), "Ali seçildi."_w);
        EXPECT_TRUE(Form1->CEPSil2->Enabled);
        EXPECT_TRUE(Form1->CEPDzenle2->Enabled);
        headless::RightClick("Form1.ListBox1");
        EXPECT_TRUE(Form1->MesajYolla1->Enabled);
        EXPECT_TRUE(Form1->CEPSil1->Enabled);
        EXPECT_TRUE(Form1->CEPDzenle1->Enabled);
        Headless().ClosePopup();
    }
}

TEST_F(TolvarRun, EditAndSendCommandsShowTheirWindows) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    headless::Select("Form1.ListBox1", 0);
    Form5->ComboBox2->SetText("999");  // what a cancelled edit may leave behind
    headless::Click("Form1.CEPDzenle2");
    EXPECT_TRUE(Form5->Visible());
    EXPECT_EQ(Form5->ComboBox2->Text(), "543");
    EXPECT_EQ(Form5->Edit3->Text(), "1234567");
    EXPECT_EQ(Form5->Edit1->Text(), "Ayşe Işık"_w);

    headless::DblClick("Form1.ListBox1", 1);
    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(Form2->Panel1->Caption(), "Çağrı-905321112233"_w);
    EXPECT_FALSE(Form1->Enabled()) << "the send window holds the main window";
    headless::Click("Form2.SpeedButton2");
    EXPECT_TRUE(Form1->Enabled());

    headless::Click("Form1.ProgramAyarlar1");
    EXPECT_TRUE(Form9->Visible());
    EXPECT_FALSE(Form9->Panel1->Visible());
    EXPECT_TRUE(Form9->Panel2->Visible());
}

TEST_F(TolvarRun, DeleteAsksAndRemovesTheEntryFromBothListsOnlyOnYes) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    headless::Select("Form1.ListBox1", 0);
    Headless().QueueBoxAnswer(IDNO);
    headless::Click("Form1.CEPSil2");
    ExpectQuestion(LastBox(), "Silme", "\"Ayşe Işık\" isimli kişiyi silmek istiyor musunuz?"_w);
    EXPECT_EQ(Items(Form1->ListBox1->Items()).size(), 2u);

    Headless().QueueBoxAnswer(IDYES);
    headless::RightClick("Form1.ListBox1");
    headless::Click("Form1.CEPSil1");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Çağrı"_w}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905321112233"}));
    EXPECT_EQ(fixtures::MainIniBytes(), kSeededIni) << "the ini file is written only at exit";
}

TEST_F(TolvarRun, DeleteForARegistryUserRemovesItsListeValue) {
    Start();
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UsersKey + "\\mehmet\\Liste", true));
        reg.WriteString("Ali", "905321111111");
        reg.WriteString("Veli", "905332222222");
    }
    BecomeUser("mehmet", {"Ali", "Veli"}, {"905321111111", "905332222222"}, {});
    headless::Select("Form1.ListBox1", 1);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.CEPSil2");
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Liste"), (Values{{"Ali", "905321111111"}}));
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Ali"}));

    // A user without a Liste key: no key appears, the entry still goes.
    BecomeUser("ayse", {"Ali"}, {"905321111111"}, {});
    headless::Select("Form1.ListBox1", 0);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.CEPSil2");
    EXPECT_TRUE(Items(Form1->ListBox1->Items()).empty());
    EXPECT_FALSE(RegistryKeyExists(UsersKey + "\\ayse\\Liste"));
}

TEST_F(TolvarRun, HistorySwitchAsksOnlyWhenTurningOffAndStoresItsState) {
    Start();
    auto stored = [] {
        TRegistry reg;
        reg.OpenKey(storedstate::ProgramKey, false);
        return reg.ValueExists("GecmisAktif") ? reg.ReadInteger("GecmisAktif") : -1;
    };
    EXPECT_EQ(stored(), -1);

    Headless().QueueBoxAnswer(IDNO);
    headless::Click("Form1.GemiiAKAPAT1");
    ExpectQuestion(LastBox(), "Geçmiş"_w,
                   "Bundan sonra yazdığınız mesajlar Geçmişte kaydedilmeyecek?\nDevam etmek istiyor musunuz?"_w);
    EXPECT_TRUE(Form1->GemiiAKAPAT1->Checked);
    EXPECT_EQ(stored(), 1) << "written in every case";

    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.GemiiAKAPAT1");
    EXPECT_FALSE(Form1->GemiiAKAPAT1->Checked);
    EXPECT_EQ(stored(), 0);

    const size_t boxes = Headless().Boxes().size();
    headless::Click("Form1.GemiiAKAPAT1");
    EXPECT_EQ(Headless().Boxes().size(), boxes) << "turning it on asks nothing";
    EXPECT_TRUE(Form1->GemiiAKAPAT1->Checked);
    EXPECT_EQ(stored(), 1);
}

TEST_F(TolvarRun, StoredHistorySwitchIsReadWhenTheWindowIsShown) {
    {
        TRegistry reg;
        reg.OpenKey(storedstate::ProgramKey, true);
        reg.WriteBool("GecmisAktif", false);
    }
    Start();
    EXPECT_FALSE(Form1->GemiiAKAPAT1->Checked);
}

TEST_F(TolvarRun, HistoryClearingAsksAndEmptiesTheHistoryOnlyOnYes) {
    Start();
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UsersKey + "\\mehmet\\Gecmis", true));
        reg.WriteString("gecmis0", "bir");
    }
    BecomeUser("mehmet", {}, {}, {"bir"});
    Form15->ListBox2->Items()->Add("gecmis0");

    Headless().QueueBoxAnswer(IDNO);
    headless::Click("Form1.GemiiTemizle1");
    ExpectQuestion(LastBox(), "Geçmişi Temizle"_w, "Geçmiş mesajlarınız silinecek. Devam etmek istiyor musunuz?"_w);
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"bir"}));
    EXPECT_EQ(Items(Form15->ListBox2->Items()), (Strings{"gecmis0"}));
    EXPECT_TRUE(RegistryKeyExists(UsersKey + "\\mehmet\\Gecmis"));

    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.GemiiTemizle1");
    EXPECT_TRUE(Items(Form15->ListBox1->Items()).empty());
    EXPECT_TRUE(Items(Form15->ListBox2->Items()).empty());
    EXPECT_FALSE(RegistryKeyExists(UsersKey + "\\mehmet\\Gecmis"));
    EXPECT_TRUE(RegistryKeyExists(UsersKey + "\\mehmet"));
}

TEST_F(TolvarRun, ListSaveAndLoadGoThroughTheDialogs) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    const std::string saved = state_.Path("liste.ini");
    Headless().QueueFileAnswer(saved);
    headless::Click("Form1.CEPListesiniKaydet1");
    const auto& dlg = Headless().Dialogs().back();
    EXPECT_TRUE(dlg.Save);
    EXPECT_EQ(dlg.FileName, "tolvar.ini");
    EXPECT_EQ(dlg.DefaultExt, "ini");
    EXPECT_EQ(dlg.Filter, "Ayar Dosyaları|*.ini"_w);
    EXPECT_EQ(testsupport::ReadAll(saved),
              fixtures::CrLf({"[Ayarlar]", "Toplam=2", "[Mesaj]", "Toplam=2", "Mesaj0=" + "Günaydın"_w,
                              "Mesaj1=Selam", "[1]", "isim=" + "Ayşe Işık"_w, "numara=905431234567",
                              "[Otomatik]", "İsim=Oto"_w, "[2]", "isim=" + "Çağrı"_w,
                              "numara=905321112233"}));

    // A cancelled load changes nothing; a load replaces the book, in file order, up to the count.
    Headless().QueueFileCancel();
    headless::Click("Form1.ListeYkle1");
    EXPECT_EQ(Items(Form1->ListBox1->Items()).size(), 2u);
    EXPECT_EQ(Headless().Dialogs().back().Filter, "Ayar Dosyalrı|*.ini"_w);

    const std::string other = state_.Path("other.ini");
    testsupport::WriteAll(other, fixtures::CrLf({"[ayarlar]", "toplam=1", "[1]", "isim=Zeki", "numara=905551234567",
                                                 "[2]", "isim=Fazla", "numara=905550000000"}));
    Headless().QueueFileAnswer(other);
    headless::Click("Form1.ListeYkle1");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Zeki"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905551234567"}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()).size(), 2u) << "the history is not loaded";
}

// A list saved as "liste–1.ini" is written to that file; its twin "liste_1.ini" beside it keeps
// its bytes.
TEST_F(TolvarRun, AListSavedUnderANameWithADashIsThatFileAndNotItsTwin) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    const std::string twin = state_.Path("liste_1.ini"), old = fixtures::CrLf({"[Ayarlar]", "Toplam=0"});
    testsupport::WriteAll(twin, old);
    Headless().QueueFileAnswer(state_.Path("liste") + "–1.ini"_w);
    headless::Click("Form1.CEPListesiniKaydet1");
    EXPECT_EQ(testsupport::ReadAll(twin), old);
    EXPECT_EQ(testsupport::ReadAll(state_.Path("liste–1.ini")).rfind(fixtures::CrLf({"[Ayarlar]", "Toplam=2"}), 0), 0u);
}

TEST_F(TolvarRun, ExitAnsweredNoWritesNothingAndRunsOn) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    headless::Select("Form1.ListBox1", 0);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.CEPSil2");  // the book differs from the file now

    const std::vector<std::function<void()>> exits = {
        [] { headless::CloseBox("Form1"); },
        [] { headless::Click("Form1.k3"); },
        [] { headless::Click("Form1.k1"); },
    };
    for (size_t i = 0; i < exits.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string hive = testsupport::ReadAll(reg::HiveFilePath(HKEY_CURRENT_USER));
        Headless().QueueBoxAnswer(IDNO);
        exits[i]();
        EXPECT_EQ(testsupport::ReadAll(reg::HiveFilePath(HKEY_CURRENT_USER)), hive);
        ExpectQuestion(LastBox(), "Çıkış"_w, "Gerçekten çıkmak istiyormusunuz?"_w);
        EXPECT_FALSE(headless::Halted());
        EXPECT_TRUE(Form1->Visible());
    }
    EXPECT_EQ(fixtures::MainIniBytes(), kSeededIni);
}

TEST_F(TolvarRun, ExitAnsweredYesWritesTheDefaultUsersStateAndEnds) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    headless::Select("Form1.ListBox1", 0);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.CEPSil2");
    Form15->ListBox1->Items()->Add("Yeni mesaj");

    Headless().QueueBoxAnswer(IDYES);
    headless::CloseBox("Form1");
    ASSERT_TRUE(headless::Halted());
    EXPECT_EQ(headless::ExitCode(), 0);

    // Exactly what the write order gives on the old file: replaced values keep their lines, the
    // stale sections stay, the SuperOnline login is untouched.
    const std::string reference = state_.Path("reference.ini");
    testsupport::WriteAll(reference, kSeededIni);
    {
        TIniFile ini(reference);
        TStringList names, numbers, history;
        names.Add("Çağrı"_w);
        numbers.Add("905321112233");
        for (auto s : {"Günaydın"_w, std::string("Selam"), std::string("Yeni mesaj")}) history.Add(s);
        storedstate::WriteBookAndHistory(ini, &names, &numbers, &history);
    }
    const std::string written = fixtures::MainIniBytes();
    EXPECT_EQ(written, testsupport::ReadAll(reference));
    EXPECT_NE(written.find("TOPLAM=1\r\n"), std::string::npos);
    EXPECT_NE(written.find("isim=Eski\r\n"), std::string::npos);
    EXPECT_NE(written.find("isim=" + "Çağrı"_w + "\r\n"), std::string::npos);
    EXPECT_TRUE(RegistryKeyExists(UsersKey));
}

TEST_F(TolvarRun, FailedExitWriteKeepsTheOldFileAndTheWindowOpen) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    for (int i = 0; i < 80; ++i) {
        Form1->ListBox1->Items()->Add("Uzun isimli kişi "_w + IntToStr(i));
        Form1->ListBox2->Items()->Add("90532" + IntToStr(1000000 + i));
    }
    {
        TRegistry reg;  // the key the exit opens exists, so only the ini file is written
        reg.OpenKey(UsersKey, true);
    }
    {
        fixtures::FileSizeLimit limit(kSeededIni.size() + 512);
        Headless().QueueBoxAnswer(IDYES);
        headless::Click("Form1.k3");
    }
    EXPECT_FALSE(headless::Halted());
    EXPECT_TRUE(Form1->Visible());
    const auto& box = LastBox();
    EXPECT_EQ(box.Caption, "Tolvar");
    EXPECT_EQ(box.Text, "Unable to write to tolvar17.ini");
    EXPECT_EQ(box.Icon, "error");
    EXPECT_EQ(fixtures::MainIniBytes(), kSeededIni);

    // Once the disk takes writes again, the same exit succeeds.
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.k3");
    EXPECT_TRUE(headless::Halted());
    TIniFile ini(storedstate::MainIniName);
    EXPECT_EQ(ini.ReadInteger("Ayarlar", "Toplam", 0), 82);
}

TEST_F(TolvarRun, RegistryUserExitWritesExactlyTheBookAndTheHistoryInOrder) {
    Start();
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UsersKey + "\\mehmet\\Liste", true));
        reg.WriteString("Eski", "905320000000");  // left the book through a list load
        reg.WriteString("Ali", "905321111111");
    }
    BecomeUser("mehmet", {"Ali", "Zeki", "Berk", "Berk"},
               {"905339999999", "905551234567", "905351111111", "905352222222"}, {"bir", "iki", "üç"_w});
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.k3");
    ASSERT_TRUE(headless::Halted());

    // What the next login reads: the Liste values in enumeration order, gecmis0.. in order.
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Liste"),
              (Values{{"Ali", "905339999999"}, {"Zeki", "905551234567"}, {"Berk", "905352222222"}}));
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Gecmis"),
              (Values{{"gecmis0", "bir"}, {"gecmis1", "iki"}, {"gecmis2", "üç"_w}}));
    EXPECT_FALSE(FileExists(fixtures::MainIniPath())) << "a registry user's exit leaves the ini file alone";
}

TEST_F(TolvarRun, MinimiseHidesIntoTheTrayAndADoubleClickBringsItBack) {
    Start();
    EXPECT_FALSE(Form1->taskbar->Visible());
    EXPECT_EQ(Form1->taskbar->Hint(), "Marendo Tolvar 1.8");
    headless::Minimize();
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(Form1->taskbar->Visible());

    // The tray menu belongs to the icon, not to the hidden window: choose "Aç" as the icon would.
    Form1->PopupMenu1->Popup(0, 0);
    Application->Trap(Form1->N1, [] { Form1->N1->Click(); });
    headless::Pump();  // "Aç": the window comes back, the icon stays
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(Form1->taskbar->Visible());

    headless::Minimize();
    Form1->taskbar->DblClick();
    headless::Pump();
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Form1->taskbar->Visible());
}

TEST_F(TolvarRun, SiteCommandOpensTheMakersSiteThroughTheShell) {
    Start();
    shell::ClearRecordedRequests();
    headless::Click("Form1.N55Hakknda1");
    const auto requests = shell::RecordedRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, "open");
    EXPECT_EQ(requests[0].file, "http://www.marendo.example/");
    EXPECT_EQ(requests[0].show, SW_SHOWMAXIMIZED);
}

// The state folder's own path is the machine's bytes: a folder name outside Windows-1254 (or in
// its 0x80 row) is never taken through the code page on the way to the file.
TEST_F(TolvarRun, ExitWritesIntoAStateFolderWhosePathIsOutsideTheCodePage) {
    for (const char* folder : {"日本", "€uro"}) {
        SCOPED_TRACE(folder);
        const std::string home = state_.Path(folder);
        setenv("MARENDO_HOME", home.c_str(), 1);
        reg::ReloadHives();
        fixtures::SeedMainIni(kSeededIni);
        ASSERT_EQ(fixtures::MainIniPath(), home + "/windows/tolvar17.ini");
        Start();
        Form1->ListBox1->Items()->Add("Yeni");
        Form1->ListBox2->Items()->Add("905321234567");
        Headless().QueueBoxAnswer(IDYES);
        headless::Click("Form1.k3");
        EXPECT_TRUE(headless::Halted()) << LastBox().Text;
        TIniFile ini(storedstate::MainIniName);
        EXPECT_EQ(ini.ReadInteger("Ayarlar", "Toplam", 0), 3);
        EXPECT_EQ(ini.ReadString("3", "isim", ""), "Yeni");
        TearDown();
    }
    setenv("MARENDO_HOME", state_.Dir().c_str(), 1);
    reg::ReloadHives();
}

// Every byte of a stored text is kept: a file written by any earlier version (backslashes, even
// its "\n" and "\\" pairs) is shown as it stands and written back unchanged.
TEST_F(TolvarRun, StoredTextsAreShownAndWrittenBackByteForByte) {
    const std::string seeded = fixtures::CrLf({
        "[Ayarlar]", "Toplam=1", "[1]", "isim=Ali\\Veli", "numara=905431234567",
        "[Mesaj]", "Toplam=3", "Mesaj0=c:\\new\\text", "Mesaj1=iki\\nsat" + "ır"_w, "Mesaj2=ters \\\\ bölü"_w,
    });
    fixtures::SeedMainIni(seeded);
    Start();
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Ali\\Veli"}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()),
              (Strings{"c:\\new\\text", "iki\\nsat" + "ır"_w, "ters \\\\ bölü"_w}));
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.k3");
    ASSERT_TRUE(headless::Halted());
    EXPECT_EQ(fixtures::MainIniBytes(), seeded);
}

// A count never reaches beyond what the file holds: the start and a list load are immediate and
// give the contacts that are there.
TEST_F(TolvarRun, HugeCountsAreBoundedByTheNumberedSectionsPresent) {
    fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", "Toplam=2147483647", "[1]", "isim=Bir", "numara=905431234567",
                                          "[2]", "isim=İki"_w, "numara=905321112233", "[Mesaj]",
                                          "Toplam=2147483647", "Mesaj0=ilk", "Mesaj2=üçüncü"_w}));
    Start();
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Bir", "İki"_w}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"ilk", "", "üçüncü"_w})) << "a gap reads as empty";

    const std::string list = state_.Path("buyuk.ini");
    testsupport::WriteAll(list, fixtures::CrLf({"[Ayarlar]", "Toplam=200000", "[1]", "isim=Zeki", "numara=905551234567",
                                                "[3]", "isim=Son", "numara=905550000000", "[04]", "isim=Yok"}));
    Headless().QueueFileAnswer(list);
    headless::Click("Form1.ListeYkle1");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Zeki", "", "Son"}));
}

// Only "0x"/"0X" marks a hexadecimal count; any other spelling gives the default (no contacts).
TEST_F(TolvarRun, OnlyZeroXCountsAreHexadecimal) {
    for (const char* count : {"$2", "0x2", "2", "x2", "0X2"}) {
        SCOPED_TRACE(count);
        fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", std::string("Toplam=") + count, "[1]", "isim=Bir",
                                              "numara=905431234567", "[2]", "isim=Iki", "numara=905321112233"}));
        Start();
        const bool counted = std::string(count) != "$2" && std::string(count) != "x2";
        EXPECT_EQ(Form1->ListBox1->Items()->Count(), counted ? 2 : 0);
        TearDown();
    }
}

// A registry user's exit goes to the hive in one commit: when it cannot be written, the old book
// and history stay whole, the error is shown and the program runs on.
TEST_F(TolvarRun, FailedRegistryUserExitLeavesTheOldBookWhole) {
    Start();
    Values old;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UsersKey + "\\mehmet\\Liste", true));
        for (int i = 0; i < 30; ++i) {
            reg.WriteString("Eski " + IntToStr(i), "90532000" + IntToStr(1000 + i));
            old.emplace_back("Eski " + IntToStr(i), "90532000" + IntToStr(1000 + i));
        }
        ASSERT_TRUE(reg.OpenKey("\\" + UsersKey + "\\mehmet\\Gecmis", true));
        reg.WriteString("gecmis0", "eski mesaj");
    }
    Strings names, numbers;
    for (int i = 0; i < 200; ++i) {
        names.push_back("Yeni kişi "_w + IntToStr(i));
        numbers.push_back("90533" + IntToStr(1000000 + i));
    }
    BecomeUser("mehmet", names, numbers, {"bir", "iki"});
    const std::string hive = reg::HiveFilePath(HKEY_CURRENT_USER);
    const std::string before = testsupport::ReadAll(hive);
    {
        fixtures::FileSizeLimit limit(before.size() + 2048);
        Headless().QueueBoxAnswer(IDYES);
        headless::Click("Form1.k3");
    }
    EXPECT_FALSE(headless::Halted());
    EXPECT_EQ(LastBox().Icon, "error");
    EXPECT_EQ(LastBox().Text, "Failed to set data for '" + names[0] + "'");
    EXPECT_EQ(testsupport::ReadAll(hive), before);
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Liste"), old) << "the book in memory is the old one too";
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Gecmis"), (Values{{"gecmis0", "eski mesaj"}}));
    EXPECT_TRUE(FilesIn(win::StateSubdir("registry")) == Strings{"HKCU.reg"});

    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.k3");
    ASSERT_TRUE(headless::Halted());
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Liste").size(), 200u);
}

// Another Tolvar that changed the registry after this one started keeps its change: this one's
// exit applies its book to the hive as it is on disk now.
TEST_F(TolvarRun, ExitKeepsWhatAnotherProcessWroteToTheRegistry) {
    Start();
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UsersKey + "\\mehmet\\Liste", true));
        reg.WriteString("Ali", "905321111111");
    }
    // The other process: its own copy of the hive, with a user of its own, replaced atomically.
    const std::string hive = reg::HiveFilePath(HKEY_CURRENT_USER);
    const std::string other = testsupport::ReadAll(hive) + "\r\n[HKEY_CURRENT_USER\\Software\\Marendo\\Tolvar\\" +
                              "Kullanıcılar"_w + "\\ayse]\r\n\"Sifre\"=\"gizli\"\r\n\r\n[HKEY_CURRENT_USER\\" +
                              "Software\\Marendo\\Tolvar\\" + "Kullanıcılar"_w + "\\ayse\\Liste]\r\n" +
                              "\"Zeynep\"=\"905430000000\"\r\n";
    testsupport::WriteAll(hive + ".other", other);
    ASSERT_EQ(rename((hive + ".other").c_str(), hive.c_str()), 0);

    BecomeUser("mehmet", {"Ali", "Can"}, {"905321111111", "905322222222"}, {});
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.k3");
    ASSERT_TRUE(headless::Halted());
    EXPECT_EQ(RegistryValues(UsersKey + "\\ayse\\Liste"), (Values{{"Zeynep", "905430000000"}}));
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Liste"),
              (Values{{"Ali", "905321111111"}, {"Can", "905322222222"}}));
    reg::ReloadHives();  // what a third process reads from the file
    EXPECT_EQ(RegistryValues(UsersKey + "\\ayse\\Liste"), (Values{{"Zeynep", "905430000000"}}));
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Liste").size(), 2u);
}

// A hive that cannot be read is set aside and the person is told in an error box, not only in
// the log.
TEST_F(TolvarRun, UnreadableHiveIsSetAsideAndShownInAnErrorBox) {
    const std::string hive = reg::HiveFilePath(HKEY_CURRENT_USER);
    testsupport::WriteAll(hive, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"bozuk\r\n");
    reg::ReloadHives();
    Start();
    ASSERT_FALSE(Headless().Boxes().empty());
    const auto& box = Headless().Boxes().front();
    EXPECT_EQ(box.Icon, "error");
    EXPECT_EQ(box.Caption, "Tolvar");
    EXPECT_NE(box.Text.find(hive + ".corrupt"), std::string::npos) << box.Text;
    EXPECT_EQ(testsupport::ReadAll(hive + ".corrupt"),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"bozuk\r\n");
}

// A list save replaces the file once, whole, or leaves it as it was; no temporary copy stays.
TEST_F(TolvarRun, FailedListSaveLeavesTheOldListAndNoCopyBehind) {
    fixtures::SeedMainIni(kSeededIni);
    Start();
    const std::string folder = state_.Path("listeler");
    ASSERT_TRUE(win::MakeDirs(folder));
    const std::string saved = folder + "/liste.ini";
    const std::string old = fixtures::CrLf({"[Ayarlar]", "Toplam=1", "[1]", "isim=Eski", "numara=905550000000"});
    testsupport::WriteAll(saved, old);
    for (int i = 0; i < 80; ++i) {
        Form1->ListBox1->Items()->Add("Uzun isimli kişi "_w + IntToStr(i));
        Form1->ListBox2->Items()->Add("90532" + IntToStr(1000000 + i));
    }
    {
        fixtures::FileSizeLimit limit(old.size() + 256);
        Headless().QueueFileAnswer(saved);
        headless::Click("Form1.CEPListesiniKaydet1");
    }
    EXPECT_EQ(LastBox().Text, "Unable to write to " + saved);
    EXPECT_EQ(testsupport::ReadAll(saved), old);
    EXPECT_EQ(FilesIn(folder), Strings{"liste.ini"});
    TIniFile reread(saved);
    EXPECT_EQ(reread.ReadString("1", "isim", ""), "Eski") << "the kept parse is the file's";

    Headless().QueueFileAnswer(saved);
    headless::Click("Form1.CEPListesiniKaydet1");
    TIniFile ini(saved);
    EXPECT_EQ(ini.ReadInteger("Ayarlar", "Toplam", 0), 82);
    EXPECT_EQ(FilesIn(folder), Strings{"liste.ini"});
}
