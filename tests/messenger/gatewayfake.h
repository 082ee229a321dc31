// The gateway stand-in of scripts/gateway-fake as a test peer: a Python server on a free loopback
// port that answers each request as told, and keeps each request's bytes and its form fields as
// Python's parse_qsl decodes them from Windows-1254 (an outside judge of our encoding).
#pragma once

#include <dirent.h>

#include <string>
#include <vector>

#include "support/tempstate.h"
#include "transport/peers.h"

namespace fixtures {

class GatewayFake {
public:
    // modes: the answers in order, comma-separated (the last repeats); see the script.
    GatewayFake(const std::string& dir, const std::string& modes) : dir_(dir) {
        port_ = testpeers::FreePort();
        proc_ = testpeers::ChildProcess("/usr/bin/python3", {GATEWAY_FAKE, "--port", std::to_string(port_), "--answer",
                                                            modes, "--record", dir_});
        started_ = testpeers::WaitForPort(port_, 10000);
    }
    bool Started() const { return started_; }
    int Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    // Request n (from 1): the bytes as received, and its fields as "name=value" lines.
    std::string Request(int n) const { return testsupport::ReadAll(dir_ + "/" + std::to_string(n) + ".request"); }
    std::vector<std::string> Fields(int n) const {
        std::vector<std::string> out;
        std::string all = testsupport::ReadAll(dir_ + "/" + std::to_string(n) + ".fields");
        size_t start = 0;
        for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1)
            out.push_back(all.substr(start, nl - start));
        return out;
    }
    int Count() const {
        int n = 0;
        if (DIR* d = opendir(dir_.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name).find(".request") != std::string::npos) ++n;
            closedir(d);
        }
        return n;
    }

private:
    std::string dir_;
    int port_ = 0;
    bool started_ = false;
    testpeers::ChildProcess proc_;
};

}  // namespace fixtures
