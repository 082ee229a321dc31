// THTTPGet against Python's http.server, nginx and scripted loopback peers: complete downloads with
// their progress, every way a download fails (and that the old file survives it), the request it
// sends, a second start, Cancel, destroying the component mid-download and waiting for the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/statedir.h"
#include "platform/win/winuser.h"
#include "platform/wininet/wininet.h"
#include "support/runloop.h"
#include "support/tempstate.h"
#include "support/webservers.h"
#include "transport/HTTPGet.h"
#include "transport/http/httppeers.h"

using namespace httptest;
using testsupport::RunLoopUntil;
using testsupport::WebServer;

namespace {

const std::string kNews = "[Kontrol]\r\nSurum=18\r\n[1]\r\nUrl1=http://a.example/\r\nYazi1=Yeni\r\n";

// A downloader with its events recorded.
struct Download {
    THTTPGet get{nullptr};
    std::vector<std::string> events;
    std::vector<std::pair<int, int>> progress;
    Download(const std::string& url, const std::string& file = "c:\\yenilik") {
        get.URL = url;
        get.FileName = file;
        get.OnDoneFile = [this](TObject* s, const std::string& name, int size) {
            EXPECT_EQ(s, &get);
            events.push_back("done " + name + " " + std::to_string(size));
        };
        get.OnError = [this](TObject* s) {
            EXPECT_EQ(s, &get);
            events.push_back("error");
        };
        get.OnProgress = [this](TObject*, int total, int readed) { progress.emplace_back(total, readed); };
    }
    // Starts and waits for the outcome.
    std::string Run() {
        const size_t before = events.size();
        get.StartDownload();
        EXPECT_TRUE(RunLoopUntil([&] { return events.size() > before; }));
        return events.empty() ? "" : events.back();
    }
};

std::string NewsFile() { return testsupport::ReadAll(win::LocalPath("c:\\yenilik")); }
bool Exists(const std::string& programPath) { return access(win::LocalPath(programPath).c_str(), F_OK) == 0; }

}  // namespace

TEST(HTTPGet, CompleteDownloadsFromPythonAndNginx) {
    for (auto kind : {WebServer::Python, WebServer::Nginx}) {
        SCOPED_TRACE(kind);
        testsupport::TempState state;
        WebServer server(kind);
        std::string big(5000, 'x');
        server.Serve("news.txt", kNews);
        server.Serve("big.txt", big);
        {
            Download d(server.Url("/news.txt"));
            EXPECT_EQ(d.Run(), "done c:\\yenilik " + std::to_string(kNews.size()));
            EXPECT_EQ(NewsFile(), kNews);
            EXPECT_FALSE(Exists("c:\\yenilik.part"));
        }
        {  // blocks of 1025 bytes, each reported; the path of the URL without the scheme works too
            Download d(server.HostPath("/big.txt"));
            EXPECT_EQ(d.Run(), "done c:\\yenilik 5000");
            EXPECT_EQ(NewsFile(), big);
            std::vector<std::pair<int, int>> want{{5000, 1025}, {5000, 2050}, {5000, 3075}, {5000, 4100}, {5000, 5000}};
            EXPECT_EQ(d.progress, want);
        }
        {  // a redirect is followed
            Download d(server.Url("/moved"));
            EXPECT_EQ(d.Run(), "done c:\\yenilik " + std::to_string(kNews.size()));
        }
        EXPECT_EQ(wininet::OpenHandleCount(), 0);
    }
}

TEST(HTTPGet, FailedDownloadsEndInOnErrorAndKeepTheOldFile) {
    testsupport::TempState state;
    WebServer python(WebServer::Python);
    WebServer nginx(WebServer::Nginx);
    const std::string old = "[Kontrol]\r\nSurum=17\r\n";
    struct Case {
        std::string url;
        bool binary;
    } cases[] = {
        {python.Url("/gone"), false},           // 404
        {nginx.Url("/gone"), false},            // 404
        {nginx.Url("/missing.txt"), false},     // 404 with an error page body
        {python.Url("/cut"), false},            // the server stops mid-body
        {python.Url("/nolength"), true},        // no length in binary mode
        {python.Url("/nolength"), false},       // no length in text mode: its end may be a cut
        {"http://127.0.0.1:" + std::to_string(FreePort()) + "/news.txt", false},  // refused
        {"http://127.0.0.1", false},            // no "/" after the host: no host
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.url);
        testsupport::WriteAll(win::LocalPath("c:\\yenilik"), old);
        Download d(k.url);
        d.get.BinaryData = k.binary;
        EXPECT_EQ(d.Run(), "error");
        EXPECT_EQ(d.events.size(), 1u);
        EXPECT_EQ(NewsFile(), old);
        EXPECT_FALSE(Exists("c:\\yenilik.part"));
    }
    // A file that cannot be written: the worker's failure is an error too.
    python.Serve("news.txt", kNews);
    Download d(python.Url("/news.txt"), "c:\\no such folder\\yenilik");
    EXPECT_EQ(d.Run(), "error");
    EXPECT_EQ(wininet::OpenHandleCount(), 0);
}

// Without a length the body ends where the server closes, which is also where a cut ends it: only
// an empty body is surely whole. Any other keeps the old file, however the connection ends.
TEST(HTTPGet, AnAnswerWithoutALengthSucceedsOnlyWhenEmpty) {
    testsupport::TempState state;
    const std::string old = "[Kontrol]\r\nSurum=17\r\n";
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    struct Case {
        std::string body;
        bool reset;  // the peer ends with a reset instead of a close
        std::string outcome, file;
    } cases[] = {
        {"", false, "done c:\\yenilik 0", ""},
        {"[Kontrol]\r\nSurum=18\r\n", false, "error", old},
        {"[Kontrol]\r\nSur", false, "error", old},
        {"[Kontrol]\r\nSur", true, "error", old},
        {std::string(3000, 'x'), false, "error", old},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.body.substr(0, 20) + (k.reset ? " reset" : ""));
        testsupport::WriteAll(win::LocalPath("c:\\yenilik"), old);
        ScriptedPeer peer([&](int fd) {
            ReadRequest(fd);
            WriteAll(fd, head + k.body);
            if (k.reset) testpeers::CloseWithReset(fd);
        });
        Download d("http://127.0.0.1:" + peer.PortText() + "/marendo/smsyeni.txt");
        EXPECT_EQ(d.Run(), k.outcome);
        peer.Join();
        EXPECT_EQ(NewsFile(), k.file);
        EXPECT_FALSE(Exists("c:\\yenilik.part"));
    }
    EXPECT_EQ(wininet::OpenHandleCount(), 0);
}

// MaxSize bounds the body: a longer one, announced or only read, fails without being read beyond
// the bound, and the old file stays.
TEST(HTTPGet, ABodyLongerThanMaxSizeFailsAndIsNotReadToItsEnd) {
    testsupport::TempState state;
    WebServer nginx(WebServer::Nginx);
    const std::string old = "[Kontrol]\r\nSurum=17\r\n";
    constexpr int kMax = 5000;
    nginx.Serve("fits.txt", std::string(kMax, 'x'));
    nginx.Serve("long.txt", std::string(kMax + 1, 'x'));
    std::atomic<long> streamed{0};
    ScriptedPeer endless([&](int fd) {  // no length, and more than any bound: it stops when the reader goes
        ReadRequest(fd);
        WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
        const std::string block(4096, 'y');
        while (streamed < 64L * 1024 * 1024 && ::send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) streamed += 4096;
    });
    struct Case {
        std::string url, outcome;
        bool read;  // blocks were read at all
    } cases[] = {
        {nginx.Url("/fits.txt"), "done c:\\yenilik 5000", true},
        {nginx.Url("/long.txt"), "error", false},
        {"http://127.0.0.1:" + endless.PortText() + "/", "error", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.url);
        testsupport::WriteAll(win::LocalPath("c:\\yenilik"), old);
        Download d(k.url);
        d.get.MaxSize = kMax;
        EXPECT_EQ(d.Run(), k.outcome);
        EXPECT_EQ(!d.progress.empty(), k.read);
        for (const auto& [total, readed] : d.progress) EXPECT_LE(readed, kMax);
        EXPECT_EQ(NewsFile(), k.outcome == "error" ? old : std::string(kMax, 'x'));
        EXPECT_FALSE(Exists("c:\\yenilik.part"));
    }
    endless.Join();
    EXPECT_LT(streamed, 64L * 1024 * 1024) << "the endless answer was read to the end";
    EXPECT_EQ(wininet::OpenHandleCount(), 0);
}

TEST(HTTPGet, TheRequestItSends) {
    testsupport::TempState state;
    for (bool useCache : {false, true}) {
        std::string request;
        ScriptedPeer peer([&](int fd) {
            request = ReadRequest(fd);
            WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
        });
        Download d("http://127.0.0.1:" + peer.PortText() + "/marendo/smsyeni.txt");
        d.get.UseCache = useCache;
        d.get.Referer = "http://r.example/";
        EXPECT_EQ(d.Run(), "done c:\\yenilik 2");
        peer.Join();
        EXPECT_EQ(FirstLine(request), "GET /marendo/smsyeni.txt HTTP/1.0");
        EXPECT_EQ(HeaderLine(request, "User-Agent:"), "User-Agent: Brenwick HTTPGet");
        EXPECT_EQ(HeaderLine(request, "Accept:"), "Accept: */*");
        EXPECT_EQ(HeaderLine(request, "Referer:"), "Referer: http://r.example/");
        EXPECT_EQ(HeaderLine(request, "Pragma:"), useCache ? "" : "Pragma: no-cache");
    }
    // PostQuery makes it a form post.
    WebServer server(WebServer::Python);
    Download d(server.Url("/echo"));
    d.get.PostQuery = "a=1&b=%FC";
    EXPECT_EQ(d.Run().substr(0, 4), "done");
    std::string echo = NewsFile();
    EXPECT_NE(echo.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos) << echo;
    EXPECT_EQ(echo.substr(echo.size() - 9), "a=1&b=%FC");
}

TEST(HTTPGet, ASecondStartWhileRunningAndCancel) {
    testsupport::TempState state;
    WebServer server(WebServer::Python);
    const std::string old = "old";
    testsupport::WriteAll(win::LocalPath("c:\\yenilik"), old);
    Download d(server.Url("/stall"));
    d.get.StartDownload();
    ASSERT_TRUE(RunLoopUntil([&] { return !d.progress.empty(); }));  // the first block is in
    d.get.StartDownload();
    EXPECT_EQ(THTTPGet::LiveWorkers(), 1);
    const DWORD start = GetTickCount();
    d.get.Cancel();
    ASSERT_TRUE(RunLoopUntil([&] { return !d.events.empty(); }, 5000));
    EXPECT_LT(GetTickCount() - start, 5000u);  // the blocked read ended; the server waits 30 s
    EXPECT_EQ(d.events, std::vector<std::string>{"error"});
    EXPECT_FALSE(d.get.Downloading());
    EXPECT_EQ(NewsFile(), old);
    EXPECT_TRUE(RunLoopUntil([] { return THTTPGet::LiveWorkers() == 0; }));
    // The component is idle again and downloads anew.
    server.Serve("news.txt", kNews);
    d.get.URL = server.Url("/news.txt");
    EXPECT_EQ(d.Run(), "done c:\\yenilik " + std::to_string(kNews.size()));
}

TEST(HTTPGet, DestroyingTheComponentMidDownloadDetachesTheWorker) {
    testsupport::TempState state;
    WebServer server(WebServer::Python);
    int events = 0;
    {
        auto owner = std::make_unique<TComponent>(nullptr);
        auto* get = new THTTPGet(owner.get());
        get->URL = server.Url("/stall");
        get->FileName = "c:\\yenilik";
        bool started = false;
        get->OnProgress = [&](TObject*, int, int) { started = true; };
        get->OnDoneFile = [&](TObject*, const std::string&, int) { ++events; };
        get->OnError = [&](TObject*) { ++events; };
        get->StartDownload();
        ASSERT_TRUE(RunLoopUntil([&] { return started; }));
    }  // the owner frees the component with its worker blocked in a read
    EXPECT_TRUE(RunLoopUntil([] { return THTTPGet::LiveWorkers() == 0; }, 5000));
    RunLoopUntil([] { return false; }, 100);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(wininet::OpenHandleCount(), 0);
    EXPECT_FALSE(Exists("c:\\yenilik"));
    EXPECT_FALSE(Exists("c:\\yenilik.part"));
}

TEST(HTTPGet, WaitThreadReturnsWithTheOutcome) {
    testsupport::TempState state;
    WebServer server(WebServer::Python);
    server.Serve("news.txt", kNews);
    Download d(server.Url("/news.txt"));
    d.get.WaitThread = true;
    d.get.StartDownload();
    EXPECT_EQ(d.events, std::vector<std::string>{"done c:\\yenilik " + std::to_string(kNews.size())});
    EXPECT_FALSE(d.get.Downloading());
}
