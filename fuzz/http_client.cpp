// Fuzzes THttpClient's own receive state machine: the answer reaches the client over a loopback
// connection, cut into writes that each arrive as a receive of their own, and the client's socket
// events, line cutting, header parsing, body delivery, redirects, refusals and the end of the
// request all run as in a real exchange (tests/support/answerplayer.h plays the server).
//
// The first byte chooses the request (bits 0-1: GET, GET, POST, HEAD), a proxy (bit 2) and the
// size of the writes (bits 3-7: 0 sends the answer in one write, 1 a byte at a time, or 64 bytes
// beyond 512, n above 1 writes of n x n x 9 bytes); the rest is the answer, given again to every
// connection a redirect makes. The body is capped at 64 KiB, as the messenger's senders cap the
// gateway's answer. No name resolves and a redirect that would leave the loopback server is
// aborted, so nothing goes beyond this machine.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/winsock/winsock.h"
#include "tests/support/answerplayer.h"
#include "transport/HttpClient.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::vector<std::string> Writes(const std::string& answer, unsigned cut) {
    if (cut == 0 || answer.empty()) return {answer};
    // A byte at a time only for short answers: a long trickle adds time, not paths.
    const size_t step = cut == 1 ? (answer.size() <= 512 ? 1 : 64) : static_cast<size_t>(cut) * cut * 9;
    std::vector<std::string> out;
    for (size_t off = 0; off < answer.size(); off += step) out.push_back(answer.substr(off, step));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static bool once = [] {
        winsock::SetTestHosts({});  // every name fails at once, without a name server
        return true;
    }();
    (void)once;
    static testsupport::AnswerPlayer server;

    const THttpRequest kinds[] = {rqGet, rqGet, rqPost, rqHead};
    const THttpRequest kind = kinds[data[0] & 3];
    const bool viaProxy = (data[0] & 4) != 0;
    const std::string answer(reinterpret_cast<const char*>(data + 1), size - 1);

    THttpClient c(nullptr);
    c.InactivityTimeout = 0;  // a request that does not end is a finding, not a time-out
    c.MaxBodySize = 64 * 1024;
    TStringStream form("telno=905321112233&mesaj=selam%2DTolvar&ip=0%2E8%2E219%2E51");
    TMemoryStream body;
    c.SendStream = &form;
    c.RcvdStream = &body;
    const std::string base = server.Url("/");
    if (viaProxy) {
        c.Proxy = "127.0.0.1";
        c.ProxyPort = std::to_string(server.Port());
        c.URL = "http://gateway.invalid/marendo/tolvar1.asp";
    } else {
        c.URL = server.Url("/marendo/tolvar1.asp");
    }
    int redirects = 0;
    c.OnLocationChange = [&](TObject*) {
        ++redirects;
        // Through the proxy every attempt goes to the server; directly, only a target on it is
        // followed.
        if (!viaProxy && c.Location().compare(0, base.size(), base) != 0) c.Abort();
    };

    auto out = server.Play(c, kind, {Writes(answer, data[0] >> 3)}, 5000);
    Check(!out.stalled);
    Check(c.State() == hsReady);
    if (out.raised) {
        Check((out.code >= 4 && out.code <= THttpClient::BodyTooLong) || out.code >= 400);
        return 0;
    }
    // What returns is an answer opened by a well-formed status line or a page without a header,
    // within the header's budget (for each attempt) and the body's cap; an answer of no byte at
    // all is refused.
    const int status = c.StatusCode();
    Check(status == 0 || (status >= 100 && status < 400));
    TStringList* lines = c.ReceivedHeaderLines();
    if (lines->Count() > 0) Check(http::ParseStatusLine(lines->Strings(0)).WellFormed);
    else Check(status == 0 && c.BytesReceived() > 0);
    Check(lines->Count() <= (redirects + 1) * THttpClient::MaxHeaderLines);
    Check(body.Size() <= c.MaxBodySize);
    Check(body.Size() == static_cast<std::int64_t>(c.BytesReceived()));
    Check(c.LastReceived().size() <= static_cast<size_t>(http::TReceiveBuffer::Capacity));
    // A body that announced its length came whole.
    if (redirects == 0 && kind != rqHead && status >= 200 && status != 204 && status != 304 && c.ContentLength() >= 0)
        Check(c.BytesReceived() >= c.ContentLength());
    return 0;
}
