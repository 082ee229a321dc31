// The programs on the desktop: Tolvar started on the private display opens its main window there
// (and with --console it opens none and talks on its standard streams instead); Dorlin opens its
// skinned main window there, named "Dorlin" for the window manager, and closes from the skin's exit button.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

#include "display.h"
#include "platform/win/statedir.h"

namespace desktoptest {
namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(EnsureDisplay()) << "no display: Xvfb cannot be started here (Debian package xvfb)";
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    void Start(bool console) { Start(TOLVAR_EXE, console ? "--console" : nullptr); }
    // Starts a program with at most one argument, its standard input a pipe of ours.
    void Start(const char* exe, const char* arg) {
        int in[2];
        ASSERT_EQ(pipe(in), 0);
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(in[0], 0);
            close(in[1]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            setenv("XAUDIO_OUTPUT", "null", 1);
            // No program of the machine opens what the shell is asked to open.
            setenv("XDG_DATA_HOME", state.Path("share").c_str(), 1);
            setenv("XDG_CONFIG_HOME", state.Path("config").c_str(), 1);
            execl(exe, exe, arg, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        input = in[1];
    }
    testsupport::TempState state;
    pid_t pid = 0;
    int input = -1;
};

TEST_F(ProgramTest, TolvarOpensItsMainWindowOnTheDisplay) {
    Start(false);
    // xdotool waits for the window itself (bounded by its own time-out).
    EXPECT_TRUE(XDo("search --sync --onlyvisible --name 'Tolvar\\[a\\] 1.81'"));
    EXPECT_TRUE(Screenshot("/tmp/desktop-shots/tolvar-main.png"));
    close(input);
}

TEST_F(ProgramTest, WithConsoleItOpensNoWindow) {
    Start(true);
    // The console program ends at the end of its input without a window ever opening.
    close(input);
    int status = 0;
    EXPECT_TRUE(PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000));
    pid = 0;
    EXPECT_FALSE(XDo("search --onlyvisible --name 'Tolvar'"));
}

TEST_F(ProgramTest, DorlinOpensItsSkinOnTheDisplayAndClosesFromIt) {
    Start(DORLIN_EXE, nullptr);
    const std::string window = "search --sync --onlyvisible --pid " + std::to_string(pid) + " --class .";
    ASSERT_TRUE(XDo(window));
    // The frameless window has a name for the window manager (a taskbar's entry, a switcher's): the
    // program's, as it spells it.
    const std::string ask = "xdotool search --onlyvisible --pid " + std::to_string(pid) + " --class . getwindowname %1";
    gchar* name = nullptr;
    ASSERT_TRUE(g_spawn_command_line_sync(ask.c_str(), &name, nullptr, nullptr, nullptr));
    EXPECT_STREQ(name, "Dorlin\n");
    g_free(name);
    EXPECT_TRUE(Screenshot("/tmp/desktop-shots/dorlin-main.png"));
    // The desktop program does not read its standard input: its end changes nothing.
    close(input);
    PumpFor(200);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the program ended with its input";
    // The skin's exit button (its top right corner) closes the window and ends the program.
    ASSERT_TRUE(XDo(window + " mousemove --sync --window %1 385 10 click 1"));
    ASSERT_TRUE(PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000));
    pid = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string ini = testsupport::ReadAll(win::LocalPath("c:\\Dorlin\\Dorlin.ini"));
    EXPECT_NE(ini.find("[Genel]"), std::string::npos) << ini;
}

}  // namespace
}  // namespace desktoptest
