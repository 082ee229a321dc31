// The web browser control on the headless backend: every navigation recorded, its two events in
// order, a cancelled navigation keeping the old address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/forms.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/webbrowser.h"

TEST(WebBrowser, HeadlessRecordsEachNavigationAndRunsBothEvents) {
    headless::TSession session;
    auto* form = new TForm(Application);
    form->SetName("FormW");
    auto* browser = new TWebBrowser(form);
    browser->SetName("WebBrowser1");
    browser->SetParent(form);
    std::vector<std::string> log;
    browser->OnBeforeNavigate2 = [&](TObject* s, const std::string& url, bool& cancel) {
        EXPECT_EQ(s, browser);
        log.push_back("before " + url);
        cancel = url.find("blocked") != std::string::npos;
    };
    browser->OnNavigateComplete2 = [&](TObject*, const std::string& url) { log.push_back("complete " + url); };
    std::vector<std::string> told;
    headless::Headless().OnNavigate = [&](const headless::NavigationRecord& r) { told.push_back(r.URL); };

    browser->Navigate("http://127.0.0.1:8080/marendo/hazir.asp");
    EXPECT_EQ(browser->LocationURL(), "http://127.0.0.1:8080/marendo/hazir.asp");
    browser->Navigate("http://127.0.0.1:8080/blocked");
    EXPECT_EQ(browser->LocationURL(), "http://127.0.0.1:8080/marendo/hazir.asp") << "a cancelled navigation";
    headless::Headless().OnNavigate = nullptr;

    EXPECT_EQ(log, (std::vector<std::string>{"before http://127.0.0.1:8080/marendo/hazir.asp",
                                             "complete http://127.0.0.1:8080/marendo/hazir.asp",
                                             "before http://127.0.0.1:8080/blocked"}));
    const auto& rec = headless::Headless().Navigations();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].Control, "FormW.WebBrowser1");
    EXPECT_FALSE(rec[0].Cancelled);
    EXPECT_TRUE(rec[1].Cancelled);
    EXPECT_EQ(told, (std::vector<std::string>{rec[0].URL, rec[1].URL}));
}
