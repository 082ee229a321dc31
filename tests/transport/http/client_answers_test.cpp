// THttpClient against answers played write by write over a loopback connection: what it refuses
// as no whole HTTP answer (no status line, cut short, a redirect away from http, an error status
// a later line would hide), what it still takes, and ports that do not fit 16 bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/answerplayer.h"
#include "transport/HttpClient.h"
#include "transport/peers.h"

namespace {

using Writes = std::vector<std::string>;

const std::string kForm = "telno=905321112233&mesaj=selam%2DTolvar";

// Reads a request's header and its Content-Length bytes of body (for the curl side).
void ReadRequestOf(int fd) {
    std::string in;
    size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
        std::string more = testpeers::ReadN(fd, 1);
        if (more.empty()) return;
        in += more;
    }
    const size_t cl = in.find("Content-Length: ");
    if (cl != std::string::npos && cl < end) testpeers::ReadN(fd, std::stoul(in.substr(cl + 16)));
}

// The answer's bytes, one write per character.
Writes Trickle(const std::string& answer) {
    Writes out;
    for (char c : answer) out.emplace_back(1, c);
    return out;
}

TEST(HttpClientAnswers, WhatIsNoWholeHttpAnswerEndsThePostWithAClearError) {
    struct Case {
        const char* name;
        Writes writes;
        int code;
        std::string message;
        std::string body;  // what reached the receive stream before the end
    } cases[] = {
        {"no status line", {"garbage\r\n\r\nYOLLANDI"}, 5, "Invalid HTTP answer: no status line", ""},
        {"no status line, a byte at a time", Trickle("garbage\r\n\r\nYOLLANDI"), 5,
         "Invalid HTTP answer: no status line", ""},
        {"a code that is no number", {"HTTP/1.1 abc OK\r\n\r\nYOLLANDI"}, 5, "Invalid HTTP answer: no status line", ""},
        {"a version not spoken", {"HTTP/2.0 200 OK\r\n\r\nYOLLANDI"}, 5, "Invalid HTTP answer: no status line", ""},
        {"a lower-case version", {"http/1.0 200 OK\r\n\r\nYOLLANDI"}, 5, "Invalid HTTP answer: no status line", ""},
        {"a code below 100", {"HTTP/1.0 099 Odd\r\n\r\nYOLLANDI"}, 5, "Invalid HTTP answer: no status line", ""},
        {"a header first", {"Content-Type: text/html\r\nHTTP/1.0 200 OK\r\n\r\nYOLLANDI"}, 5,
         "Invalid HTTP answer: no status line", ""},
        {"a body shorter than its length",
         {"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'a'), std::string(4000, 'b')}, 6,
         "HTTP answer cut short: 5000 of 100000 bytes came", std::string(1000, 'a') + std::string(4000, 'b')},
        {"a header that never ends", {"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n"}, 6,
         "HTTP answer cut short: the header did not end", ""},
        {"a status line without its line end", {"HTTP/1.0 200 OK"}, 6, "HTTP answer cut short: the header did not end",
         ""},
        {"an error status, then a success in the same write",
         {"HTTP/1.0 500 Internal Server Error\r\nHTTP/1.0 200 OK\r\n\r\nYOLLANDI"}, 500, "Internal Server Error",
         "YOLLANDI"},
        {"a redirect to https", {"HTTP/1.0 302 Found\r\nLocation: https://127.0.0.1/x\r\n\r\nmoved"}, 7,
         "Redirect to https refused: only http is supported", ""},
        {"a redirect to another scheme", {"HTTP/1.1 301 Moved\r\nLOCATION: Ftp://127.0.0.1/x\r\n\r\n"}, 7,
         "Redirect to ftp refused: only http is supported", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        testsupport::AnswerPlayer peer;
        THttpClient c(nullptr);
        int docData = 0, done = 0;
        WORD doneError = 99;
        c.OnDocData = [&](TObject*, const void*, int) { ++docData; };
        c.OnRequestDone = [&](TObject*, THttpRequest, WORD e) {
            ++done;
            doneError = e;
        };
        TStringStream form(kForm);
        TMemoryStream body;
        c.SendStream = &form;
        c.RcvdStream = &body;
        c.URL = peer.Url("/marendo/tolvar1.asp");
        auto out = peer.Play(c, rqPost, {k.writes});
        ASSERT_FALSE(out.stalled);
        EXPECT_TRUE(out.raised);
        EXPECT_EQ(out.code, k.code);
        EXPECT_EQ(out.message, k.message);
        EXPECT_EQ(c.State(), hsReady);
        EXPECT_EQ(done, 1);
        EXPECT_EQ(doneError, 0);
        EXPECT_EQ(body.Data(), k.body);
        EXPECT_EQ(docData > 0, !k.body.empty());
        EXPECT_EQ(peer.Connections(), 1) << "nothing went anywhere else";
        EXPECT_EQ(peer.Request().substr(peer.Request().size() - kForm.size()), kForm);
        EXPECT_EQ(peer.Request().find(kForm), peer.Request().size() - kForm.size()) << "the body went once";
    }
}

TEST(HttpClientAnswers, WholeAnswersStillReturn) {
    struct Case {
        const char* name;
        THttpRequest kind;
        std::vector<Writes> answers;  // one per connection
        int status;
        std::string body;
        std::string last;  // LastReceived: each write is a receive of its own
        int connections;
    } cases[] = {
        {"the body in the header's write", rqPost, {{"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nYOLLANDI"}}, 200,
         "YOLLANDI", "YOLLANDI", 1},
        {"a body longer than its length", rqGet, {{"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nYOLLANDI"}}, 200,
         "YOLLANDI", "YOLLANDI", 1},
        {"no length", rqGet, {{"HTTP/1.0 200 OK\r\n\r\nYOL", "LANDI"}}, 200, "YOLLANDI", "LANDI", 1},
        {"a length that is no number", rqGet, {{"HTTP/1.0 200 OK\r\nContent-Length: 9x\r\n\r\nok"}}, 200, "ok", "ok", 1},
        {"a HEAD answer announces what it does not send", rqHead,
         {{"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n"}}, 200, "", "", 1},
        {"no content", rqGet, {{"HTTP/1.0 204 No Content\r\nContent-Length: 10\r\n\r\n"}}, 204, "", "", 1},
        {"not modified", rqGet, {{"HTTP/1.1 304 Not Modified\r\nContent-Length: 50\r\n\r\n"}}, 304, "", "", 1},
        {"a page without a header", rqGet, {{"<HTML>\r\nYOLLANDI\r\n"}}, 0, "<HTML>YOLLANDI", "YOLLANDI", 1},
        {"a plain redirect, its own length left behind", rqPost,
         {{"HTTP/1.0 302 Found\r\nContent-Length: 500\r\nLocation: /marendo/yeni.asp\r\n\r\nmoved"},
          {"HTTP/1.0 200 OK\r\n\r\nYOLLANDI"}},
         200, "YOLLANDI", "YOLLANDI", 2},
        {"a redirect naming http in capitals", rqGet,
         {{"HTTP/1.0 302 Found\r\nLocation: HTTP:/x\r\n\r\n"}, Trickle("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok")},
         200, "ok", "k", 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        testsupport::AnswerPlayer peer;
        THttpClient c(nullptr);
        TStringStream form(kForm);
        TMemoryStream body;
        c.SendStream = &form;
        c.RcvdStream = &body;
        c.URL = peer.Url("/marendo/tolvar1.asp");
        auto out = peer.Play(c, k.kind, k.answers);
        ASSERT_FALSE(out.stalled);
        EXPECT_FALSE(out.raised) << out.message;
        EXPECT_EQ(c.StatusCode(), k.status);
        EXPECT_EQ(body.Data(), k.body);
        EXPECT_EQ(c.LastReceived(), k.last);
        EXPECT_EQ(peer.Connections(), k.connections);
    }
}

// A header of exactly `bytes` bytes, its empty line included: the status line, then lines of at
// most 4000 bytes.
std::string HeaderOfSize(int bytes) {
    std::string h = "HTTP/1.0 200 OK\r\n";
    int left = bytes - static_cast<int>(h.size()) - 2;
    while (left > 0) {
        // Each line is "X-A: " + filler + CR LF; the last one takes what is left (at least 8).
        int line = left > 4008 ? 4000 : left;
        if (left > 4000 && left - line < 8) line = left - 8;
        h += "X-A: " + std::string(static_cast<size_t>(line - 7), 'b') + "\r\n";
        left -= line;
    }
    return h + "\r\n";
}

// A header of `lines` lines (the status line counted, the empty line not).
std::string HeaderOfLines(int lines) {
    std::string h = "HTTP/1.0 200 OK\r\n";
    for (int i = 1; i < lines; ++i) h += "X-A: b\r\n";
    return h + "\r\n";
}

// What a server may send that grows without end, answers cut by a dropped or reset connection,
// and their whole neighbours, played to the client and, byte for byte and ended the same way, to
// curl. The client's budgets (64 KiB and 500 lines of header; here a body cap of 64 KiB, as the
// messenger's senders set) are tighter than curl's 300 KiB of header, and curl's own cap
// (--max-filesize) only acts on an announced length.
TEST(HttpClientAnswers, BrokenAnswersBesideCurl) {
    const std::string curl = testpeers::FindProgram({"/usr/bin/curl", "/bin/curl"});
    ASSERT_FALSE(curl.empty()) << "curl is not installed (Debian package curl)";
    using Ending = testsupport::AnswerPlayer::Ending;
    std::string shortLines, longLines;
    while (shortLines.size() < (2u << 20)) shortLines += "X-A: b\r\n";
    while (longLines.size() < (2u << 20)) longLines += "X-A: " + std::string(1000, 'b') + "\r\n";
    const std::string big(2u << 20, 'Y');
    struct Case {
        const char* name;
        Writes writes;
        Ending ending;
        int code;  // 0: Post returns
        std::string message;
        int doneError;
        std::string body;  // what reached the receive stream
        int curlExit;
    } cases[] = {
        {"a close before any byte", {}, Ending::Close, 5, "Invalid HTTP answer: empty reply from server", 0, "", 52},
        {"a reset before any byte", {}, Ending::Reset, 6,
         "HTTP answer cut short: Connection reset by peer (Error #10054)", 10054, "", 56},
        {"a reset inside the header", {"HTTP/1.0 200 OK\r\nContent-"}, Ending::Reset, 6,
         "HTTP answer cut short: Connection reset by peer (Error #10054)", 10054, "", 56},
        {"a reset inside a body without a length", {"HTTP/1.0 200 OK\r\n\r\nYOL"}, Ending::Reset, 6,
         "HTTP answer cut short: Connection reset by peer (Error #10054)", 10054, "YOL", 56},
        {"a reset inside a body shorter than its length", {"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nYOL"},
         Ending::Reset, 6, "HTTP answer cut short: Connection reset by peer (Error #10054)", 10054, "YOL", 56},
        {"a reset after a body of its whole length", {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nYOL"},
         Ending::Reset, 0, "", 0, "YOL", 0},
        {"a close after a body without a length", {"HTTP/1.0 200 OK\r\n\r\nYOL"}, Ending::Close, 0, "", 0, "YOL", 0},
        {"a header of endless short lines", {"HTTP/1.0 200 OK\r\n", shortLines}, Ending::Close, 9,
         "HTTP header too long: more than 500 lines", 0, "", 56},
        {"a header of endless long lines", {"HTTP/1.0 200 OK\r\n", longLines}, Ending::Close, 8,
         "HTTP header too long: more than 65536 bytes", 0, "", 56},
        {"a huge answer of announced length", {"HTTP/1.0 200 OK\r\nContent-Length: 2097152\r\n\r\n", big},
         Ending::Close, 10, "HTTP answer too long: more than 65536 bytes of body", 0, "", 63},
        {"a huge answer without a length", {"HTTP/1.0 200 OK\r\n\r\n", big}, Ending::Close, 10,
         "HTTP answer too long: more than 65536 bytes of body", 0, "up to the cap", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        testsupport::AnswerPlayer peer;
        THttpClient c(nullptr);
        c.MaxBodySize = 64 * 1024;
        WORD doneError = 99;
        c.OnRequestDone = [&](TObject*, THttpRequest, WORD e) { doneError = e; };
        TStringStream form(kForm);
        TMemoryStream body;
        c.SendStream = &form;
        c.RcvdStream = &body;
        c.URL = peer.Url("/marendo/tolvar1.asp");
        auto out = peer.Play(c, rqPost, {k.writes}, 10000, k.ending);
        ASSERT_FALSE(out.stalled);
        EXPECT_EQ(out.raised, k.code != 0);
        EXPECT_EQ(out.code, k.code);
        EXPECT_EQ(out.message, k.message);
        EXPECT_EQ(doneError, k.doneError);
        if (k.body == "up to the cap") {
            // Read up to the cap, in whole receives, and not past it.
            EXPECT_LE(body.Size(), 64 * 1024);
            EXPECT_GT(body.Size(), 64 * 1024 - http::TReceiveBuffer::Capacity);
            EXPECT_EQ(body.Data(), std::string(static_cast<size_t>(body.Size()), 'Y'));
        } else {
            EXPECT_EQ(body.Data(), k.body);
        }
        EXPECT_LE(c.ReceivedHeaderLines()->Count(), THttpClient::MaxHeaderLines);

        // curl, on the same bytes ended the same way.
        testpeers::ScriptedPeer theirs([&](int fd) {
            ReadRequestOf(fd);
            for (const std::string& w : k.writes) testpeers::WriteAll(fd, w);
            if (k.ending == Ending::Reset) {
                linger l{1, 0};
                setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);  // the peer's close resets
            } else {
                ::shutdown(fd, SHUT_WR);
                testpeers::ReadToEnd(fd, nullptr, 5000);
            }
        });
        testpeers::ChildProcess p(curl, {"-s", "--http1.0", "-o", "/dev/null", "--max-filesize", "65536",
                                         "--data-binary", kForm, "http://127.0.0.1:" + theirs.PortText() + "/"});
        for (int i = 0; i < 1000 && p.Running(); ++i) usleep(10000);
        EXPECT_FALSE(p.Running());
        EXPECT_EQ(p.ExitStatus(), k.curlExit);
    }
}

// The header's two budgets and the body's cap, at their edges: exactly at a budget is taken, one
// byte or one line more is refused with its own code.
TEST(HttpClientAnswers, BudgetsAtTheirEdges) {
    struct Case {
        const char* name;
        std::string answer;
        int maxBody;
        int code;
        std::string body;
        THttpRequest kind = rqGet;
    } cases[] = {
        {"a header of the most bytes", HeaderOfSize(THttpClient::MaxHeaderSize) + "YOLLANDI", 0, 0, "YOLLANDI"},
        {"a header one byte longer", HeaderOfSize(THttpClient::MaxHeaderSize + 1) + "YOLLANDI", 0, 8, ""},
        {"a header of the most lines", HeaderOfLines(THttpClient::MaxHeaderLines) + "YOLLANDI", 0, 0, "YOLLANDI"},
        {"a header one line longer", HeaderOfLines(THttpClient::MaxHeaderLines + 1) + "YOLLANDI", 0, 9, ""},
        {"a body of the cap", "HTTP/1.0 200 OK\r\n\r\nYOLLANDI", 8, 0, "YOLLANDI"},
        {"a body one byte over the cap", "HTTP/1.0 200 OK\r\n\r\nYOLLANDI!", 8, 10, ""},
        {"a length over the cap", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nYOLLANDI", 8, 10, ""},
        {"a length over the cap on a HEAD answer", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n", 8, 0, "", rqHead},
        {"a page without a header over the cap", "<HTML>\r\nYOLLANDI\r\n", 8, 10, "<HTML>"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        testsupport::AnswerPlayer peer;
        THttpClient c(nullptr);
        c.MaxBodySize = k.maxBody;
        TMemoryStream body;
        c.RcvdStream = &body;
        c.URL = peer.Url("/marendo/tolvar1.asp");
        auto out = peer.Play(c, k.kind, {{k.answer}});
        ASSERT_FALSE(out.stalled);
        EXPECT_EQ(out.raised, k.code != 0) << out.message;
        EXPECT_EQ(out.code, k.code);
        EXPECT_EQ(body.Data(), k.body);
    }
}

// A port text beyond 16 bits, in the URL or as the proxy's port, is refused before any connection
// instead of reaching the port it wraps to.
TEST(HttpClientAnswers, PortsBeyondSixteenBitsAreRefused) {
    struct Case {
        const char* name;
        bool viaProxy;
        int above;  // added to the listener's port
    } cases[] = {{"in the URL", false, 65536}, {"as the proxy's port", true, 65536}, {"far above", false, 8000000}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        testsupport::AnswerPlayer peer;
        THttpClient c(nullptr);
        WORD doneError = 0;
        c.OnRequestDone = [&](TObject*, THttpRequest, WORD e) { doneError = e; };
        const std::string port = std::to_string(peer.Port() + k.above);
        if (k.viaProxy) {
            c.Proxy = "127.0.0.1";
            c.ProxyPort = port;
            c.URL = "http://gateway.invalid/marendo/tolvar1.asp";
        } else {
            c.URL = "http://127.0.0.1:" + port + "/marendo/tolvar1.asp";
        }
        auto out = peer.Play(c, rqGet, {{"HTTP/1.0 200 OK\r\n\r\nYOLLANDI"}}, 3000);
        ASSERT_FALSE(out.stalled);
        EXPECT_TRUE(out.raised);
        EXPECT_EQ(out.code, 404);
        EXPECT_EQ(out.message, "can't connect: Invalid argument (Error #10022)");
        EXPECT_EQ(doneError, 10022);
        EXPECT_EQ(peer.Connections(), 0) << "the wrapped port was not reached";
    }
}

}  // namespace
