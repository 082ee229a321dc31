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
#include "support/tempstate.h"

namespace {

struct Result {
    int status = -1;
    std::string output;
};

Result RunDorlin(const testsupport::TempState& state, const std::string& script) {
    const std::string in = state.Path("script.txt"), out = state.Path("output.txt");
    testsupport::WriteAll(in, script);
    pid_t pid = fork();
    if (pid == 0) {
        int i = open(in.c_str(), O_RDONLY), o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open("/dev/null", O_WRONLY);
        if (i < 0 || o < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
        setenv("XAUDIO_OUTPUT", "null", 1);  // paced by the clock, as a person hears it
        execl(DORLIN_EXE, DORLIN_EXE, "--console", static_cast<char*>(nullptr));
        _exit(127);
    }
    Result r;
    int status = 0;
    for (int waited = 0; waited < 6000; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            r.output = testsupport::ReadAll(out);
            return r;
        }
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    r.output = testsupport::ReadAll(out);
    return r;
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
