// The real tolvar executable used through its console by a person with several users: a whole
// session kept across a restart, a process killed while it writes, and a registry folder that
// cannot be written during a save.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/classlib/cp1254.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/registry.h"
#include "platform/registry/registry.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace {

// One tolvar process with its console on pipes: lines are sent as a person types them and the
// output is read as it comes, each wait bounded in time.
class TolvarChild {
public:
    // Starts `exe` in the current state folder (MARENDO_HOME is inherited); with `uid` >= 0 it runs
    // as that user and group.
    explicit TolvarChild(const std::string& exe = TOLVAR_EXE, int uid = -1) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            if (uid >= 0 && (setgid(static_cast<gid_t>(uid)) != 0 || setuid(static_cast<uid_t>(uid)) != 0)) _exit(126);
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
    ~TolvarChild() {
        Kill();
        if (toChild_ >= 0) close(toChild_);
        if (fromChild_ >= 0) close(fromChild_);
    }

    // Sends lines (UTF-8, each ended with a line feed).
    void Send(const std::string& lines) {
        for (size_t done = 0; done < lines.size();) {
            ssize_t n = write(toChild_, lines.data() + done, lines.size() - done);
            if (n <= 0) return;
            done += static_cast<size_t>(n);
        }
    }
    // Reads output until it holds `text` (after what was already waited for); false after 30 s.
    bool WaitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            const size_t at = output_.find(text, seen_);
            if (at != std::string::npos) {
                seen_ = at + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
        }
    }
    // Ends the input and waits for the process to end by itself; its exit code (-1: killed after 30 s).
    int Finish() {
        close(toChild_);
        toChild_ = -1;
        while (ReadSome(30000)) {
        }
        int status = 0;
        pid_t ended = 0;
        for (int i = 0; i < 3000 && (ended = waitpid(pid_, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));  // its output has ended already
        if (ended != pid_) {
            Kill();
            return -1;
        }
        pid_ = -1;
        if (WIFSIGNALED(status)) return -100 - WTERMSIG(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    const std::string& Output() const { return output_; }

private:
    // One read of what the process printed, waiting at most `ms`; false at the end of its output.
    bool ReadSome(int ms) {
        pollfd p{fromChild_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char buf[4096];
        ssize_t n = read(fromChild_, buf, sizeof buf);
        if (n <= 0) return false;
        output_.append(buf, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int toChild_ = -1, fromChild_ = -1;
    std::string output_;
    size_t seen_ = 0;
};

std::string W(const char* utf8) { return cp1254::FromUtf8(utf8); }

std::string UserKey(const std::string& user) {
    return "\\Software\\Marendo\\Tolvar\\" + W("Kullanıcılar") + "\\" + user;
}

std::vector<std::pair<std::string, std::string>> Values(const std::string& key) {
    reg::ReloadHives();  // what another process reads from the file
    TRegistry reg;
    std::vector<std::pair<std::string, std::string>> out;
    if (!reg.OpenKeyReadOnly(key)) return out;
    TStringList names;
    reg.GetValueNames(&names);
    for (int i = 0; i < names.Count(); ++i) out.emplace_back(names.Get(i), reg.ReadString(names.Get(i)));
    return out;
}

// Answers Yes to the exit question and kills the process at the moment of this round: the moment
// doubles from round to round, from at once to long after the write; the last round lets the
// process end by itself.
void AnswerYesAndKill(TolvarChild& tolvar, int round, int rounds) {
    tolvar.Send("answer yes\n");
    if (round + 1 < rounds)
        std::this_thread::sleep_for(std::chrono::microseconds(round == 0 ? 0 : 500 << round));
    else
        EXPECT_TRUE(tolvar.WaitFor("exit 0")) << tolvar.Output();
    tolvar.Kill();
}

const char kAddUsers[] =
    "menu Form1.KullancAyarlar1\n"
    "click Form13.RadioButton2\n"
    "click Form13.Button1\n"
    "type Form14.Edit1 Ayşe\n"
    "type Form14.Edit2 gizli\n"
    "click Form14.BitBtn1\n"
    "click Form13.Button1\n"
    "type Form14.Edit1 Mehmet\n"
    "type Form14.Edit2 1234\n"
    "click Form14.BitBtn1\n"
    "click Form13.BitBtn1\n";

}  // namespace

TEST(TolvarUsersConsole, APersonsSessionIsKeptAcrossARestart) {
    testsupport::TempState state;
    {
        TolvarChild tolvar;
        tolvar.Send(kAddUsers);
        ASSERT_TRUE(tolvar.WaitFor("hidden Form13")) << tolvar.Output();
        tolvar.Send("menu Form1.Kullanc1\n"
                    "select Form17.ComboBox1 0\n"
                    "type Form17.Edit1 yanlış\n"
                    "click Form17.BitBtn1\n");
        ASSERT_TRUE(tolvar.WaitFor("box \"Tolvar\" \"Girdiğiniz şifre yanlış\" buttons=OK")) << tolvar.Output();
        // The field keeps what was typed: the person takes it back and types the right one.
        tolvar.Send("answer ok\n"
                    "type Form17.Edit1 \\b\\b\\b\\b\\b\\bgizli\n"
                    "click Form17.BitBtn1\n"
                    "menu Form1.CEPEKLE1\n"
                    "type Form4.Edit1 Çağrı Işık\n"
                    "type Form4.Edit5 1112233\n"
                    "click Form4.SpeedButton2\n"
                    "menu Form1.CEPEKLE1\n"
                    "type Form4.Edit1 Hans\n"
                    "type Form4.Edit4 \\b\\b49\n"
                    "type Form4.Edit5 1711234\n"
                    "click Form4.SpeedButton2\n"
                    "select Form1.ListBox1 1\n"
                    "menu Form1.CEPDzenle2\n"
                    "type Form5.Edit1  Müller\n"
                    "click Form5.BitBtn1\n"
                    "close Form1\n"
                    "answer yes\n");
        ASSERT_TRUE(tolvar.WaitFor("exit 0")) << tolvar.Output();
        EXPECT_EQ(tolvar.Finish(), 0);
        EXPECT_EQ(tolvar.Output().find("List index"), std::string::npos) << tolvar.Output();
    }
    EXPECT_EQ(Values(UserKey(W("Ayşe")) + "\\Liste"),
              (std::vector<std::pair<std::string, std::string>>{{W("Çağrı Işık"), "905321112233"},
                                                                {W("Hans Müller"), "495321711234"}}));
    EXPECT_EQ(Values(UserKey(W("Ayşe"))), (std::vector<std::pair<std::string, std::string>>{{"Sifre", "gizli"}}));

    TolvarChild again;
    again.Send("menu Form1.Kullanc1\n"
               "select Form17.ComboBox1 0\n"
               "type Form17.Edit1 gizli\n"
               "click Form17.BitBtn1\n"
               "show\n");
    ASSERT_TRUE(again.WaitFor("items=[\"Çağrı Işık\", \"Hans Müller\"]")) << again.Output();
    EXPECT_EQ(again.Finish(), 0);
}

// A process killed at any moment of its exit write leaves the hive whole: the next start reads
// either the whole old book or the whole new one, never a part, and never a file to set aside.
TEST(TolvarUsersConsole, AProcessKilledWhileItWritesLeavesTheOldOrTheNewBookWhole) {
    constexpr int kContacts = 1500;
    int oldSeen = 0, newSeen = 0;
    constexpr int kRounds = 12;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        testsupport::TempState state;
        reg::ReloadHives();
        {
            TRegistry reg;
            reg::ChangeSet changes;
            ASSERT_TRUE(reg.OpenKey(UserKey("mehmet"), true));
            reg.WriteString("Sifre", "m");
            ASSERT_TRUE(reg.OpenKey(UserKey("mehmet") + "\\Liste", true));
            for (int i = 0; i < kContacts; ++i) reg.WriteString("Eski " + std::to_string(i), "90532" + std::to_string(1000000 + i));
            ASSERT_EQ(changes.Commit(), ERROR_SUCCESS);
        }
        std::string list = "[Ayarlar]\r\nToplam=" + std::to_string(kContacts) + "\r\n";
        for (int i = 0; i < kContacts; ++i)
            list += "[" + std::to_string(i + 1) + "]\r\nisim=Yeni " + std::to_string(i) + "\r\nnumara=90533" +
                    std::to_string(1000000 + i) + "\r\n";
        testsupport::WriteAll(state.Path("liste.ini"), list);

        TolvarChild tolvar;
        tolvar.Send("menu Form1.Kullanc1\nselect Form17.ComboBox1 0\ntype Form17.Edit1 m\nclick Form17.BitBtn1\n"
                    "menu Form1.ListeYkle1\nfile " + state.Path("liste.ini") + "\nclose Form1\n");
        ASSERT_TRUE(tolvar.WaitFor("box \"Çıkış\"")) << tolvar.Output();
        AnswerYesAndKill(tolvar, round, kRounds);

        std::string notices;
        reg::SetNoticeHandler([&](const std::string& m) { notices += m; });
        const auto book = Values(UserKey("mehmet") + "\\Liste");
        reg::SetNoticeHandler(nullptr);
        EXPECT_EQ(notices, "");
        ASSERT_EQ(book.size(), static_cast<size_t>(kContacts));
        const std::string first = book.front().first.substr(0, 4);
        for (const auto& [name, number] : book) ASSERT_EQ(name.substr(0, 4), first) << name;
        (first == "Eski" ? oldSeen : newSeen)++;
    }
    reg::ReloadHives();
    RecordProperty("old_books", oldSeen);
    RecordProperty("new_books", newSeen);
    EXPECT_GT(newSeen, 0) << "the last round lets the write finish";
}

// The same for the default user, whose book and history go to tolvar17.ini: a process killed at any
// moment of its exit leaves the file with the whole old book and history or the whole new ones.
TEST(TolvarUsersConsole, AProcessKilledWhileItWritesTheIniLeavesTheOldOrTheNewBookWhole) {
    constexpr int kContacts = 1500;
    auto file = [](const char* word) {
        std::string f = "[Ayarlar]\r\nToplam=" + std::to_string(kContacts) + "\r\n";
        for (int i = 0; i < kContacts; ++i)
            f += "[" + std::to_string(i + 1) + "]\r\nisim=" + word + " " + std::to_string(i) + "\r\nnumara=90532" +
                 std::to_string(1000000 + i) + "\r\n";
        return f + "[Mesaj]\r\nToplam=1\r\nMesaj0=" + word + "\r\n";
    };
    int oldSeen = 0, newSeen = 0;
    constexpr int kRounds = 12;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        testsupport::TempState state;
        const std::string ini = win::WindowsDir() + "/tolvar17.ini";
        testsupport::WriteAll(ini, file("Eski"));
        // The list load brings the new book; the history stays the one the start read.
        testsupport::WriteAll(state.Path("liste.ini"), file("Yeni"));

        TolvarChild tolvar;
        tolvar.Send("menu Form1.ListeYkle1\nfile " + state.Path("liste.ini") + "\nclose Form1\n");
        ASSERT_TRUE(tolvar.WaitFor("box \"Çıkış\"")) << tolvar.Output();
        AnswerYesAndKill(tolvar, round, kRounds);

        TIniFile stored(ini);
        ASSERT_EQ(stored.ReadInteger("Ayarlar", "Toplam", 0), kContacts);
        const std::string first = stored.ReadString("1", "isim", "").substr(0, 4);
        ASSERT_TRUE(first == "Eski" || first == "Yeni") << first;
        for (int i = 0; i < kContacts; ++i)
            ASSERT_EQ(stored.ReadString(std::to_string(i + 1), "isim", ""), first + " " + std::to_string(i));
        EXPECT_EQ(stored.ReadString("Mesaj", "Mesaj0", ""), "Eski") << "the history was not loaded";
        (first == "Eski" ? oldSeen : newSeen)++;
    }
    RecordProperty("old_books", oldSeen);
    RecordProperty("new_books", newSeen);
    EXPECT_GT(newSeen, 0) << "the last round lets the write finish";
}

// A registry folder that cannot be written while the users are saved: the person is told, the stored
// users stay as they were, and a login of a stored user still reads the book.
TEST(TolvarUsersConsole, ARegistryFolderThatCannotBeWrittenKeepsTheStoredUsers) {
    testsupport::TempState state;
    reg::ReloadHives();
    {
        TRegistry reg;
        reg::ChangeSet changes;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Marendo\\Tolvar", true));
        reg.WriteBool("1kisi", false);
        ASSERT_TRUE(reg.OpenKey(UserKey("ayse"), true));
        reg.WriteString("Sifre", "a");
        ASSERT_TRUE(reg.OpenKey(UserKey("ayse") + "\\Liste", true));
        reg.WriteString("Ali", "905321111111");
        ASSERT_TRUE(reg.OpenKey(UserKey("ayse") + "\\Gecmis", true));
        ASSERT_EQ(changes.Commit(), ERROR_SUCCESS);
    }
    const std::string registryDir = win::StateSubdir("registry");
    const std::string hive = testsupport::ReadAll(registryDir + "/HKCU.reg");
    win::WindowsDir();
    // Root writes anywhere: the program then runs as an ordinary user who owns the state folder.
    int uid = -1;
    std::string exe = TOLVAR_EXE;
    if (geteuid() == 0) {
        uid = 65534;
        exe = state.Path("tolvar");
        std::filesystem::copy_file(TOLVAR_EXE, exe);
        for (const auto& e : std::filesystem::recursive_directory_iterator(state.Dir()))
            ASSERT_EQ(lchown(e.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(state.Dir().c_str(), 65534, 65534), 0);
        chmod(exe.c_str(), 0755);
    }
    ASSERT_EQ(chmod(registryDir.c_str(), 0555), 0);

    TolvarChild tolvar(exe, uid);
    tolvar.Send("menu Form1.KullancAyarlar1\n"
                "click Form13.Button1\n"
                "type Form14.Edit1 yeni\n"
                "type Form14.Edit2 y\n"
                "click Form14.BitBtn1\n"
                "click Form13.BitBtn1\n");
    const bool told = tolvar.WaitFor("box \"Tolvar\" \"Failed to set data for '1kisi'\" buttons=OK default=OK icon=error");
    tolvar.Send("answer ok\n"
                "click Form13.BitBtn2\n"
                "menu Form1.Kullanc1\n"
                "select Form17.ComboBox1 0\n"
                "type Form17.Edit1 a\n"
                "click Form17.BitBtn1\n"
                "show\n");
    const bool loggedIn = tolvar.WaitFor("items=[\"Ali\"]");
    EXPECT_EQ(tolvar.Finish(), 0) << tolvar.Output();
    chmod(registryDir.c_str(), 0755);
    EXPECT_TRUE(told) << tolvar.Output();
    EXPECT_TRUE(loggedIn) << tolvar.Output();
    EXPECT_EQ(testsupport::ReadAll(registryDir + "/HKCU.reg"), hive);
    reg::ReloadHives();
}
