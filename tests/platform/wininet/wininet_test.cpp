// "wininet.dll" against scripted loopback peers and Python's http.server: the request it sends, the
// header queries, reading bodies, the failures with their error numbers, redirects, time limits and
// closing a handle from another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "platform/win/winbase.h"
#include "platform/wininet/wininet.h"
#include "support/webservers.h"
#include "transport/http/httppeers.h"

using namespace httptest;
using testsupport::WebServer;

namespace {

// A session, connection and request made in one go, closed in reverse order at the end.
struct Exchange {
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    Exchange(int port, const char* path, const char* verb = "GET", const char* agent = "Brenwick HTTPGet",
             const char* referrer = "", DWORD flags = INTERNET_FLAG_RELOAD, const char* accept = "*/*") {
        session = InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        connection = InternetConnectA(session, "127.0.0.1", static_cast<INTERNET_PORT>(port), "", "",
                                      INTERNET_SERVICE_HTTP, 0, 0);
        const char* types[] = {accept, nullptr};
        request = HttpOpenRequestA(connection, verb, path, "HTTP/1.0", referrer, accept ? types : nullptr, flags, 0);
    }
    ~Exchange() {
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
        InternetCloseHandle(session);
    }
    // The query's text, or "!" + the error number.
    std::string Query(DWORD what) {
        char buf[1024];
        DWORD len = sizeof buf;
        if (!HttpQueryInfoA(request, what, buf, &len, nullptr)) return "!" + std::to_string(GetLastError());
        EXPECT_EQ(len, std::strlen(buf));
        return std::string(buf, len);
    }
    // Reads in blocks of `block` bytes until the end; the error number of a failed read in *error.
    std::string ReadAll(DWORD block = 1025, DWORD* error = nullptr) {
        std::string out;
        std::string buf(block, '\0');
        for (;;) {
            DWORD got = 99;
            if (!InternetReadFile(request, buf.data(), block, &got)) {
                if (error) *error = GetLastError();
                EXPECT_EQ(got, 0u);
                return out;
            }
            if (got == 0) break;
            EXPECT_LE(got, block);
            out.append(buf.data(), got);
        }
        if (error) *error = 0;
        return out;
    }
};

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    unsigned v = 1;
    for (auto& c : s) c = static_cast<char>((v = v * 1103515245u + 12345u) >> 16);
    return s;
}

}  // namespace

TEST(WinInet, RequestLineAndHeadersAsGiven) {
    struct Case {
        const char* agent;
        const char* referrer;
        DWORD flags;
        const char* accept;
        std::vector<std::string> present, absent;
    } cases[] = {
        {"Brenwick HTTPGet", "", INTERNET_FLAG_RELOAD, "*/*",
         {"User-Agent: Brenwick HTTPGet", "Accept: */*", "Pragma: no-cache"}, {"Referer:"}},
        {"", "http://from.example/page", 0, "text/plain",
         {"Accept: text/plain", "Referer: http://from.example/page"}, {"User-Agent:", "Pragma:"}},
        {"A", "", 0, nullptr, {"User-Agent: A"}, {"Accept:", "Pragma:"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.agent);
        std::string request;
        ScriptedPeer peer([&](int fd) {
            request = ReadRequest(fd);
            WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
        });
        Exchange x(peer.Port(), "/marendo/smsyeni.txt", "GET", k.agent, k.referrer, k.flags, k.accept);
        ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0)) << GetLastError();
        EXPECT_EQ(x.ReadAll(), "ok");
        peer.Join();
        EXPECT_EQ(FirstLine(request), "GET /marendo/smsyeni.txt HTTP/1.0");
        EXPECT_EQ(HeaderLine(request, "Host:"), "Host: 127.0.0.1:" + peer.PortText());
        for (auto& h : k.present) EXPECT_NE(request.find("\r\n" + h + "\r\n"), std::string::npos) << h << request;
        for (auto& h : k.absent) EXPECT_EQ(HeaderLine(request, h), "") << request;
    }
}

TEST(WinInet, PostCarriesTheBodyAndTheExtraHeader) {
    WebServer server(WebServer::Python);
    Exchange x(server.Port(), "/echo", "POST");
    std::string body = "isim=tolvar-a%40b&mesaj=Merhaba+d%FCnya";
    const char* header = "Content-Type: application/x-www-form-urlencoded";
    ASSERT_TRUE(HttpSendRequestA(x.request, header, 47, body.data(), static_cast<DWORD>(body.size())));
    std::string echo = x.ReadAll();
    EXPECT_NE(echo.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos) << echo;
    EXPECT_NE(echo.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(echo.substr(echo.size() - body.size()), body);
}

TEST(WinInet, HeaderQueries) {
    ScriptedPeer peer([](int fd) {
        ReadRequest(fd);
        WriteAll(fd, "HTTP/1.0 203 Fine Here\r\nContent-Type: text/plain\r\nContent-Length:   5 \r\n\r\nhello");
    });
    Exchange x(peer.Port(), "/");
    char buf[8];
    DWORD len = sizeof buf;
    EXPECT_FALSE(HttpQueryInfoA(x.request, HTTP_QUERY_STATUS_CODE, buf, &len, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_LENGTH), "5");
    EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), "203");
    EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_TEXT), "Fine Here");
    EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_TYPE), "text/plain");
    EXPECT_EQ(x.Query(HTTP_QUERY_LOCATION), "!" + std::to_string(ERROR_HTTP_HEADER_NOT_FOUND));
    EXPECT_EQ(x.Query(9999), "!" + std::to_string(ERROR_HTTP_INVALID_QUERY_REQUEST));
    DWORD n = 0, nlen = sizeof n;
    ASSERT_TRUE(HttpQueryInfoA(x.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &n, &nlen, nullptr));
    EXPECT_EQ(n, 203u);
    // A buffer too small tells the size needed (with the terminating zero).
    len = 3;
    EXPECT_FALSE(HttpQueryInfoA(x.request, HTTP_QUERY_STATUS_TEXT, buf, &len, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(x.ReadAll(2), "hello");
}

TEST(WinInet, PythonServesAFileInBlocksAndA404) {
    WebServer server(WebServer::Python);
    const std::string big = Pattern(300 * 1024 + 7);  // beyond what the exchange buffers
    server.Serve("big.bin", big);
    {
        Exchange x(server.Port(), "/big.bin");
        ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_LENGTH), std::to_string(big.size()));
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), "200");
        EXPECT_TRUE(x.ReadAll() == big);
        DWORD got = 7;
        char c;
        EXPECT_TRUE(InternetReadFile(x.request, &c, 1, &got));  // the end stays the end
        EXPECT_EQ(got, 0u);
    }
    {
        Exchange x(server.Port(), "/missing.txt");
        ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));  // an answer is an answer
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), "404");
    }
    {
        Exchange x(server.Port(), "/moved");
        server.Serve("news.txt", "[Kontrol]\r\nSurum=18\r\n");
        ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(x.Query(HTTP_QUERY_STATUS_CODE), "200");
        EXPECT_EQ(x.ReadAll(), "[Kontrol]\r\nSurum=18\r\n");
    }
}

TEST(WinInet, FailuresGiveTheirErrorNumbers) {
    {  // nothing listens
        Exchange x(FreePort(), "/");
        EXPECT_FALSE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
        DWORD got;
        char c;
        EXPECT_FALSE(InternetReadFile(x.request, &c, 1, &got));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    {  // accepted and closed without a word
        ScriptedPeer peer([](int fd) { ReadRequest(fd); });
        Exchange x(peer.Port(), "/");
        EXPECT_FALSE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_SERVER_RESPONSE);
    }
    {  // a body shorter than announced: the bytes that came, then the failure
        WebServer server(WebServer::Python);
        Exchange x(server.Port(), "/cut");
        ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_LENGTH), "1000");
        DWORD error = 0;
        EXPECT_EQ(x.ReadAll(1025, &error), "[Kontrol]\r\nSurum=18\r\n");
        EXPECT_EQ(error, ERROR_INTERNET_CONNECTION_ABORTED);
    }
    {  // no length: the body ends with the connection, cleanly
        WebServer server(WebServer::Python);
        Exchange x(server.Port(), "/nolength");
        ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
        EXPECT_EQ(x.Query(HTTP_QUERY_CONTENT_LENGTH), "!" + std::to_string(ERROR_HTTP_HEADER_NOT_FOUND));
        DWORD error = 1;
        EXPECT_EQ(x.ReadAll(1025, &error), "[Kontrol]\r\nSurum=18\r\n");
        EXPECT_EQ(error, 0u);
    }
    {  // no host
        HINTERNET s = InternetOpenA("", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        HINTERNET c = InternetConnectA(s, "", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET r = HttpOpenRequestA(c, "GET", "www.x.example", "HTTP/1.0", "", nullptr, 0, 0);
        EXPECT_FALSE(HttpSendRequestA(r, nullptr, 0, nullptr, 0));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_NAME_NOT_RESOLVED);
        InternetCloseHandle(s);
    }
    EXPECT_EQ(wininet::OpenHandleCount(), 0);
}

TEST(WinInet, FollowsFiveRedirectsAndRefusesTheSixth) {
    for (int hops : {5, 6}) {
        SCOPED_TRACE(hops);
        SequencePeer* self = nullptr;
        SequencePeer peer(6, [&](int i, int fd) {
            ReadRequest(fd);
            if (i < hops)
                WriteAll(fd, "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + self->PortText() + "/hop" +
                                 std::to_string(i + 1) + "\r\nContent-Length: 0\r\n\r\n");
            else
                WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nhere");
        });
        self = &peer;
        Exchange x(peer.Port(), "/hop0");
        BOOL ok = HttpSendRequestA(x.request, nullptr, 0, nullptr, 0);
        if (hops == 5) {
            ASSERT_TRUE(ok) << GetLastError();
            EXPECT_EQ(x.ReadAll(), "here");
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), ERROR_HTTP_REDIRECT_FAILED);
        }
    }
}

TEST(WinInet, AStalledBodyEndsAtTheReceiveTimeLimit) {
    WebServer server(WebServer::Python);
    Exchange x(server.Port(), "/stall");
    DWORD limit = 1000;
    ASSERT_TRUE(InternetSetOptionA(x.request, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit));
    ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
    auto start = std::chrono::steady_clock::now();
    DWORD error = 0;
    EXPECT_EQ(x.ReadAll(1025, &error), "[Kontrol]\r\n");
    EXPECT_EQ(error, ERROR_INTERNET_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(WinInet, ClosingFromAnotherThreadEndsABlockedRead) {
    WebServer server(WebServer::Python);
    Exchange x(server.Port(), "/stall");
    ASSERT_TRUE(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0));
    char buf[64];
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(x.request, buf, sizeof buf, &got));
    EXPECT_EQ(std::string(buf, got), "[Kontrol]\r\n");
    // The next read blocks (the server waits half a minute); closing the session ends it.
    auto reader = std::async(std::launch::async, [&] {
        DWORD n = 0;
        BOOL ok = InternetReadFile(x.request, buf, sizeof buf, &n);
        return std::make_pair(ok, GetLastError());
    });
    EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_TRUE(InternetCloseHandle(x.session));
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    auto [ok, error] = reader.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_INTERNET_OPERATION_CANCELLED);
    // Closing the session closed the connection and the request with it.
    EXPECT_FALSE(InternetCloseHandle(x.request));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(wininet::OpenHandleCount(), 0);
}

TEST(WinInet, HandlesOfTheWrongKindAndTheModuleTable) {
    HINTERNET s = InternetOpenA("a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(HttpOpenRequestA(s, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_FALSE(HttpSendRequestA(s, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_TRUE(InternetCloseHandle(s));
    EXPECT_FALSE(InternetCloseHandle(s));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    wininet::EnsureRegistered();
    HMODULE lib = LoadLibraryA("WININET.DLL");
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(GetProcAddress(lib, "InternetOpenA"), reinterpret_cast<FARPROC>(&InternetOpenA));
    EXPECT_EQ(GetProcAddress(lib, "InternetReadFile"), reinterpret_cast<FARPROC>(&InternetReadFile));
    EXPECT_EQ(GetProcAddress(lib, "InternetCloseHandle"), reinterpret_cast<FARPROC>(&InternetCloseHandle));
    EXPECT_TRUE(FreeLibrary(lib));
}
