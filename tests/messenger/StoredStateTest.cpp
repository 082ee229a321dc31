// The stored layouts of the address book and the history, and the two exit write-backs.
#include "messenger/StoredState.h"

#include <dirent.h>

#include <gtest/gtest.h>

#include "fixtures.h"

using namespace storedstate;

namespace {

void Fill(TStringList& l, std::initializer_list<std::string> items) {
    for (const auto& s : items) l.Add(s);
}

std::vector<std::string> Items(const TStrings& l) {
    std::vector<std::string> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Get(i));
    return out;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        closedir(d);
    }
    return out;
}

// An older file: CR LF, 1254 bytes, a count in another case and in hex, a stale section beyond the
// count and the SuperOnline login the exit must not touch.
const std::string kOldIni = fixtures::CrLf({
    "[Superonline]", "Tel=5321234567", "Sifre=gizli",
    "[ayarlar]", "TOPLAM=0x2",
    "[1]", "isim=" + "Ayşe"_w, "numara=905321112233",
    "[2]", "isim=" + "Çağrı"_w, "numara=905434445566",
    "[3]", "isim=Eski", "numara=905550000000",
    "[Mesaj]", "Toplam=1", "Mesaj0=" + "Günaydın"_w,
});

}  // namespace

TEST(StoredState, ReadsTheSeededBookAndHistoryUpToTheCounts) {
    testsupport::TempState state;
    fixtures::SeedMainIni(kOldIni);
    TIniFile ini(MainIniName);
    TStringList names, numbers, history;
    ReadBook(ini, &names, &numbers);
    ReadHistory(ini, &history);
    EXPECT_EQ(Items(names), (std::vector<std::string>{"Ayşe"_w, "Çağrı"_w}));
    EXPECT_EQ(Items(numbers), (std::vector<std::string>{"905321112233", "905434445566"}));
    EXPECT_EQ(Items(history), (std::vector<std::string>{"Günaydın"_w}));
}

// The atomic replacement must leave exactly what the plain sequence of writes leaves.
TEST(StoredState, DefaultUserWriteBackEqualsTheWriteSequence) {
    testsupport::TempState state;
    TStringList names;
    Fill(names, {"Zeynep", "Ömer"_w});
    TStringList numbers;
    Fill(numbers, {"905361234567", "905421234567"});
    TStringList history;
    Fill(history, {"ilk", "ikinci"});

    const std::string reference = state.Path("reference.ini");
    testsupport::WriteAll(reference, kOldIni);
    {
        TIniFile ini(reference);
        WriteBookAndHistory(ini, &names, &numbers, &history);
    }
    fixtures::SeedMainIni(kOldIni);
    WriteDefaultUserState(&names, &numbers, &history);

    const std::string written = fixtures::MainIniBytes();
    EXPECT_EQ(written, testsupport::ReadAll(reference));
    EXPECT_NE(written.find("Tel=5321234567\r\n"), std::string::npos);
    EXPECT_NE(written.find("isim=Eski\r\n"), std::string::npos) << "sections beyond the count stay";
    EXPECT_EQ(FilesIn(win::WindowsDir()), std::vector<std::string>{"tolvar17.ini"});

    TIniFile ini(MainIniName);
    TStringList n2, p2, h2;
    ReadBook(ini, &n2, &p2);
    ReadHistory(ini, &h2);
    EXPECT_EQ(Items(n2), Items(names));
    EXPECT_EQ(Items(p2), Items(numbers));
    EXPECT_EQ(Items(h2), Items(history));
}

TEST(StoredState, DefaultUserWriteBackWithoutAFileCreatesIt) {
    testsupport::TempState state;
    TStringList none;
    WriteDefaultUserState(&none, &none, &none);
    TIniFile ini(MainIniName);
    EXPECT_EQ(ini.ReadString("Ayarlar", "Toplam", "?"), "0");
    EXPECT_EQ(ini.ReadString("Mesaj", "Toplam", "?"), "0");
}

TEST(StoredState, FailedDefaultUserWriteBackLeavesTheOldFileWhole) {
    testsupport::TempState state;
    fixtures::SeedMainIni(kOldIni);
    TStringList names, numbers, history;
    for (int i = 0; i < 60; ++i) {
        names.Add("Kişi numarası "_w + IntToStr(i));
        numbers.Add("90532" + IntToStr(1000000 + i));
    }
    try {
        fixtures::FileSizeLimit limit(kOldIni.size() + 512);
        WriteDefaultUserState(&names, &numbers, &history);
        FAIL() << "the write-back reported success";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message, "Unable to write to tolvar17.ini");
    }
    EXPECT_EQ(fixtures::MainIniBytes(), kOldIni);
    EXPECT_EQ(FilesIn(win::WindowsDir()), std::vector<std::string>{"tolvar17.ini"}) << "no leftovers";
}

TEST(StoredState, ListFileRepeatsOtomatikWithEveryContact) {
    testsupport::TempState state;
    const std::string path = state.Path("liste.ini");
    TStringList names;
    Fill(names, {"Ali", "Veli"});
    TStringList numbers;
    Fill(numbers, {"905321111111", "905332222222"});
    TStringList history;
    Fill(history, {"selam"});
    TIniFile ini(path);
    WriteListFile(ini, &names, &numbers, &history, "oto");
    EXPECT_EQ(testsupport::ReadAll(path),
              fixtures::CrLf({"[Ayarlar]", "Toplam=2", "[Mesaj]", "Toplam=1", "Mesaj0=selam", "[1]",
                              "isim=Ali", "numara=905321111111", "[Otomatik]", "İsim=oto"_w, "[2]",
                              "isim=Veli", "numara=905332222222"}));

    // An empty book writes no [Otomatik] section at all.
    const std::string empty = state.Path("bos.ini");
    TIniFile ini2(empty);
    TStringList none;
    WriteListFile(ini2, &none, &none, &none, "oto");
    EXPECT_EQ(testsupport::ReadAll(empty), fixtures::CrLf({"[Ayarlar]", "Toplam=0", "[Mesaj]", "Toplam=0"}));
}

namespace {

std::vector<std::pair<std::string, std::string>> RegistryValues(const std::string& key) {
    TRegistry reg;
    std::vector<std::pair<std::string, std::string>> out;
    if (!reg.OpenKey(key, false)) return out;
    TStringList names;
    reg.GetValueNames(&names);
    for (int i = 0; i < names.Count(); ++i) out.emplace_back(names.Get(i), reg.ReadString(names.Get(i)));
    return out;
}

}  // namespace

TEST(StoredState, RegistryUserListeHoldsExactlyTheBook) {
    testsupport::TempState state;
    const std::string liste = UsersKey + "\\mehmet\\Liste";
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(liste, true));
        reg.WriteString("Gidecek", "905320000000");   // no longer in the book
        reg.WriteString("ali", "905331111111");       // still there, in another letter case
        ASSERT_TRUE(reg.OpenKey("\\" + UsersKey + "\\mehmet\\Gecmis", true));
        for (const char* v : {"gecmis0", "gecmis1", "gecmis2", "gecmis3"}) reg.WriteString(v, "eski");
        reg.WriteString("baska", "eski");
    }
    TStringList names;
    Fill(names, {"Ali", "Berk", "Berk"});
    TStringList numbers;
    Fill(numbers, {"905339999999", "905351111111", "905352222222"});
    TStringList history;
    Fill(history, {"bir", "iki", "üç"_w});
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(UsersKey, true));
    WriteRegistryUserState(reg, "mehmet", &names, &numbers, &history);

    using V = std::vector<std::pair<std::string, std::string>>;
    // Spelled and ordered as the book; the stale texts beyond the history are gone, so the next login
    // counts three.
    EXPECT_EQ(RegistryValues(liste), (V{{"Ali", "905339999999"}, {"Berk", "905352222222"}}));
    EXPECT_EQ(RegistryValues(UsersKey + "\\mehmet\\Gecmis"),
              (V{{"gecmis0", "bir"}, {"gecmis1", "iki"}, {"gecmis2", "üç"_w}}));
}

// The ini layout holds one line per key: a line break of a history text is written as one space;
// every other byte (backslashes among them) is stored and read as it stands.
TEST(StoredState, HistoryTextsAreStoredByteForByteWithLineBreaksAsSpaces) {
    testsupport::TempState state;
    TStringList none, history;
    Fill(history, {"iki\r\nsatır"_w, "c:\\new\\text", "tek\nLF", "CR\ryalnız"_w, "\\n ve \\\\"});
    WriteDefaultUserState(&none, &none, &history);
    EXPECT_EQ(fixtures::MainIniBytes(),
              fixtures::CrLf({"[Ayarlar]", "Toplam=0", "[Mesaj]", "Toplam=5", "Mesaj0=iki satır"_w,
                              "Mesaj1=c:\\new\\text", "Mesaj2=tek LF", "Mesaj3=CR yalnız"_w,
                              "Mesaj4=\\n ve \\\\"}));

    TIniFile ini(MainIniName);
    TStringList back;
    ReadHistory(ini, &back);
    EXPECT_EQ(Items(back), (std::vector<std::string>{"iki satır"_w, "c:\\new\\text", "tek LF", "CR yalnız"_w,
                                                     "\\n ve \\\\"}));
}
