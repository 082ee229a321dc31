// The registry calls over hive files: name rules, order, round trips, failures.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/codepage/cp1254.h"
#include "support/tempstate.h"

using testsupport::ReadAll;
using testsupport::TempState;
using testsupport::WriteAll;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { reg::ReloadHives(); }
    void TearDown() override {
        for (HKEY k : open_) RegCloseKey(k);
        reg::SetNoticeHandler(nullptr);
    }

    HKEY Create(HKEY root, const std::string& path) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        open_.push_back(k);
        return k;
    }
    LONG SetString(HKEY k, const std::string& name, const std::string& v, DWORD type = REG_SZ) {
        return RegSetValueExA(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(v.c_str()),
                              static_cast<DWORD>(v.size() + 1));
    }
    LONG SetBytes(HKEY k, const std::string& name, DWORD type, const std::string& v) {
        return RegSetValueExA(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(v.data()),
                              static_cast<DWORD>(v.size()));
    }
    // The stored data (strings without their NUL); "<missing>" when the value is not there.
    std::string Get(HKEY k, const std::string& name, DWORD* type = nullptr) {
        DWORD size = 0, t = 0;
        if (RegQueryValueExA(k, name.c_str(), nullptr, &t, nullptr, &size) != ERROR_SUCCESS) return "<missing>";
        std::string buf(size, '\0');
        EXPECT_EQ(RegQueryValueExA(k, name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(buf.data()), &size),
                  ERROR_SUCCESS);
        if (type) *type = t;
        if ((t == REG_SZ || t == REG_EXPAND_SZ) && !buf.empty() && buf.back() == '\0') buf.pop_back();
        return buf;
    }
    // The value names of a key as the hive file holds them (read again from disk).
    std::vector<std::string> NamesInFile(const std::string& path) {
        reg::ReloadHives();
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return {};
        std::vector<std::string> names = ValueNames(k);
        RegCloseKey(k);
        return names;
    }

    std::vector<std::string> ValueNames(HKEY k) {
        std::vector<std::string> out;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD len = sizeof name;
            LONG rc = RegEnumValueA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(rc, ERROR_SUCCESS);
            out.emplace_back(name, len);
        }
        return out;
    }
    std::vector<std::string> KeyNames(HKEY k) {
        std::vector<std::string> out;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD len = sizeof name;
            LONG rc = RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(rc, ERROR_SUCCESS);
            out.emplace_back(name, len);
        }
        return out;
    }

    TempState state_;
    std::vector<HKEY> open_;
};

TEST_F(RegistryTest, NamesCompareIgnoringCaseAndKeepTheirCase) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Marendo\\Tolvar");
    ASSERT_EQ(SetString(k, "YetkiKullanıcıadı"_w, "ali"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(k, "Proxy Adresi", "x"), ERROR_SUCCESS);

    // Other spellings reach the same key and value; the dotted and dotless i's fold together.
    struct { const char* path; std::string value; } cases[] = {
        {"SOFTWARE\\MARENDO\\TOLVAR", "YETKİKULLANICIADI"_w},
        {"software\\marendo\\tolvar", "yetkikullanıcıadı"_w},
        {"Software\\Marendo\\Tolvar\\", "yetkİkullanicIadi"_w},
    };
    for (const auto& c : cases) {
        HKEY o = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, c.path, 0, KEY_READ, &o), ERROR_SUCCESS) << c.path;
        EXPECT_EQ(Get(o, c.value), "ali") << c.path;
        RegCloseKey(o);
    }
    // Writing under another spelling replaces the value and keeps the first spelling.
    ASSERT_EQ(SetString(k, "PROXY ADRESI", "y"), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(k), (std::vector<std::string>{"YetkiKullanıcıadı"_w, "Proxy Adresi"}));
    EXPECT_EQ(Get(k, "proxy adresi"), "y");

    HKEY again = nullptr;
    DWORD disp = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\marendo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                              &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(KeyNames(again), std::vector<std::string>{"Tolvar"});
    RegCloseKey(again);
}

TEST_F(RegistryTest, ValuesKeepCreationOrderAndSubkeysSortIgnoringCase) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Order");
    for (const char* n : {"zeta", "Alfa", "mesaj", "Beta"}) ASSERT_EQ(SetString(k, n, "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(k, "ALFA", "2"), ERROR_SUCCESS);       // overwrite keeps its place
    ASSERT_EQ(RegDeleteValueA(k, "MESAJ"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(k, "mesaj", "3"), ERROR_SUCCESS);      // deleted and written again: at the end
    std::vector<std::string> values{"zeta", "Alfa", "Beta", "mesaj"};
    EXPECT_EQ(ValueNames(k), values);

    for (std::string n : {"şeker"_w, "Zeytin"_w, "çay"_w, "armut"_w, "Ceviz"_w, "ılık"_w, "İncir"_w, "bal"_w})
        Create(k, n);
    // Folded upper case, byte order of the code page: the Turkish letters come after Z.
    std::vector<std::string> keys{"armut"_w, "bal"_w, "Ceviz"_w, "ılık"_w, "İncir"_w, "Zeytin"_w, "çay"_w, "şeker"_w};
    EXPECT_EQ(KeyNames(k), keys);

    // The order survives the file.
    reg::ReloadHives();
    HKEY o = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Order", 0, KEY_READ, &o), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(o), values);
    EXPECT_EQ(KeyNames(o), keys);
    RegCloseKey(o);
}

TEST_F(RegistryTest, AwkwardBytesRoundTripThroughTheFile) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    struct Case { std::string name; DWORD type; std::string data; } cases[] = {
        {"quotes", REG_SZ, "say \"hi\""},
        {"back\\slash", REG_SZ, "c:\\yenilik\\\\"},
        {"turkish", REG_SZ, "Şifre ğüşıöç İĞÜŞÖÇ"_w},
        {"lines", REG_SZ, "line 1\r\nline 2\n\ttabbed"},
        {"", REG_SZ, "the default value"},
        {"\"quoted name\"", REG_SZ, ""},
        {"expand", REG_EXPAND_SZ, "%WINDIR%\\a"},
        {"binary", REG_BINARY, allBytes},
        {"empty binary", REG_BINARY, ""},
        {"dword", REG_DWORD, std::string("\xff\xff\xff\xff", 4)},
        {"short dword", REG_DWORD, std::string("\x01\x02", 2)},
        {"other type", 7, std::string("a\0b\0\0", 5)},
        {"qword", 11, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"type past nine", 0x7fff0010, "xy"},
    };
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Bytes");
    for (const auto& c : cases) {
        LONG rc = (c.type == REG_SZ || c.type == REG_EXPAND_SZ) ? SetString(k, c.name, c.data, c.type)
                                                                : SetBytes(k, c.name, c.type, c.data);
        ASSERT_EQ(rc, ERROR_SUCCESS) << c.name;
    }
    reg::ReloadHives();
    HKEY o = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bytes", 0, KEY_READ, &o), ERROR_SUCCESS);
    for (const auto& c : cases) {
        DWORD type = 0;
        EXPECT_EQ(Get(o, c.name, &type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    RegCloseKey(o);

    // The file is plain text a person can read, and private.
    std::string path = reg::HiveFilePath(HKEY_CURRENT_USER);
    EXPECT_EQ(path, state_.Path("registry/HKCU.reg"));
    std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Bytes]\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"quotes\"=\"say \\\"hi\\\"\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"dword\"=dword:ffffffff\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"expand\"=hex(2):25,57"), std::string::npos);
    EXPECT_NE(text.find("\"qword\"=hex(b):01,02"), std::string::npos) << "types are written in hex";
    EXPECT_NE(text.find("@=\"the default value\"\r\n"), std::string::npos);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, ReadsAHandWrittenFile) {
    WriteAll(state_.Path("registry/HKCU.reg"),
             "REGEDIT4\n"
             "; written by hand\n"
             "\n"
             "[HKEY_CURRENT_USER\\Software\\Marendo\\Tolvar]\n"
             "\"Proxy\"=dword:00000001\n"
             "\"Proxy Portu\"=\"8080\"\n"
             "\"Blob\"=hex:01,02,\\\n"
             "  0A,ff\n"
             "\n"
             "[hkey_current_user\\Software\\Marendo\\Tolvar\\Kullanıcılar\\ali]\n"_w
             "\"Sifre\"=\"gizli\"\n");
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Marendo\\Tolvar", 0, KEY_READ, &k), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Get(k, "Proxy", &type), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(Get(k, "Proxy Portu"), "8080");
    EXPECT_EQ(Get(k, "Blob"), "\x01\x02\x0a\xff");
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\Marendo\\Tolvar\\Kullanıcılar\\ALI"_w).c_str(), 0, KEY_READ, &k),
              ERROR_SUCCESS);
    EXPECT_EQ(Get(k, "sifre"), "gizli");
    RegCloseKey(k);
}

TEST_F(RegistryTest, SizeQueriesAndShortBuffers) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Sizes");
    ASSERT_EQ(SetString(k, "name", "abcde"), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(k, "name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);  // with the NUL

    char buf[8] = "xxxxxxx";
    size = 5;
    EXPECT_EQ(RegQueryValueExA(k, "name", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    size = 6;
    ASSERT_EQ(RegQueryValueExA(k, "name", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "abcde");

    EXPECT_EQ(RegQueryValueExA(k, "missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    char name[4];
    DWORD len = sizeof name;  // "name" needs 5 with its NUL
    EXPECT_EQ(RegEnumValueA(k, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    len = sizeof name;
    EXPECT_EQ(RegEnumValueA(k, 1, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    Create(k, "subkey");
    DWORD subs = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subs, &maxSub, nullptr, &values, &maxName, &maxData,
                               nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subs, 1u);
    EXPECT_EQ(maxSub, 6u);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(maxName, 4u);
    EXPECT_EQ(maxData, 6u);
}

TEST_F(RegistryTest, HandlesAndDeletedKeys) {
    HKEY parent = Create(HKEY_CURRENT_USER, "Software\\Del");
    HKEY child = Create(parent, "Child");
    Create(child, "Grandchild");

    EXPECT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_ACCESS_DENIED);  // still has a subkey
    EXPECT_EQ(RegDeleteKeyA(parent, "Nothing"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegDeleteKeyA(parent, "Child\\GRANDCHILD"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(parent, "child"), ERROR_SUCCESS);
    EXPECT_EQ(SetString(child, "v", "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(Get(child, "v"), "<missing>");

    HKEY o = nullptr;
    EXPECT_EQ(RegOpenKeyExA(parent, "Child", 0, KEY_READ, &o), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(o, nullptr);

    HKEY bogus = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x7777));
    EXPECT_EQ(SetString(bogus, "v", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);

    // A key opened for reading refuses writes.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Del", 0, KEY_READ, &o), ERROR_SUCCESS);
    EXPECT_EQ(SetString(o, "v", "x"), ERROR_ACCESS_DENIED);
    RegCloseKey(o);
}

TEST_F(RegistryTest, MachineHiveIsReadOnlyToProgramsAndSeededByTools) {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, "v", "x"), ERROR_ACCESS_DENIED);

    ASSERT_EQ(reg::SeedMachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner", REG_SZ,
                                    "Ayşe"_w), ERROR_SUCCESS);
    // Opening an existing key with all access (as the class library does) works; writes do not.
    DWORD disp = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "\\software\\microsoft\\windows\\currentversion", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, &disp), ERROR_SUCCESS);
    open_.push_back(k);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(Get(k, "registeredowner"), "Ayşe"_w);
    EXPECT_EQ(SetString(k, "RegisteredOwner", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(k, "RegisteredOwner"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Get(k, "RegisteredOwner"), "Ayşe"_w);
    EXPECT_NE(ReadAll(state_.Path("registry/HKLM.reg")).find("\"RegisteredOwner\"=\"Ayşe\""_w), std::string::npos);
}

// A write that cannot reach the disk reports failure, leaves the file whole and changes nothing.
// The file size limit makes the write fail even for root, who ignores folder permissions.
TEST_F(RegistryTest, FailedWriteLeavesTheOldFileAndReportsFailure) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Atomic");
    ASSERT_EQ(SetString(k, "kept", "old value"), ERROR_SUCCESS);
    std::string path = reg::HiveFilePath(HKEY_CURRENT_USER);
    std::string before = ReadAll(path);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = before.size() + 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LONG setRc = SetString(k, "big", std::string(10000, 'x'));
    LONG overwriteRc = SetString(k, "kept", std::string(10000, 'y'));
    LONG createRc = RegCreateKeyExA(k, std::string(200, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    nullptr, nullptr);
    HKEY sub = nullptr;
    LONG createRc2 = RegCreateKeyExA(k, std::string(200, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                                     nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(setRc, ERROR_SUCCESS);
    EXPECT_NE(overwriteRc, ERROR_SUCCESS);
    EXPECT_EQ(createRc, ERROR_INVALID_PARAMETER);
    EXPECT_NE(createRc2, ERROR_SUCCESS);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(Get(k, "big"), "<missing>");
    EXPECT_EQ(Get(k, "kept"), "old value");
    EXPECT_TRUE(KeyNames(k).empty());
    ASSERT_EQ(SetString(k, "after", "works"), ERROR_SUCCESS);
    reg::ReloadHives();
    HKEY o = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Atomic", 0, KEY_READ, &o), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(o), (std::vector<std::string>{"kept", "after"}));
    RegCloseKey(o);
}

// A hive file with one key `depth` levels below the root ("A\k\k...").
std::string DeepKeyHive(int depth) {
    std::string path = "HKEY_CURRENT_USER\\A";
    for (int i = 1; i < depth; ++i) path += "\\k";
    return "REGEDIT4\r\n[" + path + "]\r\n\"x\"=\"deep\"\r\n";
}

TEST_F(RegistryTest, KeysNestAtMost512LevelsDeep) {
    std::string path = state_.Path("registry/HKCU.reg");
    WriteAll(path, DeepKeyHive(512));
    reg::ReloadHives();
    std::string sub = "A";
    for (int i = 1; i < 512; ++i) sub += "\\k";
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    EXPECT_EQ(Get(k, "x"), "deep");
    HKEY deeper = nullptr;
    EXPECT_EQ(RegCreateKeyExA(k, "one more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deeper, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (sub + "\\one more").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &deeper, nullptr),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(SetString(k, "y", "written"), ERROR_SUCCESS);
    RegCloseKey(k);
    reg::ReloadHives();  // what was written reads again
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    EXPECT_EQ(Get(k, "y"), "written");
    RegCloseKey(k);
}

TEST_F(RegistryTest, UnreadableHiveIsKeptAsideAndReported) {
    const std::string bad[] = {
        "this is not a hive",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"unterminated\r\n",
        "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n",
        "REGEDIT4\r\n\"before any key\"=\"x\"\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=hex:zz\r\n",
        DeepKeyHive(513),  // deeper than any key the registry makes (a long file would take minutes)
    };
    std::string path = state_.Path("registry/HKCU.reg");
    for (size_t i = 0; i < std::size(bad); ++i) {
        SCOPED_TRACE(i);
        WriteAll(path, bad[i]);
        std::vector<std::string> notices;
        reg::SetNoticeHandler([&](const std::string& m) { notices.push_back(m); });
        reg::ReloadHives();

        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
        std::string kept = path + (i == 0 ? ".corrupt" : ".corrupt." + std::to_string(i));
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].find(kept), std::string::npos) << notices[0];
        EXPECT_EQ(ReadAll(kept), bad[i]);

        // The registry goes on, empty, and writes a fresh file.
        k = Create(HKEY_CURRENT_USER, "A");
        ASSERT_EQ(SetString(k, "new", "1"), ERROR_SUCCESS);
        EXPECT_EQ(ReadAll(kept), bad[i]);
        EXPECT_NE(ReadAll(path).find("\"new\"=\"1\""), std::string::npos);
    }
}

TEST_F(RegistryTest, HivesFollowTheStateFolder) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Where");
    ASSERT_EQ(SetString(k, "home", "first"), ERROR_SUCCESS);
    {
        TempState other;
        HKEY o = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Where", 0, KEY_READ, &o), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(SetString(k, "home", "second"), ERROR_KEY_DELETED);  // a handle of the other folder
    }
    HKEY o = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Where", 0, KEY_READ, &o), ERROR_SUCCESS);
    EXPECT_EQ(Get(o, "home"), "first");
    RegCloseKey(o);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    Create(HKEY_CURRENT_USER, "Software\\Threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            HKEY k = nullptr;
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Threads", 0, KEY_ALL_ACCESS, &k);
            for (int i = 0; i < 25; ++i) {
                std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
                RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2);
            }
            RegCloseKey(k);
        });
    }
    for (auto& th : threads) th.join();
    reg::ReloadHives();
    HKEY o = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Threads", 0, KEY_READ, &o), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(o).size(), 100u);
    RegCloseKey(o);
}

// Processes share the hive file: each write re-reads what another process wrote, under the
// folder's lock, so neither writes back an older copy over the other's values.
TEST_F(RegistryTest, ConcurrentProcessesLoseNothing) {
    Create(HKEY_CURRENT_USER, "Software\\Processes");
    std::vector<pid_t> children;
    for (int p = 0; p < 3; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HKEY k = nullptr;
            int failed = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Processes", 0, KEY_ALL_ACCESS, &k) != 0;
            for (int i = 0; i < 20; ++i) {
                std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
                failed += RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2) != 0;
            }
            _exit(failed);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY o = nullptr;  // this process's copy is older than the file: it reads the file again
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Processes", 0, KEY_ALL_ACCESS, &o), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(o).size(), 60u);
    EXPECT_EQ(SetString(o, "parent", "x"), ERROR_SUCCESS);
    EXPECT_EQ(NamesInFile("Software\\Processes").size(), 61u);
}

// A change set writes the hive once with all its changes, or leaves it as it was.
TEST_F(RegistryTest, ChangeSetCommitsOnceOrNotAtAll) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Set");
    ASSERT_EQ(SetString(k, "old", "1"), ERROR_SUCCESS);
    const std::string path = reg::HiveFilePath(HKEY_CURRENT_USER);
    const std::string before = ReadAll(path);
    {
        reg::ChangeSet changes;
        EXPECT_EQ(SetString(k, "new", "2"), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueA(k, "old"), ERROR_SUCCESS);
        HKEY sub = Create(k, "Sub");
        EXPECT_EQ(SetString(sub, "inner", "3"), ERROR_SUCCESS);
        EXPECT_EQ(Get(k, "new"), "2") << "the calls see the held changes";
        EXPECT_EQ(ReadAll(path), before) << "the file waits for the commit";
        RegCloseKey(sub);
    }  // dropped: everything undone
    EXPECT_EQ(ValueNames(k), (std::vector<std::string>{"old"}));
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(k, "Sub", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadAll(path), before);

    {
        reg::ChangeSet changes;
        SetString(k, "new", "2");
        RegDeleteValueA(k, "old");
        EXPECT_EQ(changes.Commit(), ERROR_SUCCESS);
    }
    EXPECT_EQ(NamesInFile("Software\\Set"), (std::vector<std::string>{"new"}));
}

// Values taken one by one, from the end or from the front, leave the rest findable by name (in
// any case) and in order; a dropped change set puts every one back where it was.
TEST_F(RegistryTest, DeletedValuesLeaveTheRestFindableAndADroppedSetRestoresThem) {
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Deletes");
    const std::vector<std::string> all{"bir", "iki", "UC", "dort", "bes"};
    for (const auto& n : all) ASSERT_EQ(SetString(k, n, "v" + n), ERROR_SUCCESS);
    struct Case {
        const char* order;
        std::vector<std::string> names;  // deleted in this order
    };
    const std::vector<Case> cases = {
        {"last first", {"bes", "DORT", "uc", "iki", "bir"}},
        {"first first", {"bir", "iki", "uc", "dort", "bes"}},
        {"middle, then the ends", {"uc", "bes", "bir", "dort", "iki"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        {
            reg::ChangeSet changes;
            std::vector<std::string> left = all;
            for (const auto& n : c.names) {
                ASSERT_EQ(Get(k, left.back()), "v" + left.back()) << "a lookup before the delete";
                ASSERT_EQ(RegDeleteValueA(k, n.c_str()), ERROR_SUCCESS) << n;
                EXPECT_EQ(RegDeleteValueA(k, n.c_str()), ERROR_FILE_NOT_FOUND) << n;
                std::erase_if(left, [&](const std::string& v) { return strcasecmp(v.c_str(), n.c_str()) == 0; });
                EXPECT_EQ(ValueNames(k), left);
                for (const auto& v : left) EXPECT_EQ(Get(k, v), "v" + v) << v;
            }
            ASSERT_EQ(SetString(k, "bes", "yeni"), ERROR_SUCCESS);
            EXPECT_EQ(ValueNames(k), std::vector<std::string>{"bes"});
            EXPECT_EQ(Get(k, "BES"), "yeni");
        }  // dropped
        EXPECT_EQ(ValueNames(k), all);
        for (const auto& v : all) EXPECT_EQ(Get(k, v), "v" + v) << v;
    }
}

}  // namespace
