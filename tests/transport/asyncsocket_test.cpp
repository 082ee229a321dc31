// The socket component core: loading, the message trap, connect, listen, close and errors.
#include <gtest/gtest.h>

#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/messages.h"
#include "platform/win/modules.h"
#include "platform/winsock/winsock.h"
#include "support/tempstate.h"
#include "transport/AsyncSocket.h"
#include "transport/peers.h"

using namespace testpeers;

namespace {

// Records the events of one socket as short texts, in order.
struct Recorder {
    std::vector<std::string> log;
    void Attach(TCustomAsyncSocket* s) {
        s->OnChangeState = [this](TObject*, TSocketState o, TSocketState n) {
            log.push_back("state " + std::to_string(o) + ">" + std::to_string(n));
        };
        s->OnSessionConnected = [this](TObject*, WORD e) { log.push_back("connected " + std::to_string(e)); };
        s->OnSessionClosed = [this](TObject*, WORD e) { log.push_back("closed " + std::to_string(e)); };
        s->OnDataSent = [this](TObject*, WORD e) { log.push_back("sent " + std::to_string(e)); };
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (auto& l : log)
            if (l.rfind(prefix, 0) == 0) ++n;
        return n;
    }
    bool Has(const std::string& e) const { return std::find(log.begin(), log.end(), e) != log.end(); }
};

std::unique_ptr<TAsyncSocket> Connected(const ScriptedPeer& peer, Recorder& rec) {
    auto s = std::make_unique<TAsyncSocket>(nullptr);
    rec.Attach(s.get());
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    EXPECT_TRUE(PumpUntil([&] { return rec.Count("connected") > 0; }));
    return s;
}

TEST(WinsockBinding, LoadedLazilyAndReleasedWithTheLastSocket) {
    ASSERT_EQ(SocketObjectCount(), 0);
    {
        TAsyncSocket a(nullptr);
        TAsyncSocket b(nullptr);
        a.SetAddr("127.0.0.1");
        a.SetPort("1");
        EXPECT_FALSE(WinsockLoaded()) << "creating sockets and writing Addr and Port loads nothing";
        EXPECT_EQ(win::ModuleLoadCount("wsock32.dll"), 0);
        a.SetLocalAddr("127.0.0.1");  // the first call through an entry point
        EXPECT_TRUE(WinsockLoaded());
        EXPECT_EQ(win::ModuleLoadCount("wsock32.dll"), 1);
    }
    EXPECT_FALSE(WinsockLoaded());
    EXPECT_EQ(win::ModuleLoadCount("wsock32.dll"), 0);
    TAsyncSocket c(nullptr);
    c.SetLocalAddr("");
    EXPECT_TRUE(WinsockLoaded()) << "a later socket loads and starts the library again";
    EXPECT_EQ(c.LocalAddr(), "0.0.0.0");
}

TEST(WinsockBinding, LoaderFailuresRaiseTheirTexts) {
    TAsyncSocket s(nullptr);
    win::FailModuleLoad("wsock32.dll");
    try {
        s.SetLocalAddr("1.2.3.4");
        FAIL() << "no exception";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message, "Unable to load wsock32.dll Error #126");
    }
    win::ClearModuleFaults();
    win::FailModuleProc("wsock32.dll", "inet_addr");
    try {
        s.SetLocalAddr("1.2.3.4");
        FAIL() << "no exception";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message, "Procedure inet_addr not found in wsock32.dll Error #127");
    }
    win::ClearModuleFaults();
    s.SetLocalAddr("1.2.3.4");
    EXPECT_EQ(s.LocalAddr(), "1.2.3.4");
}

TEST(SocketWindow, BackgroundExceptionsAbortUnlessTheHandlerKeepsTheSocket) {
    struct Case {
        const char* name;
        int handler;  // 0 none, 1 keeps the socket, 2 raises
        bool stillOpen;
    };
    for (Case c : {Case{"no handler", 0, false}, Case{"CanClose false", 1, true}, Case{"handler raises", 2, false}}) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
        Recorder rec;
        auto s = Connected(peer, rec);
        ASSERT_EQ(s->State(), wsConnected);
        std::string seen;
        if (c.handler == 1)
            s->OnBgException = [&](TObject*, Exception& e, bool& canClose) {
                seen = e.Message;
                canClose = false;
            };
        if (c.handler == 2)
            s->OnBgException = [&](TObject*, Exception& e, bool&) {
                seen = e.Message;
                throw Exception("from the handler");
            };
        PostMessageA(s->WindowHandle(), WM_TRIGGER_EXCEPTION, 0, 0);
        EXPECT_NO_THROW(PumpFor(30));
        EXPECT_EQ(s->State() == wsConnected, c.stillOpen);
        if (c.handler) {
            EXPECT_EQ(seen, "Test exception in AsyncSocket");
        }
        s->Close();
    }
}

TEST(SocketWindow, PumpOneTakesQuitWithoutDispatching) {
    TAsyncSocket s(nullptr);
    s.PumpMessages();
    EXPECT_FALSE(s.PumpOne());
    PostQuitMessage(0);
    EXPECT_TRUE(s.PumpOne());
    EXPECT_TRUE(s.Terminated());
    EXPECT_FALSE(s.PumpOne());
}

TEST(Connect, DottedAddressGoesThroughTheStatesAndConnects) {
    ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
    Recorder rec;
    auto s = Connected(peer, rec);
    ASSERT_GE(rec.log.size(), 4u);
    EXPECT_EQ(rec.log[0], "state 7>1");
    EXPECT_EQ(rec.log[1], "state 1>3");
    EXPECT_EQ(rec.log[2], "state 3>4");
    EXPECT_EQ(rec.log[3], "connected 0");
    EXPECT_EQ(s->PeerAddr(), "127.0.0.1");
    EXPECT_EQ(s->PeerPort(), peer.PortText());
    EXPECT_NE(s->GetLocalPortText(), "error");
    s->Close();
    EXPECT_EQ(rec.Count("closed"), 1);
    EXPECT_EQ(s->PeerAddr(), "error");
}

TEST(Connect, RefusedArrivesAsAnEventAndCloses) {
    TAsyncSocket s(nullptr);
    Recorder rec;
    rec.Attach(&s);
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(FreePort()));
    EXPECT_NO_THROW(s.Connect());
    ASSERT_TRUE(PumpUntil([&] { return rec.Count("closed") > 0; }));
    EXPECT_TRUE(rec.Has("connected 10061"));
    EXPECT_TRUE(rec.Has("closed 0"));
    EXPECT_EQ(s.State(), wsClosed);
    PumpFor(20);
    EXPECT_EQ(rec.Count("closed"), 1);
}

TEST(Connect, RefusalsAndSetterRules) {
    winsock::SetTestHosts({});  // names never reach a name server
    TAsyncSocket s(nullptr);
    auto expectRaise = [&](const std::function<void()>& f, const std::string& text) {
        try {
            f();
            ADD_FAILURE() << "no exception, expected " << text;
        } catch (ESocketException& e) {
            EXPECT_EQ(e.Message, text);
        }
    };
    expectRaise([&] { s.Connect(); }, "Connect: No Port Specified");
    s.SetPort("80");
    expectRaise([&] { s.Connect(); }, "Connect: No IP Address Specified");
    s.SetProto("");
    s.SetAddr("127.0.0.1");
    expectRaise([&] { s.Connect(); }, "Connect: No Protocol Specified");
    s.SetProto("tcp");
    s.SetAddr("1.2.3.");
    expectRaise([&] { s.Connect(); },
                "connect: SocketResolveHost: Cannot convert host address '1.2.3.', Error #11001");
    expectRaise([&] { s.SetLocalAddr("1.2.3.400"); }, "SetLocalAddr(): Invalid IP address");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
    s.SetLocalAddr(" 10.0.0.1 ");
    EXPECT_EQ(s.LocalAddr(), "10.0.0.1");

    ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
    Recorder rec;
    auto c = Connected(peer, rec);
    expectRaise([&] { c->SetAddr("10.0.0.9"); }, "Cannot change Addr if not closed");
    expectRaise([&] { c->SetPort("1"); }, "Cannot change Port if not closed");
    expectRaise([&] { c->SetLocalPort("1"); }, "Cannot change LocalPort if not closed");
    EXPECT_EQ(c->Addr(), "127.0.0.1");
    expectRaise([&] { c->Connect(); }, "Connect: Socket already in use");
    int errors = 0;
    c->OnError = [&](TObject*) { ++errors; };
    EXPECT_NO_THROW(c->Connect());
    EXPECT_EQ(errors, 1);
    c->Close();
    // Every close puts the defaults back: Port must be written again.
    c->OnError = nullptr;
    c->SetAddr("127.0.0.1");
    expectRaise([&] { c->Connect(); }, "Connect: No Port Specified");
    winsock::ClearTestHosts();
}

TEST(Close, PeerCloseFiresClosedOnceAndAbortCloses) {
    {
        ScriptedPeer peer([](int fd) { WriteAll(fd, "bye"); });
        Recorder rec;
        auto s = Connected(peer, rec);
        std::string got;
        s->OnDataAvailable = [&](TObject*, WORD) { got += s->ReceiveStr(); };
        s->OnSessionClosed = [&](TObject*, WORD e) {
            rec.log.push_back("closed " + std::to_string(e));
            s->Close();  // closing again from the handler
        };
        ASSERT_TRUE(PumpUntil([&] { return rec.Count("closed") > 0; }));
        PumpFor(20);
        EXPECT_EQ(got, "bye") << "data before the close is delivered first";
        EXPECT_EQ(rec.Count("closed"), 1);
        EXPECT_EQ(s->State(), wsClosed);
    }
    {
        ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
        Recorder rec;
        auto s = Connected(peer, rec);
        s->Abort();
        EXPECT_TRUE(rec.Has("closed 0"));
        EXPECT_EQ(s->State(), wsClosed);
    }
    {
        ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
        Recorder rec;
        auto s = Connected(peer, rec);
        s.reset();  // freeing a connected socket closes it silently
        EXPECT_EQ(rec.Count("closed"), 0);
    }
}

// CPU time of the calling thread, in milliseconds.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

TEST(Close, GracefulCloseSendsWhatIsQueuedFirst) {
    // A slow reader: most of the data is still in the send queue when Close is called.
    const size_t total = 8 * 1024 * 1024;
    std::string payload(total, '\0');
    for (size_t i = 0; i < total; ++i) payload[i] = static_cast<char>('a' + i % 23);
    std::string received;
    bool reset = true;
    ScriptedPeer peer([&](int fd) {
        usleep(100000);
        received = ReadToEnd(fd, &reset, 20000);
    }, 8192);
    Recorder rec;
    auto s = Connected(peer, rec);
    ASSERT_EQ(s->Send(payload.data(), static_cast<int>(total)), static_cast<int>(total));
    ASSERT_FALSE(s->AllSent()) << "the test needs data left in the queue";
    s->Close();
    EXPECT_EQ(s->State(), wsClosed);
    peer.Join();
    EXPECT_FALSE(reset);
    EXPECT_EQ(received.size(), total);
    EXPECT_TRUE(received == payload) << "bytes lost or out of order";
    EXPECT_TRUE(rec.Has("closed 0"));
}

TEST(Close, AFlushThatTimesOutIsReportedAndDoesNotBurnTheProcessor) {
    // The peer reads nothing: after FlushTimeout the close gives up and says why.
    std::atomic<bool> release{false};
    ScriptedPeer peer([&](int fd) {
        for (int i = 0; i < 20000 && !release; ++i) usleep(1000);
        ReadToEnd(fd, nullptr, 2000);
    }, 8192);
    Recorder rec;
    auto s = Connected(peer, rec);
    s->FlushTimeout = 1;
    const std::string block(16 * 1024 * 1024, 'x');
    s->Send(block.data(), static_cast<int>(block.size()));
    ASSERT_FALSE(s->AllSent());
    const DWORD start = GetTickCount();
    const double cpuStart = ThreadCpuMs();
    s->Close();
    const double cpu = ThreadCpuMs() - cpuStart;
    const DWORD took = GetTickCount() - start;
    release = true;
    EXPECT_GE(took, 950u);
    EXPECT_LT(took, 5000u);
    EXPECT_LT(cpu, 0.3 * took) << "the wait sleeps in the message queue, it does not spin";
    EXPECT_EQ(s->State(), wsClosed);
    EXPECT_EQ(s->LastError(), 10060);
    EXPECT_TRUE(rec.Has("closed 10060")) << ::testing::PrintToString(rec.log);
    EXPECT_EQ(rec.Count("closed"), 1);
}

TEST(Close, AbortDiscardsWhatIsQueued) {
    std::string received;
    std::atomic<bool> go{false};
    ScriptedPeer peer([&](int fd) {
        for (int i = 0; i < 10000 && !go; ++i) usleep(1000);
        received = ReadToEnd(fd);
    }, 8192);
    Recorder rec;
    auto s = Connected(peer, rec);
    const std::string block(16 * 1024 * 1024, 'x');
    s->Send(block.data(), static_cast<int>(block.size()));
    ASSERT_FALSE(s->AllSent());
    s->Abort();
    go = true;
    peer.Join();
    EXPECT_LT(received.size(), block.size());
    EXPECT_EQ(s->SendQueueChunks(), 0);
    EXPECT_TRUE(rec.Has("closed 0"));
}

TEST(Close, AbortTurnsLingeringOffBeforeTheClose) {
    // Connected with linger on and time 0, a close resets the connection; Abort switches
    // lingering off first, so the peer sees a plain end of the stream.
    bool reset = true;
    std::string got = "unset";
    ScriptedPeer peer([&](int fd) { got = ReadToEnd(fd, &reset); });
    Recorder rec;
    auto s = std::make_unique<TAsyncSocket>(nullptr);
    rec.Attach(s.get());
    s->LingerOnOff = wsLingerOn;
    s->LingerTimeout = 0;
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    ASSERT_TRUE(PumpUntil([&] { return rec.Has("connected 0"); }));
    s->Abort();
    peer.Join();
    EXPECT_FALSE(reset);
    EXPECT_EQ(got, "");
}

TEST(Close, ALingeringCloseKeepsPumpingAndIsBoundedByTheLingerTime) {
    for (bool peerReads : {true, false}) {
        SCOPED_TRACE(peerReads ? "the peer reads late" : "the peer never reads");
        std::atomic<bool> release{false};
        std::string received;
        bool reset = false;
        ScriptedPeer peer([&](int fd) {
            if (peerReads) usleep(300000);
            else
                for (int i = 0; i < 20000 && !release; ++i) usleep(1000);
            received = ReadToEnd(fd, &reset, 5000);
        }, 8192);
        Recorder rec;
        auto s = std::make_unique<TAsyncSocket>(nullptr);
        rec.Attach(s.get());
        s->LingerOnOff = wsLingerOn;
        s->LingerTimeout = 1;
        s->SetAddr("127.0.0.1");
        s->SetPort(peer.PortText());
        s->Connect();
        ASSERT_TRUE(PumpUntil([&] { return rec.Has("connected 0"); }));
        PumpFor(10);
        s->FlushTimeout = 1;
        // Little enough for the kernel to take at once: what waits is unacknowledged data.
        const std::string block(32 * 1024, 'y');
        s->Send(block.data(), static_cast<int>(block.size()));
        int ticks = 0;
        HWND w = AllocateHWnd([&](TMessage& m) {
            if (m.Msg == WM_TIMER) ++ticks;
        });
        SetTimer(w, 1, 20, nullptr);
        const DWORD start = GetTickCount();
        s->Close();
        const DWORD took = GetTickCount() - start;
        release = true;
        KillTimer(w, 1);
        DeallocateHWnd(w);
        peer.Join();
        EXPECT_EQ(s->State(), wsClosed);
        EXPECT_LT(took, 4500u) << "bounded by the flush and linger times";
        if (peerReads) {
            EXPECT_GE(took, 250u) << "the close waited for the peer";
            EXPECT_GT(ticks, 3) << "messages were served while the close waited";
            EXPECT_EQ(received.size(), block.size());
            EXPECT_FALSE(reset);
        } else {
            EXPECT_GE(took, 950u);
            EXPECT_GT(ticks, 10);
            EXPECT_TRUE(reset) << "the linger time ran out: the connection is reset";
        }
    }
}

TEST(Close, ANewConnectionAfterAResetReportsItsCloseAgain) {
    // A 10057 met by another call closes the socket and fires OnSessionClosed once; the next
    // connection of the same object reports its own close again.
    ScriptedPeer first([](int fd) {
        ReadN(fd, 1);
        CloseWithReset(fd);
    });
    Recorder rec;
    auto s = Connected(first, rec);
    s->SendStr("x");
    first.Join();
    s->OnError = [](TObject*) {};
    DWORD end = GetTickCount() + 3000;
    while (s->PeerAddr() != "error" && static_cast<int>(GetTickCount() - end) < 0) Sleep(1);
    ASSERT_EQ(s->State(), wsClosed);
    ASSERT_EQ(rec.Count("closed"), 1);
    s->OnError = nullptr;
    ScriptedPeer second([](int fd) { WriteAll(fd, "bye"); });
    s->SetAddr("127.0.0.1");
    s->SetPort(second.PortText());
    s->Connect();
    ASSERT_TRUE(PumpUntil([&] { return rec.Count("connected") == 2; }));
    ASSERT_TRUE(PumpUntil([&] { return rec.Count("closed") == 2; })) << ::testing::PrintToString(rec.log);
    EXPECT_TRUE(rec.Has("closed 0"));
}

TEST(Close, AResetSeenByAnotherCallStillFiresClosedOnce) {
    // The peer resets; a later call that meets the dead connection (10057) closes the socket,
    // and the owner hears OnSessionClosed once; the late FD_CLOSE for the old handle is ignored.
    ScriptedPeer peer([](int fd) {
        ReadN(fd, 1);  // reset only once the connection is surely up on our side
        CloseWithReset(fd);
    });
    Recorder rec;
    auto s = Connected(peer, rec);
    ASSERT_TRUE(rec.Has("connected 0"));
    s->SendStr("x");
    peer.Join();
    int errors = 0;
    s->OnError = [&](TObject*) { ++errors; };
    std::string addr;
    DWORD end = GetTickCount() + 3000;
    while ((addr = s->PeerAddr()) != "error" && static_cast<int>(GetTickCount() - end) < 0) Sleep(1);
    ASSERT_EQ(addr, "error");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(s->LastError(), 10057);
    EXPECT_EQ(s->State(), wsClosed);
    EXPECT_EQ(s->HSocket(), INVALID_SOCKET);
    EXPECT_TRUE(rec.Has("closed 10057"));
    PumpFor(30);
    EXPECT_EQ(rec.Count("closed"), 1);
}

TEST(Listen, FailedBindLeavesNoHandle) {
    int port = 0;
    int busy = ListenLoopback(port);
    TAsyncSocket s(nullptr);
    int errors = 0;
    s.OnError = [&](TObject*) { ++errors; };
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(port));
    s.Listen();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(s.LastError(), 10048);
    EXPECT_EQ(s.HSocket(), INVALID_SOCKET);
    EXPECT_EQ(s.State(), wsClosed);
    s.OnError = nullptr;
    int before = winsock::OpenSocketCount();
    try {
        s.Listen();
        ADD_FAILURE() << "no exception";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message, "Error 10048 in function Bind\r\nAddress already in use");
    }
    EXPECT_EQ(winsock::OpenSocketCount(), before) << "the unbound handle is closed, not leaked";
    ::close(busy);
}

TEST(Listen, AcceptedConnectionServesCurlThroughADuplicatedSocket) {
    std::string curl = FindProgram({"/usr/bin/curl", "/bin/curl"});
    ASSERT_FALSE(curl.empty()) << "curl is not installed (Debian package curl)";
    TAsyncSocket server(nullptr);
    TAsyncSocket conn(nullptr);
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    ASSERT_EQ(server.State(), wsListening);
    std::string port = server.GetLocalPortText();
    ASSERT_NE(port, "error");
    EXPECT_EQ(server.PeerAddr(), "error");
    std::string request;
    bool answered = false;
    server.OnSessionAvailable = [&](TObject*, WORD) { conn.Dup(server.Accept()); };
    conn.OnDataAvailable = [&](TObject*, WORD) {
        request += conn.ReceiveStr();
        if (!answered && request.find("\r\n\r\n") != std::string::npos) {
            answered = true;
            conn.SendStr("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
        }
    };
    conn.OnDataSent = [&](TObject*, WORD) {
        if (answered) conn.Close();
    };
    testsupport::TempState tmp;
    std::string out = tmp.Path("body");
    ChildProcess child(curl, {"-s", "--max-time", "5", "http://127.0.0.1:" + port + "/x"}, out);
    ASSERT_GT(child.Pid(), 0);
    // curl may end as soon as the body is in, before the sent notice that closes our side is
    // dispatched: the loop runs until both have happened.
    ASSERT_TRUE(PumpUntil([&] { return !child.Running() && conn.State() == wsClosed; }, 8000))
        << "curl running: " << child.Running() << ", socket state " << conn.State();
    EXPECT_EQ(child.ExitStatus(), 0);
    EXPECT_EQ(testsupport::ReadAll(out), "hello");
    EXPECT_EQ(request.rfind("GET /x HTTP/1.1\r\n", 0), 0u);
    server.Close();
}

TEST(Udp, ConnectReportsConnectedInsideTheCall) {
    TAsyncSocket s(nullptr);
    Recorder rec;
    rec.Attach(&s);
    s.SetProto("udp");
    s.SetAddr("127.0.0.1");
    s.SetPort("9");
    s.Connect();
    EXPECT_TRUE(rec.Has("connected 0"));
    EXPECT_EQ(s.State(), wsConnected);
    EXPECT_NE(s.LocalPort(), "0") << "the datagram socket is bound and shows its port";
    s.Close();
}

TEST(Resolution, TextsAndNumbers) {
    struct Dotted {
        const char* text;
        bool dotted;
    };
    for (auto d : {Dotted{" 1.2.3.4 ", true}, Dotted{"255.255.255.255", true}, Dotted{"1.2.3", false},
                   Dotted{"1..2.3", false}, Dotted{".1.2.3.4", false}, Dotted{"1.2.3.4.", false},
                   Dotted{"1.2.3.256", false}, Dotted{"1.2.3.4x", false}, Dotted{"", false}})
        EXPECT_EQ(IsDottedAddress(d.text), d.dotted) << d.text;
    EXPECT_EQ(LeadingNumber("  80abc"), 80);
    EXPECT_EQ(LeadingNumber("x"), 0);
    TAsyncSocket keep(nullptr);  // keeps the library loaded
    EXPECT_EQ(SocketResolvePort("80", "tcp"), 80);
    EXPECT_EQ(SocketResolvePort("http", "tcp"), 80);
    EXPECT_EQ(SocketResolveProto(" udp "), 17);
    EXPECT_EQ(SocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    auto raises = [](const std::function<void()>& f) -> std::string {
        try {
            f();
        } catch (ESocketException& e) {
            return e.Message;
        }
        return "no exception";
    };
    EXPECT_EQ(raises([] { SocketResolvePort("", "tcp"); }), "SocketResolvePort: Invalid Port.");
    // A number beyond 16 bits is refused, never cut to a port.
    struct PortText {
        const char* text;
        int port;  // -1: refused
    };
    for (auto p : {PortText{"0", 0}, PortText{"65535", 65535}, PortText{"65536", -1}, PortText{"8035377", -1},
                   PortText{"65617", -1}, PortText{"99999999999", -1}, PortText{"70000abc", -1}}) {
        SCOPED_TRACE(p.text);
        if (p.port >= 0) {
            EXPECT_EQ(SocketResolvePort(p.text, "tcp"), p.port);
            continue;
        }
        EXPECT_EQ(raises([&] { SocketResolvePort(p.text, "tcp"); }), "SocketResolvePort: Invalid Port.");
    }
    EXPECT_EQ(raises([] { SocketResolveProto(""); }), "SocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(raises([] { SocketResolveHost(""); }), "SocketResolveHost: '' Invalid Hostname.");
    winsock::SetTestHosts({});
    EXPECT_EQ(raises([] { SocketResolveHost("1.2.3.256"); }),
              "SocketResolveHost: Cannot convert host address '1.2.3.256', Error #11001");
    winsock::ClearTestHosts();
    EXPECT_EQ(SocketErrorText(10061), "Connection refused");
    EXPECT_EQ(SocketErrorText(11004), "No Data");
    EXPECT_EQ(SocketErrorText(12345), "Not a WinSock error");
}

}  // namespace

namespace {

TEST(SocketWindow, DeferredCloseAndReleaseHappenAtTheNextDispatch) {
    ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
    TComponent owner(nullptr);
    auto* s = new TAsyncSocket(&owner);
    bool up = false, closed = false;
    s->OnSessionConnected = [&](TObject*, WORD) { up = true; };
    s->OnSessionClosed = [&](TObject*, WORD) { closed = true; };
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    ASSERT_TRUE(PumpUntil([&] { return up; }));
    s->CloseDelayed();
    EXPECT_FALSE(closed);
    ASSERT_TRUE(PumpUntil([&] { return closed; }));
    EXPECT_EQ(s->State(), wsClosed);
    s->Release();
    EXPECT_EQ(owner.ComponentCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return owner.ComponentCount() == 0; }));
    EXPECT_EQ(SocketObjectCount(), 0);
}

}  // namespace
