// The send queue, the receive loop and the chunks behind them.
#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <memory>
#include <vector>
#include <string>

#include "transport/AsyncSocket.h"
#include "transport/peers.h"

using namespace testpeers;

namespace {

std::unique_ptr<TAsyncSocket> ConnectTo(const ScriptedPeer& peer) {
    auto s = std::make_unique<TAsyncSocket>(nullptr);
    bool up = false;
    s->OnSessionConnected = [&](TObject*, WORD e) { up = e == 0; };
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    EXPECT_TRUE(PumpUntil([&] { return up; }));
    s->OnSessionConnected = nullptr;
    PumpFor(10);  // the FD_WRITE that follows the connect
    return s;
}

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

TEST(TBufferChunk, WritePeekRemove) {
    TBuffer zero(0);
    EXPECT_EQ(zero.Capacity(), 1514);
    TBuffer b(10);
    EXPECT_EQ(b.Write("abcdefghijkl", 12), 10);
    EXPECT_EQ(b.Write("x", 1), 0);
    int n = 0;
    const char* p = b.Peek(n);
    ASSERT_EQ(n, 10);
    EXPECT_EQ(std::string(p, 3), "abc");
    EXPECT_EQ(b.Remove(4), 4);
    p = b.Peek(n);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(*p, 'e');
    EXPECT_EQ(b.Remove(100), 6) << "cut to what is unsent";
    EXPECT_EQ(b.Peek(n), nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(b.Remove(1), 0);
    EXPECT_EQ(b.Write("zz", 2), 2) << "an emptied chunk is filled again from the start";
}

TEST(SendQueue, DataSentFollowsAtTheNextDispatchNotInsideSend) {
    std::string got;
    ScriptedPeer peer([&](int fd) { got = ReadN(fd, 3000); });
    auto s = ConnectTo(peer);
    int sent = 0;
    s->OnDataSent = [&](TObject*, WORD e) {
        EXPECT_EQ(e, 0);
        ++sent;
    };
    const std::string data = Pattern(3000);
    EXPECT_EQ(s->Send(data.data(), 3000), 3000);
    EXPECT_EQ(sent, 0);
    EXPECT_TRUE(s->AllSent());
    ASSERT_TRUE(PumpUntil([&] { return sent > 0; }));
    peer.Join();
    EXPECT_EQ(got, data);
    PumpFor(20);
    EXPECT_EQ(sent, 1);
}

TEST(SendQueue, SlowReaderGetsEverythingInOrder) {
    const size_t total = 8 * 1024 * 1024;
    const std::string data = Pattern(total);
    std::string got;
    std::atomic<bool> go{false};
    ScriptedPeer peer([&](int fd) {
        for (int i = 0; i < 10000 && !go; ++i) usleep(1000);  // reads nothing until all is handed to Send
        for (int i = 0; i < 20; ++i) {  // then a slow start
            got += ReadN(fd, 4096);
            usleep(2000);
        }
        got += ReadN(fd, total - got.size(), 20000);
    }, 8192);
    auto s = ConnectTo(peer);
    int sent = 0;
    s->OnDataSent = [&](TObject*, WORD) { ++sent; };
    // Sent in uneven pieces, so chunks are filled across calls.
    size_t off = 0, piece = 1000;
    while (off < total) {
        size_t n = std::min(piece, total - off);
        ASSERT_EQ(s->Send(data.data() + off, static_cast<int>(n)), static_cast<int>(n));
        off += n;
        piece = piece * 3 % 70000 + 1;
    }
    EXPECT_FALSE(s->AllSent()) << "the socket buffer filled up and the rest is queued";
    EXPECT_GT(s->SendQueueChunks(), 1);
    go = true;
    ASSERT_TRUE(PumpUntil([&] { return sent > 0; }, 20000))
        << "queued chunks " << s->SendQueueChunks() << ", received " << got.size();
    EXPECT_TRUE(s->AllSent());
    peer.Join();
    ASSERT_EQ(got.size(), total);
    EXPECT_TRUE(got == data) << "bytes lost or out of order";
}

TEST(SendQueue, ZeroByteSendWithNothingQueuedStillSignalsDataSent) {
    ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
    auto s = ConnectTo(peer);
    int sent = 0;
    s->OnDataSent = [&](TObject*, WORD) { ++sent; };
    EXPECT_EQ(s->SendQueueChunks(), 0);
    EXPECT_EQ(s->Send(nullptr, 0), 0);
    EXPECT_TRUE(s->AllSent());
    ASSERT_TRUE(PumpUntil([&] { return sent == 1; }));
    s->Flush();  // returns at once: nothing waits
    s->Close();
}

TEST(SendQueue, SendWhenNotConnectedFails) {
    TAsyncSocket s(nullptr);
    int errors = 0;
    s.OnError = [&](TObject*) { ++errors; };
    EXPECT_EQ(s.SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(s.LastError(), 10057);
    s.OnError = nullptr;
    try {
        s.SendStr("x");
        FAIL();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message, "Error 10057 in function Send\r\nSocket is not connected");
    }
}

TEST(SendQueue, PeerResetWhileSendingClosesOnceWithTheCode) {
    ScriptedPeer peer([](int fd) {
        ReadN(fd, 1000);
        CloseWithReset(fd);
    });
    auto s = ConnectTo(peer);
    std::vector<int> closes;
    s->OnSessionClosed = [&](TObject*, WORD e) { closes.push_back(e); };
    const std::string chunk = Pattern(64 * 1024);
    DWORD end = GetTickCount() + 5000;
    while (s->State() == wsConnected && static_cast<int>(GetTickCount() - end) < 0) {
        s->Send(chunk.data(), static_cast<int>(chunk.size()));
        PumpFor(2);
    }
    PumpFor(30);
    EXPECT_EQ(s->State(), wsClosed);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0], 10054);
    EXPECT_EQ(s->SendQueueChunks(), 0) << "nothing is left waiting for a dead connection";
}

TEST(ReceiveLoop, NoHandlerDiscardsAndARaisingHandlerEndsTheLoopQuietly) {
    std::atomic<bool> go{false};
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, std::string(5000, 'z'));
        for (int i = 0; i < 10000 && !go; ++i) usleep(1000);
        WriteAll(fd, "after");
        ReadToEnd(fd);
    });
    auto s = ConnectTo(peer);
    PumpFor(50);
    EXPECT_EQ(s->RcvdCount(), 0) << "read and thrown away";
    int calls = 0;
    s->OnDataAvailable = [&](TObject*, WORD) {
        ++calls;
        throw Exception("handler failure");
    };
    int bg = 0;
    s->OnBgException = [&](TObject*, Exception&, bool&) { ++bg; };
    go = true;
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; }));
    PumpFor(20);
    EXPECT_EQ(bg, 0);
    EXPECT_EQ(s->State(), wsConnected);
    EXPECT_EQ(s->ReceiveStr(), "after");
    s->Close();
}

TEST(ReceiveLoop, NoReceiveLoopGivesOneEventPerNotification) {
    ScriptedPeer peer([](int fd) {
        WriteAll(fd, "0123456789");
        ReadToEnd(fd);
    });
    auto s = std::make_unique<TAsyncSocket>(nullptr);
    s->ComponentOptions = wsoNoReceiveLoop;
    std::string got;
    int events = 0;
    s->OnDataAvailable = [&](TObject*, WORD) {
        ++events;
        char c[4];
        int n = s->Receive(c, 4);  // reads only part of what waits
        if (n > 0) got.append(c, static_cast<size_t>(n));
    };
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 10; }));
    EXPECT_EQ(got, "0123456789");
    EXPECT_EQ(events, 3);
    EXPECT_EQ(s->ReadCount(), 10);
    s->Close();
}

// A socket whose read count starts a few bytes short of 2^31 - 1, as after gigabytes of data.
class TLongRunSocket : public TAsyncSocket {
public:
    using TAsyncSocket::TAsyncSocket;
    void SetReadCount(int n) { FReadCount = n; }
};

// The read count goes on past 2^31 - 1 by wrapping modulo 2^32, and the receive loop, which
// watches the count to see a handler take bytes, still hands on every byte.
TEST(ReceiveLoop, TheReadCountWrapsPastTwoGigabytes) {
    const std::string data = Pattern(30000);
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, data);
        ReadToEnd(fd);
    });
    auto s = std::make_unique<TLongRunSocket>(nullptr);
    std::string got;
    bool up = false;
    s->OnSessionConnected = [&](TObject*, WORD e) {
        up = e == 0;
        s->SetReadCount(INT32_MAX - 9);
    };
    s->OnDataAvailable = [&](TObject*, WORD) {
        char c[1000];
        int n = s->Receive(c, sizeof c);
        if (n > 0) got.append(c, static_cast<size_t>(n));
    };
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    ASSERT_TRUE(PumpUntil([&] { return got.size() == data.size(); }));
    EXPECT_TRUE(up);
    EXPECT_EQ(got, data);
    EXPECT_EQ(s->ReadCount(), INT32_MIN + 30000 - 10);
    s->Close();
}

// The loop offers the data again while the handler's reads fill its buffer and stops at a short
// read; bytes that arrive after that short read are announced by an event of their own, so
// nothing is left unread.
TEST(ReceiveLoop, RepeatsWhileReadsFillTheBufferAndMissesNothingAfterAShortRead) {
    std::promise<void> more, written;
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, "0123456789");
        if (more.get_future().wait_for(std::chrono::seconds(5)) != std::future_status::ready) return;
        WriteAll(fd, "abcde");
        written.set_value();
        ReadToEnd(fd);
    });
    auto s = std::make_unique<TAsyncSocket>(nullptr);
    std::vector<std::string> reads;
    s->OnDataAvailable = [&](TObject*, WORD) {
        char c[4];
        int n = s->Receive(c, 4);
        if (n <= 0) return;
        reads.emplace_back(c, static_cast<size_t>(n));
        if (reads.size() == 3) {
            // The short read has just emptied the socket: more bytes come in behind it.
            more.set_value();
            written.get_future().wait_for(std::chrono::seconds(5));
        }
    };
    s->SetAddr("127.0.0.1");
    s->SetPort(peer.PortText());
    s->Connect();
    // One dispatch at a time: the first event alone must bring all ten bytes.
    std::vector<size_t> readsAfterEvent;
    const DWORD end = GetTickCount() + 5000;
    std::string got;
    while (got.size() < 15 && static_cast<int>(GetTickCount() - end) < 0) {
        MSG m;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            continue;
        }
        DispatchMessageA(&m);
        if (m.message == WM_ASYNCSELECT && (WSAGETSELECTEVENT(m.lParam) & FD_READ)) readsAfterEvent.push_back(reads.size());
        got.clear();
        for (auto& r : reads) got += r;
    }
    EXPECT_EQ(got, "0123456789abcde");
    ASSERT_GE(readsAfterEvent.size(), 2u);
    EXPECT_EQ(readsAfterEvent[0], 3u) << "4 + 4 + 2 bytes in one event";
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads[2], "89");
    PumpFor(20);
    EXPECT_EQ(s->ReadCount(), 15);
    s->Close();
}

// A raw UDP socket on a loopback port the system picks.
int RawUdp(int& port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t l = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &l);
    port = ntohs(a.sin_port);
    return fd;
}

void SendDatagram(int fd, int port, const std::string& s) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, s.data(), s.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

TEST(Datagrams, AnEmptyDatagramIsDataAndTheSocketStaysOpen) {
    TAsyncSocket s(nullptr);
    std::vector<std::string> got;
    int closed = 0;
    s.OnDataAvailable = [&](TObject*, WORD) { got.push_back(s.ReceiveStr()); };
    s.OnSessionClosed = [&](TObject*, WORD) { ++closed; };
    s.SetProto("udp");
    s.SetAddr("127.0.0.1");
    s.SetPort("0");
    s.Listen();
    ASSERT_EQ(s.State(), wsConnected);
    int port = std::stoi(s.GetLocalPortText());
    int rawPort = 0;
    int raw = RawUdp(rawPort);
    SendDatagram(raw, port, "");
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    SendDatagram(raw, port, "abc");
    ASSERT_TRUE(PumpUntil([&] { return got.size() >= 2; })) << "the empty datagram blocked the next one";
    PumpFor(20);
    EXPECT_EQ(got, (std::vector<std::string>{"", "abc"}));
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(s.State(), wsConnected);
    ::close(raw);
    s.Close();
}

TEST(Datagrams, ASendLongerThanAChunkIsOneDatagram) {
    int rawPort = 0;
    int raw = RawUdp(rawPort);
    TAsyncSocket s(nullptr);
    s.SetProto("udp");
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(rawPort));
    s.Connect();
    ASSERT_EQ(s.State(), wsConnected);
    const std::string big = Pattern(3000), small = Pattern(10);
    EXPECT_EQ(s.SendStr(big), 3000);
    EXPECT_EQ(s.SendStr(small), 10);
    std::vector<std::string> datagrams;
    for (int i = 0; i < 3; ++i) {
        pollfd p{raw, POLLIN, 0};
        if (::poll(&p, 1, i < 2 ? 2000 : 50) <= 0) break;
        char buf[65536];
        ssize_t n = ::recv(raw, buf, sizeof buf, 0);
        if (n < 0) break;
        datagrams.emplace_back(buf, static_cast<size_t>(n));
    }
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(datagrams[0], big);
    EXPECT_EQ(datagrams[1], small);
    ::close(raw);
    s.Close();
}

}  // namespace
