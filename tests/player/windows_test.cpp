// The secondary windows: the equalizer window and its presets, the playlist editor, the about box.
#include "playerfixture.h"

#include "platform/win/shellapi.h"
#include "player/AboutFrm.h"
#include "player/EQTools.h"
#include "player/EQualizer.h"
#include "player/InputBox.h"
#include "player/Sarkilar.h"

namespace playertest {
namespace {

class Windows : public PlayerFixture {
protected:
    // Runs `inside` with the named modal form once it is shown, then closes it.
    void WithModal(const std::function<void(TCustomForm*)>& inside) {
        headless::Headless().QueueModalAction([inside](TCustomForm* f) {
            inside(f);
            if (f->ModalResult == mrNone) f->Close();
        });
    }
    std::string EqText(TEQForm* eq, const std::string& id) {
        for (const auto& d : eq->Skin->Displays())
            if (d.ID == id) return d.Text;
        return "(none)";
    }
};

TEST_F(Windows, EqualizerBarsSetTheGainsAtOnce) {
    WriteIni("[Genel]\nEQ=80,0,-80,5\n");
    Start();
    std::vector<int> positions;
    std::string value;
    WithModal([&](TCustomForm* f) {
        auto* eq = static_cast<TEQForm*>(f);
        for (int i = 1; i <= 4; ++i) positions.push_back(eq->Skin->GetTrackBarPos("TRACKBAR_EQ" + std::to_string(i)));
        // The value shows while the bar moves, and is cleared when the button is released.
        auto moved = eq->Skin->OnTrackBarNotify;
        eq->Skin->OnTrackBarNotify = [&, eq, moved](const std::string& id, int p) {
            moved(id, p);
            value = EqText(eq, "TEXT_VALUE");
        };
        dorlin::SkinCommand("skin EQForm drag TRACKBAR_EQ2 25");
        EXPECT_EQ(EqText(eq, "TEXT_VALUE"), "");
    });
    headless::Click("Form1.Ekolayzer1");
    EXPECT_EQ(positions, (std::vector<int>{0, 50, 100, 47}));
    EXPECT_EQ(form->EQ[1], 40);
    EXPECT_EQ(value, "40");
    EXPECT_EQ(form->EQ[0], 80);  // the others stay
    EXPECT_EQ(form->EQ[3], 5);
    form->Close();
    Pump();
    EXPECT_NE(IniText().find("EQ=80,40,-80,5,0,0,0,0,0,0\r\n"), std::string::npos) << IniText();
}

TEST_F(Windows, TheSwitchTurnsTheEqualizerOffAndTheValueStaysEmpty) {
    Start();
    std::string value = "?";
    WithModal([&](TCustomForm* f) {
        dorlin::SkinCommand("skin EQForm click BUTTON_EQUSE");
        value = EqText(static_cast<TEQForm*>(f), "TEXT_VALUE");
    });
    headless::Click("Form1.Ekolayzer1");
    EXPECT_FALSE(form->UseEQ);
    EXPECT_EQ(value, "");
    EXPECT_EQ(form->EQ, TEQValues{});  // the gains are kept
}

TEST_F(Windows, ASkinWithoutBarsKeepsTheStoredGains) {
    WriteIni("[Genel]\nEQ=10,20,30,40,50,60,70,80,-10,-20\n");
    Start();
    // This skin's equalizer has only the first bar, and no switch.
    win::MakeDirs(win::LocalPath("c:\\skins\\bare"));
    std::string ini = testsupport::ReadAll(win::LocalPath("c:\\Dorlin\\Default\\Equalizer.ini"));
    const std::size_t bars = ini.find("[TRACKBARINFO]\r\nCount=10");
    ASSERT_NE(bars, std::string::npos);
    ini.replace(bars, 25, "[TRACKBARINFO]\r\nCount=1\r\n");
    ini.replace(ini.find("BUTTON_EQUSE"), 12, "BUTTON_OTHER");
    for (const char* f : {"eq_mask.bmp", "eq_up.bmp", "eq_on.bmp", "eq_down.bmp", "digits.bmp", "letters.bmp", "thumbeq.bmp", "thumbeq_d.bmp"})
        testsupport::WriteAll(win::LocalPath(std::string("c:\\skins\\bare\\") + f),
                              testsupport::ReadAll(win::LocalPath(std::string("c:\\Dorlin\\Default\\") + f)));
    testsupport::WriteAll(win::LocalPath("c:\\skins\\bare\\Equalizer.ini"), ini);
    WithModal([&](TCustomForm*) { dorlin::SkinCommand("skin EQForm drag TRACKBAR_EQ1 0"); });
    form->SkinDir = "c:\\skins\\bare\\";
    form->ShowEqualizer();
    EXPECT_EQ(form->EQ, (TEQValues{80, 20, 30, 40, 50, 60, 70, 80, -10, -20}));
    EXPECT_TRUE(form->UseEQ);
}

TEST_F(Windows, PresetsAreSavedCheckedAndOfferedAtOnce) {
    WriteIni("[Genel]\nEQ=1,2,3,4,5,6,7,8,9,10\n");
    Start();
    auto save = [&](const std::string& name) {
        headless::Headless().QueueModalAction([name](TCustomForm* f) {
            auto* q = static_cast<TInputQueryForm*>(f);
            headless::Type(q->Edit, name);
            headless::Click(q->OKButton);
        });
        form->SaveEQPreset();
    };
    save("Bass");
    for (const char* bad : {"a=b", "[x", ";x", " pad", "pad "}) save(bad);
    save("");  // nothing
    EXPECT_EQ(dorlin::PresetNames->Count(), 1);
    EXPECT_EQ(dorlin::PresetNames->Get(0), "Bass");
    EXPECT_EQ(headless::Headless().Boxes().size(), 5u);  // one refusal each
    EXPECT_EQ(IniText().find("a=b"), std::string::npos);

    // Loading it back after changing the gains; the picker lists the new name.
    form->SetEQValues({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<std::string> listed;
    headless::Headless().QueueModalAction([&](TCustomForm* f) {
        auto* p = static_cast<TEQFrm*>(f);
        for (int i = 0; i < p->ListBox1->Items()->Count(); ++i) listed.push_back(p->ListBox1->Items()->Get(i));
        headless::Select(p->ListBox1, 0);
        headless::Click(p->BitBtn1);
    });
    form->LoadEQPreset();
    EXPECT_EQ(listed, std::vector<std::string>{"Bass"});
    EXPECT_EQ(form->EQ, (TEQValues{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(Windows, APresetOfFewerValuesChangesOnlyTheFirstBands) {
    WriteIni("[Genel]\nEQ=9,9,9,9,9,9,9,9,9,9\n[EQ_DATA]\nShort=1,2\n");
    Start();
    headless::Headless().QueueModalAction([](TCustomForm* f) {
        auto* p = static_cast<TEQFrm*>(f);
        headless::Select(p->ListBox1, 0);
        headless::Click(p->BitBtn1);
    });
    form->LoadEQPreset();
    EXPECT_EQ(form->EQ, (TEQValues{1, 2, 9, 9, 9, 9, 9, 9, 9, 9}));
    // OK with nothing selected changes nothing.
    headless::Headless().QueueModalAction([](TCustomForm* f) { headless::Click(static_cast<TEQFrm*>(f)->BitBtn1); });
    form->LoadEQPreset();
    EXPECT_EQ(form->EQ, (TEQValues{1, 2, 9, 9, 9, 9, 9, 9, 9, 9}));
}

class Editor : public Windows {
protected:
    void SetUp() override {
        Windows::SetUp();
        setenv("XAUDIO_OUTPUT", "null:manual", 1);  // a song plays only as far as the test lets it
        const auto& a = testsupport::Audio();
        WriteIni("[Genel]\nSarki=0\n[Musics]\n" + a.cbr + "=\n" + a.mono22 + "=\n" + a.layer2 + "=\n");
        Start();
    }
    std::vector<std::string> Entries(TSarkiForm* e) {
        std::vector<std::string> v;
        for (int i = 0; i < e->Liste->Items()->Count(); ++i) v.push_back(ExtractFileName(e->Liste->Items()->Get(i)));
        return v;
    }
};

TEST_F(Editor, MovesAddsAndRemovesOnItsOwnCopy) {
    std::vector<std::vector<std::string>> seen;
    headless::Headless().QueueModalAction([&](TCustomForm* f) {
        auto* e = static_cast<TSarkiForm*>(f);
        headless::Click(e->AOLButton4);  // nothing selected: nothing moves
        seen.push_back(Entries(e));
        headless::Select(e->Liste, 2);
        headless::Click(e->AOLButton4);  // the last one: nothing
        seen.push_back(Entries(e));
        headless::Select(e->Liste, 0);
        headless::Click(e->AOLButton3);  // the first one: nothing
        headless::Click(e->AOLButton4);
        seen.push_back(Entries(e));
        headless::Headless().QueueFileAnswer(testsupport::Audio().cbr);  // already there
        headless::Click(e->Ekle);
        seen.push_back(Entries(e));
        headless::Select(e->Liste, 2);
        headless::Click(e->Cikar);
        seen.push_back(Entries(e));
        headless::Click(e->AOLButton2);  // Cancel
    });
    form->ShowPlaylist();
    const std::vector<std::string> orig = {"cbr.mp3", "mono22.mp3", "layer2.mp2"};
    const std::vector<std::string> swapped = {"mono22.mp3", "cbr.mp3", "layer2.mp2"};
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], orig);
    EXPECT_EQ(seen[1], orig);
    EXPECT_EQ(seen[2], swapped);
    EXPECT_EQ(seen[3], swapped);
    EXPECT_EQ(seen[4], (std::vector<std::string>{"mono22.mp3", "cbr.mp3"}));
    // Cancel: the playlist is as it was.
    EXPECT_EQ(form->PlayList()->Count(), 3);
    EXPECT_EQ(ExtractFileName(form->PlayList()->Get(0)), "cbr.mp3");
}

TEST_F(Editor, OkTakesTheListAndThePositionReturns) {
    headless::Headless().QueueModalAction([&](TCustomForm* f) {
        auto* e = static_cast<TSarkiForm*>(f);
        headless::Select(e->Liste, 0);
        headless::Click(e->Cikar);
        headless::Click(e->AOLButton1);
    });
    form->ShowPlaylist();
    EXPECT_EQ(form->PlayList()->Count(), 2);
    EXPECT_EQ(form->PlayList()->Index, 1);
}

TEST_F(Editor, DoubleClickPlaysAtOnceAndCancelKeepsThePosition) {
    std::string title;
    bool played = false;
    headless::Headless().QueueModalAction([&](TCustomForm* f) {
        auto* e = static_cast<TSarkiForm*>(f);
        headless::DblClick(e->Liste, 2);
        title = Text("TEXT_SONG");
        // It plays: time goes on while the editor is open.
        xaudio::AdvanceNullClock(form->Player->PlayerHandle(), 1100);
        played = testsupport::PumpUntil([&] { return Text("TEXT_POS") == "00:01"; });
        headless::Click(e->AOLButton2);
    });
    form->ShowPlaylist();
    EXPECT_EQ(title, "layer2");
    EXPECT_TRUE(played);
    EXPECT_EQ(form->PlayList()->Index, 1);  // put back
}

TEST_F(Windows, AboutBoxOpensTheMakersPages) {
    Start();
    shell::ClearRecordedRequests();
    headless::Headless().QueueModalAction([](TCustomForm* f) {
        auto* a = static_cast<TAboutForm*>(f);
        headless::Click(a->SquareButton1);
        headless::Click(a->SquareButton2);
        headless::Click(a->SquareButton3);
    });
    headless::Click("Form1.Dorlin1");
    const auto r = shell::RecordedRequests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].file, dorlin::kWebSite);
    EXPECT_EQ(r[1].file, std::string("mailto:") + dorlin::kMailAddress);
    EXPECT_EQ(r[1].verb, "open");
    EXPECT_EQ(Application->FormCount(), 1);  // freed
}

}  // namespace
}  // namespace playertest
