// The main window's track control on the real decoder: opening, playing, the end of a track and
// the playlist moving on, seeking, the displays, the decoder's refusals and the menu.
#include "playerfixture.h"

#include "platform/win/shellapi.h"

namespace playertest {
namespace {

class Track : public PlayerFixture {
protected:
    void ThreeSongs(int sarki = 0) {
        const auto& a = testsupport::Audio();
        WriteIni("[Genel]\nSarki=" + std::to_string(sarki) + "\n[Musics]\n" + a.cbr + "=\n" + a.mono22 + "=\n" +
                 a.layer2 + "=\n");
    }
};

TEST_F(Track, ResumedSongIsOpenedNotPlayed) {
    ThreeSongs(0);
    Start();
    EXPECT_EQ(form->PlayList()->Index, 1);
    EXPECT_TRUE(form->Loaded);
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_LEN") == "00:03"; }));
    // Nothing plays: the time stays.
    testsupport::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(Text("TEXT_POS"), "00:00");
    EXPECT_EQ(form->PlayList()->Index, 1);
}

TEST_F(Track, EachEndMovesToTheNextSongOnceAndWraps) {
    ThreeSongs(0);
    Start();
    std::vector<std::string> titles;
    form->Skin->OnSkinChanged = nullptr;
    Click("BUTTON_PLAY");
    // Every song plays to its end (as fast as decoding goes) and the next one starts: 2, 3, 1.
    for (int want : {2, 3, 1}) {
        ASSERT_TRUE(PumpUntil([&] { return form->PlayList()->Index == want; })) << want;
        titles.push_back(Text("TEXT_SONG"));
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"mono22", "layer2", "cbr"}));
}

TEST_F(Track, BothEndSignalsOfOneTrackAdvanceOnce) {
    setenv("XAUDIO_OUTPUT", "null:manual", 1);  // the songs only end when the test says so
    ThreeSongs(0);
    Start();
    Settle();
    form->PlayerNotifyInputPosition(form->Player, 400, 400);
    form->PlayerNotifyPlayerState(form->Player, 3);
    EXPECT_EQ(form->PlayList()->Index, 2);
    // The next track playing can end again.
    Settle();
    form->PlayerNotifyPlayerState(form->Player, 1);
    form->PlayerNotifyPlayerState(form->Player, 3);
    EXPECT_EQ(form->PlayList()->Index, 3);
}

// What the decoder said of a song before the next one was opened arrives late: it neither skips
// a song nor moves the new song's bar.
TEST_F(Track, LateNotificationsOfThePreviousSongAreIgnored) {
    setenv("XAUDIO_OUTPUT", "null:manual", 1);
    ThreeSongs(0);
    Start();
    Settle();
    Click("BUTTON_PLAY");
    Settle();
    form->NextSong();
    // Queued before the decoder took the open: the old song's last position and its end.
    form->PlayerNotifyInputPosition(form->Player, 380, 400);
    form->PlayerNotifyInputTimecode(form->Player, 0, 0, 2, 0);
    form->PlayerNotifyPlayerState(form->Player, 3);
    EXPECT_EQ(form->PlayList()->Index, 2);
    EXPECT_EQ(form->Skin->GetTrackBarPos("TRACKBAR_POS"), 0);
    EXPECT_EQ(Text("TEXT_POS"), "00:00");
    Settle();
    EXPECT_EQ(form->PlayList()->Index, 2);
    EXPECT_EQ(Text("TEXT_LEN"), "00:02");
    // The new song's own notifications count: it plays to its end and the playlist moves on.
    xaudio::AdvanceNullClock(form->Player->PlayerHandle(), 2500);
    ASSERT_TRUE(PumpUntil([&] { return form->PlayList()->Index == 3; }));
    EXPECT_EQ(Text("TEXT_SONG"), "layer2");
}

// A refused open is answered too: what follows it is not taken for a late notification.
TEST_F(Track, AfterARefusedOpenTheNextSongPlays) {
    setenv("XAUDIO_OUTPUT", "null:manual", 1);
    const auto& a = testsupport::Audio();
    WriteIni("[Musics]\n" + a.text + "=\n" + a.mono22 + "=\n");
    Start();
    ASSERT_TRUE(PumpUntil([&] { return !headless::Headless().Boxes().empty(); }));
    Click("BUTTON_NEXT");
    Settle();
    EXPECT_EQ(Text("TEXT_LEN"), "00:02");
    xaudio::AdvanceNullClock(form->Player->PlayerHandle(), 1000);
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_POS") == "00:01"; }));
    // About half of the two seconds played.
    EXPECT_GE(form->Skin->GetTrackBarPos("TRACKBAR_POS"), 45);
    EXPECT_LE(form->Skin->GetTrackBarPos("TRACKBAR_POS"), 60);
}

TEST_F(Track, DisplaysFollowTheNotifications) {
    Start();
    form->PlayerNotifyInputDuration(form->Player, 3725);
    EXPECT_EQ(Text("TEXT_LEN"), "02:05");  // the hours are dropped
    EXPECT_EQ(form->LengthText(), "02:05");
    form->PlayerNotifyInputTimecode(form->Player, 1, 7, 9, 50);
    EXPECT_EQ(Text("TEXT_POS"), "07:09");
    form->PlayerNotifyInputPosition(form->Player, 399, 400);
    EXPECT_EQ(form->Skin->GetTrackBarPos("TRACKBAR_POS"), 99);
}

TEST_F(Track, SeekingForwardAndBack) {
    setenv("XAUDIO_OUTPUT", "null:manual", 1);  // nothing plays on: the songs stay where they are put
    ThreeSongs(0);
    Start();
    Settle();
    form->Skin->SetTrackBarPos("TRACKBAR_POS", 85);
    Click("BUTTON_NEXTTRACK");
    EXPECT_EQ(form->Skin->GetTrackBarPos("TRACKBAR_POS"), 95);
    // The decoder lands at 380 of 400: 95 on the bar.
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_POS") == "00:02"; }));
    form->Skin->SetTrackBarPos("TRACKBAR_POS", 90);
    Click("BUTTON_NEXTTRACK");
    EXPECT_EQ(form->PlayList()->Index, 2);
    // The bar is put by hand only when the decoder has said all it has to say of the new song:
    // its own notifications (position 0 on opening) would otherwise move the bar back.
    Settle();
    form->Skin->SetTrackBarPos("TRACKBAR_POS", 10);
    Click("BUTTON_PREVTRACK");
    EXPECT_EQ(form->PlayList()->Index, 1);
    Settle();
    form->Skin->SetTrackBarPos("TRACKBAR_POS", 50);
    Click("BUTTON_PREVTRACK");
    EXPECT_EQ(form->Skin->GetTrackBarPos("TRACKBAR_POS"), 40);
    EXPECT_EQ(form->PlayList()->Index, 1);
}

// Two tracks joined end to end: the length shown and a seek's place are the whole file's, not
// those of the first track's tag.
TEST_F(Track, JoinedTracksShowAndSeekTheWholeFile) {
    setenv("XAUDIO_OUTPUT", "null:manual", 1);
    WriteIni("[Genel]\nSarki=0\n[Musics]\n" + testsupport::Audio().joined + "=\n");
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_LEN") == "00:06"; })) << Text("TEXT_LEN");
    Settle();
    form->Skin->SetTrackBarPos("TRACKBAR_POS", 85);
    Click("BUTTON_NEXTTRACK");
    // 380 of 400 of 6 s.
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_POS") == "00:05"; })) << Text("TEXT_POS");
}

TEST_F(Track, NothingIsLoadedButtonsDoNothing) {
    Start();
    Click("BUTTON_PLAY");
    Click("BUTTON_STOP");
    Click("BUTTON_EQUALIZER");
    Click("BUTTON_NEXT");
    testsupport::PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(headless::Headless().Boxes().empty());
    EXPECT_TRUE(headless::Headless().WindowEvents().size() == 1);  // only the main window was shown
    // The menu's equalizer opens all the same.
    headless::Headless().QueueModalAction([](TCustomForm* f) { f->Close(); });
    headless::Click("Form1.Ekolayzer1");
    bool shownEq = false;
    for (const auto& e : headless::Headless().WindowEvents()) shownEq |= e.Shown && e.Form == "EQForm";
    EXPECT_TRUE(shownEq);
}

TEST_F(Track, AFileTheDecoderRefusesIsReported) {
    Start();
    headless::Headless().QueueFileAnswer(testsupport::Audio().text);
    Click("BUTTON_EJECT");
    ASSERT_TRUE(PumpUntil([&] { return !headless::Headless().Boxes().empty(); }));
    EXPECT_EQ(headless::Headless().Boxes()[0].Text, T("Dosya Açılamadı"));
    EXPECT_TRUE(form->Loaded);
    EXPECT_EQ(Text("TEXT_SONG"), "notes");
    EXPECT_EQ(Text("TEXT_LEN"), "00:00");
    // Opening through the dialog appends the file but keeps the position.
    EXPECT_EQ(form->PlayList()->Count(), 1);
    EXPECT_EQ(form->PlayList()->Index, 0);
}

// A bad file's open and play refusals that arrive after the main window closed open no box: a
// box then had no one left to answer it.
TEST_F(Track, RefusalsAfterTheWindowClosedOpenNoBox) {
    Start();
    form->OpenSong(testsupport::Audio().text);
    form->Player->Play();
    form->Close();
    Settle();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(headless::Headless().Boxes().empty()) << headless::Headless().Boxes().front().Text;
}

TEST_F(Track, HintsFollowThePointerAndClearOnRelease) {
    Start();
    dorlin::SkinCommand("skin Form1 hover BUTTON_EXIT");
    EXPECT_EQ(Text("TEXT_HINT"), T("Çıkış"));
    dorlin::SkinCommand("skin Form1 hover BUTTON_PLAY");
    EXPECT_EQ(Text("TEXT_HINT"), T("Başla"));
    Click("BUTTON_PLAY");
    EXPECT_EQ(Text("TEXT_HINT"), "");
}

TEST_F(Track, RightReleaseRunsTheCommandAndOpensTheMenu) {
    Start();
    dorlin::SkinCommand("skin Form1 rclick BUTTON_WEB");
    const auto reqs = shell::RecordedRequests();
    ASSERT_FALSE(reqs.empty());
    EXPECT_EQ(reqs.back().file, dorlin::kWebSite);
    EXPECT_EQ(reqs.back().verb, "open");
    EXPECT_EQ(reqs.back().show, SW_SHOWNORMAL);
    EXPECT_EQ(headless::Headless().OpenPopup(), form->PopupMenu1);
}

TEST_F(Track, ExitButtonClosesAndSaves) {
    Start();
    Click("BUTTON_EXIT");
    Pump();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_NE(IniText().find("[Genel]"), std::string::npos);
}

}  // namespace
}  // namespace playertest
