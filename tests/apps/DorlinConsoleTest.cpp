// The real dorlin executable, driven through its console with a script on standard input: it
// starts in its default skin, opens and plays a file through its skin's buttons, prints its
// displays as they change, writes Dorlin.ini when its window closes, and ends when its window
// closes under an open box or file dialog with the terminal left open; a song named with the code
// page's punctuation is the one played, and a folder the code page cannot hold is refused by a box.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage/cp1254.h"
#include "platform/win/statedir.h"
#include "support/audiofixtures.h"
#include "consolerun.h"
#include "support/tempstate.h"

namespace {

using Result = consolerun::RunResult;

Result RunDorlin(const testsupport::TempState& state, const std::string& script, bool inputStaysOpen = false) {
    consolerun::Options options;
    options.seconds = 60;
    options.quietErrors = true;
    options.inputStaysOpen = inputStaysOpen;
    options.env = {{"XAUDIO_OUTPUT", "null"}};  // paced by the clock, as a person hears it
    return consolerun::Run(DORLIN_EXE, state, script, options);
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(DorlinConsole, PlaysAFileFromTheSkinAndKeepsItsPlaylist) {
    testsupport::TempState state;
    const std::string song = testsupport::Audio().cbr;
    const Result r = RunDorlin(state, "skin Form1 click BUTTON_EJECT\n"
                                      "file " + song + "\n"
                                      "skin Form1 click BUTTON_PLAY\n"
                                      "skin Form1 wait TEXT_POS 00:02\n"
                                      "skin Form1 click BUTTON_EXIT\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("shown Form1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("dialog open"), std::string::npos);
    EXPECT_NE(r.output.find("text Form1.TEXT_SONG \"cbr\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("text Form1.TEXT_LEN \"00:03\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("text Form1.TEXT_POS \"00:02\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("exit 0"), std::string::npos) << r.output;
    const std::string ini = testsupport::ReadAll(win::LocalPath("c:\\Dorlin\\Dorlin.ini"));
    EXPECT_NE(ini.find("[Musics]\r\n" + song + "=\r\n"), std::string::npos) << ini;
}

TEST(DorlinConsole, BadCommandsAreErrorsAndTheProgramGoesOn) {
    testsupport::TempState state;
    const Result r = RunDorlin(state, "skin Form1 hover BUTTON_EXIT\n"
                                      "skin Form1 click BUTTON_NOPE\n"
                                      "skin Nobody click BUTTON_PLAY\n"
                                      "skin Form1 drag TRACKBAR_POS 500\n"
                                      "menu Form1.k1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("error: no hot area BUTTON_NOPE in Form1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("error: drag needs a position 0..100"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("text Form1.TEXT_HINT \"Çıkış\""), std::string::npos) << r.output;  // UTF-8
    EXPECT_NE(r.output.find("exit 0"), std::string::npos) << r.output;
}

// The program ends by a timed command while a box or the file dialog waits for its answer, with the
// terminal left open: what is open takes its default answer once (the box its OK, the dialog is
// cancelled) and the program ends instead of refusing the lines its input hands over at the end.
TEST(DorlinConsole, TheEndUnderAnOpenBoxOrDialogEndsTheRun) {
    const std::string notAudio = testsupport::Audio().text;
    struct Case {
        std::string script, asked;
    } cases[] = {
        {"skin Form1 click BUTTON_EJECT\nfile " + notAudio + "\n", "\nbox "},
        {"skin Form1 click BUTTON_EJECT\n", "\ndialog open "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        testsupport::TempState state;
        // Long enough for the box to open first, on a loaded machine too.
        const Result r = RunDorlin(state, "after 2000 menu Form1.k1\n" + c.script, true);
        EXPECT_EQ(r.status, 0) << r.output.substr(0, 2000);
        EXPECT_EQ(Occurrences(r.output, c.asked), 1u) << r.output.substr(0, 2000);
        EXPECT_EQ(r.output.find("error:"), std::string::npos) << r.output.substr(0, 2000);
        if (c.asked == "\nbox ") {
            EXPECT_NE(r.output.find("\"Dosya Açılamadı\""), std::string::npos) << r.output;
        }
        EXPECT_EQ(r.output.substr(r.output.size() - std::min<std::size_t>(r.output.size(), 7)), "exit 0\n") << r.output.substr(0, 2000);
    }
}

// Music files are named with the code page's punctuation ("–", "’", "…"): asked for on the console
// or from the stored playlist, such a file is the one played, never its twin with "_" beside it
// (here a shorter song).
TEST(DorlinConsole, ASongNamedWithTheCodePagesPunctuationIsTheOnePlayed) {
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored playlist" : "console");
        testsupport::TempState state;
        const std::string song = state.Path("Artist – Title.mp3");
        testsupport::WriteAll(song, testsupport::ReadAll(testsupport::Audio().cbr));            // 3 s
        testsupport::WriteAll(state.Path("Artist _ Title.mp3"), testsupport::ReadAll(testsupport::Audio().mono22));  // 2 s
        std::string script = "skin Form1 click BUTTON_EJECT\nfile " + song + "\n";
        if (stored) {
            const std::string ini = win::LocalPath("c:\\Dorlin\\Dorlin.ini");
            ASSERT_TRUE(win::MakeDirs(ini.substr(0, ini.rfind('/'))));
            testsupport::WriteAll(ini, "[Genel]\r\nSarki=0\r\n[Musics]\r\n" + cp1254::FromUtf8(song) + "=\r\n");
            script.clear();
        }
        const Result r = RunDorlin(state, script + "skin Form1 click BUTTON_PLAY\n"
                                                   "skin Form1 wait TEXT_POS 00:02\n"
                                                   "skin Form1 click BUTTON_EXIT\n");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("text Form1.TEXT_SONG \"Artist – Title\""), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("text Form1.TEXT_LEN \"00:03\""), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("text Form1.TEXT_LEN \"00:02\""), std::string::npos) << r.output;
        const std::string ini = testsupport::ReadAll(win::LocalPath("c:\\Dorlin\\Dorlin.ini"));
        EXPECT_NE(ini.find("[Musics]\r\n" + cp1254::FromUtf8(song) + "=\r\n"), std::string::npos) << ini;
    }
}

// A file in a folder whose name the code page cannot hold: the console shows the box, in Turkish
// and captioned "Dorlin", with the name as the file system has it, and the dialog stays for another.
TEST(DorlinConsole, AFolderNameOutsideTheCodePageIsRefusedByABoxAndTheDialogStays) {
    testsupport::TempState state;
    const std::string folder = state.Path("Музыка"), refused = folder + "/song.mp3";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    testsupport::WriteAll(refused, testsupport::ReadAll(testsupport::Audio().cbr));
    const Result r = RunDorlin(state, "skin Form1 click BUTTON_EJECT\n"
                                      "file " + refused + "\n"
                                      "answer ok\n"
                                      "file " + testsupport::Audio().cbr + "\n"
                                      "skin Form1 click BUTTON_PLAY\n"
                                      "skin Form1 wait TEXT_POS 00:01\n"
                                      "skin Form1 click BUTTON_EXIT\n");
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string box = "box \"Dorlin\" \"\\\"Музыка\\\" klasörünün adında bu programın kullanamadığı karakterler var:\\n" +
                            refused + "\\nKlasörün adını değiştirin ya da başka bir klasör seçin.\" buttons=OK default=OK icon=warning\n";
    const size_t at = r.output.find(box);
    ASSERT_NE(at, std::string::npos) << r.output;
    EXPECT_NE(r.output.find("dialog open", at), std::string::npos) << "the dialog stays";
    EXPECT_NE(r.output.find("text Form1.TEXT_SONG \"cbr\""), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("error:"), std::string::npos) << r.output;
    const std::string ini = testsupport::ReadAll(win::LocalPath("c:\\Dorlin\\Dorlin.ini"));
    EXPECT_EQ(ini.find("song.mp3"), std::string::npos) << ini;
}

}  // namespace
