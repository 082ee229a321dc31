// The programs on the desktop: Tolvar started on the private display opens its main window there
// (and with --console it opens none and talks on its standard streams instead).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display.h"

namespace desktoptest {
namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!EnsureDisplay()) GTEST_SKIP() << "no display: Xvfb cannot be started here";
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    void Start(bool console) {
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
            if (console) execl(TOLVAR_EXE, TOLVAR_EXE, "--console", static_cast<char*>(nullptr));
            else execl(TOLVAR_EXE, TOLVAR_EXE, static_cast<char*>(nullptr));
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

}  // namespace
}  // namespace desktoptest
