// A text sent from the send window through each gateway service to a real loopback HTTP server
// (scripts/gateway-fake): the request bytes, the form decoded by Python, the boxes in order, the
// wait window and the history; the answers a gateway may give; refusals before anything is posted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fixtures.h"
#include "gatewayfake.h"
#include "support/answerplayer.h"
#include "messenger/GatewayForm.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit15.h"
#include "messenger/Unit18.h"
#include "messenger/Unit2.h"
#include "messenger/Unit3.h"
#include "messenger/Unit9.h"
#include "messenger/WindowHolds.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/timer.h"
#include "platform/winsock/winsock.h"
#include "transport/HTTPGet.h"
#include "transport/INetDetector.h"

using headless::Headless;
using Strings = std::vector<std::string>;

namespace {

const std::string kAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
const std::string kType = "Content-Type: application/x-www-form-urlencoded\r\n";
const std::string kAgent = "User-Agent: Mozilla/3.0 (compatible)\r\n";

// Ayşe is on 543 (not Turkcell), Çağrı on 532; the SuperOnline login has an "&" and a space in its
// password.
const std::string kIni = fixtures::CrLf({
    "[Ayarlar]", "Toplam=2",
    "[1]", "isim=" + "Ayşe"_w, "numara=905431234567",
    "[2]", "isim=" + "Çağrı"_w, "numara=905321112233",
    "[Superonline]", "Tel=5351234567", "Sifre=gi zli&1",
});

class SendRun : public ::testing::Test {
protected:
    void SetUp() override {
        winsock::SetTestHostName("tolvar-box");
        messenger::RandSeed = 0;
    }
    void TearDown() override {
        session_.reset();
        unsetenv("TOLVAR_MAKER_HOST");
        unsetenv("TOLVAR_SUPERONLINE_HOST");
        winsock::SetTestHostName("");
        winsock::ClearTestHosts();
    }
    // Starts the program with both hosts at `host` on a machine that is online or not (its own name
    // resolves to a real address or to the loopback one; no dial-up value), and runs one tick of
    // the watcher. The watcher's own timer may tick as well while the start pumps, on a slow
    // machine: it sees the same machine.
    void Start(const std::string& host, bool online = true) {
        setenv("TOLVAR_MAKER_HOST", host.c_str(), 1);
        setenv("TOLVAR_SUPERONLINE_HOST", host.c_str(), 1);
        winsock::SetTestHosts({{"tolvar-box", {{online ? "10.20.30.40" : "127.0.0.1"}, 0, 0}}});
        fixtures::SeedMainIni(kIni);
        session_ = std::make_unique<headless::TSession>();
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        Form1->INetDetector1->SetEnabled(false);  // the test runs the ticks (a slow start must not tick)
        if (!newsUrl_.empty()) Form1->HTTPGet1->URL = newsUrl_;
        headless::Pump();
        Form1->INetDetector1->Poll();
        ASSERT_EQ(Form1->INetDetector1->Online(), online);
    }
    void Open(int contact) {
        headless::Select("Form1.ListBox1", contact);
        headless::DblClick("Form1.ListBox1", contact);
        ASSERT_TRUE(Form2->Visible());
    }
    void Send(int contact, int service, const std::string& text) {
        Open(contact);
        if (service) headless::Select("Form2.ComboBox2", service);
        headless::Type("Form2.Memo1", text);
        headless::Click("Form2.SpeedButton1");
    }
    Strings Boxes() const {
        Strings out;
        for (auto& b : Headless().Boxes()) out.push_back((b.Icon == "error" ? "error: " : "") + b.Text);
        return out;
    }
    Strings History() const {
        Strings out;
        for (int i = 0; i < Form15->ListBox1->Items()->Count(); ++i) out.push_back(Form15->ListBox1->Items()->Get(i));
        return out;
    }
    std::string Dir() const { return state_.Path("gateway"); }

    std::string newsUrl_;  // where the news check goes instead of the maker's host, when set
    testsupport::TempState state_;
    std::unique_ptr<headless::TSession> session_;
};

std::string Header(const std::string& path, const std::string& referer, size_t length) {
    return "POST " + path + " HTTP/1.0\r\n" + kAccept + (referer.empty() ? "" : "Referer: " + referer + "\r\n") + kType +
           kAgent + "Host: 127.0.0.1\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

}  // namespace

// The wait window's text, bar and cancel button each have their own place in its client area.
TEST_F(SendRun, TheWaitWindowsPartsLieApartInsideIt) {
    Start("127.0.0.1");
    const TControl* parts[] = {Form18->Label1, Form18->Edit1, Form18->Button1};
    for (const TControl* c : parts) {
        EXPECT_GE(c->Left(), 0) << c->Name();
        EXPECT_GE(c->Top(), 0) << c->Name();
        EXPECT_LE(c->Left() + c->Width(), Form18->ClientWidth()) << c->Name();
        EXPECT_LE(c->Top() + c->Height(), Form18->ClientHeight()) << c->Name();
        EXPECT_GT(c->Width(), 0) << c->Name();
    }
    for (const TControl* a : parts)
        for (const TControl* b : parts) {
            if (a == b) continue;
            const bool apart = a->Left() + a->Width() <= b->Left() || b->Left() + b->Width() <= a->Left() ||
                               a->Top() + a->Height() <= b->Top() || b->Top() + b->Height() <= a->Top();
            EXPECT_TRUE(apart) << a->Name() << " overlaps " << b->Name();
        }
}

TEST_F(SendRun, EachServicePostsItsFormToItsScript) {
    const std::string text = "Merhaba dünya & 'x'"_w;  // 19 characters
    struct Case {
        int service;
        const char* path;
        bool referer;
        Strings fields;
        const char* box;
    } cases[] = {
        {0, "/marendo/tolvar1.asp", false,
         {"telno=905321112233", "mesaj=Merhaba dunya & 'x'-Tolvar", "ip=0.8.219.51"},
         "Mesajınız Başarıyla Gönderildi"},
        {1, "/marendo/tolvar2.asp", false,
         {"smsid=1", "telno=905321112233", "mesaj=Merhaba dunya & 'x'-Tolvar", "ip=0.8.219.51"},
         "Mesajınız Başarıyla Gönderildi"},
        {2, "/marendo/tolvar2.asp", false,
         {"smsid=2", "telno=905321112233", "mesaj=Merhaba dunya & 'x'-Tolvar", "ip=0.8.219.51"},
         "Mesajınız Başarıyla Gönderildi"},
        {3, "/sms/sms_send/1,1206,0,00.html", true,
         {"IP=70.171.81.42", "gsmss=535", "gsmnmr=1234567", "password=gi zli&1", "gsmssto=532", "gsmnmrto=1112233",
          "mesaj=Merhaba dunya & 'x'", "kalan=119"},
         "SMS Mesajınız başarıyla yollandı"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + std::string(" service ") + std::to_string(c.service));
        testsupport::TempState fresh;
        messenger::RandSeed = 0;
        fixtures::GatewayFake fake(fresh.Path("gateway"), "yollandi");
        ASSERT_TRUE(fake.Started());
        Start(fake.Host());
        Send(1, c.service, text);

        ASSERT_EQ(fake.Count(), 1);
        const std::string request = fake.Request(1);
        const size_t split = request.find("\r\n\r\n") + 4;
        const std::string url = "http://" + fake.Host() + c.path;
        EXPECT_EQ(request.substr(0, split), Header(c.path, c.referer ? url : "", request.size() - split));
        EXPECT_EQ(fake.Fields(1), c.fields);
        EXPECT_EQ(Boxes(), Strings{cp1254::FromUtf8(c.box)});
        EXPECT_EQ(History(), Strings{text});
        EXPECT_EQ(Form2->Memo1->Text(), "") << "the field is cleared after the send";
        EXPECT_FALSE(Form2->Visible());
        EXPECT_FALSE(Form18->Visible());
        EXPECT_TRUE(Form1->Enabled());
        session_.reset();
    }
}

TEST_F(SendRun, TheBodyIsEncodedByteForByte) {
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Send(1, 0, "Çiğ ördek\r\n-1"_w);
    const std::string request = fake.Request(1);
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4),
              "telno=905321112233&mesaj=Cig+%F6rdek%0D%0A%2D1%2DTolvar&ip=0%2E8%2E219%2E51");
}

TEST_F(SendRun, TheAnswerDecidesTheMessage) {
    struct Case {
        const char* modes;
        Strings boxes;  // UTF-8; "error: " marks the error box
        bool sent;      // judged sent: history entry, field cleared
    } cases[] = {
        {"yollandi", {"Mesajınız Başarıyla Gönderildi"}, true},
        {"crlf", {"Mesajınız Başarıyla Gönderildi"}, true},  // line ends after the word
        {"later", {"Mesajınız Başarıyla Gönderildi"}, true},
        {"long", {"Mesajınız Yollanamadı"}, false},           // filler before the word, in a block of its own
        {"longtail", {"Mesajınız Yollanamadı"}, false},
        {"fail", {"Mesajınız Yollanamadı"}, false},
        {"nobody", {"Mesajınız Yollanamadı"}, false},
        {"empty", {"error: Invalid HTTP answer: empty reply from server"}, false},  // no answer at all
        {"redirect,yollandi", {"Mesajınız Başarıyla Gönderildi"}, true},
        {"404", {"error: Not Found"}, false},
        {"500", {"error: Internal Server Error"}, false},
        {"silent", {"MESAJ GÖNDERİLEMEDİ", "error: Connection timed out (Error #10060)"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modes);
        testsupport::TempState fresh;
        fixtures::GatewayFake fake(fresh.Path("gateway"), c.modes);
        ASSERT_TRUE(fake.Started());
        Start(fake.Host());
        Form2->a->InactivityTimeout = 400;
        Send(1, 0, "selam");
        Strings want;
        for (auto& b : c.boxes) want.push_back(cp1254::FromUtf8(b));
        EXPECT_EQ(Boxes(), want);
        EXPECT_EQ(History(), c.sent ? Strings{"selam"} : Strings{});
        EXPECT_EQ(Form2->Memo1->Text(), c.sent ? "" : "selam");
        EXPECT_FALSE(Form18->Visible());
        EXPECT_TRUE(Form1->Enabled()) << "the wait window let go of the main window";
        session_.reset();
    }
}

// The gateway's answer played over a loopback connection write by write, as the network may cut
// it: the whole body decides, and what is no whole HTTP answer ends the send as a failure.
TEST_F(SendRun, TheWholeAnswerDecidesHoweverTheConnectionCutsIt) {
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n";
    std::vector<std::string> trickle;
    for (char c : ok + "Content-Length: 8\r\n\r\nYOLLANDI") trickle.emplace_back(1, c);
    struct Case {
        const char* name;
        std::vector<std::string> writes;
        const char* box;  // UTF-8; "error: " marks the error box
        bool sent;        // history entry, field cleared
    } cases[] = {
        {"one write", {ok + "Content-Length: 8\r\n\r\nYOLLANDI"}, "Mesajınız Başarıyla Gönderildi", true},
        {"the word over two writes", {ok + "Content-Length: 8\r\n\r\nYOL", "LANDI"}, "Mesajınız Başarıyla Gönderildi",
         true},
        {"one byte at a time", trickle, "Mesajınız Başarıyla Gönderildi", true},
        {"CR LF after the word", {ok + "Content-Length: 10\r\n\r\nYOLLANDI\r\n"}, "Mesajınız Başarıyla Gönderildi",
         true},
        {"filler, then the word in a write of its own", {ok + "\r\n" + std::string(9000, 'x'), "YOLLANDI"},
         "Mesajınız Yollanamadı", false},
        {"a long body ending with the word", {ok + "\r\n" + std::string(9000, 'x') + "YOLLANDI"},
         "Mesajınız Yollanamadı", false},
        {"empty body", {ok + "Content-Length: 0\r\n\r\n"}, "Mesajınız Yollanamadı", false},
        {"no status line", {"garbage\r\n\r\nYOLLANDI"}, "error: Invalid HTTP answer: no status line", false},
        {"an error status, then a success", {"HTTP/1.0 500 Internal Server Error\r\nHTTP/1.0 200 OK\r\n\r\nYOLLANDI"},
         "error: Internal Server Error", false},
        {"a body shorter than announced", {ok + "Content-Length: 50000\r\n\r\n" + std::string(5000, 'x')},
         "error: HTTP answer cut short: 5000 of 50000 bytes came", false},
        {"a redirect to https", {"HTTP/1.0 302 Found\r\nLocation: https://127.0.0.1/marendo/tolvar1.asp\r\n\r\n"},
         "error: Redirect to https refused: only http is supported", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::AnswerPlayer gateway;
        gateway.Script({c.writes});
        newsUrl_ = "http://127.0.0.1:" + std::to_string(testsupport::FreePort()) + "/marendo/smsyeni.txt";
        Start(gateway.Host());
        // The player takes its turns inside the sender's post, which pumps the timer's ticks.
        TTimer turn(nullptr);
        turn.SetInterval(1);
        turn.OnTimer = [&](TObject*) { gateway.Step(*Form2->a); };
        Send(1, 0, "selam");
        turn.SetEnabled(false);
        gateway.Finish();
        EXPECT_EQ(Boxes(), Strings{cp1254::FromUtf8(c.box)});
        EXPECT_EQ(gateway.Connections(), 1);
        EXPECT_EQ(History(), c.sent ? Strings{"selam"} : Strings{});
        EXPECT_EQ(Form2->Memo1->Text(), c.sent ? "" : "selam") << "a send judged failed keeps the text";
        EXPECT_FALSE(Form18->Visible());
        EXPECT_TRUE(Form1->Enabled());
        session_.reset();
    }
}

// A gateway that drops or resets the connection, floods the header or sends an answer beyond any
// the gateway gives: never a success, whichever service sent it (the SuperOnline sender, which
// judges no answer, included). The text stays in the field, the history is untouched and the
// answer field keeps nothing.
TEST_F(SendRun, ADroppedResetOrFloodingGatewayIsNeverASuccess) {
    using Ending = testsupport::AnswerPlayer::Ending;
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n";
    std::string flood;
    while (flood.size() < (1u << 20)) flood += "X-A: b\r\n";
    const std::string huge(1u << 20, 'x');
    const std::string reset = "error: HTTP answer cut short: Connection reset by peer (Error #10054)";
    struct Case {
        const char* name;
        std::vector<std::string> writes;
        Ending ending;
        Strings boxes;  // UTF-8; "error: " marks the error box
    } cases[] = {
        {"a close before any byte", {}, Ending::Close, {"error: Invalid HTTP answer: empty reply from server"}},
        {"a reset before any byte", {}, Ending::Reset, {"MESAJ GÖNDERİLEMEDİ", reset}},
        {"a reset inside a body without a length", {ok + "\r\nYOLLA"}, Ending::Reset, {"MESAJ GÖNDERİLEMEDİ", reset}},
        {"a header flood", {ok, flood}, Ending::Close, {"error: HTTP header too long: more than 500 lines"}},
        {"a huge answer of announced length", {ok + "Content-Length: 1048584\r\n\r\nYOLLANDI", huge}, Ending::Close,
         {"Mesajınız Yollanamadı"}},
        {"a huge answer ending with the word", {ok + "\r\n", huge, "YOLLANDI"}, Ending::Close,
         {"Mesajınız Yollanamadı"}},
    };
    for (int service : {0, 3}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name + std::string(", service ") + std::to_string(service));
            testsupport::AnswerPlayer gateway;
            gateway.Script({c.writes}, c.ending);
            newsUrl_ = "http://127.0.0.1:" + std::to_string(testsupport::FreePort()) + "/marendo/smsyeni.txt";
            Start(gateway.Host());
            TTimer turn(nullptr);
            turn.SetInterval(1);
            turn.OnTimer = [&](TObject*) { gateway.Step(*Form2->a); };
            Send(1, service, "selam");
            turn.SetEnabled(false);
            gateway.Finish();
            Strings want;
            for (auto& b : c.boxes) want.push_back(cp1254::FromUtf8(b));
            EXPECT_EQ(Boxes(), want);
            EXPECT_EQ(gateway.Connections(), 1);
            EXPECT_EQ(History(), Strings{});
            EXPECT_EQ(Form2->Memo1->Text(), "selam") << "the text stays for another try";
            EXPECT_EQ(Form1->Memo1->Text(), "") << "nothing of the answer is kept";
            EXPECT_FALSE(Form18->Visible());
            EXPECT_TRUE(Form1->Enabled());
            session_.reset();
        }
    }
}

// The SuperOnline login goes as typed: the gateway decodes the very bytes of the password.
TEST_F(SendRun, TheSuperOnlineLoginReachesTheGatewayByteForByte) {
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Form3->Edit3->SetText("a&b cş=%+ ğüİıöçŞ"_w);
    Send(1, 3, "şeker"_w);
    ASSERT_EQ(fake.Count(), 1);
    EXPECT_EQ(fake.Fields(1), (Strings{"IP=70.171.81.42", "gsmss=535", "gsmnmr=1234567", "password=a&b cş=%+ ğüİıöçŞ",
                                       "gsmssto=532", "gsmnmrto=1112233", "mesaj=seker", "kalan=133"}));
    const std::string request = fake.Request(1);
    EXPECT_NE(request.find("&password=a%26b+c%FE%3D%25%2B+%F0%FC%DD%FD%F6%E7%DE&"), std::string::npos);
}

TEST_F(SendRun, AnEarlierSuccessNeverCountsForAnAnswerWithoutBody) {
    fixtures::GatewayFake fake(Dir(), "yollandi,nobody");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Send(1, 0, "bir");
    Send(1, 0, "iki");
    EXPECT_EQ(Boxes(), (Strings{"Mesajınız Başarıyla Gönderildi"_w, "Mesajınız Yollanamadı"_w}));
    EXPECT_EQ(Form1->Memo1->Text(), "");
}

TEST_F(SendRun, LookupAndConnectionFailuresReportBeforeTheErrorBox) {
    struct Case {
        std::string host;
        std::string error;
    } cases[] = {
        {"gateway.invalid", "can't resolve hostname to IP address"},
        {"127.0.0.1:" + std::to_string(testsupport::FreePort()), "Connection refused (Error #10061)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        Start(c.host);
        Send(1, 0, "selam");
        EXPECT_EQ(Boxes(), (Strings{"MESAJ GÖNDERİLEMEDİ"_w, "error: " + c.error}));
        EXPECT_EQ(Form2->Memo1->Text(), "selam") << "the text stays";
        EXPECT_TRUE(History().empty());
        EXPECT_TRUE(Form1->Enabled());
        session_.reset();
    }
}

TEST_F(SendRun, TheWaitWindowAnimatesWhileThePostRunsAndItsCancelAborts) {
    fixtures::GatewayFake fake(Dir(), "silent");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Form2->a->InactivityTimeout = 30000;  // only a bar that never grows waits that long
    // A person watches the bar grow to five marks and presses "İptal".
    TTimer press(nullptr);
    press.SetInterval(20);
    bool heldDuringPost = false;
    press.OnTimer = [&](TObject*) {
        if (!Form18->Visible() || Form18->Edit1->Text().size() < 5) return;
        press.SetEnabled(false);
        heldDuringPost = !Form1->Enabled() && !Form2->Visible();
        headless::Click("Form18.Button1");
    };
    Send(1, 0, "selam");
    EXPECT_TRUE(heldDuringPost) << "the wait window showed and held the main window";
    EXPECT_GE(Form18->Edit1->Text().size(), 5u) << "the bar grew from its timer while the post ran";
    EXPECT_EQ(Boxes(), (Strings{"MESAJ GÖNDERİLEMEDİ"_w, "error: Connection aborted on request"}));
    EXPECT_EQ(Form2->Memo1->Text(), "selam");
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_TRUE(Form18->Timer1->Enabled()) << "the bar goes on after the window closed";
}

TEST_F(SendRun, RefusalsPostNothingAndKeepTheText) {
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Send(0, 3, "merhaba");  // 543 is not Turkcell's
    EXPECT_EQ(Boxes(), Strings{"Sadece Turkcell e SMS Yollayabilirsiniz"});
    EXPECT_EQ(Form2->Memo1->Text(), "merhaba");
    EXPECT_TRUE(History().empty());

    Form3->Edit3->SetText("");  // the login's working values, unsaved
    Headless().ClearRecords();
    Open(1);
    headless::Select("Form2.ComboBox2", 3);
    headless::Click("Form2.SpeedButton1");
    EXPECT_EQ(Boxes(), Strings{"Superonline Ayarlarınızı Yapmamışsınız"_w});
    EXPECT_EQ(Form2->Memo1->Text(), "merhaba");
    EXPECT_EQ(fake.Count(), 0);
}

TEST_F(SendRun, OfflineTheWindowStaysAndNothingIsPosted) {
    Start("127.0.0.1:9", false);
    Send(1, 0, "selam");
    EXPECT_EQ(Boxes(), Strings{"İnternete Bağlı Değilsiniz!"_w});
    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(Form2->Memo1->Text(), "selam");
    headless::Click("Form2.SpeedButton3");
    EXPECT_EQ(Boxes().back(), "İnternete bağlı değilsiniz"_w) << "nor the ready messages";
}

TEST_F(SendRun, AWindowEndsOnlyTheHoldItTookOnTheMainWindow) {
    Start("127.0.0.1:9");
    Open(1);
    EXPECT_FALSE(Form1->Enabled());
    headless::Click("Form2.SpeedButton2");
    EXPECT_TRUE(Form1->Enabled()) << "the cancel ended the send window's hold";

    Form18->Show();
    Form2->Close();  // the hidden send window closed once more
    EXPECT_FALSE(Form1->Enabled()) << "the wait window still holds the main window";
    EXPECT_EQ(messenger::HoldCount(Form1), 1);
    Form18->Close();
    Form18->Close();
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_EQ(messenger::HoldCount(Form1), 0);

    // A send window left open when the program ends takes its hold with it.
    Open(1);
    const TControl* main = Form1;
    session_.reset();
    EXPECT_EQ(messenger::HoldCount(main), 0);
}

TEST_F(SendRun, AHistoryEntryIsAddedOnceInAnyCaseAndNotWhenTheSwitchIsOff) {
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Form15->ListBox1->Items()->Add("SELAM");
    Send(1, 0, "selam");
    EXPECT_EQ(History(), Strings{"SELAM"});
    Form1->GemiiAKAPAT1->Checked = false;
    Send(1, 0, "yeni");
    EXPECT_EQ(History(), Strings{"SELAM"});
    EXPECT_EQ(fake.Count(), 2);
}

TEST_F(SendRun, TheCounterFollowsTheServiceAndTheKeys) {
    Start("127.0.0.1:9");
    Open(1);
    EXPECT_EQ(Form2->Label2->Caption(), "0.8.219.51");
    EXPECT_EQ(Form2->Edit1->Text(), "154") << "160 minus the signature";
    headless::Type("Form2.Memo1", "abc");
    EXPECT_EQ(Form2->Edit1->Text(), "158") << "counted at the key-down, one key late";

    Form2->Memo1->SetText(std::string(150, 'x'));
    headless::Select("Form2.ComboBox2", 3);
    EXPECT_EQ(Form2->Edit1->Text(), "-6") << "computed before the cut";
    EXPECT_EQ(Form2->Memo1->Text(), std::string(144, 'x'));
    headless::Select("Form2.ComboBox2", 0);
    EXPECT_EQ(Form2->Memo1->Text().size(), 144u) << "the cut characters do not come back";
    EXPECT_EQ(Form2->Edit1->Text(), IntToStr(160 - 6 - 144));
    headless::Select("Form2.ComboBox2", 3);

    headless::Click("Form2.SpeedButton2");
    EXPECT_EQ(Form2->Memo1->Text(), "");
    Open(1);
    EXPECT_EQ(Form2->Label2->Caption(), "69.171.81.41");
    EXPECT_EQ(Form2->ComboBox2->ItemIndex(), 0);
    EXPECT_EQ(Form2->Edit1->Text(), "154");
    EXPECT_EQ(Form2->Memo1->MaxLength, 144) << "the field keeps the last change's limit";
    EXPECT_EQ(messenger::DrawDottedAddress(254, 1), "95.109.21.121") << "the SuperOnline draw goes on";
}

TEST_F(SendRun, TheProxyOfTheSettingsCarriesTheSendWithItsAuthorisation) {
    std::string prog = testpeers::FindProgram({"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy"});
    ASSERT_FALSE(prog.empty()) << "tinyproxy is not installed (Debian package tinyproxy)";
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    const int port = testsupport::FreePort();
    testsupport::WriteAll(state_.Path("tinyproxy.conf"),
                          "Port " + std::to_string(port) +
                              "\nListen 127.0.0.1\nTimeout 30\nMaxClients 8\nAllow 127.0.0.1\n"
                              "BasicAuth tester pw123\nLogLevel Critical\nLogFile \"" +
                              state_.Path("tinyproxy.log") + "\"\n");
    testpeers::ChildProcess proxy(prog, {"-d", "-c", state_.Path("tinyproxy.conf")});
    ASSERT_TRUE(testpeers::WaitForPort(port)) << "tinyproxy did not start";
    Start(fake.Host());

    // The settings' working values, unsaved.
    Form9->CheckBox3->SetChecked(true);
    Form9->Edit3->SetText("127.0.0.1");
    Form9->Edit4->SetText(std::to_string(port));
    Form9->CheckBox4->SetChecked(true);
    Form9->Edit5->SetText("tester");
    Form9->Edit6->SetText("pw123");
    Send(1, 0, "vekil");
    ASSERT_EQ(fake.Count(), 1);
    EXPECT_NE(fake.Request(1).find("\r\nVia: "), std::string::npos) << "it came through the proxy";
    EXPECT_EQ(fake.Fields(1), (Strings{"telno=905321112233", "mesaj=vekil-Tolvar", "ip=0.8.219.51"}));
    EXPECT_EQ(Boxes(), Strings{"Mesajınız Başarıyla Gönderildi"_w});

    Form9->Edit6->SetText("wrong");
    Headless().ClearRecords();
    Send(1, 0, "yanlis");
    EXPECT_EQ(fake.Count(), 1) << "the proxy turned it away";
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].substr(0, 7), "error: ");
    EXPECT_EQ(Form2->Memo1->Text(), "yanlis");

    Form9->CheckBox3->SetChecked(false);
    Headless().ClearRecords();
    Form2->Memo1->Clear();
    Send(1, 0, "direkt");
    ASSERT_EQ(fake.Count(), 2);
    EXPECT_EQ(fake.Request(2).find("\r\nVia: "), std::string::npos) << "the switch off goes direct";
    EXPECT_EQ(Boxes(), Strings{"Mesajınız Başarıyla Gönderildi"_w});
}

// A proxy port typed beyond 16 bits is refused; it never reaches the port it would wrap to.
TEST_F(SendRun, AProxyPortBeyondSixteenBitsIsRefused) {
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Form9->CheckBox3->SetChecked(true);
    Form9->Edit3->SetText("127.0.0.1");
    Form9->Edit4->SetText(std::to_string(65536 + fake.Port()));
    Send(1, 0, "vekil");
    EXPECT_EQ(Boxes(), (Strings{"MESAJ GÖNDERİLEMEDİ"_w, "error: can't connect: Invalid argument (Error #10022)"}));
    EXPECT_EQ(fake.Count(), 0);
    EXPECT_EQ(Form2->Memo1->Text(), "vekil");
}

TEST_F(SendRun, TheSuperOnlineReferrerStaysForTheLaterSendsOfTheRun) {
    fixtures::GatewayFake fake(Dir(), "yollandi");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Send(1, 0, "once");
    Send(1, 3, "sonra");
    Send(1, 0, "yine");
    ASSERT_EQ(fake.Count(), 3);
    const std::string referer = "Referer: http://" + fake.Host() + "/sms/sms_send/1,1206,0,00.html\r\n";
    EXPECT_EQ(fake.Request(1).find(referer), std::string::npos);
    EXPECT_NE(fake.Request(2).find(referer), std::string::npos);
    EXPECT_NE(fake.Request(3).find(referer), std::string::npos) << "nothing clears the client's referrer";
    EXPECT_EQ(fake.Fields(2).at(0), "IP=95.109.21.121") << "the draw after two shows";
}

TEST_F(SendRun, AFailedSuperOnlinePostShowsNoSuccessText) {
    fixtures::GatewayFake fake(Dir(), "500");
    ASSERT_TRUE(fake.Started());
    Start(fake.Host());
    Send(1, 3, "olmadi");
    EXPECT_EQ(Boxes(), Strings{"error: Internal Server Error"});
    EXPECT_EQ(Form2->Memo1->Text(), "olmadi");
    EXPECT_TRUE(History().empty());
}
