// Plays a scripted HTTP answer to a THttpClient over a loopback connection, write by write, with
// no timing: a write goes out only once the whole request has come and the client has taken every
// byte of the write before, so each write reaches the client's receive side as a receive of its
// own (cut further only where the client's 8192-byte buffer is full), and the same script always
// gives the same run. After the last write the player closes its sending side, so the connection
// ends in an orderly close, or, when the script says so, resets the connection once the client
// has taken every byte. Play runs a request on the calling thread, pumping its messages as Get
// and Post do; a caller whose own code pumps (a sender inside Post) calls Step from a timer
// instead. Used by the HTTP client's tests, the messenger's and the client's fuzz target.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win/msgwait.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"
#include "transport/HttpClient.h"

namespace testsupport {

class AnswerPlayer {
public:
    AnswerPlayer() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 8);
        socklen_t l = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &l);
        port_ = ntohs(a.sin_port);
        // A new connection wakes the thread's wait and is taken at once.
        listenWatch_ = win::WatchFd(nullptr, listen_, POLLIN, [this](int, short) { Accept(); });
    }
    ~AnswerPlayer() {
        Finish();
        win::UnwatchFd(listenWatch_);
        ::close(listen_);
    }
    AnswerPlayer(const AnswerPlayer&) = delete;
    AnswerPlayer& operator=(const AnswerPlayer&) = delete;

    int Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& path) const { return "http://" + Host() + path; }

    // How a connection ends after its last write.
    enum class Ending { Close, Reset };

    // The answers of the connections to come, each a list of writes; the last one repeats for
    // every further connection (a redirect's next attempt). Forgets what earlier runs left.
    void Script(std::vector<std::vector<std::string>> answers, Ending ending = Ending::Close) {
        Finish();
        answers_ = std::move(answers);
        ending_ = ending;
        request_.clear();
        connections_ = 0;
    }

    // One pass: takes a new connection, reads what the client sent, and sends the next write once
    // the client's socket holds nothing unread; after the last write it closes the sending side.
    void Step(THttpClient& c) {
        Accept();
        if (peer_ < 0) return;
        Drain();
        if (!pending_.empty()) {
            SendSome();
            return;
        }
        if (!RequestWhole() || c.CtrlSocket()->RcvdCount() != 0) return;
        while (writes_ && next_ < writes_->size() && (*writes_)[next_].empty()) ++next_;  // nothing to send
        if (writes_ && next_ < writes_->size()) {
            pending_ = (*writes_)[next_++];
            SendSome();
        } else if (ending_ == Ending::Reset) {
            Finish(true);
        } else if (!shut_) {
            ::shutdown(peer_, SHUT_WR);
            shut_ = true;
        }
    }

    // Reads the rest of what the client sent and lets the connection go (with a reset when asked).
    void Finish(bool reset = false) {
        if (peer_ < 0) return;
        win::UnwatchFd(peerWatch_);
        Drain();
        if (reset) {
            linger l{1, 0};
            setsockopt(peer_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(peer_);
        peer_ = -1;
    }

    // Every byte the client sent, on every connection, and the number of connections.
    const std::string& Request() const { return request_; }
    int Connections() const { return connections_; }

    struct Outcome {
        bool raised = false;   // what Get and Post would have raised
        int code = 0;          // its EHttpException code
        std::string message;   // its text
        bool stalled = false;  // the request did not end within the bound and was aborted
    };

    // Starts the request of kind on c (its URL and streams set by the caller) and answers it as
    // Script says, until the client is idle again.
    Outcome Play(THttpClient& c, THttpRequest kind, std::vector<std::vector<std::string>> answers,
                 DWORD boundMs = 10000, Ending ending = Ending::Close) {
        Script(std::move(answers), ending);
        Outcome out;
        const DWORD end = GetTickCount() + boundMs;
        c.StartRequest(kind);
        while (c.State() != hsReady) {
            c.CtrlSocket()->PumpPending();
            if (c.State() == hsReady) break;
            if (static_cast<int>(GetTickCount() - end) > 0) {
                out.stalled = true;
                c.Abort();
                c.CtrlSocket()->PumpPending();
                break;
            }
            Step(c);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        Finish();
        if (c.StatusCode() >= 400) {
            out.raised = true;
            out.code = c.ErrorCode();
            out.message = c.ReasonPhrase();
        }
        return out;
    }

private:
    // Takes a waiting connection, if any, in place of the one before. The client's bytes wake the
    // thread's wait and are read at once, until the client ends its side.
    void Accept() {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) return;
        const int fresh = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fresh < 0) return;
        Finish();
        peer_ = fresh;
        writes_ = answers_.empty() ? nullptr
                                   : &answers_[std::min(static_cast<size_t>(connections_), answers_.size() - 1)];
        requestStart_ = request_.size();
        next_ = 0;
        pending_.clear();
        shut_ = false;
        ++connections_;
        peerWatch_ = win::WatchFd(nullptr, peer_, POLLIN, [this](int, short) {
            if (!Drain()) win::SetFdEvents(peerWatch_, 0);
        });
    }

    // The header of this connection's request has ended and its Content-Length bytes have come.
    bool RequestWhole() const {
        const size_t end = request_.find("\r\n\r\n", requestStart_);
        if (end == std::string::npos) return false;
        size_t want = 0;
        const size_t cl = request_.find("\r\nContent-Length: ", requestStart_);
        if (cl != std::string::npos && cl < end) want = std::strtoul(request_.c_str() + cl + 18, nullptr, 10);
        return request_.size() - end - 4 >= want;
    }

    // Reads what has come; false once the client has ended its side (or the connection failed).
    bool Drain() {
        char buf[16384];
        for (;;) {
            ssize_t r = ::recv(peer_, buf, sizeof buf, MSG_DONTWAIT);
            if (r > 0) {
                request_.append(buf, static_cast<size_t>(r));
                continue;
            }
            return r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }

    // Sends what the connection takes now and keeps the rest; a client that has gone takes all.
    void SendSome() {
        while (!pending_.empty()) {
            ssize_t w = ::send(peer_, pending_.data(), pending_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (w > 0) {
                pending_.erase(0, static_cast<size_t>(w));
                continue;
            }
            if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            pending_.clear();
        }
    }

    int listen_ = -1;
    int port_ = 0;
    int listenWatch_ = 0;
    int peerWatch_ = 0;
    std::vector<std::vector<std::string>> answers_;
    const std::vector<std::string>* writes_ = nullptr;
    int peer_ = -1;
    size_t next_ = 0;
    std::string pending_;
    bool shut_ = false;
    Ending ending_ = Ending::Close;
    std::string request_;
    size_t requestStart_ = 0;
    int connections_ = 0;
};

}  // namespace testsupport
