// Loopback peers for the socket tests: a scripted raw POSIX server on its own thread, outside
// servers started on a free port and stopped by process id, and a bounded message pump.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/winbase.h"
#include "platform/win/winuser.h"
#include "support/loopback.h"

extern char** environ;

namespace testpeers {

// Pumps the calling thread's messages until pred() holds, for at most timeoutMs.
inline bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000) {
    DWORD end = GetTickCount() + timeoutMs;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
            if (pred()) return true;
        }
        if (pred()) return true;
        if (static_cast<int>(GetTickCount() - end) > 0) return false;
        Sleep(1);
    }
}

// Dispatches whatever arrives within ms (to show that nothing more comes).
inline void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

using testsupport::FreePort;
using testsupport::ListenLoopback;

// Reads exactly n bytes (or fewer at the end of the stream / after timeoutMs).
inline std::string ReadN(int fd, size_t n, int timeoutMs = 5000) {
    std::string out;
    DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        int left = static_cast<int>(end - GetTickCount());
        if (left <= 0 || ::poll(&p, 1, left) <= 0) break;
        char buf[65536];
        ssize_t r = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
        if (r <= 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    return out;
}

// Reads until the end of the stream; `reset` tells whether it ended with a reset.
inline std::string ReadToEnd(int fd, bool* reset = nullptr, int timeoutMs = 5000) {
    std::string out;
    DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    if (reset) *reset = false;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int left = static_cast<int>(end - GetTickCount());
        if (left <= 0 || ::poll(&p, 1, left) <= 0) break;
        char buf[65536];
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r < 0 && reset) *reset = errno == ECONNRESET;
        if (r <= 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    return out;
}

inline void WriteAll(int fd, const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
        ssize_t w = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
        if (w <= 0) return;
        off += static_cast<size_t>(w);
    }
}

// Accepts one connection on a free loopback port and runs the script with it on its own thread.
class ScriptedPeer {
public:
    using Script = std::function<void(int fd)>;
    explicit ScriptedPeer(Script script, int rcvbuf = 0) {
        listenFd_ = ListenLoopback(port_, rcvbuf);
        thread_ = std::thread([this, script] {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            script(fd);
            if (!keepOpen_) ::close(fd);
            done_ = true;
        });
    }
    ~ScriptedPeer() {
        Join();
        ::close(listenFd_);
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    bool Done() const { return done_; }

private:
    int listenFd_ = -1;
    int port_ = 0;
    bool keepOpen_ = false;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Closes a socket with a reset instead of a graceful end.
inline void CloseWithReset(int fd) {
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

inline std::string FindProgram(const std::vector<std::string>& candidates) {
    for (auto& c : candidates)
        if (access(c.c_str(), X_OK) == 0) return c;
    return {};
}

// A child process started by a test and stopped by its process id.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::string& outputFile = "") {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        std::string out = outputFile.empty() ? "/dev/null" : outputFile;
        posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
    }
    ~ChildProcess() { Stop(); }
    ChildProcess(ChildProcess&& o) noexcept : pid_(o.pid_) { o.pid_ = -1; }
    ChildProcess& operator=(ChildProcess&& o) noexcept {
        Stop();
        pid_ = o.pid_;
        o.pid_ = -1;
        return *this;
    }
    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0) return false;
        int st;
        pid_t r = waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            status_ = st;
            pid_ = -1;
            return false;
        }
        return true;
    }
    int ExitStatus() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int st;
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            usleep(10000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &st, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// Waits until something accepts connections on the loopback port (a started server is ready).
inline bool WaitForPort(int port, int timeoutMs = 5000) {
    DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (static_cast<int>(end - GetTickCount()) > 0) {
        int fd = testsupport::ConnectLoopback(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        usleep(10000);
    }
    return false;
}

}  // namespace testpeers
