// The new and edit contact windows as a person uses them: Turkish names, numbers with foreign
// country codes and prefixes, the duplicate test that ignores letter case in the code page, empty
// fields, and edits of the default user's and of a registry user's book.
#include <gtest/gtest.h>

#include "messenger/Unit1.h"
#include "messenger/Unit2.h"
#include "messenger/Unit4.h"
#include "messenger/Unit5.h"
#include "session.h"

using headless::Headless;
using namespace session;

namespace {

class Contacts : public TolvarSession {
protected:
    void SeedBook() {
        fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", "Toplam=2", "[1]", "isim=" + "İsmail Şahin"_w,
                                              "numara=905431234567", "[2]", "isim=Hans", "numara=491711234567"}));
    }
    // Fills the new contact window as a person types; an empty prefix means the offered one.
    void TypeNewContact(const std::string& name, const std::string& country, const std::string& prefix,
                        const std::string& subscriber) {
        headless::Click("Form1.CEPEKLE1");
        EXPECT_TRUE(Form4->Visible());
        if (!name.empty()) headless::Type("Form4.Edit1", name);
        Form4->Edit4->Clear();
        if (!country.empty()) headless::Type("Form4.Edit4", country);
        if (!prefix.empty()) {
            Form4->ComboBox2->SetText("");
            headless::Type("Form4.ComboBox2", prefix);
        }
        if (!subscriber.empty()) headless::Type("Form4.Edit5", subscriber);
    }
    void EditSelected(int index, const std::string& name, const std::string& country, const std::string& prefix,
                      const std::string& subscriber) {
        headless::Select("Form1.ListBox1", index);
        headless::Click("Form1.CEPDzenle2");
        EXPECT_TRUE(Form5->Visible());
        for (auto [edit, text] : {std::pair{Form5->Edit1, name}, {Form5->Edit2, country}, {Form5->Edit3, subscriber}}) {
            edit->Clear();
            if (!text.empty()) headless::Type(edit, text);
        }
        Form5->ComboBox2->SetText("");
        if (!prefix.empty()) headless::Type("Form5.ComboBox2", prefix);
        headless::Click("Form5.BitBtn1");
    }
};

}  // namespace

TEST_F(Contacts, NewContactIsAppendedToBothListsWithItsWholeNumber) {
    SeedBook();
    Start();
    headless::Click("Form1.CEPEKLE1");
    EXPECT_EQ(Form4->ComboBox2->Text(), "532") << "the first prefix is offered";
    EXPECT_EQ(Form4->ActiveControl(), Form4->Edit1);
    EXPECT_TRUE(Form1->Enabled()) << "the contact windows leave the main window enabled";
    headless::Type("Form4.Edit1", "Çağla Öztürk"_w);
    headless::Type("Form4.Edit5", "12345678");  // at most 7 digits go in
    headless::Click("Form4.SpeedButton2");
    EXPECT_FALSE(Form4->Visible());
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"İsmail Şahin"_w, "Hans", "Çağla Öztürk"_w}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905431234567", "491711234567", "905321234567"}));
    EXPECT_EQ(Form4->Edit1->Text(), "");
    EXPECT_EQ(Form4->Edit5->Text(), "");
    EXPECT_EQ(Form4->Edit4->Text(), "90") << "the country code keeps its text";

    // A foreign country code and a prefix the list does not offer are taken as typed.
    TypeNewContact("Pierre", "33", "612", "345678");
    headless::Click("Form4.SpeedButton2");
    EXPECT_EQ(Items(Form1->ListBox2->Items()).back(), "33612345678");
    EXPECT_EQ(Form4->ComboBox2->Text(), "532") << "the first prefix is chosen again";
    EXPECT_EQ(Form4->Edit4->Text(), "33");
}

TEST_F(Contacts, NewContactIsRefusedWhenTheNameIsListedInAnyCaseOrAFieldIsEmpty) {
    struct Case {
        std::string name, country, prefix, subscriber, message;
    };
    const std::string dup = "Zaten Böyle bir kişi var listede"_w;
    const std::string fill = "Lütfen Bütün Alanları Doldurun"_w;
    const std::vector<Case> cases = {
        {"İSMAİL ŞAHİN"_w, "90", "", "1", dup},  // the dotted capital I of the code page
        {"ismail şahin"_w, "90", "", "1", dup},  // and the dotless i fold to the same I
        {"HANS", "90", "", "1", dup},
        {"", "90", "", "1234567", fill},
        {"Yeni", "", "", "1234567", fill},
        {"Yeni", "90", "", "", fill},
    };
    SeedBook();
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TypeNewContact(c.name, c.country, c.prefix, c.subscriber);
        headless::Click("Form4.SpeedButton2");
        EXPECT_EQ(LastBoxText(), c.message);
        EXPECT_TRUE(Form4->Visible());
        EXPECT_EQ(Form1->ListBox1->Items()->Count(), 2);
        headless::Click("Form4.SpeedButton3");
        EXPECT_FALSE(Form4->Visible());
        EXPECT_EQ(Form4->Edit1->Text(), "");
    }
    // An emptied prefix is an empty field too: the digits would take its place in the number.
    TypeNewContact("Yeni", "90", "", "1234567");
    Form4->ComboBox2->SetText("");
    headless::Click("Form4.SpeedButton2");
    EXPECT_EQ(LastBoxText(), fill);
    EXPECT_EQ(Form1->ListBox1->Items()->Count(), 2);
}

TEST_F(Contacts, EditReplacesTheSelectedEntryInPlaceAndKeepsItsCountryCode) {
    SeedBook();
    Start();
    headless::Select("Form1.ListBox1", 1);
    headless::Click("Form1.CEPDzenle2");
    EXPECT_EQ(Form5->Edit1->Text(), "Hans");
    EXPECT_EQ(Form5->Edit2->Text(), "49") << "the stored country code, not the field's last text";
    EXPECT_EQ(Form5->ComboBox2->Text(), "171");
    EXPECT_EQ(Form5->Edit3->Text(), "1234567");
    // An edit of the name alone keeps the whole number.
    Form5->Edit1->Clear();
    headless::Type("Form5.Edit1", "Hans Müller"_w);
    headless::Click("Form5.BitBtn1");
    EXPECT_FALSE(Form5->Visible());
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"İsmail Şahin"_w, "Hans Müller"_w}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905431234567", "491711234567"}));
    EXPECT_EQ(Form1->ListBox1->ItemIndex(), 1) << "the entry stays selected";
    EXPECT_EQ(Form5->Edit1->Text(), "");
    EXPECT_EQ(Form5->Edit3->Text(), "");
    EXPECT_EQ(Form5->ComboBox2->Text(), "532");
    // Replacing an entry is no selection: the send window's header keeps the old text.
    EXPECT_EQ(Form2->Panel1->Caption(), "Hans-491711234567");

    EditSelected(0, "İsmail"_w, "90", "555", "7654321");
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"İsmail"_w, "Hans Müller"_w}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905557654321", "491711234567"}));

    // "Vazgeç" changes nothing; the edit command shows the contact again.
    headless::Select("Form1.ListBox1", 0);
    headless::Click("Form1.CEPDzenle2");
    Form5->ComboBox2->SetText("999");
    headless::Click("Form5.BitBtn2");
    EXPECT_FALSE(Form5->Visible());
    EXPECT_EQ(Form5->ComboBox2->Text(), "532");
    headless::Click("Form1.CEPDzenle2");
    EXPECT_EQ(Form5->ComboBox2->Text(), "555");
}

TEST_F(Contacts, EditIsRefusedForAnotherContactsNameOrAnEmptyField) {
    struct Case {
        std::string name, country, prefix, subscriber, message;
    };
    const std::string dup = "Zaten Böyle bir kişi var listede"_w;
    const std::string fill = "Lütfen Bütün Alanları Doldurun"_w;
    const std::vector<Case> cases = {
        {"hans", "90", "532", "1", dup},
        {"", "90", "532", "1", fill},
        {"Ali", "", "532", "1", fill},
        {"Ali", "90", "", "1", fill},
        {"Ali", "90", "532", "", fill},
    };
    SeedBook();
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditSelected(0, c.name, c.country, c.prefix, c.subscriber);
        EXPECT_EQ(LastBoxText(), c.message);
        EXPECT_TRUE(Form5->Visible());
        EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"İsmail Şahin"_w, "Hans"}));
        EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"905431234567", "491711234567"}));
        headless::Click("Form5.BitBtn2");
    }
    // Its own name in another letter case is no duplicate.
    EditSelected(1, "HANS", "49", "171", "1234567");
    EXPECT_FALSE(Form5->Visible());
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"İsmail Şahin"_w, "HANS"}));
}

TEST_F(Contacts, EditWithTheSelectionGoneChangesNothing) {
    SeedBook();
    Start();
    headless::Select("Form1.ListBox1", 0);
    headless::Click("Form1.CEPDzenle2");
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.CEPSil2");  // the contact goes while the edit window shows
    headless::Click("Form5.BitBtn1");
    EXPECT_EQ(LastBoxText(), "Lütfen listeden bir kişi seçin"_w);
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Hans"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"491711234567"}));
    // With nobody selected the commands that need a contact are off, in both menus.
    EXPECT_FALSE(Form1->CEPSil2->Enabled);
    EXPECT_FALSE(Form1->CEPDzenle2->Enabled);
    EXPECT_THROW(headless::Click("Form1.CEPSil2"), headless::EScriptError);
    headless::RightClick("Form1.ListBox1");
    EXPECT_FALSE(Form1->CEPSil1->Enabled);
    EXPECT_FALSE(Form1->CEPDzenle1->Enabled);
    EXPECT_FALSE(Form1->MesajYolla1->Enabled);
    Headless().ClosePopup();
    for (const auto& box : Headless().Boxes()) EXPECT_EQ(box.Text.find("List index"), std::string::npos) << box.Text;
}

// A registry user's edits reach that user's book, and a renamed contact leaves no old value behind.
TEST_F(Contacts, RegistryUsersEditIsAppliedAndARenameLeavesNoOldValue) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet"), true));
        reg.WriteString("Sifre", "m");
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet", "Liste"), true));
        reg.WriteString("Ali", "905321111111");
        reg.WriteString("veli", "905332222222");
        reg.WriteString("Zeynep", "905353333333");
    }
    Start();
    headless::Click("Form1.Kullanc1");
    headless::Select("Form17.ComboBox1", 0);
    headless::Type("Form17.Edit1", "m");
    headless::Click("Form17.BitBtn1");
    ASSERT_EQ(Form1->Label1->Caption(), "mehmet");

    EditSelected(0, "Ali Rıza"_w, "49", "171", "1234567");
    EditSelected(1, "Veli", "90", "533", "2222222");  // a rename in letter case only
    EXPECT_EQ(Items(Form1->ListBox1->Items()), (Strings{"Ali Rıza"_w, "Veli", "Zeynep"}));
    EXPECT_EQ(Items(Form1->ListBox2->Items()), (Strings{"491711234567", "905332222222", "905353333333"}));
    ExitWithYes();
    EXPECT_EQ(RegistryValues(UserKey("mehmet", "Liste")),
              (Values{{"Ali Rıza"_w, "491711234567"}, {"Veli", "905332222222"}, {"Zeynep", "905353333333"}}));
}
