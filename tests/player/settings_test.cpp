// Dorlin.ini: what the main window reads at start and writes back when it closes.
#include "playerfixture.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace playertest {
namespace {

class Settings : public PlayerFixture {};

TEST_F(Settings, FirstStartHasDefaultsAndInstallsTheDefaultSkin) {
    Start();
    EXPECT_EQ(dorlin::ExeDir, "c:\\Dorlin\\");
    EXPECT_EQ(form->SkinDir, "c:\\Dorlin\\Default\\");
    EXPECT_TRUE(form->UseEQ);
    EXPECT_EQ(form->EQ, TEQValues{});
    EXPECT_EQ(form->PlayList()->Count(), 0);
    EXPECT_FALSE(form->Loaded);
    EXPECT_TRUE(FileExists("c:\\Dorlin\\Default\\skin.ini"));
    EXPECT_TRUE(FileExists("c:\\Dorlin\\Default\\Equalizer.ini"));
    // The skin gave the window its size and shape.
    EXPECT_EQ(form->Width(), 400);
    EXPECT_EQ(form->Height(), 132);
    EXPECT_NE(form->Skin->Region(), nullptr);
    EXPECT_EQ(Text("TEXT_SONG"), "");
}

TEST_F(Settings, RoundTripResumesTheSong) {
    const auto& a = testsupport::Audio();
    WriteIni("[Genel]\nEQ=1,2,3\nUseEQ=0\nSarki=1\n[EQ_DATA]\nRock=5,4,3,2,1,0,0,0,0,0\n[Musics]\n" + a.cbr + "=\n" +
             a.mono22 + "=\n" + a.layer2 + "=\n");
    Start();
    EXPECT_EQ(form->EQ, (TEQValues{1, 2, 3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(form->UseEQ);
    ASSERT_EQ(dorlin::PresetNames->Count(), 1);
    EXPECT_EQ(dorlin::PresetNames->Get(0), "Rock");
    ASSERT_EQ(form->PlayList()->Count(), 3);
    // The second song is opened, not played.
    EXPECT_EQ(form->PlayList()->Index, 2);
    EXPECT_EQ(Text("TEXT_SONG"), "mono22");
    ASSERT_TRUE(PumpUntil([&] { return Text("TEXT_LEN") == "00:02"; }));
    form->Close();
    Pump();
    const std::string ini = IniText();
    EXPECT_NE(ini.find("Sarki=1\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("EQ=1,2,3,0,0,0,0,0,0,0\r\n"), std::string::npos);
    EXPECT_NE(ini.find("UseEQ=0\r\n"), std::string::npos);
    EXPECT_NE(ini.find("Skin=c:\\Dorlin\\Default\\\r\n"), std::string::npos);
    EXPECT_NE(ini.find("Rock=5,4,3,2,1,0,0,0,0,0"), std::string::npos);
    const std::string musics = "[Musics]\r\n" + a.cbr + "=\r\n" + a.mono22 + "=\r\n" + a.layer2 + "=\r\n";
    EXPECT_NE(ini.find(musics), std::string::npos) << ini;
}

TEST_F(Settings, PlaylistPathsMayHoldEqualsAndDuplicatesMerge) {
    WriteIni("[Musics]\nc:\\m\\a=b.mp3=\nc:\\m\\Song.mp3=\nC:\\M\\SONG.MP3=\nc:\\m\\c.mp3=\n" +
             T("c:\\m\\şarkı.mp3=\nC:\\M\\ŞARKI.MP3=\nc:\\m\\şarkİ.mp3=\n"));
    Start();
    // The code page's letters fold as the list's look-ups fold them.
    ASSERT_EQ(form->PlayList()->Count(), 4);
    EXPECT_EQ(form->PlayList()->Get(3), T("c:\\m\\şarkı.mp3"));
    EXPECT_EQ(form->PlayList()->Get(0), "c:\\m\\a=b.mp3");
    EXPECT_EQ(form->PlayList()->Get(1), "c:\\m\\Song.mp3");
    EXPECT_EQ(form->PlayList()->Get(2), "c:\\m\\c.mp3");
    form->Close();
    Pump();
    EXPECT_NE(IniText().find("[Musics]\r\nc:\\m\\a=b.mp3=\r\nc:\\m\\Song.mp3=\r\nc:\\m\\c.mp3=\r\n"), std::string::npos)
        << IniText();
}

// Stored places at the ends of the int range: the first song opens from either, and a place
// that never moved writes back as before the first entry.
TEST_F(Settings, SarkiAtTheEndsOfTheRange) {
    const auto& a = testsupport::Audio();
    struct Case {
        const char* Sarki;
        bool WithSongs;
        int Index;          // after the start
        const char* Saved;  // Sarki written back
    };
    const Case cases[] = {
        {"2147483647", true, 1, "Sarki=0\r\n"},
        {"-2147483648", true, 1, "Sarki=0\r\n"},
        {"-2147483648", false, -2147483647 - 1, "Sarki=-1\r\n"},
        {"2147483647", false, 2147483647, "Sarki=2147483646\r\n"},
    };
    for (const Case& c : cases) {
        WriteIni(std::string("[Genel]\nSarki=") + c.Sarki + "\n[Musics]\n" + (c.WithSongs ? a.cbr + "=\n" + a.mono22 + "=\n" : ""));
        Start();
        EXPECT_EQ(form->PlayList()->Index, c.Index) << c.Sarki;
        form->Close();
        Pump();
        EXPECT_NE(IniText().find(c.Saved), std::string::npos) << c.Sarki << "\n" << IniText();
        Application->Reset();
    }
}

TEST_F(Settings, BadGainItemsReadAsZeroAndTheRestLoads) {
    WriteIni("[Genel]\nEQ=10,oops,30\nUseEQ=1\n[Musics]\nc:\\m\\a.mp3=\n");
    Start();
    EXPECT_EQ(form->EQ, (TEQValues{10, 0, 30, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_FALSE(headless::Headless().Boxes().empty());
    EXPECT_EQ(headless::Headless().Boxes()[0].Text, "'oops' is not a valid integer value");
    EXPECT_EQ(form->PlayList()->Count(), 1);  // loading went on
}

TEST_F(Settings, AnotherSkinFileIsUsedUntilTheEnd) {
    Start();
    // A copy of the default skin under another name, in another folder.
    win::MakeDirs(win::LocalPath("c:\\skins\\mine"));
    for (const char* f : {"main_mask.bmp", "main_up.bmp", "main_on.bmp", "main_down.bmp", "digits.bmp", "letters.bmp",
                          "thumbpos.bmp", "thumbpos_d.bmp", "thumbvol.bmp", "thumbvol_d.bmp", "thumbbal.bmp", "thumbbal_d.bmp"})
        testsupport::WriteAll(win::LocalPath(std::string("c:\\skins\\mine\\") + f),
                              testsupport::ReadAll(win::LocalPath(std::string("c:\\Dorlin\\Default\\") + f)));
    testsupport::WriteAll(win::LocalPath("c:\\skins\\mine\\other.ini"),
                          testsupport::ReadAll(win::LocalPath("c:\\Dorlin\\Default\\skin.ini")));
    headless::Headless().QueueFileAnswer("c:\\skins\\mine\\other.ini");
    headless::Click("Form1.EkranYkle1");
    EXPECT_EQ(form->SkinDir, "c:\\skins\\mine\\");
    ASSERT_FALSE(headless::Headless().Dialogs().empty());
    EXPECT_EQ(headless::Headless().Dialogs().back().DefaultExt, "Ini");
    EXPECT_EQ(form->OpenDlg->DefaultExt, "Mp3");
    EXPECT_EQ(form->OpenDlg->Filter, dorlin::kAudioFilter);
    // A skin that fails keeps the folder and gives the dialog its audio settings back.
    headless::Headless().QueueFileAnswer("c:\\skins\\none\\skin.ini");
    headless::Click("Form1.EkranYkle1");
    EXPECT_EQ(form->SkinDir, "c:\\skins\\mine\\");
    EXPECT_EQ(form->OpenDlg->DefaultExt, "Mp3");
    EXPECT_EQ(headless::Headless().Boxes().back().Text, "Cannot open file c:\\skins\\none\\skin.ini");
    form->Close();
    Pump();
    EXPECT_NE(IniText().find("Skin=c:\\skins\\mine\\\r\n"), std::string::npos);
}

// The file limit lets a file of the settings without the playlist be written, but not the whole
// file: a save in two steps would lose the playlist; one write leaves the file as it was.
TEST_F(Settings, ASaveThatCannotBeWrittenKeepsThePlaylist) {
    const auto& a = testsupport::Audio();
    std::string genel = "[Genel]\nSkin=c:\\Dorlin\\Default\\\nSarki=0\nEQ=0,0,0,0,0,0,0,0,0,0\nUseEQ=1\n";
    std::string musics = "[Musics]\n" + a.cbr + "=\n";
    for (int i = 0; i < 40; ++i) musics += "c:\\m\\a song with a long name number " + std::to_string(i) + ".mp3=\n";
    WriteIni(genel + musics);
    const std::string before = IniText();
    Start();
    ASSERT_EQ(form->PlayList()->Count(), 41);

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(genel.size() + musics.size() / 2);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    try {
        form->Close();
    } catch (const std::exception& e) {
        error = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "Unable to write to c:\\Dorlin\\Dorlin.ini");
    EXPECT_EQ(IniText(), before);
}

TEST_F(Settings, StartRemovesTheTemporaryFileOfASaveAKillCut) {
    WriteIni("[Genel]\nSarki=0\n");
    const std::string before = IniText();
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    const std::string cut = win::LocalPath(IniPath()) + ".tmp." + std::to_string(ended);
    const std::string running = win::LocalPath(IniPath()) + ".tmp." + std::to_string(getpid());
    testsupport::WriteAll(cut, "[Genel]\r\nSar");
    testsupport::WriteAll(running, "x");
    Start();
    EXPECT_NE(::access(cut.c_str(), F_OK), 0);
    EXPECT_EQ(::access(running.c_str(), F_OK), 0);
    EXPECT_EQ(IniText(), before);
}

}  // namespace
}  // namespace playertest
