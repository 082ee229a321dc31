// The news check of the running messenger against Python's http.server and nginx: the main
// window's downloader fetches the news file, the stamp decides whether the news window shows, what
// the window shows, and which links its buttons hand to the shell.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "messenger/NewsFile.h"
#include "messenger/SiteConfig.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit7.h"
#include "platform/classlib/headless.h"
#include "platform/codepage/cp1254.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"
#include "platform/winsock/winsock.h"
#include "support/runloop.h"
#include "support/tempstate.h"
#include "support/webservers.h"
#include "transport/HTTPGet.h"
#include "transport/INetDetector.h"

using testsupport::WebServer;

namespace {

std::string NewsWith(const std::string& stamp, const std::string& rest = "") {
    return "[Kontrol]\r\nSurum=" + stamp + "\r\n" + rest;
}

const std::string kAnnouncements =
    "[1]\r\nUrl1=http://www.a.example/yeni\r\nYazi1=" + "Yeni sürüm çıktı"_w + "\r\n"
    "[2]\r\nUrl2=HTTPS://b.example/\r\nYazi2=Hazır mesajlar\r\n"_w;

class NewsCheck : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        // The tests start every download themselves: the watcher does not tick.
        Form1->INetDetector1->SetEnabled(false);
        headless::Pump();
        shell::ClearRecordedRequests();
    }
    void TearDown() override { session_.reset(); }

    // Fetches `path` from the server with the main window's downloader, as the news check does.
    void Fetch(WebServer& server, const std::string& path) {
        Form1->HTTPGet1->URL = server.Url(path);
        Form1->HTTPGet1->StartDownload();
        ASSERT_TRUE(testsupport::RunLoopUntil([] { return !Form1->HTTPGet1->Downloading(); }));
        headless::Pump();
    }

    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

}  // namespace

TEST(NewsStamp, SortsAsBytesAfter17) {
    for (const char* s : {"18", "2", "9", "170", "17a", "\xFE"}) EXPECT_TRUE(news::IsNewerStamp(s)) << s;
    for (const char* s : {"17", "1", "09", "100", "", "16999", "0"}) EXPECT_FALSE(news::IsNewerStamp(s)) << s;
}

TEST_F(NewsCheck, TheStampDecidesWhetherTheWindowShows) {
    WebServer server(WebServer::Python);
    struct Case {
        std::string file;
        bool shown;
    } cases[] = {
        {NewsWith("18", kAnnouncements), true}, {NewsWith("2", kAnnouncements), true},
        {NewsWith("9", kAnnouncements), true},  {NewsWith("170", kAnnouncements), true},
        {NewsWith("17", kAnnouncements), false}, {NewsWith("1", kAnnouncements), false},
        {NewsWith("09", kAnnouncements), false}, {NewsWith("100", kAnnouncements), false},
        {NewsWith("", kAnnouncements), false},   {kAnnouncements, false},  // no [Kontrol] section
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file.substr(0, 20));
        Form7->Hide();
        server.Serve("smsyeni.txt", k.file);
        Fetch(server, "/smsyeni.txt");
        EXPECT_EQ(testsupport::ReadAll(win::LocalPath("C:\\yenilik")), k.file);
        EXPECT_EQ(Form7->Visible(), k.shown);
        if (k.shown) {
            EXPECT_EQ(Form7->Memo1->Text(), "Yeni sürüm çıktı"_w);
            EXPECT_EQ(Form7->Memo2->Text(), "Hazır mesajlar"_w);
            EXPECT_EQ(Form7->Label1->Caption(), "http://www.a.example/yeni");
            EXPECT_EQ(Form7->Label2->Caption(), "HTTPS://b.example/");
        }
    }
    EXPECT_TRUE(Form1->Enabled()) << "the news window leaves the main window usable";
}

TEST_F(NewsCheck, ButtonsOpenWebLinksOnly) {
    WebServer server(WebServer::Nginx);
    server.Serve("news.txt", NewsWith("18", kAnnouncements));
    Fetch(server, "/news.txt");
    ASSERT_TRUE(Form7->Visible());
    headless::Click(Form7->Button1);
    headless::Click(Form7->Button2);
    auto requests = shell::RecordedRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].verb, "open");
    EXPECT_EQ(requests[0].file, "http://www.a.example/yeni");
    EXPECT_EQ(requests[0].show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(requests[1].file, "HTTPS://b.example/");

    // A spoofed news file must not make the shell open a local file or a program.
    shell::ClearRecordedRequests();
    server.Serve("news.txt", NewsWith("18", "[1]\r\nUrl1=file:///etc/passwd\r\nYazi1=a\r\n"
                                            "[2]\r\nUrl2=C:\\WINDOWS\\calc.exe\r\nYazi2=b\r\n"));
    Fetch(server, "/news.txt");
    EXPECT_EQ(Form7->Label1->Caption(), "file:///etc/passwd");
    headless::Click(Form7->Button1);
    headless::Click(Form7->Button2);
    EXPECT_TRUE(shell::RecordedRequests().empty());
}

TEST_F(NewsCheck, MissingAnnouncementsShowTheMakersSite) {
    WebServer server(WebServer::Nginx);
    server.Serve("news.txt", NewsWith("18"));
    Fetch(server, "/news.txt");
    ASSERT_TRUE(Form7->Visible());
    EXPECT_EQ(Form7->Memo1->Text(), siteconfig::MakerSiteUrl);
    EXPECT_EQ(Form7->Memo2->Text(), siteconfig::MakerSiteUrl);
    headless::Click(Form7->Button1);
    headless::Click(Form7->Button2);
    auto requests = shell::RecordedRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].file, siteconfig::MakerSiteUrl);
    EXPECT_EQ(requests[1].file, siteconfig::MakerSiteUrl);
}

TEST_F(NewsCheck, AFailedFetchShowsNothingAndKeepsTheLastFile) {
    WebServer server(WebServer::Nginx);
    const std::string old = NewsWith("17");
    testsupport::WriteAll(win::LocalPath("c:\\yenilik"), old);
    Fetch(server, "/gone");
    EXPECT_FALSE(Form7->Visible());
    EXPECT_EQ(testsupport::ReadAll(win::LocalPath("c:\\yenilik")), old);
    // Going offline starts nothing.
    ASSERT_FALSE(Form1->INetDetector1->Online());
    Form1->INetDetector1Changed(Form1->INetDetector1);
    EXPECT_FALSE(Form1->HTTPGet1->Downloading());
}

// A news file is a few hundred bytes. An answer beyond news::MaxSize, and one without a length
// (whose end cannot be told from a cut), are no news file: nothing shows and the last file stays.
TEST_F(NewsCheck, AnAnswerTooLongOrWithoutALengthShowsNothingAndKeepsTheLastFile) {
    WebServer nginx(WebServer::Nginx);
    WebServer python(WebServer::Python);
    const std::string head = NewsWith("18", kAnnouncements) + "[Dolgu]\r\nx=";
    auto padded = [&](size_t size) { return head + std::string(size - head.size() - 2, 'x') + "\r\n"; };
    nginx.Serve("fits.txt", padded(news::MaxSize));
    nginx.Serve("long.txt", padded(news::MaxSize + 1));
    nginx.Serve("huge.txt", padded(3 * 1024 * 1024));
    const std::string old = NewsWith("17");
    struct Case {
        WebServer* server;
        std::string path;
        bool shown;
    } cases[] = {
        {&nginx, "/long.txt", false},
        {&nginx, "/huge.txt", false},
        {&python, "/nolength", false},  // a stamp of 18 without a length
        {&nginx, "/fits.txt", true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        Form7->Hide();
        testsupport::WriteAll(win::LocalPath("c:\\yenilik"), old);
        Fetch(*k.server, k.path);
        EXPECT_EQ(Form7->Visible(), k.shown);
        const std::string file = testsupport::ReadAll(win::LocalPath("c:\\yenilik"));
        if (k.shown)
            EXPECT_EQ(file.size(), static_cast<size_t>(news::MaxSize));
        else
            EXPECT_EQ(file, old);
    }
}

TEST_F(NewsCheck, TheDownloaderIsSetUpForTheNewsFile) {
    THTTPGet* g = Form1->HTTPGet1;
    EXPECT_EQ(g->URL, std::string("http://") + siteconfig::MakerHost + "/marendo/smsyeni.txt");
    EXPECT_EQ(g->FileName, "c:\\yenilik");
    EXPECT_EQ(g->Agent, "Brenwick HTTPGet");
    EXPECT_EQ(g->AcceptTypes, "*/*");
    EXPECT_FALSE(g->UseCache);
    EXPECT_FALSE(g->BinaryData);
    EXPECT_FALSE(g->WaitThread);
    EXPECT_EQ(g->MaxSize, 1024 * 1024);
    EXPECT_TRUE(static_cast<bool>(Form1->INetDetector1->OnChanged));
}

// The news file comes from the configured maker host, as every other request to the maker does.
TEST(NewsOnline, ComingOnlineFetchesTheNewsFromTheMakersHost) {
    testsupport::TempState state;
    WebServer server(WebServer::Python);
    server.Serve("marendo/smsyeni.txt", NewsWith("18", kAnnouncements));
    setenv("TOLVAR_MAKER_HOST", server.HostPath("").c_str(), 1);
    struct Restore {
        ~Restore() {
            unsetenv("TOLVAR_MAKER_HOST");
            winsock::SetTestHostName("");
            winsock::ClearTestHosts();
        }
    } restore;
    // The machine's own name resolves to an address other than 127.0.0.1: the watcher says online.
    winsock::SetTestHostName("tolvar-box");
    winsock::SetTestHosts({{"tolvar-box", {{"10.20.30.40"}, 0, 0}}});
    {
        headless::TSession session;
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        Form1->INetDetector1->SetEnabled(false);  // the test runs the tick
        headless::Pump();
        EXPECT_EQ(Form1->HTTPGet1->URL, server.Url("/marendo/smsyeni.txt"));
        Form1->INetDetector1->Poll();
        ASSERT_TRUE(Form1->INetDetector1->Online());
        EXPECT_TRUE(testsupport::RunLoopUntil([] { return !Form1->HTTPGet1->Downloading(); }));
        headless::Pump();
        EXPECT_TRUE(Form7->Visible());
        EXPECT_EQ(Form7->Label1->Caption(), "http://www.a.example/yeni");
    }
}
