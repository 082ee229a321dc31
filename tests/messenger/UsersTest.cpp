// The users of the messenger as a person meets them: the user-settings window with its single- and
// multi-user choice, new users, passwords, deleting, the login that brings a user's book and
// history, and what the registry holds afterwards and at the next start.
#include <gtest/gtest.h>

#include "messenger/Unit1.h"
#include "messenger/Unit13.h"
#include "messenger/Unit14.h"
#include "messenger/Unit15.h"
#include "messenger/Unit16.h"
#include "messenger/Unit17.h"
#include "messenger/Unit4.h"
#include "messenger/Unit5.h"
#include "platform/classlib/graphics.h"
#include "session.h"

using headless::Headless;
using namespace session;

namespace {

class Users : public TolvarSession {
protected:
    void OpenUserSettings() {
        headless::Click("Form1.KullancAyarlar1");
        ASSERT_TRUE(Form13->Visible());
    }
    void ChooseSeveralUsers() { headless::Click("Form13.RadioButton2"); }
    void AddUser(const std::string& name, const std::string& password) {
        headless::Click("Form13.Button1");
        if (!name.empty()) headless::Type("Form14.Edit1", name);
        if (!password.empty()) headless::Type("Form14.Edit2", password);
        headless::Click("Form14.BitBtn1");
    }
    void SaveUserSettings() { headless::Click("Form13.BitBtn1"); }
    // Seeds users as an earlier run's "Ayarları Kaydet" leaves them.
    void SeedUsers(const Values& users) {
        TRegistry reg;
        reg::ChangeSet changes;
        ASSERT_TRUE(reg.OpenKey(storedstate::ProgramKey, true));
        reg.WriteBool("1kisi", false);
        for (const auto& [name, password] : users) {
            ASSERT_TRUE(reg.OpenKey(UserKey(name), true));
            reg.WriteString("Sifre", password);
        }
        ASSERT_EQ(changes.Commit(), ERROR_SUCCESS);
    }
    void SeedValues(const std::string& key, const Values& values) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(key, true));
        for (const auto& [name, data] : values) reg.WriteString(name, data);
    }
    void Login(const std::string& user, const std::string& password) {
        headless::Click("Form1.Kullanc1");
        ASSERT_TRUE(Form17->Visible());
        const int index = Form17->ComboBox1->Items()->IndexOf(user);
        ASSERT_GE(index, 0) << user << " is not offered";
        headless::Select("Form17.ComboBox1", index);
        Form17->Edit1->Clear();
        if (!password.empty()) headless::Type("Form17.Edit1", password);
        headless::Click("Form17.BitBtn1");
    }
    std::string Status() { return Form1->StatusBar1->Panels()->Items(0)->Text(); }
};

const std::string kAyse = "Ayşe"_w;
const std::string kIsik = "Işık"_w;

}  // namespace

TEST_F(Users, FirstStartListsNobodyKeepsSingleUserAndTheLoginOffersNoNames) {
    Start();
    EXPECT_TRUE(Items(Form13->ListBox1->Items()).empty());
    EXPECT_TRUE(Form13->RadioButton1->Checked());
    OpenUserSettings();
    EXPECT_FALSE(Form13->ListBox1->Enabled());
    EXPECT_FALSE(Form13->Button1->Enabled());
    EXPECT_FALSE(Form13->Button2->Enabled());
    EXPECT_FALSE(Form13->Button5->Enabled());
    EXPECT_EQ(Form13->ListBox1->Color, clInactiveBorder);
    headless::Click("Form13.BitBtn2");
    EXPECT_FALSE(Form13->Visible());

    headless::Click("Form1.Kullanc1");
    EXPECT_EQ(Form17->ComboBox1->Items()->Count(), 0);
    // Nobody chosen: nobody logs in (an empty name would be the users key itself).
    const std::string hive = HiveBytes();
    headless::Click("Form17.BitBtn1");
    EXPECT_EQ(LastBoxText(), "Lütfen bir kullanıcı seçin"_w);
    EXPECT_TRUE(Form17->Visible());
    EXPECT_EQ(Form1->Label1->Caption(), "GENEL");
    EXPECT_EQ(HiveBytes(), hive);
    EXPECT_EQ(RegistrySubkeys("\\" + storedstate::UsersKey), Strings{});
}

TEST_F(Users, AddingUsersAndSavingWritesEveryPasswordAndTheMultiUserChoice) {
    Start();
    OpenUserSettings();
    ChooseSeveralUsers();
    EXPECT_TRUE(Form13->ListBox1->Enabled());
    EXPECT_TRUE(Form13->Button1->Enabled());
    EXPECT_EQ(Form13->ListBox1->Color, clWhite);

    headless::Click("Form13.Button1");
    ASSERT_TRUE(Form14->Visible());
    EXPECT_FALSE(Form1->Enabled());
    EXPECT_FALSE(Form13->Enabled());
    EXPECT_THROW(headless::Click("Form1.Kullanc1"), headless::EScriptError) << "the main window is disabled";
    headless::Type("Form14.Edit1", kAyse);
    headless::Type("Form14.Edit2", "gizli");
    headless::Click("Form14.BitBtn1");
    EXPECT_FALSE(Form14->Visible());
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_TRUE(Form13->Enabled());
    EXPECT_EQ(Form14->Edit1->Text(), "");
    EXPECT_EQ(Form14->Edit2->Text(), "");

    AddUser("mehmet", "1234");
    AddUser(kIsik, "şifre"_w);
    AddUser("MEHMET", "yeni");  // the same user again is refused
    EXPECT_TRUE(Form14->Visible());
    headless::Click("Form14.BitBtn2");
    EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{kAyse, "mehmet", kIsik}));
    EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"gizli", "1234", "şifre"_w}));
    EXPECT_FALSE(RegistryKeyExists(UserKey(kAyse))) << "nothing is written before the save";

    SaveUserSettings();
    EXPECT_FALSE(Form13->Visible());
    EXPECT_EQ(RegistrySubkeys("\\" + storedstate::UsersKey), (Strings{kAyse, kIsik, "mehmet"}));
    EXPECT_EQ(RegistryValues(UserKey(kAyse)), (Values{{"Sifre", "gizli"}}));
    EXPECT_EQ(RegistryValues(UserKey("mehmet")), (Values{{"Sifre", "1234"}}));
    EXPECT_EQ(RegistryValues(UserKey(kIsik)), (Values{{"Sifre", "şifre"_w}}));
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly(storedstate::ProgramKey));
    EXPECT_EQ(reg.GetDataType("1kisi"), TRegDataType::rdInteger);
    EXPECT_EQ(reg.ReadInteger("1kisi"), 0);

    // The next start chooses multi-user and lists the users in the registry's order.
    Start();
    EXPECT_TRUE(Form13->RadioButton2->Checked());
    EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{kAyse, kIsik, "mehmet"}));
    EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"gizli", "şifre"_w, "1234"}));
}

TEST_F(Users, SingleUserSaveIsStoredSoTheModeCanBeSwitchedBack) {
    SeedUsers({{"mehmet", "1"}});
    Start();
    EXPECT_TRUE(Form13->RadioButton2->Checked());
    OpenUserSettings();
    headless::Click("Form13.RadioButton1");
    EXPECT_FALSE(Form13->ListBox1->Enabled());
    SaveUserSettings();
    EXPECT_FALSE(Form13->Visible());
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyReadOnly(storedstate::ProgramKey));
        EXPECT_EQ(reg.ReadInteger("1kisi"), 1);
    }
    EXPECT_EQ(RegistryValues(UserKey("mehmet")), (Values{{"Sifre", "1"}})) << "users stay";

    Start();
    EXPECT_TRUE(Form13->RadioButton1->Checked());
    OpenUserSettings();
    ChooseSeveralUsers();
    SaveUserSettings();
    Start();
    EXPECT_TRUE(Form13->RadioButton2->Checked());
}

TEST_F(Users, MultiUserSaveWithoutUsersAsksForOne) {
    Start();
    OpenUserSettings();
    ChooseSeveralUsers();
    const std::string hive = HiveBytes();
    SaveUserSettings();
    EXPECT_EQ(LastBoxText(), "Lütfen Bir kullanıcı Ekleyin"_w);
    EXPECT_TRUE(Form13->Visible());
    EXPECT_EQ(HiveBytes(), hive);
}

TEST_F(Users, NewUserWindowRefusesNamesThatCannotBeUsers) {
    struct Case {
        std::string name, password, message;
    };
    const std::string fill = "Lütfen 2 alanı da doldurun"_w;
    const std::string slash = "Kullanıcı adında \"\\\" işareti olamaz"_w;
    const std::string genel = "\"GENEL\" adı programın kendi kullanıcısının adıdır; başka bir ad seçin"_w;
    const std::vector<Case> cases = {
        {"", "gizli", fill},           {"ali", "", fill},          {"", "", fill},
        {"ali\\Liste", "x", slash},    {"\\", "x", slash},         {"GENEL", "x", genel},
        {"genel", "x", genel},         {"Genel", "x", genel},
    };
    Start();
    OpenUserSettings();
    ChooseSeveralUsers();
    headless::Click("Form13.Button1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + "/" + c.password);
        Form14->Edit1->SetText(c.name);
        Form14->Edit2->SetText(c.password);
        headless::Click("Form14.BitBtn1");
        EXPECT_EQ(LastBoxText(), c.message);
        EXPECT_TRUE(Form14->Visible());
        EXPECT_FALSE(Form1->Enabled());
        EXPECT_EQ(Form13->ListBox1->Items()->Count(), 0);
    }
    // "Vazgeç" empties both fields and gives the windows back.
    headless::Click("Form14.BitBtn2");
    EXPECT_FALSE(Form14->Visible());
    EXPECT_EQ(Form14->Edit1->Text(), "");
    EXPECT_EQ(Form14->Edit2->Text(), "");
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_TRUE(Form13->Enabled());
}

// The registry holds one key per user name, letter case aside: a name already listed, as the
// registry compares key names, is refused at "Ekle"; a name the registry tells apart is added.
TEST_F(Users, NewUserWindowRefusesANameAlreadyListed) {
    const std::string ayni = "Aynı"_w;
    struct Case {
        std::string name;
        bool refused;
    } cases[] = {
        {ayni, true},           {"AYNI", true},  {"aynI", true}, {"Ayni", true}, {"ayn"_w + "İ"_w, true},
        {ayni + " ", false},    {"Ayna", false}, {"Ayn", false},
    };
    Start();
    OpenUserSettings();
    ChooseSeveralUsers();
    AddUser(ayni, "birinci");
    ASSERT_EQ(Items(Form13->ListBox1->Items()), (Strings{ayni}));
    {  // the registry's own comparison, for the table
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UserKey(ayni), true));
    }
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(RegistryKeyExists(UserKey(k.name)), k.refused) << "the table disagrees with the registry";
        const size_t boxes = BoxCount();
        AddUser(k.name, "ikinci");
        if (k.refused) {
            EXPECT_EQ(BoxesSince(boxes), (Strings{"\"" + ayni + "\" adında bir kullanıcı zaten var; başka bir ad seçin"_w}));
            EXPECT_TRUE(Form14->Visible());
            EXPECT_EQ(Form14->Edit1->Text(), k.name) << "the name stays to be corrected";
            EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{ayni}));
            EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"birinci"}));
            headless::Click("Form14.BitBtn2");
        } else {
            EXPECT_EQ(BoxesSince(boxes), Strings{});
            EXPECT_FALSE(Form14->Visible());
            EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{ayni, k.name}));
            Form13->ListBox1->Items()->Delete(1);
            Form13->ListBox2->Items()->Delete(1);
        }
    }
    // The save stores the one user with its own password; deleting it leaves no name behind.
    SaveUserSettings();
    EXPECT_EQ(RegistrySubkeys(storedstate::UsersKey), (Strings{ayni}));
    EXPECT_EQ(RegistryValues(UserKey(ayni)), (Values{{"Sifre", "birinci"}}));
    OpenUserSettings();
    headless::Select("Form13.ListBox1", 0);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form13.Button2");
    EXPECT_TRUE(Items(Form13->ListBox1->Items()).empty());
    EXPECT_FALSE(RegistryKeyExists(UserKey(ayni)));
}

// A user named GENEL stored by a version that did not refuse the name (the new-user window refuses
// it now) logs in as any registry user: its book and history live in its own key, and the default
// user's tolvar17.ini is never written with them; the default user's commands leave its key alone.
TEST_F(Users, AStoredUserNamedGenelKeepsItsBookAndHistoryInItsOwnKey) {
    SeedUsers({{"GENEL", "g"}});
    SeedValues(UserKey("GENEL", "Liste"), {{"Kayıtlı"_w, "905321112233"}});
    SeedValues(UserKey("GENEL", "Gecmis"), {{"gecmis0", "kayıtlı mesaj"_w}});
    const std::string ini = fixtures::CrLf({"[Ayarlar]", "Toplam=1", "[1]", "isim=Genel Kişi"_w,
                                            "numara=905550000000", "[Mesaj]", "Toplam=1", "Mesaj0=genel mesaj"});
    fixtures::SeedMainIni(ini);

    // The default user clears its history: the stored user's history stays.
    Start();
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.GemiiTemizle1");
    EXPECT_TRUE(Items(Form15->ListBox1->Items()).empty());
    EXPECT_EQ(RegistryValues(UserKey("GENEL", "Gecmis")), (Values{{"gecmis0", "kayıtlı mesaj"_w}}));

    Start();
    Login("GENEL", "g");
    EXPECT_EQ(Form1->Label1->Caption(), "GENEL");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Kayıtlı"_w}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"kayıtlı mesaj"_w}));
    // Logged in, it cannot be deleted.
    OpenUserSettings();
    headless::Select("Form13.ListBox1", 0);
    headless::Click("Form13.Button2");
    EXPECT_EQ(LastBoxText(), "Giriş yapılmış olan kullanıcı silinemez."_w);
    EXPECT_TRUE(RegistryKeyExists(UserKey("GENEL")));
    headless::Click("Form13.BitBtn2");
    // Its contact deleted, another added, a text in its history, then the exit.
    headless::Select("Form1.ListBox1", 0);
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.CEPSil2");
    EXPECT_TRUE(RegistryValues(UserKey("GENEL", "Liste")).empty()) << "deleted from its own key at once";
    headless::Click("Form1.CEPEKLE1");
    headless::Type("Form4.Edit1", "Yeni");
    headless::Type("Form4.Edit5", "7654321");
    headless::Click("Form4.SpeedButton2");
    Form15->ListBox1->Items()->Add("yeni mesaj");
    ExitWithYes();

    EXPECT_EQ(fixtures::MainIniBytes(), ini) << "the default user's file is not touched";
    EXPECT_EQ(RegistryValues(UserKey("GENEL", "Liste")), (Values{{"Yeni", "905327654321"}}));
    EXPECT_EQ(RegistryValues(UserKey("GENEL", "Gecmis")),
              (Values{{"gecmis0", "kayıtlı mesaj"_w}, {"gecmis1", "yeni mesaj"}}));
    EXPECT_EQ(RegistryValues(UserKey("GENEL")), (Values{{"Sifre", "g"}}));

    // The next start is the default user's again, with its own book.
    Start();
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Genel Kişi"_w}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"genel mesaj"}));
}

TEST_F(Users, ChangingAPasswordNeedsTheOldOneExactlyAndReachesTheRegistryWithTheSave) {
    SeedUsers({{kAyse, "Gizli"}, {"mehmet", "1234"}});
    Start();
    OpenUserSettings();
    EXPECT_FALSE(Form13->Button5->Enabled()) << "no user selected";
    headless::Select("Form13.ListBox1", 0);
    EXPECT_TRUE(Form13->Button2->Enabled());
    EXPECT_TRUE(Form13->Button5->Enabled());
    headless::Click("Form13.Button5");
    ASSERT_TRUE(Form16->Visible());
    EXPECT_EQ(Form16->Label3->Caption(), "Gizli");
    EXPECT_FALSE(Form13->Enabled());
    EXPECT_FALSE(Form1->Enabled());

    headless::Type("Form16.Edit1", "gizli");  // another letter case is another password
    headless::Type("Form16.Edit2", "yeni");
    headless::Click("Form16.BitBtn1");
    EXPECT_EQ(LastBoxText(), "Eski Şifreyi yanlış girdiniz"_w);
    EXPECT_TRUE(Form16->Visible());
    EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"Gizli", "1234"}));

    // "Vazgeç" keeps the fields and gives both windows back.
    headless::Click("Form16.BitBtn2");
    EXPECT_FALSE(Form16->Visible());
    EXPECT_TRUE(Form13->Enabled());
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_EQ(Form16->Edit1->Text(), "gizli");

    headless::Click("Form13.Button5");
    Form16->Edit1->Clear();
    headless::Type("Form16.Edit1", "Gizli");
    headless::Click("Form16.BitBtn1");
    EXPECT_FALSE(Form16->Visible());
    EXPECT_TRUE(Form13->Enabled());
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_EQ(Form16->Edit1->Text(), "");
    EXPECT_EQ(Form16->Edit2->Text(), "");
    EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"yeni", "1234"}));
    EXPECT_EQ(RegistryValues(UserKey(kAyse)), (Values{{"Sifre", "Gizli"}})) << "only the save writes it";

    SaveUserSettings();
    EXPECT_EQ(RegistryValues(UserKey(kAyse)), (Values{{"Sifre", "yeni"}}));
}

TEST_F(Users, DeletingAUserRemovesItsWholeKeyAndLeavesNoCommandOnNobody) {
    SeedUsers({{kAyse, "a"}, {"mehmet", "m"}});
    SeedValues(UserKey("mehmet", "Liste"), {{"Ali", "905321111111"}});
    SeedValues(UserKey("mehmet", "Gecmis"), {{"gecmis0", "selam"}});
    Start();
    OpenUserSettings();
    headless::Select("Form13.ListBox1", 1);
    Headless().QueueBoxAnswer(IDNO);
    headless::Click("Form13.Button2");
    EXPECT_EQ(Headless().Boxes().back().Caption, "Çıkış"_w);
    EXPECT_EQ(LastBoxText(), "Kullanıcıyı silmek istiyor musunuz?"_w);
    EXPECT_EQ(Headless().Boxes().back().DefaultButton, IDNO);
    EXPECT_TRUE(RegistryKeyExists(UserKey("mehmet", "Liste")));

    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form13.Button2");
    EXPECT_FALSE(RegistryKeyExists(UserKey("mehmet")));
    EXPECT_TRUE(RegistryKeyExists(UserKey(kAyse)));
    EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{kAyse}));
    EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"a"}));
    // Nobody is selected now: the commands that need somebody are off.
    EXPECT_FALSE(Form13->Button2->Enabled());
    EXPECT_FALSE(Form13->Button5->Enabled());
    EXPECT_THROW(headless::Click("Form13.Button2"), headless::EScriptError);
    headless::Click("Form13.BitBtn2");

    headless::Click("Form1.Kullanc1");
    EXPECT_EQ(Items(Form17->ComboBox1->Items()), (Strings{kAyse}));
}

TEST_F(Users, LoginWithTheRightPasswordBringsTheUsersBookAndHistory) {
    SeedUsers({{kAyse, "Gizli"}});
    SeedValues(UserKey(kAyse, "Liste"), {{"Çağrı"_w, "905321112233"}, {"Hans", "491711234567"}});
    SeedValues(UserKey(kAyse, "Gecmis"), {{"gecmis0", "Günaydın"_w}, {"gecmis1", "İyi geceler"_w}});
    fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", "Toplam=1", "[1]", "isim=Genel Kişi"_w, "numara=905550000000",
                                          "[Mesaj]", "Toplam=1", "Mesaj0=genel mesaj"}));
    Start();
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Genel Kişi"_w}));

    // Wrong passwords change nothing: another letter case, empty, a longer one.
    for (const char* wrong : {"gizli", "", "Gizli "}) {
        SCOPED_TRACE(wrong);
        const size_t boxes = BoxCount();
        Login(kAyse, wrong);
        EXPECT_EQ(BoxesSince(boxes), (Strings{"Girdiğiniz şifre yanlış"_w}));
        EXPECT_TRUE(Form17->Visible());
        EXPECT_EQ(Form1->Label1->Caption(), "GENEL");
        EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Genel Kişi"_w}));
        EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"genel mesaj"}));
        headless::Click("Form17.BitBtn2");
    }

    headless::Select("Form1.ListBox1", 0);
    EXPECT_TRUE(Form1->CEPSil2->Enabled);
    Login(kAyse, "Gizli");
    EXPECT_FALSE(Form17->Visible());
    EXPECT_EQ(Form17->Edit1->Text(), "");
    EXPECT_EQ(Form1->Label1->Caption(), kAyse);
    EXPECT_EQ(Status(), "SMS Listesi: " + kAyse);
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Çağrı"_w, "Hans"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905321112233", "491711234567"}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"Günaydın"_w, "İyi geceler"_w}));
    EXPECT_EQ(Items(Form15->ListBox2->Items()), (Strings{"gecmis0", "gecmis1"}));
    // The old selection went with the old book.
    EXPECT_EQ(Form1->ListBox1->ItemIndex(), -1);
    EXPECT_FALSE(Form1->CEPSil2->Enabled);
    EXPECT_FALSE(Form1->CEPDzenle2->Enabled);
    EXPECT_EQ(fixtures::MainIniBytes().find("Çağrı"_w), std::string::npos) << "the login writes nothing";
}

TEST_F(Users, DeletingTheUserLoggedInIsRefused) {
    SeedUsers({{"mehmet", "m"}});
    Start();
    Login("mehmet", "m");
    OpenUserSettings();
    headless::Select("Form13.ListBox1", 0);
    headless::Click("Form13.Button2");
    EXPECT_EQ(LastBoxText(), "Giriş yapılmış olan kullanıcı silinemez."_w);
    EXPECT_TRUE(RegistryKeyExists(UserKey("mehmet")));
    EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{"mehmet"}));
}

// A value of another type than the login reads (a hive edited by hand or by an older tool): a clear
// error, the current book and history untouched, and the exit writes the current user's whole book.
TEST_F(Users, LoginOfAUserWithAValueOfTheWrongTypeLeavesTheCurrentBookWhole) {
    SeedUsers({{"mehmet", "m"}});
    SeedValues(UserKey("mehmet", "Liste"), {{"Ali", "905321111111"}});
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet", "Liste"), true));
        reg.WriteInteger("Bozuk", 5);
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet", "Gecmis"), true));
        reg.WriteString("gecmis0", "bir");
    }
    fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", "Toplam=1", "[1]", "isim=Zeki", "numara=905550000000",
                                          "[Mesaj]", "Toplam=1", "Mesaj0=genel"}));
    Start();
    const std::string hive = HiveBytes();
    Login("mehmet", "m");
    const auto& box = Headless().Boxes().back();
    EXPECT_EQ(box.Text, "Invalid data type for 'Bozuk'");
    EXPECT_EQ(box.Icon, "error");
    EXPECT_EQ(Form1->Label1->Caption(), "GENEL");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Zeki"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905550000000"}));
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"genel"}));
    EXPECT_EQ(HiveBytes(), hive);

    // A wrong-typed password is an error too, not a wrong password.
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet"), true));
        reg.WriteInteger("Sifre", 7);
    }
    Login("mehmet", "m");
    EXPECT_EQ(LastBoxText(), "Invalid data type for 'Sifre'");
    headless::Click("Form17.BitBtn2");

    ExitWithYes();
    TIniFile ini(storedstate::MainIniName);
    EXPECT_EQ(ini.ReadString("1", "isim", ""), "Zeki");
    EXPECT_EQ(ini.ReadString("Mesaj", "Mesaj0", ""), "genel");
    EXPECT_EQ(RegistryValues(UserKey("mehmet", "Gecmis")), (Values{{"gecmis0", "bir"}}));
}

TEST_F(Users, AUserWhosePasswordHasTheWrongTypeIsShownAsAnErrorAtStartAndListsStayParallel) {
    SeedUsers({{"ayse", "a"}, {"mehmet", "m"}});
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet"), true));
        reg.WriteInteger("Sifre", 7);
    }
    Start();
    ASSERT_FALSE(Headless().Boxes().empty());
    EXPECT_EQ(Headless().Boxes().front().Text, "Invalid data type for 'Sifre'");
    EXPECT_EQ(Form13->ListBox1->Items()->Count(), Form13->ListBox2->Items()->Count());
    EXPECT_TRUE(Form13->RadioButton2->Checked());
}

TEST_F(Users, AModeOfTheWrongTypeIsShownAsAnErrorAtStartAndTheUsersAreStillListed) {
    SeedUsers({{"ayse", "a"}});
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(storedstate::ProgramKey, true));
        reg.WriteString("1kisi", "0");
    }
    Start();
    ASSERT_FALSE(Headless().Boxes().empty());
    EXPECT_EQ(Headless().Boxes().front().Text, "Invalid data type for '1kisi'");
    EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{"ayse"}));
    EXPECT_EQ(Items(Form13->ListBox2->Items()), (Strings{"a"}));
    EXPECT_TRUE(Form13->RadioButton1->Checked()) << "the stored choice stays";
    // A save writes the choice again, as a number.
    OpenUserSettings();
    SaveUserSettings();
    Start();
    EXPECT_TRUE(Headless().Boxes().empty());
    EXPECT_TRUE(Form13->RadioButton1->Checked());
}

// Saving when the hive cannot be written: the error is shown, the window stays, and the registry
// keeps every password it had (all of the save or none of it).
TEST_F(Users, FailedSaveKeepsTheStoredPasswordsWhole) {
    SeedUsers({{"ayse", "eski"}});
    Start();
    OpenUserSettings();
    for (int i = 0; i < 60; ++i) AddUser("kullanici" + IntToStr(i), "sifre" + IntToStr(i));
    const std::string hive = HiveBytes();
    {
        fixtures::FileSizeLimit limit(hive.size() + 512);
        SaveUserSettings();
    }
    EXPECT_EQ(Headless().Boxes().back().Icon, "error");
    EXPECT_EQ(LastBoxText(), "Failed to set data for '1kisi'");
    EXPECT_TRUE(Form13->Visible());
    EXPECT_EQ(HiveBytes(), hive);
    EXPECT_EQ(RegistrySubkeys("\\" + storedstate::UsersKey), (Strings{"ayse"}));

    SaveUserSettings();
    EXPECT_FALSE(Form13->Visible());
    EXPECT_EQ(RegistrySubkeys("\\" + storedstate::UsersKey).size(), 61u);
}

TEST_F(Users, FailedDeleteKeepsTheUserWholeAndListed) {
    SeedUsers({{"ayse", "a"}, {"mehmet", "m"}});
    SeedValues(UserKey("mehmet", "Liste"), {{"Ali", "905321111111"}});
    SeedValues(UserKey("mehmet", "Gecmis"), {{"gecmis0", "bir"}});
    Start();
    OpenUserSettings();
    headless::Select("Form13.ListBox1", 1);
    const std::string hive = HiveBytes();
    {
        fixtures::FileSizeLimit limit(64);
        Headless().QueueBoxAnswer(IDYES);
        headless::Click("Form13.Button2");
    }
    EXPECT_EQ(Headless().Boxes().back().Icon, "error");
    EXPECT_EQ(LastBoxText(), "Failed to delete key " + UserKey("mehmet"));
    EXPECT_EQ(HiveBytes(), hive);
    EXPECT_EQ(RegistryValues(UserKey("mehmet", "Liste")), (Values{{"Ali", "905321111111"}}));
    EXPECT_EQ(Items(Form13->ListBox1->Items()), (Strings{"ayse", "mehmet"}));
}

// A person's whole session: users made, a login, contacts added and edited, nothing sent, the exit,
// and a new start that shows what was left.
TEST_F(Users, SessionIsKeptAcrossARestart) {
    Start();
    OpenUserSettings();
    ChooseSeveralUsers();
    AddUser(kAyse, "gizli");
    AddUser("mehmet", "1234");
    SaveUserSettings();

    Login(kAyse, "gizli");
    headless::Click("Form1.CEPEKLE1");
    headless::Type("Form4.Edit1", "Çağrı Işık"_w);
    headless::Type("Form4.Edit5", "1112233");
    headless::Click("Form4.SpeedButton2");
    headless::Click("Form1.YeniCEPEkle1");
    headless::Type("Form4.Edit1", "Hans");
    Form4->Edit4->Clear();
    headless::Type("Form4.Edit4", "49");
    Form4->ComboBox2->SetText("");
    headless::Type("Form4.ComboBox2", "171");
    headless::Type("Form4.Edit5", "7654321");
    headless::Click("Form4.SpeedButton2");
    headless::Select("Form1.ListBox1", 0);
    headless::Click("Form1.CEPDzenle2");
    Form5->Edit1->Clear();
    headless::Type("Form5.Edit1", "Çağrı"_w);
    headless::Click("Form5.BitBtn1");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Çağrı"_w, "Hans"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905321112233", "491717654321"}));
    ExitWithYes();

    EXPECT_EQ(RegistryValues(UserKey(kAyse, "Liste")), (Values{{"Çağrı"_w, "905321112233"}, {"Hans", "491717654321"}}));
    EXPECT_FALSE(FileExists(fixtures::MainIniPath())) << "the default user's file is not touched";

    Start();
    EXPECT_EQ(Form1->Label1->Caption(), "GENEL") << "nothing asks for a login at start";
    EXPECT_TRUE(Items(Form1->ListBox1->Items()).empty());
    Login(kAyse, "gizli");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Çağrı"_w, "Hans"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905321112233", "491717654321"}));
    Login("mehmet", "1234");
    EXPECT_TRUE(Items(Form1->ListBox1->Items()).empty()) << "each user has a book of their own";
}

// The login makes the user's Liste and Gecmis keys when they are missing; when the hive cannot take
// them the login does not happen, and nothing of it is left behind.
TEST_F(Users, LoginThatCannotMakeTheUsersKeysChangesNothing) {
    SeedUsers({{"mehmet", "m"}});
    Start();
    const std::string hive = HiveBytes();
    {
        fixtures::FileSizeLimit limit(16);
        Login("mehmet", "m");
    }
    EXPECT_EQ(Headless().Boxes().back().Icon, "error");
    EXPECT_EQ(LastBoxText(), "Failed to create key " + UserKey("mehmet", "Liste"));
    EXPECT_TRUE(Form17->Visible());
    EXPECT_EQ(Form1->Label1->Caption(), "GENEL");
    EXPECT_EQ(HiveBytes(), hive);
    EXPECT_FALSE(RegistryKeyExists(UserKey("mehmet", "Liste")));

    headless::Click("Form17.BitBtn1");
    EXPECT_EQ(Form1->Label1->Caption(), "mehmet");
    EXPECT_TRUE(RegistryKeyExists(UserKey("mehmet", "Liste")));
    EXPECT_TRUE(RegistryKeyExists(UserKey("mehmet", "Gecmis")));
}
