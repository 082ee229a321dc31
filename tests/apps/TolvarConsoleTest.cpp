// The real tolvar executable, driven through its console with a short script on standard input.
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "messenger/gatewayfake.h"
#include "platform/classlib/cp1254.h"
#include "platform/classlib/inifiles.h"
#include "platform/registry/registry.h"
#include "platform/win/statedir.h"
#include "consolerun.h"
#include "support/tempstate.h"

namespace {

using consolerun::RunResult;

RunResult RunTolvar(const testsupport::TempState& state, const std::string& script) {
    return consolerun::Run(TOLVAR_EXE, state, script);
}

std::string Seeded() {
    return cp1254::FromUtf8(
        "[Ayarlar]\r\nToplam=2\r\n[1]\r\nisim=Ayşe\r\nnumara=905431234567\r\n"
        "[2]\r\nisim=Çağrı\r\nnumara=905321112233\r\n");
}

std::string IniPath() { return win::WindowsDir() + "/tolvar17.ini"; }

}  // namespace

TEST(TolvarConsole, ScriptDeletesAContactAndExitsWithWriteBack) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    const RunResult r = RunTolvar(state,
                                  "# delete the second contact, then leave\n"
                                  "select Form1.ListBox1 1\n"
                                  "click Form1.CEPSil2\n"
                                  "answer yes\n"
                                  "close Form1\n"
                                  "answer yes\n");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("shown Form1 \"Tolvar[a] 1.81\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("box \"Silme\" \"\\\"Çağrı\\\" isimli kişiyi silmek istiyor musunuz?\" "
                            "buttons=Yes,No default=No icon=question"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("box \"Çıkış\" \"Gerçekten çıkmak istiyormusunuz?\" buttons=Yes,No default=No "
                            "icon=question"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("exit 0"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("shown Form2"), std::string::npos) << "only the main window is shown";

    TIniFile ini("tolvar17.ini");
    EXPECT_EQ(ini.ReadInteger("Ayarlar", "Toplam", -1), 1);
    EXPECT_EQ(ini.ReadString("1", "isim", ""), cp1254::FromUtf8("Ayşe"));
}

TEST(TolvarConsole, EndOfInputEndsWithoutWriting) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    const RunResult r = RunTolvar(state, "select Form1.ListBox1 0\nclick Form1.CEPSil2\nanswer yes\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("exit 0"), std::string::npos) << r.output;
    EXPECT_EQ(testsupport::ReadAll(IniPath()), Seeded());
}

TEST(TolvarConsole, ATrayDoubleClickBringsTheMinimisedWindowBack) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    const RunResult r = RunTolvar(state,
                                  "help\n"
                                  "tray dblclick\n"  // no icon while the window shows
                                  "minimize\n"
                                  "tray dblclick\n"
                                  "show\n"
                                  "tray click\n"  // the double click took the icon away
                                  "close Form1\n"
                                  "answer yes\n");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("tray click | tray dblclick | tray menu ITEM"), std::string::npos) << r.output;
    const std::string noIcon = "error: There is no icon in the notification area\n";
    const size_t first = r.output.find(noIcon);
    ASSERT_NE(first, std::string::npos) << r.output;
    EXPECT_NE(r.output.find(noIcon, first + 1), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("tray added \"Marendo Tolvar 1.8\"\n"
                            "hidden Form1 \"Tolvar[a] 1.81\"\n"
                            "shown Form1 \"Tolvar[a] 1.81\"\n"
                            "tray removed \"Marendo Tolvar 1.8\"\n"
                            "Form1 \"Tolvar[a] 1.81\"\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("exit 0"), std::string::npos) << r.output;
}

TEST(TolvarConsole, TheTrayMenuOpensTheWindowAndExits) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    const RunResult r = RunTolvar(state,
                                  "minimize\n"
                                  "tray menu Aç\n"     // by caption: the window comes back
                                  "tray menu k1\n"     // by name: the icon stayed, its exit asks
                                  "answer yes\n");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string popup = "popup Form1.PopupMenu1 items=N1,Servisler1,k1\n";
    EXPECT_NE(r.output.find("hidden Form1 \"Tolvar[a] 1.81\"\n" + popup + "shown Form1 \"Tolvar[a] 1.81\"\n" +
                            popup + "box \"Çıkış\" \"Gerçekten çıkmak istiyormusunuz?\""),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("exit 0"), std::string::npos) << r.output;
    TIniFile ini("tolvar17.ini");
    EXPECT_EQ(ini.ReadInteger("Ayarlar", "Toplam", -1), 2);  // the exit wrote the book back
}

// A whole send as a person types it: the watcher ticks (the machine's dial-up value says online),
// a contact, a text, "Yolla", the wait window, the gateway fake's success and the box.
TEST(TolvarConsole, AWholeSendThroughTheGatewayFake) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    ASSERT_EQ(reg::SeedMachineValue("System\\CurrentControlSet\\Services\\RemoteAccess", "Remote Connection",
                                    REG_BINARY, std::string("\x01\0\0\0", 4)),
              ERROR_SUCCESS);
    fixtures::GatewayFake fake(state.Path("gateway"), "yollandi");
    ASSERT_TRUE(fake.Started());
    setenv("TOLVAR_MAKER_HOST", fake.Host().c_str(), 1);
    const RunResult r = RunTolvar(state,
                                  "wait 1300\n"  // the watcher's first tick
                                  "select Form1.ListBox1 1\n"
                                  "dblclick Form1.ListBox1 1\n"
                                  "type Form2.Memo1 Merhaba dünya\n"
                                  "click Form2.SpeedButton1\n"
                                  "answer ok\n"
                                  "close Form1\n"
                                  "answer yes\n");
    unsetenv("TOLVAR_MAKER_HOST");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("shown Form2 \"Tolvar [Mesaj Yolla]\"\n"
                            "hidden Form2 \"Tolvar [Mesaj Yolla]\"\n"
                            "shown Form18 \"\"\n"
                            "hidden Form18 \"\"\n"
                            "box \"Tolvar\" \"Mesajınız Başarıyla Gönderildi\" buttons=OK default=OK icon=none\n"),
              std::string::npos)
        << r.output;
    ASSERT_EQ(fake.Count(), 1);
    EXPECT_EQ(fake.Fields(1), (std::vector<std::string>{"telno=905321112233", "mesaj=Merhaba dunya-Tolvar",
                                                        "ip=0.8.219.51"}));
    TIniFile ini("tolvar17.ini");
    EXPECT_EQ(ini.ReadString("Mesaj", "Mesaj0", ""), "Merhaba d\xfcnya") << "the history written at exit";
}

// The texts of the send road's windows as a person reads them (the driver shows 1254 as UTF-8).
TEST(TolvarConsole, TheSendWindowsShowTheirTurkishTexts) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    const RunResult r = RunTolvar(state,
                                  "dblclick Form1.ListBox1 0\n"
                                  "show\n"
                                  "click Form2.SpeedButton1\n"
                                  "answer ok\n"
                                  "click Form2.SpeedButton2\n"
                                  "click Form1.ProgramAyarlar1\n"
                                  "click Form1.Servisler2\n"
                                  "show\n"
                                  "click Form3.Button1\n"
                                  "answer ok\n");
    for (const char* text : {"Tolvar [Mesaj Yolla]", "Mesajınız: ", "Tolvar -Normal(160 Kar.-Rek.sız)", "&İptal",
                             "Hazır Mesaj", "Geçmiş Mesaj", "box \"Tolvar\" \"İnternete Bağlı Değilsiniz!\"",
                             "Tolvar[Diğer Ayarlar]", "Proxy Ayarları", "Proxy arkasındayım", "Proxy Port'u:",
                             "Kul.Adı:", "Şifre:", "Diğerleri", "İsim Ekle", "İstemezseniz boş bırakın...",
                             "Tolvar [Servis Girişleri]", "Bu bölüm sadece üyelikle sms yollanabilen",
                             "servisler için kul. adı ve şifre ayarlamalarını yapar", "Kul. Adı",
                             "box \"Tolvar\" \"Lütfen Bütün Alanları Doldurun\""})
        EXPECT_NE(r.output.find(text), std::string::npos) << text << "\n" << r.output;
}

// The ready messages once the watcher says online: the browser's navigation is printed and the
// status bar follows it.
TEST(TolvarConsole, TheReadyMessagesNavigateWhenOnline) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    ASSERT_EQ(reg::SeedMachineValue("System\\CurrentControlSet\\Services\\RemoteAccess", "Remote Connection",
                                    REG_DWORD, std::string("\x01\0\0\0", 4)),
              ERROR_SUCCESS);
    setenv("TOLVAR_MAKER_HOST", "127.0.0.1:8123", 1);
    const RunResult r = RunTolvar(state,
                                  "wait 1300\n"
                                  "dblclick Form1.ListBox1 0\n"
                                  "click Form2.SpeedButton3\n"
                                  "show\n");
    unsetenv("TOLVAR_MAKER_HOST");
    EXPECT_NE(r.output.find("navigate http://127.0.0.1:8123/marendo/hazir.asp\nshown Form11 \"Tolvar HAZIR MESAJ\"\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Marendo Hazır SMS Bölümü açıldı."), std::string::npos) << r.output;
}

// A gateway that never answers, and a person who presses the wait window's "İptal" a little into
// the send (a command scheduled with `after` runs from the send's own message loop).
TEST(TolvarConsole, TheWaitWindowsCancelEndsASilentSend) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    ASSERT_EQ(reg::SeedMachineValue("System\\CurrentControlSet\\Services\\RemoteAccess", "Remote Connection",
                                    REG_DWORD, std::string("\x01\0\0\0", 4)),
              ERROR_SUCCESS);
    fixtures::GatewayFake fake(state.Path("gateway"), "silent");
    ASSERT_TRUE(fake.Started());
    setenv("TOLVAR_MAKER_HOST", fake.Host().c_str(), 1);
    const RunResult r = RunTolvar(state,
                                  "wait 1300\n"
                                  "dblclick Form1.ListBox1 1\n"
                                  "type Form2.Memo1 bekle\n"
                                  "after 700 click Form18.Button1\n"
                                  "click Form2.SpeedButton1\n"
                                  "answer ok\n"
                                  "answer ok\n");
    unsetenv("TOLVAR_MAKER_HOST");
    EXPECT_NE(r.output.find("shown Form18 \"\"\n"
                            "box \"Tolvar\" \"MESAJ GÖNDERİLEMEDİ\" buttons=OK default=OK icon=none\n"
                            "hidden Form18 \"\"\n"
                            "box \"Tolvar\" \"Connection aborted on request\" buttons=OK default=OK icon=error\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(fake.Count(), 1);
}

// The send road's other texts as a person meets them online: the service list, both SuperOnline
// refusals, the wait window during a send, the judgement of a failed answer, the SuperOnline
// success and the settings window.
TEST(TolvarConsole, TheSendRoadsNoticesShowTheirTurkishTexts) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    ASSERT_EQ(reg::SeedMachineValue("System\\CurrentControlSet\\Services\\RemoteAccess", "Remote Connection",
                                    REG_DWORD, std::string("\x01\0\0\0", 4)),
              ERROR_SUCCESS);
    fixtures::GatewayFake fake(state.Path("gateway"), "silent,fail,yollandi");
    ASSERT_TRUE(fake.Started());
    setenv("TOLVAR_MAKER_HOST", fake.Host().c_str(), 1);
    setenv("TOLVAR_SUPERONLINE_HOST", fake.Host().c_str(), 1);
    const RunResult r = RunTolvar(state,
                                  "wait 1300\n"
                                  "dblclick Form1.ListBox1 0\n"
                                  "select Form2.ComboBox2 1\nshow\n"
                                  "select Form2.ComboBox2 2\nshow\n"
                                  "select Form2.ComboBox2 3\nshow\n"
                                  "click Form2.SpeedButton1\nanswer ok\n"  // no SuperOnline login yet
                                  "click Form1.Servisler2\nshow\n"
                                  "select Form3.ComboBox2 0\ntype Form3.Edit1 1234567\ntype Form3.Edit3 gizli\n"
                                  "click Form3.Button1\n"
                                  "dblclick Form1.ListBox1 0\nselect Form2.ComboBox2 3\ntype Form2.Memo1 x\n"
                                  "click Form2.SpeedButton1\nanswer ok\n"  // Ayşe is not on Turkcell
                                  "dblclick Form1.ListBox1 1\ntype Form2.Memo1 selam\n"
                                  "after 300 show\nafter 700 click Form18.Button1\n"
                                  "click Form2.SpeedButton1\nanswer ok\nanswer ok\n"  // silent: cancelled
                                  "dblclick Form1.ListBox1 1\nclick Form2.SpeedButton1\nanswer ok\n"  // fail
                                  "dblclick Form1.ListBox1 1\nselect Form2.ComboBox2 3\n"
                                  "click Form2.SpeedButton1\nanswer ok\n"  // the SuperOnline form
                                  "click Form1.ProgramAyarlar1\nshow\n");
    unsetenv("TOLVAR_MAKER_HOST");
    unsetenv("TOLVAR_SUPERONLINE_HOST");
    for (const char* text :
         {"Form2.ComboBox2 TComboBox \"Tolvar-Normal2(145 Kar-Rek.sız)\"",
          "Form2.ComboBox2 TComboBox \"Tolvar-Flash(145 kar-Reklamsız)\"",
          "Form2.ComboBox2 TComboBox \"SuperOnline(144 kar-Reklamsız)\"",
          "box \"Tolvar\" \"Superonline Ayarlarınızı Yapmamışsınız\"", "\"Sizin CEP:\"", "\"Şifre\"", "\"Kaydet\"",
          "\"Servis  \"", "box \"Tolvar\" \"Sadece Turkcell e SMS Yollayabilirsiniz\"",
          "Form18.Label1 TLabel \"SMS Mesajınız Yollanıyor\"", "Form18.Button1 TButton \"İptal\"",
          "box \"Tolvar\" \"MESAJ GÖNDERİLEMEDİ\"", "box \"Tolvar\" \"Mesajınız Yollanamadı\"",
          "box \"Tolvar\" \"SMS Mesajınız başarıyla yollandı\"", "\"Proxy Adresi:\"", "\"Yetki Gerekiyor\"",
          "\"Tamam\"", "\"Aktif Yap\""})
        EXPECT_NE(r.output.find(text), std::string::npos) << text << "\n" << r.output;
    EXPECT_EQ(fake.Count(), 3);
}

// The about box as a person reads it, and what its two links ask the shell to open.
TEST(TolvarConsole, TheAboutBoxShowsTheSystemAndItsLinksOpen) {
    testsupport::TempState state;
    testsupport::WriteAll(IniPath(), Seeded());
    const RunResult r = RunTolvar(state,
                                  "click Form1.Hakknda1\n"
                                  "show\n"
                                  "click Form10.LinkLabel1\n"
                                  "click Form10.LinkLabel2\n"
                                  "close Form10\n"
                                  "close Form1\n"
                                  "answer yes\n");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("shown Form10 \"Tolvar Hakkında\"\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Form10.Label4 TLabel \"Windows NT "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Form10.Label6 TLabel \"Windows için ayrılan belek:"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("open \"mailto:tolvar@marendo.example\"\n"
                            "open \"http://www.marendo.example\"\n"
                            "hidden Form10 \"Tolvar Hakkında\"\n"),
              std::string::npos)
        << r.output;
}
