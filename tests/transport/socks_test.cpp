// SOCKS 4, 4A and 5 through scripted servers (byte-exact exchanges) and real ones.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/tempstate.h"
#include "transport/AsyncSocket.h"
#include "transport/peers.h"

using namespace testpeers;

namespace {

struct SocksRun {
    std::vector<std::string> log;
    std::string data;
    std::unique_ptr<TAsyncSocket> s = std::make_unique<TAsyncSocket>(nullptr);

    SocksRun() {
        s->OnSocksConnected = [this](TObject*, WORD e) { log.push_back("socks connected " + std::to_string(e)); };
        s->OnSessionConnected = [this](TObject*, WORD e) { log.push_back("connected " + std::to_string(e)); };
        s->OnSessionClosed = [this](TObject*, WORD e) { log.push_back("closed " + std::to_string(e)); };
        s->OnSocksError = [this](TObject*, int e, const std::string& m) {
            log.push_back("error " + std::to_string(e) + " " + m);
        };
        s->OnSocksAuthState = [this](TObject*, TSocksAuthState a) { log.push_back("auth " + std::to_string(a)); };
        s->OnDataAvailable = [this](TObject*, WORD) {
            std::string got = s->ReceiveStr();
            if (!got.empty()) log.push_back("data " + got);
            data += got;
        };
    }
    void Start(const std::string& level, int socksPort, const std::string& addr, const std::string& port) {
        s->SetSocksServer("127.0.0.1");
        s->SetSocksPort(std::to_string(socksPort));
        s->SetSocksLevel(level);
        s->SetAddr(addr);
        s->SetPort(port);
        s->Connect();
    }
    bool WaitFor(const std::string& prefix, DWORD ms = 5000) {
        return PumpUntil(
            [&] {
                for (auto& l : log)
                    if (l.rfind(prefix, 0) == 0) return true;
                return false;
            },
            ms);
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (auto& l : log)
            if (l.rfind(prefix, 0) == 0) ++n;
        return n;
    }
};

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

std::string Port16(int p) { return Bytes({(p >> 8) & 0xFF, p & 0xFF}); }

// Writes s one byte at a time with a pause in between, so every read sees a piece.
void Trickle(int fd, const std::string& s) {
    for (char c : s) {
        WriteAll(fd, std::string(1, c));
        usleep(3000);
    }
}

TEST(Socks5, NoAuthenticationWithAReplySplitAndDataBehindIt) {
    std::string offer, request;
    ScriptedPeer peer([&](int fd) {
        offer = ReadN(fd, 3);
        WriteAll(fd, Bytes({5, 0}));
        request = ReadN(fd, 5 + 11 + 2);
        // A domain-name reply (type 3) longer than 128 bytes, one byte at a time; its last byte
        // comes in one write with the target's first data, so both arrive in the same read.
        std::string name(200, 'n');
        std::string reply = Bytes({5, 0, 0, 3, 200}) + name + Port16(1234);
        Trickle(fd, reply.substr(0, reply.size() - 1));
        WriteAll(fd, reply.substr(reply.size() - 1) + "early");
        ReadToEnd(fd);
    });
    SocksRun r;
    r.Start("5", peer.Port(), "example.org", "8080");
    ASSERT_TRUE(r.WaitFor("data"));
    EXPECT_EQ(offer, Bytes({5, 1, 0}));
    EXPECT_EQ(request, Bytes({5, 1, 0, 3, 11}) + "example.org" + Port16(8080));
    ASSERT_GE(r.log.size(), 3u);
    EXPECT_EQ(r.log[0], "socks connected 0");
    EXPECT_EQ(r.log[1], "connected 0") << "nothing fires until the whole reply is in";
    EXPECT_EQ(r.log[2], "data early") << "the bytes behind the reply follow at once";
    EXPECT_EQ(r.data, "early");
    EXPECT_EQ(r.s->State(), wsConnected);
    r.s->Close();
}

TEST(Socks5, UserPasswordRepliesOneByteAtATime) {
    std::string auth;
    ScriptedPeer peer([&](int fd) {
        ReadN(fd, 3);
        WriteAll(fd, Bytes({5, 2}));
        auth = ReadN(fd, 3 + 4 + 6);
        Trickle(fd, Bytes({1, 0}));
        ReadN(fd, 5 + 9 + 2);
        Trickle(fd, Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}) + "X");
        ReadToEnd(fd);
    });
    SocksRun r;
    r.s->SocksAuthentication = socksAuthenticateUsercode;
    r.s->SocksUsercode = "user";
    r.s->SocksPassword = "secret";
    r.Start("5", peer.Port(), "127.0.0.1", "80");
    ASSERT_TRUE(r.WaitFor("data"));
    EXPECT_EQ(auth, Bytes({1, 4}) + "user" + Bytes({6}) + "secret");
    std::vector<std::string> want = {"socks connected 0", "auth 0", "auth 1", "connected 0", "data X"};
    EXPECT_EQ(r.log, want);
    r.s->Close();
}

TEST(Socks5, FailuresCloseWithTheirCodes) {
    struct Case {
        std::string methodReply;
        std::string connectReply;  // empty: the failure comes with the method reply
        int code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {Bytes({5, 0xFF}), "", 20003, "authentification method not acceptable"},
        {Bytes({4, 0}), "", 20002, "socks version error"},
        {Bytes({5, 0}), Bytes({5, 1, 0, 1}), 20004, "general SOCKS server failure"},
        {Bytes({5, 0}), Bytes({5, 5, 0, 1}), 20008, "connection refused"},
        {Bytes({5, 0}), Bytes({5, 8, 0, 1}), 20011, "address type not supported"},
        {Bytes({5, 0}), Bytes({5, 9, 0, 1}), 20012, "unassigned error #9"},
        {Bytes({5, 0}), Bytes({5, 0, 0, 4, 0, 0}), 20011, "address type not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedPeer peer([&](int fd) {
            ReadN(fd, 3);
            WriteAll(fd, c.methodReply);
            if (!c.connectReply.empty()) {
                ReadN(fd, 5 + 9 + 2);
                WriteAll(fd, c.connectReply);
            }
            ReadToEnd(fd);
        });
        SocksRun r;
        r.Start("5", peer.Port(), "127.0.0.1", "80");
        ASSERT_TRUE(r.WaitFor("closed"));
        std::string code = std::to_string(c.code);
        std::vector<std::string> want = {"socks connected 0", "error " + code + " " + c.text, "connected " + code,
                                         "closed " + code};
        EXPECT_EQ(r.log, want);
        EXPECT_EQ(r.s->State(), wsClosed);
        EXPECT_EQ(r.s->SocksServer(), "") << "the close resets the SOCKS settings";
    }
}

TEST(Socks5, ATargetNameTooLongForTheRequestIsRefused) {
    ScriptedPeer peer([&](int fd) {
        ReadN(fd, 3);
        WriteAll(fd, Bytes({5, 0}));
        ReadToEnd(fd);
    });
    SocksRun r;
    r.Start("5", peer.Port(), std::string(300, 'h'), "80");
    ASSERT_TRUE(r.WaitFor("closed"));
    EXPECT_EQ(r.Count("error 20014"), 1);
    EXPECT_EQ(r.Count("connected 20014"), 1);
    EXPECT_EQ(r.s->State(), wsClosed);
}

TEST(Socks5, ServerClosingMidNegotiationOnlyCloses) {
    ScriptedPeer peer([&](int fd) {
        ReadN(fd, 3);
        WriteAll(fd, Bytes({5, 2}));
        ReadN(fd, 3);
    });
    SocksRun r;
    r.s->SocksAuthentication = socksAuthenticateUsercode;
    r.Start("5", peer.Port(), "127.0.0.1", "80");
    ASSERT_TRUE(r.WaitFor("closed"));
    std::vector<std::string> want = {"socks connected 0", "auth 0", "auth 2", "closed 0"};
    EXPECT_EQ(r.log, want);
}

TEST(Socks4, RequestsAndReplies) {
    struct Case {
        std::string level;
        std::string user;
        int reply;
        std::string want;  // the log after "socks connected 0"
    };
    const std::vector<Case> cases = {
        {"4", "", 90, "connected 0"},
        {"4A", "u", 90, "connected 0"},
        {"4", "bob", 91, "error 20016 request rejected or failed"},
        {"4a", "", 92, "error 20008 connection refused"},
        {"4", "", 93, "error 20015 authentification failed"},
        {"4", "", 77, "error 20012 unassigned error #77"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level + " " + std::to_string(c.reply));
        std::string request;
        bool fourA = c.level != "4";
        size_t want = 8 + c.user.size() + 1 + (fourA ? std::string("h.test").size() + 1 : 0);
        ScriptedPeer peer([&](int fd) {
            request = ReadN(fd, want);
            Trickle(fd, Bytes({0, c.reply, 0, 0, 0, 0, 0, 0}));
            ReadToEnd(fd);
        });
        SocksRun r;
        r.s->SocksUsercode = c.user;
        r.Start(c.level, peer.Port(), fourA ? "h.test" : "127.0.0.1", "8080");
        EXPECT_EQ(r.s->SocksLevel(), fourA ? "4A" : "4");
        ASSERT_TRUE(r.WaitFor("connected"));
        std::string addr = fourA ? Bytes({0, 0, 0, 1}) : Bytes({127, 0, 0, 1});
        std::string expect = Bytes({4, 1}) + Port16(8080) + addr + c.user + Bytes({0});
        if (fourA) expect += "h.test" + Bytes({0});
        EXPECT_EQ(request, expect);
        ASSERT_GE(r.log.size(), 2u);
        EXPECT_EQ(r.log[1], c.want);
        r.s->Close();
    }
}

TEST(SocksSettings, RefusalsAndLevels) {
    TAsyncSocket s(nullptr);
    auto raises = [](const std::function<void()>& f) -> std::string {
        try {
            f();
        } catch (ESocketException& e) {
            return e.Message;
        }
        return "no exception";
    };
    EXPECT_EQ(s.SocksLevel(), "5");
    EXPECT_EQ(raises([&] { s.SetSocksLevel("4b"); }), "Invalid socks level. Must be 4, 4A or 5.");
    s.SetSocksLevel("4a");
    EXPECT_EQ(s.SocksLevel(), "4A");
    s.SetSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(s.SocksServer(), "127.0.0.1");
    s.SetAddr("127.0.0.1");
    s.SetPort("1");
    EXPECT_EQ(raises([&] { s.Listen(); }), "Listening is not supported thru socks server");
    s.SetProto("udp");
    EXPECT_EQ(raises([&] { s.Connect(); }), "tcp is the only protocol supported thru socks server");
}

// Targets for the real servers: answers "hello " + what it receives.
struct EchoTarget {
    ScriptedPeer peer{[](int fd) {
        std::string in = ReadN(fd, 4);
        WriteAll(fd, "hello " + in);
        ReadToEnd(fd);
    }};
};

TEST(SocksServers, MicrosocksWithUserAndPassword) {
    std::string prog = FindProgram({"/usr/bin/microsocks"});
    ASSERT_FALSE(prog.empty()) << "microsocks is not installed (Debian package microsocks)";
    int port = FreePort();
    ChildProcess server(prog, {"-i", "127.0.0.1", "-p", std::to_string(port), "-u", "tester", "-P", "pw123"});
    ASSERT_TRUE(WaitForPort(port)) << "microsocks did not start";
    EchoTarget target;
    SocksRun r;
    r.s->SocksAuthentication = socksAuthenticateUsercode;
    r.s->SocksUsercode = "tester";
    r.s->SocksPassword = "pw123";
    r.s->OnSessionConnected = [&](TObject*, WORD e) {
        r.log.push_back("connected " + std::to_string(e));
        if (e == 0) r.s->SendStr("ping");
    };
    r.Start("5", port, "127.0.0.1", target.peer.PortText());
    ASSERT_TRUE(PumpUntil([&] { return r.data.size() >= 10 || r.Count("closed") > 0; }));
    EXPECT_EQ(r.data, "hello ping");
    EXPECT_EQ(r.Count("auth 1"), 1);
    r.s->Close();

    // A wrong password is refused by the server.
    SocksRun bad;
    bad.s->SocksAuthentication = socksAuthenticateUsercode;
    bad.s->SocksUsercode = "tester";
    bad.s->SocksPassword = "wrong";
    bad.Start("5", port, "127.0.0.1", target.peer.PortText());
    ASSERT_TRUE(bad.WaitFor("closed"));
    EXPECT_EQ(bad.Count("connected 0"), 0);
    EXPECT_EQ(bad.Count("error 20015 socks authentication failed"), 1) << ::testing::PrintToString(bad.log);
    EXPECT_EQ(bad.Count("error"), 1);
    EXPECT_EQ(bad.Count("connected 20015"), 1);
    server.Stop();
}

TEST(SocksServers, DanteForSocks4And5) {
    std::string prog = FindProgram({"/usr/sbin/danted", "/usr/bin/danted"});
    ASSERT_FALSE(prog.empty()) << "danted is not installed (Debian package dante-server)";
    testsupport::TempState tmp;
    int port = FreePort();
    testsupport::WriteAll(tmp.Path("danted.conf"),
                          "logoutput: " + tmp.Path("danted.log") + "\n"
                          "internal: 127.0.0.1 port = " + std::to_string(port) + "\n"
                          "external: 127.0.0.1\n"
                          "socksmethod: none\nclientmethod: none\n"
                          "user.privileged: root\nuser.unprivileged: nobody\n"
                          "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                          "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n");
    ChildProcess server(prog, {"-f", tmp.Path("danted.conf"), "-p", tmp.Path("danted.pid")});
    ASSERT_TRUE(WaitForPort(port)) << "danted did not start: " << testsupport::ReadAll(tmp.Path("danted.log"));
    for (std::string level : {"4", "5"}) {
        SCOPED_TRACE(level);
        EchoTarget target;
        SocksRun r;
        r.s->OnSessionConnected = [&](TObject*, WORD e) {
            r.log.push_back("connected " + std::to_string(e));
            if (e == 0) r.s->SendStr("pong");
        };
        r.Start(level, port, "127.0.0.1", target.peer.PortText());
        ASSERT_TRUE(PumpUntil([&] { return r.data.size() >= 10 || r.Count("closed") > 0; }));
        EXPECT_EQ(r.data, "hello pong");
        r.s->Close();
    }
    server.Stop();
}

}  // namespace
