// THttpClient against answers played write by write over a loopback connection: what it refuses
// as no whole HTTP answer (no status line, cut short, a redirect away from http, an error status
// a later line would hide), what it still takes, and ports that do not fit 16 bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/answerplayer.h"
#include "transport/HttpClient.h"

namespace {

using Writes = std::vector<std::string>;

const std::string kForm = "telno=905321112233&mesaj=selam%2DTolvar";

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
        {"a close before any byte", rqGet, {{}}, 0, "", "", 1},
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
