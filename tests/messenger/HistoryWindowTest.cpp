// The history window: the texts it holds, copying one into the send window's message, and the
// windows it disables while it shows, counted with the other windows that disable them.
#include <gtest/gtest.h>

#include "messenger/Unit1.h"
#include "messenger/Unit15.h"
#include "messenger/Unit2.h"
#include "messenger/WindowHolds.h"
#include "session.h"

using headless::Headless;
using namespace session;

namespace {

class History : public TolvarSession {
protected:
    void SeedHistory() {
        fixtures::SeedMainIni(fixtures::CrLf({"[Ayarlar]", "Toplam=1", "[1]", "isim=Ali", "numara=905321234567",
                                              "[Mesaj]", "Toplam=3", "Mesaj0=" + "Günaydın"_w, "Mesaj1=Selam",
                                              "Mesaj2=" + "Çok teşekkürler!"_w}));
    }
    // What the send window's history button does.
    void OpenHistory() {
        Form15->Show();
        headless::Pump();
    }
};

}  // namespace

TEST_F(History, ShowingDisablesTheMainAndSendWindowsUntilItCloses) {
    SeedHistory();
    Start();
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"Günaydın"_w, "Selam", "Çok teşekkürler!"_w}));
    // Shown from the list, the send window holds the main window itself: the history window's hold
    // comes on top of it and goes again with the history window.
    headless::DblClick("Form1.ListBox1", 0);
    ASSERT_TRUE(Form2->Visible());
    const int mainHolds = messenger::HoldCount(Form1);
    OpenHistory();
    EXPECT_FALSE(Form1->Enabled());
    EXPECT_FALSE(Form2->Enabled());
    EXPECT_EQ(messenger::HoldCount(Form1), mainHolds + 1);
    EXPECT_THROW(headless::Click("Form1.CEPEKLE1"), headless::EScriptError);
    headless::Click("Form15.SpeedButton5");
    EXPECT_FALSE(Form15->Visible());
    EXPECT_EQ(messenger::HoldCount(Form1), mainHolds);
    EXPECT_TRUE(Form2->Enabled());
    EXPECT_FALSE(Form1->Enabled()) << "the send window still holds the main window";

    // The close box closes it the same way.
    OpenHistory();
    headless::CloseBox("Form15");
    EXPECT_FALSE(Form15->Visible());
    EXPECT_EQ(messenger::HoldCount(Form1), mainHolds);
    EXPECT_TRUE(Form2->Enabled());
    Form2->Close();  // what its close button does
    EXPECT_TRUE(Form1->Enabled());
}

// The send window keeps the main window disabled while it shows, and so may a second holder: closing
// the history window over them must not give the main window back.
TEST_F(History, ClosingItWhileAnotherWindowHoldsTheMainWindowLeavesThatHold) {
    Start();
    Form2->Show();
    {
        messenger::TWindowHold otherHold(Form1);
        OpenHistory();
        headless::Click("Form15.SpeedButton5");
        EXPECT_FALSE(Form1->Enabled()) << "the send window still holds it";
        EXPECT_TRUE(Form2->Enabled());
        OpenHistory();
        OpenHistory();  // shown twice without a close: still one hold of its own
        headless::CloseBox("Form15");
        Form2->Close();
        EXPECT_FALSE(Form1->Enabled()) << "the other holder still holds it";
    }
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_EQ(messenger::HoldCount(Form1), 0);
}

TEST_F(History, CopyAppendsTheSelectedTextToTheMessageEachTime) {
    SeedHistory();
    Start();
    Form2->Show();
    Form2->Memo1->SetText("Not: ");
    OpenHistory();
    EXPECT_FALSE(Form15->SpeedButton4->Enabled()) << "nothing selected, nothing to copy";
    EXPECT_THROW(headless::Click("Form15.SpeedButton4"), headless::EScriptError);
    headless::Select("Form15.ListBox1", 2);
    EXPECT_TRUE(Form15->SpeedButton4->Enabled());
    headless::Click("Form15.SpeedButton4");
    headless::Click("Form15.SpeedButton4");
    EXPECT_EQ(Form2->Memo1->Text(), "Not: " + "Çok teşekkürler!"_w + "Çok teşekkürler!"_w);
    EXPECT_TRUE(Form15->Visible()) << "the window stays open";
    headless::Select("Form15.ListBox1", 0);
    headless::Click("Form15.SpeedButton4");
    EXPECT_EQ(Form2->Memo1->Text(), "Not: " + "Çok teşekkürler!"_w + "Çok teşekkürler!"_w + "Günaydın"_w);
    for (const auto& box : Headless().Boxes()) EXPECT_EQ(box.Text.find("List index"), std::string::npos) << box.Text;
}

TEST_F(History, ClearingTheHistoryTurnsTheCopyOff) {
    SeedHistory();
    Start();
    Form2->Show();
    OpenHistory();
    headless::Select("Form15.ListBox1", 1);
    EXPECT_TRUE(Form15->SpeedButton4->Enabled());
    headless::Click("Form15.SpeedButton5");
    Form2->Close();  // what its close button does
    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.GemiiTemizle1");
    EXPECT_TRUE(Items(Form15->ListBox1->Items()).empty());
    Form2->Show();
    OpenHistory();
    EXPECT_FALSE(Form15->SpeedButton4->Enabled());
}

// A registry user's stored history comes back in its order; clearing it removes the stored texts,
// and when the registry cannot take that, the texts stay on the screen and in the registry alike.
TEST_F(History, ARegistryUsersHistoryIsReadInOrderAndClearedWhole) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet"), true));
        reg.WriteString("Sifre", "m");
        ASSERT_TRUE(reg.OpenKey(UserKey("mehmet", "Gecmis"), true));
        reg.WriteString("gecmis1", "ikinci");  // stored out of order: the names give the order
        reg.WriteString("gecmis0", "birinci");
    }
    Start();
    headless::Click("Form1.Kullanc1");
    headless::Select("Form17.ComboBox1", 0);
    headless::Type("Form17.Edit1", "m");
    headless::Click("Form17.BitBtn1");
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"birinci", "ikinci"}));
    EXPECT_EQ(Items(Form15->ListBox2->Items()), (Strings{"gecmis1", "gecmis0"}));

    const std::string hive = HiveBytes();
    {
        fixtures::FileSizeLimit limit(32);
        Headless().QueueBoxAnswer(IDYES);
        headless::Click("Form1.GemiiTemizle1");
    }
    EXPECT_EQ(Headless().Boxes().back().Icon, "error");
    EXPECT_EQ(LastBoxText(), "Failed to delete key " + UserKey("mehmet", "Gecmis"));
    EXPECT_EQ(HiveBytes(), hive);
    EXPECT_EQ(Items(Form15->ListBox1->Items()), (Strings{"birinci", "ikinci"}));

    Headless().QueueBoxAnswer(IDYES);
    headless::Click("Form1.GemiiTemizle1");
    EXPECT_FALSE(RegistryKeyExists(UserKey("mehmet", "Gecmis")));
    EXPECT_TRUE(Items(Form15->ListBox1->Items()).empty());
}
