// TIniFile over real ini files.
#include "platform/classlib/inifiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <sys/resource.h>

#include "platform/codepage/cp1254.h"
#include "support/tempstate.h"

using testsupport::ReadAll;
using testsupport::TempState;
using testsupport::WriteAll;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    TempState state_;
};

std::string Joined(const TStrings& s) {
    std::string out;
    for (int i = 0; i < s.Count(); ++i) out += (i ? "|" : "") + s.Get(i);
    return out;
}

TEST_F(IniFileTest, IntegersAndBooleans) {
    WriteAll(state_.Path("windows/tolvar17.ini"),
             "[Ayarlar]\r\nToplam=12\r\nhex=0x1F\r\nhex2=0X10\r\ndollar=$ff\r\nnegdollar=-$10\r\nbare0x=0x\r\nneg=-3\r\nword=abc\r\ntail=12abc\r\n"
             "empty=\r\nbig=99999999999\r\nb0=0\r\nb1=1\r\nb2=2\r\nbx=yes\r\n");
    TIniFile ini("tolvar17.ini");
    struct { const char* key; int want; } ints[] = {
        {"toplam", 12}, {"hex", 31}, {"hex2", 16}, {"dollar", -1}, {"negdollar", -1}, {"bare0x", -1}, {"neg", -3}, {"word", -1},
        {"tail", -1}, {"empty", -1}, {"big", -1}, {"missing", -1},
    };
    for (const auto& c : ints) EXPECT_EQ(ini.ReadInteger("ayarlar", c.key, -1), c.want) << c.key;
    EXPECT_FALSE(ini.ReadBool("Ayarlar", "b0", true));
    EXPECT_TRUE(ini.ReadBool("Ayarlar", "b1", false));
    EXPECT_TRUE(ini.ReadBool("Ayarlar", "b2", false));
    EXPECT_TRUE(ini.ReadBool("Ayarlar", "bx", true));
    EXPECT_FALSE(ini.ReadBool("Ayarlar", "bx", false));

    ini.WriteInteger("Ayarlar", "Toplam", -40);
    ini.WriteBool("Ayarlar", "b2", true);
    ini.WriteBool("Yeni", "kapali", false);
    std::string text = ReadAll(state_.Path("windows/tolvar17.ini"));
    EXPECT_NE(text.find("\r\nToplam=-40\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nb2=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Yeni]\r\nkapali=0\r\n"), std::string::npos);
}

TEST_F(IniFileTest, StringsAndTheReadLimit) {
    TIniFile ini("tolvar17.ini");
    EXPECT_EQ(ini.ReadString("Superonline", "Tel", "none"), "none");  // no file yet
    ini.WriteString("Superonline", "Tel", "5321234567");
    ini.WriteString("Otomatik", "İsim"_w, "Şükrü \"Ağa\" \\ ;"_w);
    EXPECT_EQ(ini.ReadString("SUPERONLINE", "tel", ""), "5321234567");
    EXPECT_EQ(ini.ReadString("otomatik", "isim", ""), "Şükrü \"Ağa\" \\ ;"_w);

    ini.WriteString("Mesaj", "Mesaj0", std::string(5000, 'm'));
    EXPECT_EQ(ini.ReadString("Mesaj", "Mesaj0", "").size(), 2047u);
    EXPECT_EQ(ini.FileName(), "tolvar17.ini");
}

// The messenger writes counts and numbered sections; a shorter list later leaves the old sections,
// which the readers skip because they stop at the count.
TEST_F(IniFileTest, StaleSectionsBeyondTheCountStay) {
    TIniFile ini("tolvar17.ini");
    auto save = [&](const std::vector<std::pair<std::string, std::string>>& book) {
        ini.WriteInteger("Ayarlar", "Toplam", static_cast<int>(book.size()));
        for (size_t i = 0; i < book.size(); ++i) {
            ini.WriteString(std::to_string(i + 1), "isim", book[i].first);
            ini.WriteString(std::to_string(i + 1), "numara", book[i].second);
        }
    };
    save({{"Ali", "905321111111"}, {"Veli", "905322222222"}, {"Ayşe"_w, "905323333333"}});
    save({{"Ali", "905320000000"}});
    EXPECT_EQ(ini.ReadInteger("Ayarlar", "toplam", 0), 1);
    EXPECT_EQ(ini.ReadString("1", "numara", ""), "905320000000");
    EXPECT_EQ(ini.ReadString("3", "isim", ""), "Ayşe"_w);
    TStringList sections;
    ini.ReadSections(&sections);
    EXPECT_EQ(Joined(sections), "Ayarlar|1|2|3");
}

TEST_F(IniFileTest, SectionsKeysAndErasing) {
    WriteAll(state_.Path("windows/l.ini"), "[A]\nx=1\ny = two\n[Empty]\n[B]\nz=3\n");
    TIniFile ini("l.ini");
    TStringList list;
    list.Add("stale");
    ini.ReadSection("a", &list);
    EXPECT_EQ(Joined(list), "x|y");
    ini.ReadSectionValues("A", &list);
    EXPECT_EQ(Joined(list), "x=1|y=two");
    EXPECT_EQ(list.Values("y"), "two");
    ini.ReadSections(&list);
    EXPECT_EQ(Joined(list), "A|Empty|B");

    EXPECT_TRUE(ini.SectionExists("b"));
    EXPECT_FALSE(ini.SectionExists("Empty"));  // a section without keys counts as absent
    EXPECT_FALSE(ini.SectionExists("none"));
    EXPECT_TRUE(ini.ValueExists("A", "Y"));
    EXPECT_FALSE(ini.ValueExists("A", "z"));

    ini.DeleteKey("A", "X");
    ini.EraseSection("b");
    ini.UpdateFile();
    EXPECT_EQ(ReadAll(state_.Path("windows/l.ini")), "[A]\ny = two\n[Empty]\n");
}

TEST_F(IniFileTest, FailedWriteRaisesWithTheFileName) {
    TIniFile ini("c:\\missing folder\\tolvar.ini");
    struct { const char* what; std::function<void()> write; } cases[] = {
        {"WriteString", [&] { ini.WriteString("s", "k", "v"); }},
        {"WriteInteger", [&] { ini.WriteInteger("s", "k", 1); }},
        {"WriteBool", [&] { ini.WriteBool("s", "k", true); }},
    };
    for (auto& c : cases) {
        try {
            c.write();
            ADD_FAILURE() << c.what << " did not raise";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message, "Unable to write to c:\\missing folder\\tolvar.ini") << c.what;
        }
    }

    // A file that exists but cannot be replaced: its content stays whole.
    TIniFile good("ok.ini");
    good.WriteString("s", "k", "old");
    std::string before = ReadAll(state_.Path("windows/ok.ini"));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    bool raised = false;
    try {
        good.WriteString("s", "k", std::string(1000, 'n'));
    } catch (const EIniFileException& e) {
        raised = e.Message == "Unable to write to ok.ini";
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(raised);
    EXPECT_EQ(ReadAll(state_.Path("windows/ok.ini")), before);
}

}  // namespace
