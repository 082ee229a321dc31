// The profile functions over real ini files.
#include "platform/registry/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage/cp1254.h"
#include "platform/win/statedir.h"
#include "platform/win/winbase.h"
#include "support/tempstate.h"

#include <sys/stat.h>

using testsupport::ReadAll;
using testsupport::TempState;
using testsupport::WriteAll;

namespace {

std::string Read(const char* section, const char* key, const char* def, const char* file, DWORD size = 2048) {
    std::vector<char> buf(size + 1, '#');
    DWORD n = GetPrivateProfileStringA(section, key, def, buf.data(), size, file);
    EXPECT_EQ(buf[n], '\0');
    return std::string(buf.data(), n);
}

std::vector<std::string> Split(const std::vector<char>& buf, DWORD n) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < n && buf[i]) {
        out.emplace_back(&buf[i]);
        i += out.back().size() + 1;
    }
    return out;
}

class ProfileTest : public ::testing::Test {
protected:
    TempState state_;
};

TEST_F(ProfileTest, BareNameLivesInTheWindowsFolderWithCrLf) {
    ASSERT_TRUE(WritePrivateProfileStringA("Ayarlar", "Toplam", "2", "tolvar17.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("1", "isim", "Ayşe"_w.c_str(), "tolvar17.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("Ayarlar", "Yeni", "x", "tolvar17.ini"));
    EXPECT_EQ(ReadAll(state_.Path("windows/tolvar17.ini")),
              "[Ayarlar]\r\nToplam=2\r\nYeni=x\r\n[1]\r\nisim=Ayşe\r\n"_w);
    // A program path with a drive letter lands in that drive's folder.
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", "c:\\tolvar.ini"));
    EXPECT_EQ(ReadAll(state_.Path("drive_c/tolvar.ini")), "[s]\r\nk=v\r\n");
    EXPECT_EQ(Read("S", "K", "", "C:\\tolvar.ini"), "v");
    struct stat st;
    ASSERT_EQ(::stat(state_.Path("drive_c/tolvar.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // passwords are kept in such files
}

TEST_F(ProfileTest, NamesIgnoreCaseAndKeepTheirWrittenCase) {
    ASSERT_TRUE(WritePrivateProfileStringA("Otomatik", "İsim"_w.c_str(), "a", "t.ini"));
    EXPECT_EQ(Read("otomatik", "isim", "def", "t.ini"), "a");
    EXPECT_EQ(Read("OTOMATIK", "ISIM", "def", "t.ini"), "a");
    ASSERT_TRUE(WritePrivateProfileStringA("OTOMATİK"_w.c_str(), "ısım"_w.c_str(), "b", "t.ini"));
    EXPECT_EQ(ReadAll(state_.Path("windows/t.ini")), "[Otomatik]\r\nİsim=b\r\n"_w);
}

// A person's file: other lines, blank lines, comments and LF line ends stay as they were.
TEST_F(ProfileTest, ReplacesInPlaceAppendsToTheSectionAndKeepsTheRest) {
    const std::string path = state_.Path("windows/list.ini");
    WriteAll(path,
             "; my list\n"
             "[Ayarlar]\n"
             "Toplam = 1\n"
             "note without equals\n"
             "\n"
             "[Mesaj]\n"
             "Mesaj0=merhaba\n"
             "Toplam=1");  // no final line end
    ASSERT_TRUE(WritePrivateProfileStringA("ayarlar", "TOPLAM", "5", "list.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("Ayarlar", "Ek", "e", "list.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("Mesaj", "Mesaj1", "iki", "list.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("Yeni", "k", "v", "list.ini"));
    EXPECT_EQ(ReadAll(path),
              "; my list\n"
              "[Ayarlar]\n"
              "Toplam=5\n"
              "note without equals\n"
              "Ek=e\n"
              "\n"
              "[Mesaj]\n"
              "Mesaj0=merhaba\n"
              "Toplam=1\n"
              "Mesaj1=iki\n"
              "[Yeni]\n"
              "k=v\n");
    EXPECT_EQ(Read("Ayarlar", "Toplam", "", "list.ini"), "5");  // blanks around '=' are not part of names

    // Deleting a key, then a section, leaves the other lines.
    ASSERT_TRUE(WritePrivateProfileStringA("mesaj", "MESAJ0", nullptr, "list.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("AYARLAR", nullptr, nullptr, "list.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("absent", nullptr, nullptr, "list.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("Mesaj", "absent", nullptr, "list.ini"));
    EXPECT_EQ(ReadAll(path), "; my list\n[Mesaj]\nToplam=1\nMesaj1=iki\n[Yeni]\nk=v\n");
}

TEST_F(ProfileTest, ReadsAreBoundedByTheBuffer) {
    std::string longValue(3000, 'a');
    longValue[2046] = 'Z';
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", longValue.c_str(), "big.ini"));
    std::string got = Read("s", "k", "", "big.ini", 2048);
    EXPECT_EQ(got.size(), 2047u);
    EXPECT_EQ(got.back(), 'Z');
    EXPECT_EQ(Read("s", "missing", "default", "big.ini", 4), "def");
    EXPECT_EQ(Read("s", "k", "", "big.ini", 1), "");
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", nullptr, 0, "big.ini"), 0u);
}

TEST_F(ProfileTest, MissingFileReadsAsEmpty) {
    EXPECT_EQ(Read("Ayarlar", "toplam", "0", "absent.ini"), "0");
    EXPECT_EQ(Read("Ayarlar", "toplam", nullptr, "absent.ini"), "");
    EXPECT_EQ(GetPrivateProfileIntA("Ayarlar", "toplam", 7, "absent.ini"), 7u);
    std::vector<char> buf(16, '#');
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf.data(), 16, "absent.ini"), 0u);
    EXPECT_EQ(buf[0], '\0');
}

TEST_F(ProfileTest, ListsAreDoubleNulTerminated) {
    WriteAll(state_.Path("windows/l.ini"), "[A]\r\nx=1\r\nY = 2\r\n;c=3\r\n[B]\r\n[C]\r\nz=\r\n");
    std::vector<char> buf(64, '#');
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, nullptr, buf.data(), 64, "l.ini");
    EXPECT_EQ(Split(buf, n), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(buf[n], '\0');

    n = GetPrivateProfileStringA("a", nullptr, nullptr, buf.data(), 64, "l.ini");
    EXPECT_EQ(Split(buf, n), (std::vector<std::string>{"x", "Y"}));
    EXPECT_EQ(std::string(buf.data(), n + 1), std::string("x\0Y\0\0", 5));

    n = GetPrivateProfileSectionA("A", buf.data(), 64, "l.ini");
    EXPECT_EQ(Split(buf, n), (std::vector<std::string>{"x=1", "Y=2"}));

    // Too small: cut, still ending in two NULs, and the count says so.
    std::vector<char> small(4, '#');
    n = GetPrivateProfileStringA(nullptr, nullptr, nullptr, small.data(), 4, "l.ini");
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(std::string(small.data(), 4), std::string("A\0\0\0", 4));
}

TEST_F(ProfileTest, IntegersParseLikeTheOriginal) {
    WriteAll(state_.Path("windows/i.ini"),
             "[s]\r\ndec=42\r\nneg=-7\r\nhex=0x1F\r\nhex2=0XfF\r\ntail=12abc\r\nword=abc\r\nempty=\r\n");
    struct { const char* key; UINT want; } cases[] = {
        {"dec", 42}, {"neg", static_cast<UINT>(-7)}, {"hex", 31}, {"hex2", 255}, {"tail", 12},
        {"word", 0}, {"empty", 0}, {"missing", 99},
    };
    for (const auto& c : cases) EXPECT_EQ(GetPrivateProfileIntA("S", c.key, 99, "i.ini"), c.want) << c.key;
}

TEST_F(ProfileTest, FailedWriteReturnsFalseWithTheErrorSet) {
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "c:\\no such folder\\x.ini"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    // Something that cannot be read as a file is never replaced.
    ASSERT_EQ(::mkdir((win::WindowsDir() + "/dir.ini").c_str(), 0700), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "dir.ini"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Entries are single lines: anything that would split or re-section the file is refused, and the
// file stays as it was.
TEST_F(ProfileTest, RefusesNamesAndValuesThatBreakTheLayout) {
    ASSERT_TRUE(WritePrivateProfileStringA("Mesaj", "Toplam", "1", "h.ini"));
    const std::string before = ReadAll(state_.Path("windows/h.ini"));
    struct { const char* section; const char* key; const char* value; } cases[] = {
        {"Mesaj", "Mesaj0", "first line\r\n[Ayarlar]\r\nToplam=99"},
        {"Mesaj", "Mesaj0", "line\nbreak"},
        {"Mesaj", "Mesaj0", "cr\ronly"},
        {"Mesaj", "a=b", "v"},
        {"Mesaj", "a\r\nb", "v"},
        {"Mesaj", "[x]", "v"},
        {"Mesaj", ";c", "v"},
        {"Mesaj", "  ", "v"},
        {"A]B", "k", "v"},
        {"A\nB", "k", "v"},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, "h.ini")) << c.key << " " << c.value;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.key;
    }
    EXPECT_EQ(ReadAll(state_.Path("windows/h.ini")), before);
}

// A section written whole: its lines as given, in place of the old ones; refused lines change nothing.
TEST_F(ProfileTest, SectionWriteReplacesTheLinesOrAddsTheSection) {
    const std::string path = state_.Path("windows/p.ini");
    WriteAll(path, "[Musics]\nc:\\old.mp3=\n[Genel]\nSarki=1");
    const char lines[] = "c:\\a=b.mp3=\0c:\\c.mp3=\0";
    ASSERT_TRUE(WritePrivateProfileSectionA("MUSICS", lines, "p.ini"));
    ASSERT_TRUE(WritePrivateProfileSectionA("Yeni", "k=v\0", "p.ini"));
    EXPECT_EQ(ReadAll(path), "[Musics]\nc:\\a=b.mp3=\nc:\\c.mp3=\n[Genel]\nSarki=1\n[Yeni]\nk=v\n");
    EXPECT_EQ(Read("Musics", "c:\\a", "", "p.ini"), "b.mp3=");

    const std::string before = ReadAll(path);
    for (const char* bad : {"ok=\0two\r\nlines=\0", "[Genel]\0", "  [x]=\0"}) {
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileSectionA("Musics", bad, "p.ini")) << bad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(WritePrivateProfileSectionA(nullptr, "k=v\0", "p.ini"));
    EXPECT_FALSE(WritePrivateProfileSectionA("A]B", "k=v\0", "p.ini"));
    EXPECT_EQ(ReadAll(path), before);

    // Held by an update, the section reaches the disk only with the commit, together with the rest.
    {
        profile::FileUpdate batch("p.ini");
        ASSERT_TRUE(WritePrivateProfileStringA("Genel", "Sarki", "2", "p.ini"));
        ASSERT_TRUE(WritePrivateProfileSectionA("Musics", "", "p.ini"));
        EXPECT_EQ(ReadAll(path), before);
        ASSERT_TRUE(batch.Commit());
    }
    EXPECT_EQ(ReadAll(path), "[Musics]\n[Genel]\nSarki=2\n[Yeni]\nk=v\n");
}

}  // namespace
