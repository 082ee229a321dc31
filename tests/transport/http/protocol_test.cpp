// The client's pure core by table: URLs and request targets, header lines, dates, Base64, status
// and header fields, the receive buffer and redirect targets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/HttpClient/Protocol.h"

using namespace http;

namespace {

std::string Show(const TUrlParts& u) {
    return u.Scheme + "|" + u.User + "|" + u.Password + "|" + u.Host + "|" + u.Port + "|" + u.Path;
}

TEST(SplitUrl, Table) {
    struct Case {
        const char* url;
        const char* parts;  // scheme|user|password|host|port|path
    } cases[] = {
        {"", "|||||"},
        {"http://host", "http|||host||"},
        {"http://host/dir/", "http|||host||/dir/"},
        {"http://user:pw@host:8080/a/b.asp?x=1", "http|user|pw|host|8080|/a/b.asp?x=1"},
        {"http://user@host/x", "http|user||host||/x"},
        {"http://us:er:p@w@host/x", "http|us|er:p@w|host||/x"},  // last "@" ends the user part
        {"http://user:pw@host", "http|user|pw|host||"},
        {"HTTP://Host:81/P", "HTTP|||Host|81|/P"},  // kept as typed
        {"ftp://h/f%20g", "ftp|||h||/f%20g"},
        {"/just/a/path", "http|||||/just/a/path"},
        {"//host/x", "http|||||/host/x"},
        {"/", "http|||||"},
        {"http:/x", "http|||||/x"},
        {"HTTP:/x", "http|||||/x"},
        {"mailto:someone@example.org", "mailto|someone||example.org||"},
        {"host:3128", "|||host|3128|"},
        {"proxyhost", "|||proxyhost||"},
        {"host/p:q", "|||host||/p:q"},
        {"http://:80/", "http||||80|/"},
        {"http://[::1]:8/", "http|||[::1]|8|/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(SplitUrlParts(c.url)), c.parts) << c.url;
        std::string s, u, p, h, port, path;
        SplitUrl(c.url, s, u, p, h, port, path);
        EXPECT_EQ(s + "|" + u + "|" + p + "|" + h + "|" + port + "|" + path, c.parts) << c.url;
    }
}

TEST(SplitUrl, EveryOutputStartsEmpty) {
    std::string s = "x", u = "x", p = "x", h = "x", port = "x", path = "x";
    SplitUrl("", s, u, p, h, port, path);
    EXPECT_EQ(s + u + p + h + port + path, "");
}

TEST(PlanRequest, DirectAndThroughAProxy) {
    struct Case {
        const char* url;
        const char* proxy;
        const char* proxyPort;
        const char* hostName;
        const char* hostHeader;
        const char* port;
        const char* path;
        const char* document;
        const char* user;
        const char* password;
    } cases[] = {
        {"http://user:pw@host:8080/a/b.asp?x=1", "", "80", "host", "host", "8080", "/a/b.asp?x=1", "b.asp", "user", "pw"},
        {"http://user:pw@host:8080/a/b.asp?x=1", "http://proxyhost", "3128", "proxyhost", "host", "3128",
         "http://host:8080/a/b.asp?x=1", "b.asp", "user", "pw"},
        {"http://host", "", "80", "host", "host", "80", "/", "document.htm", "", ""},
        {"http://host/dir/", "", "80", "host", "host", "80", "/dir/", "dir", "", ""},
        {"http://host/", "", "80", "host", "host", "80", "/", "document.htm", "", ""},
        {"http://host/setup.exe", "", "80", "host", "host", "80", "/setup.exe", "setup.exe", "", ""},
        {"host/x", "proxy:8000", "3128", "proxy", "host", "8000", "http://host/x", "x", "", ""},
        {"http://host", "proxy", "3128", "proxy", "host", "3128", "http://host/", "document.htm", "", ""},
        {"http://host/x", "proxy:", "3128", "proxy", "host", "3128", "http://host/x", "x", "", ""},
        {"http:///x", "", "80", "", "", "80", "/x", "x", "", ""},
    };
    for (const Case& c : cases) {
        TRequestPlan p = PlanRequest(c.url, c.proxy, c.proxyPort);
        SCOPED_TRACE(std::string(c.url) + " via " + c.proxy);
        EXPECT_EQ(p.Target.HostName, c.hostName);
        EXPECT_EQ(p.Target.HostHeader, c.hostHeader);
        EXPECT_EQ(p.Target.Port, c.port);
        EXPECT_EQ(p.Target.Path, c.path);
        EXPECT_EQ(p.Target.Location, c.url);
        EXPECT_EQ(p.DocumentName, c.document);
        EXPECT_EQ(p.User, c.user);
        EXPECT_EQ(p.Password, c.password);
    }
}

TEST(DocumentName, Table) {
    std::string longName(300, 'n');
    struct Case {
        std::string path, name;
    } cases[] = {
        {"", "document.htm"},          {"/", "document.htm"},      {"/dir/", "dir"},
        {"/a/b.asp?x=1", "b.asp"},     {"/a/b.asp?x=1/2", "2"},    {"/file", "file"},
        {"/" + longName, std::string(255, 'n')},                  {"/q?" + longName, "q"},
    };
    for (const Case& c : cases) EXPECT_EQ(DocumentNameOf(c.path), c.name) << c.path;
    EXPECT_EQ(ReplaceFileExt("setup.exe", "htm"), "setup.htm");
    EXPECT_EQ(ReplaceFileExt("setup", "htm"), "setup.htm");
}

TEST(RequestHeader, LinesInTheirOrder) {
    TRequestHead h;
    h.Method = "POST";
    h.Path = "/a/b.asp?x=1";
    h.Sender = "me@example.org";
    h.Accept = "*/*";
    h.Reference = "http://ref/";
    h.ContentTypePost = "application/x-www-form-urlencoded";
    h.Agent = "Mozilla/3.0 (compatible)";
    h.HostHeader = "host";
    h.NoCache = true;
    h.ContentLength = 10000;
    h.ModifiedSince = 37320.58552083333;  // 5 March 2002 14:03:09
    h.Username = "user";
    h.Password = "pw";
    h.ViaProxy = true;
    h.ProxyUsername = "pu";
    h.ProxyPassword = "pp";
    h.Cookie = "a=1";
    h.RangeBegin = "100";
    h.RangeEnd = "";
    std::vector<std::string> want = {
        "POST /a/b.asp?x=1 HTTP/1.0",
        "From: me@example.org",
        "Accept: */*",
        "Referer: http://ref/",
        "Content-Type: application/x-www-form-urlencoded",
        "User-Agent: Mozilla/3.0 (compatible)",
        "Host: host",
        "Pragma: no-cache",
        "Content-Length: 10000",
        "If-Modified-Since: Tue, 05 Mar 2002 14:03:09 GMT",
        "Authorization: Basic dXNlcjpwdw==",
        "Proxy-Authorization: Basic cHU6cHA=",
        "Cookie: a=1",
        "Range: bytes=100-",
    };
    EXPECT_EQ(RequestHeaderLines(h), want);

    // A GET carries neither the content type nor the length; the proxy line needs a proxy.
    h.Method = "GET";
    h.ViaProxy = false;
    h.Sender = h.Reference = h.Cookie = h.RangeBegin = h.Username = "";
    h.NoCache = false;
    h.ModifiedSince = 0;
    want = {"GET /a/b.asp?x=1 HTTP/1.0", "Accept: */*", "User-Agent: Mozilla/3.0 (compatible)", "Host: host"};
    EXPECT_EQ(RequestHeaderLines(h), want);

    // The Host line is always there, even empty.
    TRequestHead bare;
    bare.Method = "HEAD";
    bare.Path = "/";
    EXPECT_EQ(RequestHeaderLines(bare), (std::vector<std::string>{"HEAD / HTTP/1.0", "Host: "}));
}

TEST(RFC1123Date, EveryDate) {
    struct Case {
        double d;
        const char* text;
    } cases[] = {
        {37320.58552083333, "Tue, 05 Mar 2002 14:03:09"},
        {2.0, "Mon, 01 Jan 1900 00:00:00"},
        {0.0, "Sat, 30 Dec 1899 00:00:00"},
        {-1.25, "Fri, 29 Dec 1899 06:00:00"},
        {-36522.99998842592, "Wed, 01 Jan 1800 23:59:59"},
        {-53797.0, "Thu, 14 Sep 1752 00:00:00"},
        {36585.5, "Tue, 29 Feb 2000 12:00:00"},
        {2958465.999988426, "Fri, 31 Dec 9999 23:59:59"},
        {-693593.0, "Mon, 01 Jan 0001 00:00:00"},
        {1.0 - 1e-12, "Sat, 30 Dec 1899 23:59:59"},  // a hair before midnight stays on its day
    };
    for (const Case& c : cases) EXPECT_EQ(RFC1123Date(c.d), c.text) << c.d;
}

TEST(EncodeBase64, Table) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {std::string("\xff\xfe\x00\x01", 4), "//4AAQ=="},
        {std::string(60, 'a'), "YWFh" + [] {
             std::string s;
             for (int i = 1; i < 20; ++i) s += "YWFh";
             return s;
         }()},  // no line breaks in long output
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeBase64(c.in), c.out) << c.in;
}

TEST(StatusLine, Table) {
    struct Case {
        const char* line;
        bool isStatus, valid, wellFormed;
        int code;
        const char* reason;
    } cases[] = {
        {"HTTP/1.0 200 OK", true, true, true, 200, "OK"},
        {"HTTP/1.1 302 Found", true, true, true, 302, "Found"},
        {"HTTP/1.1 404 Not Found", true, true, true, 404, "Not Found"},
        {"HTTP/1.0 200", true, true, true, 200, ""},
        {"HTTP/1.0 100 Continue", true, true, true, 100, "Continue"},
        {"HTTP/1.0 999 Odd", true, true, true, 999, "Odd"},
        {"HTTP/1.0 20", true, true, false, 20, ""},
        {"HTTP/1.0 099 Low", true, true, false, 99, "Low"},
        {"HTTP/1.0 -12 Minus", true, true, false, -12, "Minus"},
        {"HTTP/1.0 2000 OK", true, true, false, 200, " OK"},
        {"HTTP/1.0  200 OK", true, false, false, 0, " OK"},
        {"HTTP/1.0 2x0 OK", true, false, false, 0, "OK"},
        {"HTTP/1.1 abc OK", true, false, false, 0, "OK"},
        {"HTTP/1.0", true, false, false, 0, ""},
        {"HTTP/1.0 $FF what", true, false, false, 0, "what"},
        {"http/1.0 200 OK", false, false, false, 0, ""},
        {"HTTP/2 200 OK", false, false, false, 0, ""},
        {"HTTP/2.0 200 OK", false, false, false, 0, ""},
        {"garbage", false, false, false, 0, ""},
    };
    for (const Case& c : cases) {
        TStatusLine s = ParseStatusLine(c.line);
        EXPECT_EQ(s.IsStatus, c.isStatus) << c.line;
        EXPECT_EQ(s.CodeValid, c.valid) << c.line;
        EXPECT_EQ(s.WellFormed, c.wellFormed) << c.line;
        if (c.valid) {
            EXPECT_EQ(s.Code, c.code) << c.line;
        }
        if (c.isStatus) {
            EXPECT_EQ(s.Reason, c.reason) << c.line;
        }
    }
}

TEST(SchemeOf, Table) {
    struct Case {
        const char* value;
        const char* scheme;
    } cases[] = {
        {"http://h/x", "http"},   {"HTTP://h/x", "http"},   {"http:/x", "http"},         {"http:x", "http"},
        {"https://h/x", "https"}, {"HtTpS://h", "https"},   {"ftp://h/f", "ftp"},        {"mailto:a@b", "mailto"},
        {"https:x", "https"},     {"svn+ssh://h", "svn+ssh"}, {"/x", ""},                {"//h/x", ""},
        {"new.asp", ""},          {"host:8080/x", ""},      {"host:8080", ""},           {"a/b?u=https://h", ""},
        {"1http://h", ""},        {"", ""},                 {"h_t://x", ""},             {"x:", "x"},
    };
    for (const Case& c : cases) EXPECT_EQ(SchemeOf(c.value), c.scheme) << c.value;
}

TEST(HeaderField, Table) {
    struct Case {
        std::string line;
        bool colon;
        std::string name, value;
    } cases[] = {
        {"Content-Type: Text/HTML", true, "content-type", "Text/HTML"},
        {"LOCATION: /a", true, "location", "/a"},
        {"X:    many", true, "x", "many"},
        {"X:", true, "x", ""},
        {"X: ", true, "x", " "},  // the last character is never skipped
        {"X:a:b", true, "x", "a:b"},
        {"no colon here", false, "", ""},
        {std::string("X-A: a\0b", 8), true, "x-a", std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        THeaderField f = ParseHeaderField(c.line);
        EXPECT_EQ(f.HasColon, c.colon) << c.line;
        EXPECT_EQ(f.Name, c.name) << c.line;
        EXPECT_EQ(f.Value, c.value) << c.line;
    }
}

TEST(HeaderField, NumbersAndRanges) {
    struct Num {
        const char* text;
        bool ok;
        int value;
    } nums[] = {{"0", true, 0},          {"1234", true, 1234},         {"-1", true, -1},
                {"+7", true, 7},         {"2147483647", true, 2147483647}, {"2147483648", false, 0},
                {"-2147483648", true, -2147483647 - 1},                 {"12a", false, 0},
                {"", false, 0},          {" 12", false, 0},            {"0x10", false, 0},
                {"$10", false, 0},       {"-", false, 0},              {"99999999999999999999", false, 0}};
    for (const Num& n : nums) {
        int v = 42;
        EXPECT_EQ(ParseDecimal(n.text, v), n.ok) << n.text;
        EXPECT_EQ(v, n.ok ? n.value : 42) << n.text;
    }
    struct Range {
        const char* value;
        const char* first;
        const char* last;
    } ranges[] = {{"bytes 100-199/500", "100", "199"}, {"bytes 0-0/1", "0", "0"}, {"bytes 5-/9", "5", ""},
                  {"bytes */500", "*/500", ""},          {"x", "", ""},           {"bytes 1-2", "1", "2"},
                  {"a/b-c/d", "", "c"}};
    for (const Range& r : ranges) {
        std::string f = "old", l = "old";
        SplitContentRange(r.value, f, l);
        EXPECT_EQ(f, r.first) << r.value;
        EXPECT_EQ(l, r.last) << r.value;
    }
    EXPECT_TRUE(IsHeaderlessStart("<HTML>"));
    EXPECT_TRUE(IsHeaderlessStart("<html><body>"));
    EXPECT_FALSE(IsHeaderlessStart("<HTM"));
    EXPECT_FALSE(IsHeaderlessStart(" <HTML>"));
}

TEST(ReceiveBuffer, LinesByLengthAndTheRestAsItStands) {
    TReceiveBuffer b;
    auto put = [&](const std::string& s) {
        ASSERT_LE(static_cast<int>(s.size()), b.Free());
        std::copy(s.begin(), s.end(), b.WritePointer());
        b.Commit(static_cast<int>(s.size()));
    };
    put(std::string("A: 1\r\nB\0: 2\nC: 3\r\r\npart", 23));
    std::string line;
    ASSERT_TRUE(b.TakeLine(line));
    EXPECT_EQ(line, "A: 1");
    ASSERT_TRUE(b.TakeLine(line));
    EXPECT_EQ(line, std::string("B\0: 2", 5)) << "a zero byte hides nothing after it";
    ASSERT_TRUE(b.TakeLine(line));
    EXPECT_EQ(line, "C: 3\r") << "only the one CR right before the LF goes";
    EXPECT_FALSE(b.TakeLine(line));
    EXPECT_EQ(b.Count(), 4);
    put("ial\n");
    ASSERT_TRUE(b.TakeLine(line));
    EXPECT_EQ(line, "partial");
    EXPECT_EQ(b.Count(), 0);
    put("\r\nbody\r\n");
    ASSERT_TRUE(b.TakeLine(line));
    EXPECT_EQ(line, "");
    b.TakeAll(line);
    EXPECT_EQ(line, "body\r\n");
    EXPECT_EQ(b.Count(), 0);

    // Filling up: the free room always follows the data, and a full buffer says so.
    put(std::string(100, 'x') + "\n");
    put(std::string(TReceiveBuffer::Capacity - 101, 'y'));
    EXPECT_TRUE(b.Full());
    ASSERT_TRUE(b.TakeLine(line));
    EXPECT_EQ(b.Free(), 101);
    put(std::string(101, 'z'));
    EXPECT_TRUE(b.Full());
    EXPECT_FALSE(b.TakeLine(line));
}

// Where a location header sends the next attempt.
TEST(ResolveLocation, DirectConnection) {
    struct Case {
        const char* value;
        const char* hostName;
        const char* hostHeader;
        const char* port;
        const char* path;
        const char* location;
    } cases[] = {
        {"/x", "h", "h", "80", "/x", "http://h/x"},
        {"http://other/y", "other", "other", "80", "/y", "http://other/y"},
        {"http://other", "other", "other", "80", "/", "http://other"},
        {"http://u:p@other:8080/y", "other", "other", "8080", "/y", "http://other:8080/y"},
        {"new.asp", "h", "h", "80", "http://h/dir/new.asp", "http://h/dir/new.asp"},
        {"sub/new.asp?a=/b", "h", "h", "80", "http://h/dir/sub/new.asp?a=/b", "http://h/dir/sub/new.asp?a=/b"},
        {"http:/z", "h", "h", "80", "/z", "http://h/z"},
        {"", "h", "h", "80", "/dir/page.asp?q=/1", "http://h/dir/page.asp?q=/1"},
    };
    for (const Case& c : cases) {
        TTarget t{"h", "h", "80", "/dir/page.asp?q=/1", "http://h/dir/page.asp?q=/1"};
        ResolveLocation(c.value, false, t);
        SCOPED_TRACE(c.value);
        EXPECT_EQ(t.HostName, c.hostName);
        EXPECT_EQ(t.HostHeader, c.hostHeader);
        EXPECT_EQ(t.Port, c.port);
        EXPECT_EQ(t.Path, c.path);
        EXPECT_EQ(t.Location, c.location);
    }
    // On another port the port stays for a path and goes into the location.
    TTarget t{"127.0.0.1", "127.0.0.1", "8080", "/", "http://127.0.0.1:8080/"};
    ResolveLocation("/x", false, t);
    EXPECT_EQ(t.Port, "8080");
    EXPECT_EQ(t.Location, "http://127.0.0.1:8080/x");
    ResolveLocation("new.asp", false, t);
    EXPECT_EQ(t.Path, "http://127.0.0.1:8080/new.asp");
}

TEST(ResolveLocation, ThroughAProxy) {
    struct Case {
        const char* value;
        const char* hostHeader;
        const char* path;
        const char* location;
    } cases[] = {
        {"/x", "h", "http://h:8080/x", "http://h:8080/x"},
        {"http://other/y", "other", "http://other/y", "http://other/y"},
        {"http://other:81", "other", "http://other:81/", "http://other:81"},
        {"new.asp", "h", "http://h:8080/dir/new.asp", "http://h:8080/dir/new.asp"},
        {"http:/z", "h", "http://h:8080/z", "http://h:8080/z"},
    };
    for (const Case& c : cases) {
        TTarget t{"proxy", "h", "3128", "http://h:8080/dir/page.asp", "http://h:8080/dir/page.asp"};
        ResolveLocation(c.value, true, t);
        SCOPED_TRACE(c.value);
        EXPECT_EQ(t.HostName, "proxy") << "the connection keeps naming the proxy";
        EXPECT_EQ(t.Port, "3128");
        EXPECT_EQ(t.HostHeader, c.hostHeader);
        EXPECT_EQ(t.Path, c.path);
        EXPECT_EQ(t.Location, c.location);
    }
}

}  // namespace
