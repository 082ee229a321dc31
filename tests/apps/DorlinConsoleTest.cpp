// The real dorlin executable, driven through its console with a script on standard input: it
// starts in its default skin, opens and plays a file through its skin's buttons, prints its
// displays as they change, and writes Dorlin.ini when its window closes.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win/statedir.h"
#include "support/audiofixtures.h"
#include "consolerun.h"
#include "support/tempstate.h"

namespace {

using Result = consolerun::RunResult;

Result RunDorlin(const testsupport::TempState& state, const std::string& script) {
    consolerun::Options options;
    options.seconds = 60;
    options.quietErrors = true;
    options.env = {{"XAUDIO_OUTPUT", "null"}};  // paced by the clock, as a person hears it
    return consolerun::Run(DORLIN_EXE, state, script, options);
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

}  // namespace
