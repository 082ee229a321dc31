// TRegistry and TRegIniFile over the registry hives.
#include "platform/classlib/registry.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/codepage/cp1254.h"
#include "support/tempstate.h"

using testsupport::TempState;

namespace {

std::string Joined(const TStrings& s) {
    std::string out;
    for (int i = 0; i < s.Count(); ++i) out += (i ? "|" : "") + s.Get(i);
    return out;
}

std::string RaisedText(const std::function<void()>& f) {
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.Message;
    }
    return "<nothing raised>";
}

class TRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { reg::ReloadHives(); }
    TempState state_;
};

TEST_F(TRegistryTest, MessengerSettingsRoundTrip) {
    {
        TRegistry r;
        EXPECT_EQ(r.RootKey(), HKEY_CURRENT_USER);
        ASSERT_TRUE(r.OpenKey("Software\\Marendo\\Tolvar", true));
        EXPECT_EQ(r.CurrentPath(), "Software\\Marendo\\Tolvar");
        r.WriteBool("GecmisAktif", false);
        r.WriteString("Eklenecek", "Tolvar");
        r.WriteBool("Proxy", true);
        r.WriteString("Proxy Portu", "8080");
        r.WriteString("YetkiKullanıcıadı"_w, "müdür"_w);
        r.WriteInteger("Sayi", -2);
    }
    reg::ReloadHives();
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("SOFTWARE\\marendo\\tolvar", false));
    EXPECT_FALSE(r.ReadBool("GecmisAktif"));
    EXPECT_TRUE(r.ReadBool("proxy"));
    EXPECT_EQ(r.ReadString("Eklenecek"), "Tolvar");
    EXPECT_EQ(r.ReadString("YETKİKULLANICIADI"_w), "müdür"_w);
    EXPECT_EQ(r.ReadInteger("Sayi"), -2);
    EXPECT_EQ(r.ReadString("Proxy Adresi"), "");  // missing text reads empty
    EXPECT_TRUE(r.ValueExists("proxy portu"));
    EXPECT_FALSE(r.ValueExists("Proxy Adresi"));
    EXPECT_EQ(r.GetDataType("Proxy"), TRegDataType::rdInteger);
    EXPECT_EQ(r.GetDataType("Eklenecek"), TRegDataType::rdString);
    EXPECT_EQ(r.GetDataType("none"), TRegDataType::rdUnknown);
    EXPECT_EQ(r.GetDataSize("Eklenecek"), 7);
    EXPECT_EQ(r.GetDataSize("none"), -1);
    TStringList names;
    r.GetValueNames(&names);
    EXPECT_EQ(Joined(names), "GecmisAktif|Eklenecek|Proxy|Proxy Portu|YetkiKullanıcıadı|Sayi"_w);
    EXPECT_TRUE(r.DeleteValue("PROXY"));
    EXPECT_FALSE(r.DeleteValue("Proxy"));
}

TEST_F(TRegistryTest, ErrorTexts) {
    {
        TRegistry w;
        ASSERT_TRUE(w.OpenKey("Software\\Types", true));
        w.WriteString("text", "abc");
        w.WriteString("long text", "abcdefgh");
        w.WriteInteger("number", 1);
        w.WriteBinaryData("blob", "\x01\x02", 2);
        w.WriteExpandString("expand", "%X%");
        HKEY k = w.CurrentKey();
        std::uint64_t eight = 1;
        ASSERT_EQ(RegSetValueExA(k, "wide", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&eight), 8), ERROR_SUCCESS);
    }
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("Software\\Types", false));
    struct { const char* what; std::function<void()> call; const char* text; } cases[] = {
        {"bool of text", [&] { r.ReadBool("text"); }, "Invalid data type for 'text'"},
        {"bool of long text", [&] { r.ReadBool("long text"); }, "Invalid data type for 'long text'"},
        {"integer of binary", [&] { r.ReadInteger("blob"); }, "Invalid data type for 'blob'"},
        {"missing integer", [&] { r.ReadInteger("absent"); }, "Invalid data type for 'absent'"},
        {"missing bool", [&] { r.ReadBool("absent"); }, "Invalid data type for 'absent'"},
        {"text of integer", [&] { r.ReadString("number"); }, "Invalid data type for 'number'"},
        {"text of binary", [&] { r.ReadString("blob"); }, "Invalid data type for 'blob'"},
        {"dword of eight bytes", [&] { r.ReadBool("wide"); }, "Failed to get data for 'wide'"},
        {"binary of text", [&] { char b[16]; r.ReadBinaryData("text", b, 16); }, "Invalid data type for 'text'"},
        {"binary too big", [&] { char b[1]; r.ReadBinaryData("blob", b, 1); }, "Invalid data type for 'blob'"},
    };
    for (const auto& c : cases) EXPECT_EQ(RaisedText(c.call), c.text) << c.what;
    EXPECT_EQ(r.ReadString("expand"), "%X%");
    char b[4] = {};
    EXPECT_EQ(r.ReadBinaryData("blob", b, 4), 2);
    EXPECT_EQ(std::string(b, 2), "\x01\x02");
    EXPECT_EQ(r.ReadBinaryData("absent", b, 4), 0);

    // Writes that cannot be made.
    TRegistry ro;
    ASSERT_TRUE(ro.OpenKeyReadOnly("Software\\Types"));
    EXPECT_EQ(RaisedText([&] { ro.WriteString("text", "x"); }), "Failed to set data for 'text'");
    TRegistry none;  // no key open
    EXPECT_EQ(RaisedText([&] { none.WriteInteger("n", 1); }), "Failed to set data for 'n'");
    reg::SeedMachineValue("Software\\Seeded", "v", REG_SZ, "x");
    TRegistry machine;
    machine.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKey("Software\\Seeded", true));
    EXPECT_EQ(RaisedText([&] { machine.WriteBool("Flag", true); }), "Failed to set data for 'Flag'");
    EXPECT_FALSE(machine.OpenKey("Software\\NotThere", true));
    EXPECT_EQ(ro.ReadString("text"), "abc");
}

TEST_F(TRegistryTest, KeysPathsAndRecursiveDelete) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("Software\\Marendo\\Tolvar\\Kullanıcılar"_w, true));
    for (std::string user : {"zehra"_w, "Ali"_w, "şule"_w, "can"_w}) {
        ASSERT_TRUE(r.OpenKey("\\Software\\Marendo\\Tolvar\\Kullanıcılar\\"_w + user, true));
        r.WriteString("Sifre", user + "1");
        ASSERT_TRUE(r.OpenKey("Liste", true));  // relative to the user's key
        r.WriteString("Anne", "905321111111");
        ASSERT_TRUE(r.OpenKey("\\Software\\Marendo\\Tolvar\\Kullanıcılar\\"_w + user + "\\Gecmis", true));
        r.WriteString("gecmis0", "merhaba");
    }
    EXPECT_EQ(r.CurrentPath(), "Software\\Marendo\\Tolvar\\Kullanıcılar\\can\\Gecmis"_w);
    ASSERT_TRUE(r.OpenKey("\\Software\\Marendo\\Tolvar\\Kullanıcılar"_w, false));
    TStringList users;
    r.GetKeyNames(&users);
    EXPECT_EQ(Joined(users), "Ali|can|zehra|şule"_w);
    EXPECT_TRUE(r.HasSubKeys());
    EXPECT_TRUE(r.KeyExists("ALI\\liste"));
    EXPECT_TRUE(r.KeyExists("\\Software\\Marendo"));
    EXPECT_FALSE(r.KeyExists("Veli"));

    EXPECT_TRUE(r.DeleteKey("ali"));  // with Liste and Gecmis
    EXPECT_FALSE(r.KeyExists("Ali"));
    EXPECT_FALSE(r.DeleteKey("Ali"));
    EXPECT_TRUE(r.DeleteKey("\\Software\\Marendo\\Tolvar\\Kullanıcılar\\zehra\\Gecmis"_w));
    EXPECT_TRUE(r.KeyExists("zehra\\Liste"));
    r.GetKeyNames(&users);
    EXPECT_EQ(Joined(users), "can|zehra|şule"_w);
    ASSERT_TRUE(r.OpenKey("zehra", false));
    EXPECT_EQ(r.ReadString("Sifre"), "zehra1");
    EXPECT_FALSE(r.OpenKey("nothing", false));
    EXPECT_EQ(r.CurrentPath(), "Software\\Marendo\\Tolvar\\Kullanıcılar\\zehra"_w);  // a failed open keeps the key

    r.CloseKey();
    EXPECT_EQ(r.CurrentKey(), nullptr);
    EXPECT_EQ(r.CurrentPath(), "");
    EXPECT_TRUE(r.CreateKey("Software\\Other"));
    EXPECT_TRUE(r.KeyExists("Software\\Other"));
}

// Sections are subkeys; integers are stored as text and read back from text or from a number.
TEST_F(TRegistryTest, RegIniFileSections) {
    {
        TRegIniFile ini("Software\\Marendo\\IniView");
        EXPECT_EQ(ini.FileName(), "Software\\Marendo\\IniView");
        EXPECT_EQ(ini.ReadString("Genel", "Ad", "yok"), "yok");
        ini.WriteString("Genel", "Ad", "Ayşe"_w);
        ini.WriteInteger("Genel", "Sayi", 42);
        ini.WriteBool("Genel", "Acik", true);
        ini.WriteString("Baska", "x", "1");
        ini.WriteString("", "top", "level");
        EXPECT_EQ(ini.GetDataType("top"), TRegDataType::rdString);
    }
    TRegIniFile ini("software\\marendo\\iniview");
    EXPECT_EQ(ini.ReadString("genel", "ad", ""), "Ayşe"_w);
    EXPECT_EQ(ini.ReadInteger("Genel", "Sayi", 0), 42);
    EXPECT_TRUE(ini.ReadBool("Genel", "Acik", false));
    EXPECT_EQ(ini.ReadInteger("Genel", "Ad", -1), -1);      // not a number
    EXPECT_EQ(ini.ReadInteger("Nowhere", "Sayi", 7), 7);
    EXPECT_EQ(ini.ReadString("", "top", ""), "level");
    {
        TRegistry raw;
        ASSERT_TRUE(raw.OpenKey("Software\\Marendo\\IniView\\Genel", false));
        EXPECT_EQ(raw.GetDataType("Sayi"), TRegDataType::rdString);
        raw.WriteString("Hex", "0x1f");
        raw.WriteInteger("Dword", 9);
    }
    EXPECT_EQ(ini.ReadInteger("Genel", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Genel", "Dword", 0), 9);

    TStringList list;
    ini.ReadSections(&list);
    EXPECT_EQ(Joined(list), "Baska|Genel");
    ini.ReadSection("GENEL", &list);
    EXPECT_EQ(Joined(list), "Ad|Sayi|Acik|Hex|Dword");
    ini.DeleteKey("Genel", "Sayi");
    ini.EraseSection("Baska");
    ini.ReadSections(&list);
    EXPECT_EQ(Joined(list), "Genel");
    ini.ReadSection("Genel", &list);
    EXPECT_EQ(Joined(list), "Ad|Acik|Hex|Dword");
    ini.ReadSection("Baska", &list);
    EXPECT_EQ(list.Count(), 0);
}

// A descendant that opens its own key under another root, as the system information reader does
// for the machine hive: existing keys read, missing ones give the defaults, writes raise.
class MachineIni : public TRegIniFile {
public:
    MachineIni(const std::string& key, HKEY root) {
        SetRootKey(root);
        OpenKey(key, true);
    }
};

TEST_F(TRegistryTest, RegIniFileOnTheMachineHive) {
    ASSERT_EQ(reg::SeedMachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner", REG_SZ,
                                    "Ayşe Yılmaz"_w), ERROR_SUCCESS);
    {
        MachineIni ini("\\SOFTWARE\\Microsoft\\Windows", HKEY_LOCAL_MACHINE);
        EXPECT_EQ(ini.ReadString("CurrentVersion", "RegisteredOwner", "Failure"), "Ayşe Yılmaz"_w);
        EXPECT_EQ(ini.ReadString("CurrentVersion", "RegisteredOrganization", "Failure"), "Failure");
        EXPECT_EQ(RaisedText([&] { ini.WriteString("CurrentVersion", "RegisteredOwner", "x"); }),
                  "Failed to set data for 'RegisteredOwner'");
        EXPECT_THROW(ini.WriteString("NewSection", "v", "x"), ERegistryException);
    }
    MachineIni missing("\\SOFTWARE\\Microsoft\\Windows NT", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(missing.CurrentKey(), nullptr);
    EXPECT_EQ(missing.ReadString("CurrentVersion", "RegisteredOwner", "Failure"), "Failure");
}

}  // namespace
