// The answer's header blocks as "wininet.dll" reads them, and the header queries on the final one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wininet/header.h"
#include "platform/wininet/wininet.h"

using wininet::HeaderReader;

namespace {

HeaderReader Read(const std::vector<std::string>& lines) {
    HeaderReader h;
    for (const auto& l : lines) h.Line(l);
    return h;
}

std::string Query(const HeaderReader& h, DWORD level) {
    std::string v;
    DWORD err = wininet::QueryHeader(h.StatusLine(), h.Lines(), level, v);
    return err ? "!" + std::to_string(err) : v;
}

}  // namespace

TEST(WinInetHeader, InterimAnswersAndFollowedRedirectsArePassedOver) {
    struct Case {
        std::vector<std::string> lines;
        bool done;
        std::string status;
    } cases[] = {
        {{"HTTP/1.1 100 Continue", "", "HTTP/1.1 200 OK", "Content-Length: 3", ""}, true, "HTTP/1.1 200 OK"},
        {{"HTTP/1.0 302 Found", "Location: /b", "", "HTTP/1.0 404 Not Found", ""}, true, "HTTP/1.0 404 Not Found"},
        {{"HTTP/1.0 302 Found", "Content-Length: 0", ""}, true, "HTTP/1.0 302 Found"},  // no Location: final
        {{"HTTP/1.0 304 Not Modified", "Location: /b", ""}, true, "HTTP/1.0 304 Not Modified"},
        {{"HTTP/1.0 200 OK", "Content-Length: 3"}, false, ""},  // the empty line has not come
        {{"HTTP/1.0 200 OK", "", "HTTP/1.0 500 Later", ""}, true, "HTTP/1.0 200 OK"},  // the first final stays
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.lines.front());
        HeaderReader h = Read(k.lines);
        EXPECT_EQ(h.Done(), k.done);
        EXPECT_EQ(h.StatusLine(), k.status);
    }
    // A transfer that ends (or a body that begins) without the empty line takes the block read last.
    HeaderReader h = Read({"HTTP/1.0 200 OK", "Content-Length: 3"});
    h.Finish();
    EXPECT_TRUE(h.Done());
    EXPECT_EQ(Query(h, HTTP_QUERY_CONTENT_LENGTH), "3");
}

TEST(WinInetHeader, Queries) {
    HeaderReader h = Read({"HTTP/1.1 404 Not Found Here", "content-length:\t 12 ", "Content-Type: text/html",
                           "X-Content-Length: 99", ""});
    EXPECT_EQ(Query(h, HTTP_QUERY_STATUS_CODE), "404");
    EXPECT_EQ(Query(h, HTTP_QUERY_STATUS_TEXT), "Not Found Here");
    EXPECT_EQ(Query(h, HTTP_QUERY_CONTENT_LENGTH), "12");
    EXPECT_EQ(Query(h, HTTP_QUERY_CONTENT_TYPE), "text/html");
    EXPECT_EQ(Query(h, HTTP_QUERY_LOCATION), "!" + std::to_string(ERROR_HTTP_HEADER_NOT_FOUND));
    EXPECT_EQ(Query(h, 12345), "!" + std::to_string(ERROR_HTTP_INVALID_QUERY_REQUEST));
    EXPECT_EQ(Query(h, HTTP_QUERY_RAW_HEADERS_CRLF),
              "HTTP/1.1 404 Not Found Here\r\ncontent-length:\t 12 \r\nContent-Type: text/html\r\n"
              "X-Content-Length: 99\r\n\r\n");
    for (const char* bad : {"HTTP/1.0", "HTTP/1.0 2", "HTTP/1.0 abc OK", "HTTP/1.0 2000 odd", ""})
        EXPECT_EQ(wininet::StatusOf(bad), 0) << bad;
    EXPECT_EQ(wininet::StatusOf("HTTP/1.0 200"), 200);
}
