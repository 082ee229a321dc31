// Line mode, synchronous waits and name lookups.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/winsock/winsock.h"
#include "transport/AsyncSocket.h"
#include "transport/peers.h"

using namespace testpeers;

namespace {

struct LineRun {
    std::unique_ptr<TAsyncSocket> s = std::make_unique<TAsyncSocket>(nullptr);
    std::vector<std::string> lines;
    bool up = false;
    bool closed = false;
    void Start(const ScriptedPeer& peer, bool bindHandler = true) {
        s->SetLineMode(true);
        if (bindHandler) s->OnDataAvailable = [this](TObject*, WORD) { lines.push_back(s->ReceiveStr()); };
        s->OnSessionConnected = [this](TObject*, WORD) { up = true; };
        s->OnSessionClosed = [this](TObject*, WORD) {
            lines.push_back("<closed>");
            closed = true;
        };
        s->SetAddr("127.0.0.1");
        s->SetPort(peer.PortText());
        s->Connect();
        EXPECT_TRUE(PumpUntil([&] { return up; }));
    }
};

TEST(LineMode, LinesInOneReadAndALineEndSplitAcrossReads) {
    std::atomic<bool> step{false};
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, "ab\r\ncd\r\nef\r");
        for (int i = 0; i < 10000 && !step; ++i) usleep(1000);
        WriteAll(fd, "\ngh");
        ReadN(fd, 1, 3000);
    });
    LineRun r;
    r.Start(peer);
    ASSERT_TRUE(PumpUntil([&] { return r.lines.size() == 2; }));
    PumpFor(20);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"ab\r\n", "cd\r\n"}));
    step = true;
    ASSERT_TRUE(PumpUntil([&] { return r.lines.size() == 3; }));
    EXPECT_EQ(r.lines[2], "ef\r\n") << "the CR of one read and the LF of the next end one line";
    EXPECT_EQ(r.s->LineBufferCount(), 2) << "the unterminated rest stays buffered";
    r.s->SendStr("x");
    ASSERT_TRUE(PumpUntil([&] { return r.closed; }));
    EXPECT_EQ(r.lines, (std::vector<std::string>{"ab\r\n", "cd\r\n", "ef\r\n", "gh", "<closed>"}))
        << "the last unterminated line is offered before the close";
}

TEST(LineMode, WithoutAHandlerLinesAreDroppedAndTheRestKept) {
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, "one\r\ntwo\r\nthr");
        ReadToEnd(fd);
    });
    LineRun r;
    r.Start(peer, false);
    ASSERT_TRUE(PumpUntil([&] { return r.s->LineBufferCount() == 3; }));
    EXPECT_EQ(r.s->LineLength(), 0);
    // Leaving line mode hands the kept bytes out before anything new from the socket.
    std::string raw;
    r.s->OnDataAvailable = [&](TObject*, WORD) { raw += r.s->ReceiveStr(); };
    r.s->SetLineMode(false);
    ASSERT_TRUE(PumpUntil([&] { return raw == "thr"; }));
    r.s->Close();
}

TEST(LineMode, ReceiveAfterSwitchingOffReturnsBufferedBytesFirst) {
    std::atomic<bool> more{false};
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, "line\r\nrest");
        for (int i = 0; i < 10000 && !more; ++i) usleep(1000);
        WriteAll(fd, "NEW");
        ReadToEnd(fd);
    });
    LineRun r;
    bool first = true;
    r.s->OnDataAvailable = [&](TObject*, WORD) {
        if (!first) return;  // leaves what arrives later in the socket
        first = false;
        r.lines.push_back(r.s->ReceiveStr());
        r.s->SetLineMode(false);
    };
    r.Start(peer, false);
    ASSERT_TRUE(PumpUntil([&] { return r.lines.size() == 1; }));
    EXPECT_EQ(r.lines[0], "line\r\n");
    more = true;
    ASSERT_TRUE(PumpUntil([&] { return r.s->RcvdCount() >= 7; }));
    char buf[16];
    int n = r.s->Receive(buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max(n, 0))), "rest");
    n = r.s->Receive(buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max(n, 0))), "NEW");
    r.s->Close();
}

TEST(LineMode, EditingAppliesBackspaceAndTabAndEchoes) {
    std::string echoed;
    std::atomic<bool> second{false};
    ScriptedPeer peer([&](int fd) {
        WriteAll(fd, std::string("abc\x08" "d\r\n", 7));
        echoed = ReadN(fd, 9);
        second = true;
        WriteAll(fd, "ab\tc\r\n");
        ReadToEnd(fd);
    });
    LineRun r;
    r.s->LineEdit = true;
    r.s->LineEcho = true;
    r.Start(peer);
    ASSERT_TRUE(PumpUntil([&] { return !r.lines.empty() && second; }));
    EXPECT_EQ(r.lines[0], "abd\r\n");
    EXPECT_EQ(echoed, std::string("abc\x08\x20\x08" "d\r\n", 9));
    ASSERT_TRUE(PumpUntil([&] { return r.lines.size() == 2; }));
    EXPECT_EQ(r.lines[1], "ab      c\r\n") << "a tab at column 2 pads to column 8";
    r.s->Close();
}

TEST(SyncWait, DoneAtOnceAndDoneByAnEvent) {
    TAsyncSocket s(nullptr);
    bool done = true;
    EXPECT_EQ(s.WaitUntilDone(done), 0);
    ScriptedPeer peer([](int fd) {
        WriteAll(fd, "ready");
        ReadToEnd(fd);
    });
    s.OnDataAvailable = [&](TObject*, WORD) {
        if (s.ReceiveStr() == "ready") done = true;
    };
    EXPECT_EQ(s.RunAndWait(
                  [&] {
                      s.SetAddr("127.0.0.1");
                      s.SetPort(peer.PortText());
                      s.Connect();
                  },
                  done),
              0);
    EXPECT_TRUE(done);
    s.Close();
}

class Lookup : public ::testing::Test {
protected:
    void SetUp() override {
        winsock::SetTestHosts({{"three.test", {{"10.0.0.1", "10.0.0.2", "10.0.0.3"}, 0, 0}},
                               {"slow.test", {{"10.9.9.9"}, 0, 200}},
                               {"broken.test", {{}, 11003, 0}}});
        s.OnDnsLookupDone = [this](TObject*, WORD e) { done.push_back(e); };
    }
    void TearDown() override { winsock::ClearTestHosts(); }
    TAsyncSocket s{nullptr};
    std::vector<int> done;
};

TEST_F(Lookup, DottedTextIsAnsweredInsideTheCall) {
    s.DnsLookup("10.0.0.1");
    EXPECT_EQ(done, std::vector<int>{0});
    EXPECT_EQ(s.DnsResult(), "10.0.0.1");
    EXPECT_EQ(s.DnsResultList()->Count(), 0);
}

TEST_F(Lookup, NamesAnsweredFailedAndReversed) {
    s.DnsLookup("three.test");
    EXPECT_TRUE(done.empty());
    ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
    EXPECT_EQ(done[0], 0);
    EXPECT_EQ(s.DnsResult(), "10.0.0.1");
    ASSERT_EQ(s.DnsResultList()->Count(), 3);
    EXPECT_EQ(s.DnsResultList()->Strings(2), "10.0.0.3");
    struct Case {
        std::string name;
        int error;
    };
    for (auto c : {Case{"nowhere.test", 11001}, Case{"broken.test", 11003}}) {
        done.clear();
        s.DnsLookup(c.name);
        ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
        EXPECT_EQ(done[0], c.error) << c.name;
        EXPECT_EQ(s.DnsResult(), "");
    }
    done.clear();
    s.ReverseDnsLookup("10.0.0.2");
    ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
    EXPECT_EQ(done[0], 0);
    EXPECT_EQ(s.DnsResult(), "three.test");
    // An empty name is refused; with OnError bound the event carries 10022.
    EXPECT_THROW(s.DnsLookup(""), ESocketException);
    done.clear();
    s.OnError = [](TObject*) {};
    s.DnsLookup("");
    EXPECT_EQ(done, std::vector<int>{10022});
}

TEST_F(Lookup, CancelAndReplacementDropTheOldReply) {
    s.DnsLookup("slow.test");
    s.CancelDnsLookup();
    EXPECT_EQ(done, std::vector<int>{10004});
    done.clear();
    s.DnsLookup("slow.test");
    s.DnsLookup("three.test");  // replaces the pending one
    ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
    PumpFor(350);
    EXPECT_EQ(done, std::vector<int>{0});
    EXPECT_EQ(s.DnsResult(), "10.0.0.1");
}

TEST_F(Lookup, ConnectByNameUsesTheTable) {
    winsock::SetTestHosts({{"peer.test", {{"127.0.0.1"}, 0, 0}}});
    ScriptedPeer peer([](int fd) { ReadToEnd(fd); });
    bool up = false;
    s.OnSessionConnected = [&](TObject*, WORD e) { up = e == 0; };
    s.SetAddr("peer.test");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(PumpUntil([&] { return up; }));
    EXPECT_EQ(s.PeerAddr(), "127.0.0.1");
    s.Close();
}

}  // namespace
