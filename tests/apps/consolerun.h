// Runs one of our programs with a script on its standard input, as a person at a terminal would:
// the console driver (--console), in the current state folder (MARENDO_HOME is inherited); the
// script is a file, or typed into a terminal that stays open.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "support/tempstate.h"

namespace consolerun {

struct RunResult {
    int status = -1;     // exit code, or -1 when it did not end by itself in time
    std::string output;  // standard output (UTF-8)
};

struct Options {
    int seconds = 30;                                        // killed after this long
    bool quietErrors = false;                                // standard error to /dev/null
    bool inputStaysOpen = false;                             // the script typed, the terminal left open
    std::vector<std::pair<std::string, std::string>> env;  // set in the child only
};

inline RunResult Run(const char* exe, const testsupport::TempState& state, const std::string& script,
                     const Options& options = {}) {
    const std::string in = state.Path("script.txt"), out = state.Path("output.txt");
    testsupport::WriteAll(in, script);
    // A terminal left open: the script comes through a pipe whose writing end stays open until the
    // program has ended, so the input never ends.
    int typed[2] = {-1, -1};
    if (options.inputStaysOpen && pipe(typed) != 0) return RunResult{};
    const pid_t pid = fork();
    if (pid == 0) {
        if (typed[1] >= 0) close(typed[1]);
        const int i = typed[0] >= 0 ? typed[0] : open(in.c_str(), O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0) _exit(127);
        if (options.quietErrors) {
            const int e = open("/dev/null", O_WRONLY);
            if (e < 0 || dup2(e, 2) < 0) _exit(127);
        }
        for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        execl(exe, exe, "--console", static_cast<char*>(nullptr));
        _exit(127);
    }
    struct Typed {
        int fds[2];
        ~Typed() {
            for (int fd : fds)
                if (fd >= 0) close(fd);
        }
    } held{{typed[0], typed[1]}};
    if (held.fds[0] >= 0) {
        close(held.fds[0]);
        held.fds[0] = -1;
        // The script is small: the pipe takes it whole.
        if (write(held.fds[1], script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return RunResult{};
        }
    }
    RunResult r;
    int status = 0;
    for (int waited = 0; waited < options.seconds * 100; ++waited) {
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

}  // namespace consolerun
