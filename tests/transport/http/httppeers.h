// Helpers of the HTTP client tests: reading one request on a scripted peer, a peer that serves a
// run of connections, and a recorder of the client's events.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "transport/HttpClient.h"
#include "transport/peers.h"

namespace httptest {

using namespace testpeers;

// Reads one request: the header up to its empty line, then Content-Length bytes of body.
inline std::string ReadRequest(int fd, int timeoutMs = 5000) {
    std::string in;
    DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    size_t headerEnd;
    while ((headerEnd = in.find("\r\n\r\n")) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        int left = static_cast<int>(end - GetTickCount());
        if (left <= 0 || ::poll(&p, 1, left) <= 0) return in;
        char buf[4096];
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0) return in;
        in.append(buf, static_cast<size_t>(r));
    }
    size_t want = 0;
    size_t cl = in.find("\r\nContent-Length: ");
    if (cl != std::string::npos && cl < headerEnd) want = std::stoul(in.substr(cl + 18));
    size_t have = in.size() - headerEnd - 4;
    if (have < want) in += ReadN(fd, want - have, timeoutMs);
    return in;
}

// The request line of a request.
inline std::string FirstLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

// The header line that starts with name (such as "Host:"), empty when there is none.
inline std::string HeaderLine(const std::string& request, const std::string& name) {
    size_t p = request.find("\r\n" + name);
    if (p == std::string::npos) return {};
    p += 2;
    return request.substr(p, request.find("\r\n", p) - p);
}

// Accepts up to `count` connections one after the other and runs script(index, fd) for each.
class SequencePeer {
public:
    using Script = std::function<void(int index, int fd)>;
    SequencePeer(int count, Script script) {
        listenFd_ = ListenLoopback(port_);
        thread_ = std::thread([this, count, script] {
            for (int i = 0; i < count; ++i) {
                pollfd p{listenFd_, POLLIN, 0};
                if (::poll(&p, 1, 10000) <= 0) return;
                int fd = ::accept(listenFd_, nullptr, nullptr);
                if (fd < 0) return;
                script(i, fd);
                ::close(fd);
                ++accepted_;
            }
        });
    }
    ~SequencePeer() {
        if (thread_.joinable()) thread_.join();
        ::close(listenFd_);
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    int Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    int Accepted() const { return accepted_; }

private:
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

// The client's events as short texts, in order.
struct Events {
    std::vector<std::string> log;
    std::vector<int> docData;
    std::vector<int> sendData;
    std::vector<std::string> cookies;
    void Attach(THttpClient& c) {
        c.OnStateChange = [this, &c](TObject*) { log.push_back("state " + std::to_string(c.State())); };
        c.OnRequestDone = [this](TObject*, THttpRequest kind, WORD error) {
            log.push_back("done " + std::to_string(kind) + " " + std::to_string(error));
        };
        c.OnHeaderBegin = [this](TObject*) { log.push_back("header begin"); };
        c.OnHeaderEnd = [this](TObject*) { log.push_back("header end"); };
        c.OnDocBegin = [this](TObject*) { log.push_back("doc begin"); };
        c.OnDocData = [this](TObject*, const void*, int len) {
            log.push_back("doc data");
            docData.push_back(len);
        };
        c.OnDocEnd = [this](TObject*) { log.push_back("doc end"); };
        c.OnSendBegin = [this](TObject*) { log.push_back("send begin"); };
        c.OnSendData = [this](TObject*, const void*, int len) {
            log.push_back("send data");
            sendData.push_back(len);
        };
        c.OnSendEnd = [this](TObject*) { log.push_back("send end"); };
        c.OnLocationChange = [this, &c](TObject*) { log.push_back("location " + c.Location()); };
        c.OnCookie = [this](TObject*, const std::string& data, bool& accept) {
            EXPECT_TRUE(accept);
            cookies.push_back(data);
        };
    }
    int Count(const std::string& e) const { return static_cast<int>(std::count(log.begin(), log.end(), e)); }
    // The position of the first entry e in the log, -1 when absent.
    int Index(const std::string& e) const {
        auto it = std::find(log.begin(), log.end(), e);
        return it == log.end() ? -1 : static_cast<int>(it - log.begin());
    }
};

// Runs the request and returns the exception's code and text, or 0 and "" when it returned.
inline std::pair<int, std::string> Outcome(THttpClient& c, THttpRequest kind) {
    try {
        c.RunRequest(kind);
    } catch (EHttpException& e) {
        return {e.ErrorCode, e.Message};
    }
    return {0, ""};
}

inline std::string LocalUrl(int port, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

}  // namespace httptest
