// Runs one of our programs with a script on its standard input, as a person at a terminal would:
// the console driver (--console), in the current state folder (MARENDO_HOME is inherited).
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
    std::vector<std::pair<std::string, std::string>> env;  // set in the child only
};

inline RunResult Run(const char* exe, const testsupport::TempState& state, const std::string& script,
                     const Options& options = {}) {
    const std::string in = state.Path("script.txt"), out = state.Path("output.txt");
    testsupport::WriteAll(in, script);
    const pid_t pid = fork();
    if (pid == 0) {
        const int i = open(in.c_str(), O_RDONLY), o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0) _exit(127);
        if (options.quietErrors) {
            const int e = open("/dev/null", O_WRONLY);
            if (e < 0 || dup2(e, 2) < 0) _exit(127);
        }
        for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        execl(exe, exe, "--console", static_cast<char*>(nullptr));
        _exit(127);
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
