// The sockets library stand-in, driven through its exported entry points as a caller would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win/modules.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"
#include "platform/winsock/winsock.h"
#include "support/loopback.h"

namespace {

constexpr UINT kMsg = WM_USER + 1;
constexpr UINT kLookupMsg = WM_USER + 2;

struct Api {
    HMODULE lib = nullptr;
    LPFN_WSASTARTUP WSAStartup;
    LPFN_WSACLEANUP WSACleanup;
    LPFN_WSAGETLASTERROR WSAGetLastError;
    LPFN_WSAASYNCSELECT WSAAsyncSelect;
    LPFN_WSAASYNCGETHOSTBYNAME WSAAsyncGetHostByName;
    LPFN_WSAASYNCGETHOSTBYADDR WSAAsyncGetHostByAddr;
    LPFN_WSACANCELASYNCREQUEST WSACancelAsyncRequest;
    LPFN_SOCKET socket;
    LPFN_CONNECT connect;
    LPFN_CLOSESOCKET closesocket;
    LPFN_SEND send;
    LPFN_RECV recv;
    LPFN_BIND bind;
    LPFN_LISTEN listen;
    LPFN_ACCEPT accept;
    LPFN_GETSOCKNAME getsockname;
    LPFN_GETSERVBYNAME getservbyname;
    LPFN_GETPROTOBYNAME getprotobyname;
    LPFN_GETHOSTBYNAME gethostbyname;
    LPFN_INET_ADDR inet_addr;
    LPFN_INET_NTOA inet_ntoa;
    LPFN_IOCTLSOCKET ioctlsocket;

    template <class F>
    void Get(F& f, const char* name) {
        f = reinterpret_cast<F>(GetProcAddress(lib, name));
        ASSERT_NE(f, nullptr) << name;
    }
    Api() {
        winsock::EnsureRegistered();
        lib = LoadLibraryA("wsock32.dll");
        EXPECT_NE(lib, nullptr);
        Get(WSAStartup, "WSAStartup");
        Get(WSACleanup, "WSACleanup");
        Get(WSAGetLastError, "WSAGetLastError");
        Get(WSAAsyncSelect, "WSAAsyncSelect");
        Get(WSAAsyncGetHostByName, "WSAAsyncGetHostByName");
        Get(WSAAsyncGetHostByAddr, "WSAAsyncGetHostByAddr");
        Get(WSACancelAsyncRequest, "WSACancelAsyncRequest");
        Get(socket, "socket");
        Get(connect, "connect");
        Get(closesocket, "closesocket");
        Get(send, "send");
        Get(recv, "recv");
        Get(bind, "bind");
        Get(listen, "listen");
        Get(accept, "accept");
        Get(getsockname, "getsockname");
        Get(getservbyname, "getservbyname");
        Get(getprotobyname, "getprotobyname");
        Get(gethostbyname, "gethostbyname");
        Get(inet_addr, "inet_addr");
        Get(inet_ntoa, "inet_ntoa");
        Get(ioctlsocket, "ioctlsocket");
    }
    ~Api() { FreeLibrary(lib); }
};

// A message sink window that records every message it gets.
struct Sink {
    struct Rec {
        UINT msg;
        WPARAM w;
        LPARAM l;
    };
    static std::vector<Rec>& Log() {
        static std::vector<Rec> log;
        return log;
    }
    static LRESULT CALLBACK_(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m >= WM_USER) {
            Log().push_back({m, w, l});
            return 0;
        }
        return DefWindowProcA(h, m, w, l);
    }
    HWND hwnd = nullptr;
    Sink() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &CALLBACK_;
        wc.lpszClassName = "WsockTestSink";
        WNDCLASSA got{};
        if (!GetClassInfoA(nullptr, wc.lpszClassName, &got)) RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "WsockTestSink", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        Log().clear();
    }
    ~Sink() { DestroyWindow(hwnd); }
    // Pumps until a message matching pred has been recorded, at most timeoutMs.
    template <class P>
    bool PumpUntil(P pred, DWORD timeoutMs = 3000) {
        DWORD end = GetTickCount() + timeoutMs;
        for (;;) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            for (auto& r : Log())
                if (pred(r)) return true;
            if (static_cast<int>(GetTickCount() - end) > 0) return false;
            Sleep(1);
        }
    }
    int Count(SOCKET s, long event) {
        int n = 0;
        for (auto& r : Log())
            if (r.msg == kMsg && r.w == s && (WSAGETSELECTEVENT(r.l) & event)) ++n;
        return n;
    }
};

SOCKADDR_IN Loopback(int port) {
    SOCKADDR_IN a{};
    a.sin_family = WS_AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

using RawListener = testsupport::LoopbackListener;
using testsupport::FreePort;

class Wsock : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(api.WSAStartup(0x0101, &data), 0); }
    void TearDown() override {
        api.WSACleanup();
        winsock::ClearTestHosts();
    }
    Api api;
    WSADATA data{};
    Sink sink;
};

TEST(WsockStartup, CountedPairsAndCallsAfterTheLastCleanupFail) {
    Api api;
    WSADATA d{};
    EXPECT_EQ(api.WSAStartup(0x0100, &d), WSAVERNOTSUPPORTED);
    ASSERT_EQ(api.WSAStartup(0x0101, &d), 0);
    EXPECT_EQ(d.wVersion, 0x0101);
    ASSERT_EQ(api.WSAStartup(0x0101, &d), 0);
    EXPECT_EQ(api.WSACleanup(), 0);
    SOCKET s = api.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET) << "one start-up is still outstanding";
    EXPECT_EQ(api.WSACleanup(), 0);
    EXPECT_EQ(winsock::OpenSocketCount(), 0) << "the last cleanup closes what was left open";
    EXPECT_EQ(api.socket(WS_AF_INET, WS_SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(api.WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(api.WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(Wsock, SocketValuesAreNeverReusedThoughDescriptorsAre) {
    std::vector<SOCKET> seen;
    for (int i = 0; i < 5; ++i) {
        SOCKET s = api.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
        ASSERT_NE(s, INVALID_SOCKET);
        for (SOCKET o : seen) EXPECT_NE(o, s);
        seen.push_back(s);
        EXPECT_EQ(api.closesocket(s), 0);
    }
    EXPECT_EQ(api.closesocket(seen[0]), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(Wsock, RefusedConnectAnswersWouldBlockAndPostsFdConnectWithTheError) {
    SOCKET s = api.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_EQ(api.WSAAsyncSelect(s, sink.hwnd, kMsg, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE), 0);
    SOCKADDR_IN a = Loopback(FreePort());
    EXPECT_EQ(api.connect(s, reinterpret_cast<SOCKADDR*>(&a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), WSAEWOULDBLOCK);
    ASSERT_TRUE(sink.PumpUntil([&](auto& r) { return r.w == s && (WSAGETSELECTEVENT(r.l) & FD_CONNECT); }));
    for (auto& r : Sink::Log()) {
        if (WSAGETSELECTEVENT(r.l) & FD_CONNECT) {
            EXPECT_EQ(WSAGETSELECTERROR(r.l), WSAECONNREFUSED);
        }
    }
    EXPECT_EQ(sink.Count(s, FD_WRITE), 0);
    api.closesocket(s);
}

TEST_F(Wsock, ConnectedStreamSignalsWriteReadAndOneCloseAfterTheData) {
    RawListener l;
    SOCKET s = api.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_EQ(api.WSAAsyncSelect(s, sink.hwnd, kMsg, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE), 0);
    SOCKADDR_IN a = Loopback(l.port);
    EXPECT_EQ(api.connect(s, reinterpret_cast<SOCKADDR*>(&a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(api.WSAGetLastError(), WSAEWOULDBLOCK);
    int peer = ::accept(l.fd, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(sink.PumpUntil([&](auto&) { return sink.Count(s, FD_WRITE) > 0; }));
    EXPECT_EQ(sink.Count(s, FD_CONNECT), 1);
    ASSERT_EQ(::send(peer, "hello", 5, 0), 5);
    ::close(peer);
    ASSERT_TRUE(sink.PumpUntil([&](auto&) { return sink.Count(s, FD_READ) > 0; }));
    EXPECT_EQ(sink.Count(s, FD_CLOSE), 0) << "FD_CLOSE waits until the data is read";
    ULONG pending = 0;
    EXPECT_EQ(api.ioctlsocket(s, WS_FIONREAD, &pending), 0);
    EXPECT_EQ(pending, 5u);
    char buf[16];
    EXPECT_EQ(api.recv(s, buf, 3, 0), 3);
    ASSERT_TRUE(sink.PumpUntil([&](auto&) { return sink.Count(s, FD_READ) > 1; })) << "recv re-arms FD_READ";
    EXPECT_EQ(api.recv(s, buf, sizeof buf, 0), 2);
    ASSERT_TRUE(sink.PumpUntil([&](auto&) { return sink.Count(s, FD_CLOSE) > 0; }));
    sink.PumpUntil([](auto&) { return false; }, 50);
    EXPECT_EQ(sink.Count(s, FD_CLOSE), 1);
    EXPECT_EQ(api.recv(s, buf, sizeof buf, 0), 0);
    api.closesocket(s);
}

TEST_F(Wsock, ListenerSignalsAcceptAndAcceptedSocketsGetOwnValues) {
    SOCKET ls = api.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    SOCKADDR_IN a = Loopback(0);
    ASSERT_EQ(api.bind(ls, reinterpret_cast<SOCKADDR*>(&a), sizeof a), 0);
    int len = sizeof a;
    ASSERT_EQ(api.getsockname(ls, reinterpret_cast<SOCKADDR*>(&a), &len), 0);
    ASSERT_EQ(api.listen(ls, 5), 0);
    ASSERT_EQ(api.WSAAsyncSelect(ls, sink.hwnd, kMsg, FD_ACCEPT), 0);
    int c = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in na{};
    na.sin_family = AF_INET;
    na.sin_port = a.sin_port;
    na.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(c, reinterpret_cast<sockaddr*>(&na), sizeof na), 0);
    ASSERT_TRUE(sink.PumpUntil([&](auto&) { return sink.Count(ls, FD_ACCEPT) > 0; }));
    SOCKADDR_IN from{};
    int fl = sizeof from;
    SOCKET as = api.accept(ls, reinterpret_cast<SOCKADDR*>(&from), &fl);
    ASSERT_NE(as, INVALID_SOCKET);
    EXPECT_NE(as, ls);
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(api.send(as, "x", 1, 0), 1);
    char ch = 0;
    EXPECT_EQ(::recv(c, &ch, 1, 0), 1);
    EXPECT_EQ(ch, 'x');
    ::close(c);
    api.closesocket(as);
    api.closesocket(ls);
}

TEST_F(Wsock, LookupsAreAnsweredFromTheTestTableIntoTheCallersBuffer) {
    winsock::SetTestHosts({{"three.test", {{"10.0.0.1", "10.0.0.2", "10.0.0.3"}, 0, 0}}});
    alignas(8) char buf[MAXGETHOSTSTRUCT + 1] = {};
    HANDLE h = api.WSAAsyncGetHostByName(sink.hwnd, kLookupMsg, "three.test", buf, sizeof buf);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sink.PumpUntil([&](auto& r) { return r.msg == kLookupMsg; }));
    auto rec = Sink::Log().back();
    EXPECT_EQ(reinterpret_cast<HANDLE>(rec.w), h);
    EXPECT_EQ(WSAGETASYNCERROR(rec.l), 0);
    HOSTENT he;
    std::memcpy(&he, buf, sizeof he);
    std::vector<std::string> got;
    for (char** p = he.h_addr_list; *p; ++p) {
        ASSERT_GE(*p, buf);
        ASSERT_LT(*p + 4, buf + sizeof buf);
        WS_IN_ADDR in;
        std::memcpy(&in.s_addr, *p, 4);
        got.push_back(api.inet_ntoa(in));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_STREQ(he.h_name, "three.test");

    // Unknown names fail without asking a name server; a small buffer is never written past.
    Sink::Log().clear();
    api.WSAAsyncGetHostByName(sink.hwnd, kLookupMsg, "unknown.test", buf, sizeof buf);
    ASSERT_TRUE(sink.PumpUntil([&](auto& r) { return r.msg == kLookupMsg; }));
    EXPECT_EQ(WSAGETASYNCERROR(Sink::Log().back().l), WSAHOST_NOT_FOUND);

    Sink::Log().clear();
    char small[24 + 8];
    std::memset(small, 0x5A, sizeof small);
    api.WSAAsyncGetHostByName(sink.hwnd, kLookupMsg, "three.test", small, 24);
    ASSERT_TRUE(sink.PumpUntil([&](auto& r) { return r.msg == kLookupMsg; }));
    EXPECT_EQ(WSAGETASYNCERROR(Sink::Log().back().l), WSAENOBUFS);
    for (size_t i = 24; i < sizeof small; ++i) EXPECT_EQ(small[i], 0x5A);

    // Reverse lookups and blocking lookups read the same table; localhost and dotted text pass.
    Sink::Log().clear();
    ULONG a = api.inet_addr("10.0.0.2");
    api.WSAAsyncGetHostByAddr(sink.hwnd, kLookupMsg, reinterpret_cast<const char*>(&a), 4, WS_AF_INET, buf,
                              sizeof buf);
    ASSERT_TRUE(sink.PumpUntil([&](auto& r) { return r.msg == kLookupMsg; }));
    std::memcpy(&he, buf, sizeof he);
    EXPECT_STREQ(he.h_name, "three.test");
    HOSTENT* lh = api.gethostbyname("localhost");
    ASSERT_NE(lh, nullptr);
    EXPECT_EQ(std::memcmp(lh->h_addr_list[0], "\x7f\0\0\x01", 4), 0);
    EXPECT_EQ(api.gethostbyname("nowhere.test"), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), WSAHOST_NOT_FOUND);
}

TEST_F(Wsock, ACancelledLookupPostsNothingAndCannotBeCancelledTwice) {
    winsock::SetTestHosts({{"slow.test", {{"10.1.1.1"}, 0, 150}}});
    alignas(8) char buf[MAXGETHOSTSTRUCT + 1] = {};
    HANDLE h1 = api.WSAAsyncGetHostByName(sink.hwnd, kLookupMsg, "slow.test", buf, sizeof buf);
    HANDLE h2 = api.WSAAsyncGetHostByName(sink.hwnd, kLookupMsg, "slow.test", buf, sizeof buf);
    EXPECT_NE(h1, h2);
    EXPECT_EQ(api.WSACancelAsyncRequest(h1), 0);
    EXPECT_EQ(api.WSACancelAsyncRequest(h1), SOCKET_ERROR);
    ASSERT_TRUE(sink.PumpUntil([&](auto& r) { return r.msg == kLookupMsg; }));
    sink.PumpUntil([](auto&) { return false; }, 300);
    ASSERT_EQ(Sink::Log().size(), 1u);
    EXPECT_EQ(reinterpret_cast<HANDLE>(Sink::Log()[0].w), h2);
}

TEST_F(Wsock, ServiceAndProtocolNamesResolve) {
    SERVENT* s = api.getservbyname("http", "tcp");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ntohs(static_cast<uint16_t>(s->s_port)), 80);
    EXPECT_EQ(api.getservbyname("no-such-service", "tcp"), nullptr);
    EXPECT_EQ(api.WSAGetLastError(), WSANO_DATA);
    PROTOENT* p = api.getprotobyname("tcp");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->p_proto, 6);
    p = api.getprotobyname("udp");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->p_proto, 17);
    EXPECT_EQ(api.inet_addr("1.2.3.400"), WS_INADDR_NONE);
    EXPECT_EQ(api.inet_addr(""), WS_INADDR_NONE);
}

}  // namespace
