// The web browser control on a desktop without a page view of its own: each navigation opens the
// page through the shell, in the person's browser, and the control's events follow at once in
// their order (a cancel in OnBeforeNavigate2 opens nothing); the control shows the address.
#include <gtk/gtk.h>

#include <cstdlib>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/webbrowser.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/internal.h"
#include "platform/win/shellapi.h"
#include "support/tempstate.h"

namespace desktoptest {
namespace {

class BrowserFallbackTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        desktop::detail::UseBrowserViews(false);
        shell::ClearRecordedRequests();
    }
    void TearDown() override {
        desktop::detail::UseBrowserViews(true);
        DesktopTest::TearDown();
    }
};

TEST_F(BrowserFallbackTest, ANavigationOpensThroughTheShellAndBothEventsFollow) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetBounds(30, 30, 420, 200);
    auto* browser = new TWebBrowser(form);
    browser->SetParent(form);
    browser->SetBounds(10, 10, 400, 100);
    // What happened, in order: "before URL", "shell URL" (the shell's requests as seen at each
    // event), "complete URL".
    std::vector<std::string> seen;
    size_t shellSeen = 0;
    auto noteShell = [&] {
        std::vector<ShellRequest> r = shell::RecordedRequests();
        for (; shellSeen < r.size(); ++shellSeen) {
            EXPECT_EQ(r[shellSeen].verb, "open");
            seen.push_back("shell " + r[shellSeen].file);
        }
    };
    browser->OnBeforeNavigate2 = [&](TObject* sender, const std::string& url, bool& cancel) {
        EXPECT_EQ(sender, browser);
        noteShell();
        seen.push_back("before " + url);
        cancel = url.find("iptal") != std::string::npos;
    };
    browser->OnNavigateComplete2 = [&](TObject* sender, const std::string& url) {
        EXPECT_EQ(sender, browser);
        noteShell();
        seen.push_back("complete " + url);
    };
    form->Show();
    auto* window = static_cast<GtkWidget*>(desktop::FormWindow(form));
    ASSERT_TRUE(PumpUntil([&] { return window && gtk_widget_get_mapped(window); }));
    auto* widget = static_cast<GtkWidget*>(desktop::ControlWidget(browser));
    ASSERT_TRUE(GTK_IS_LABEL(widget)) << "the control was given a page view";

    const std::string one = "http://127.0.0.1:9/marendo/hazir.asp?a=1&b=" + cp1254::FromUtf8("ş");
    browser->Navigate(one);
    noteShell();
    EXPECT_EQ(seen, (std::vector<std::string>{"before " + one, "shell " + one, "complete " + one}));
    EXPECT_EQ(browser->LocationURL(), one);
    EXPECT_TRUE(PumpUntil([&] { return cp1254::FromUtf8(gtk_label_get_text(GTK_LABEL(widget))) == one; }))
        << gtk_label_get_text(GTK_LABEL(widget));

    // A navigation the handler cancels opens nothing and keeps the page.
    seen.clear();
    const std::string cancelled = "http://127.0.0.1:9/iptal.html";
    browser->Navigate(cancelled);
    PumpFor(50);
    noteShell();
    EXPECT_EQ(seen, (std::vector<std::string>{"before " + cancelled}));
    EXPECT_EQ(browser->LocationURL(), one);
    EXPECT_EQ(cp1254::FromUtf8(gtk_label_get_text(GTK_LABEL(widget))), one);

    // The next one goes as the first.
    seen.clear();
    const std::string two = "http://127.0.0.1:9/iki.html";
    browser->Navigate(two);
    noteShell();
    EXPECT_EQ(seen, (std::vector<std::string>{"before " + two, "shell " + two, "complete " + two}));
    EXPECT_TRUE(PumpUntil([&] { return gtk_label_get_text(GTK_LABEL(widget)) == two; }));
    EXPECT_TRUE(Screenshot(ShotDir() + "/browser-fallback.png"));
}

// A control navigated before its form was ever shown has no widget yet: it is built then, and the
// page still opens through the shell once.
TEST_F(BrowserFallbackTest, AControlNotYetShownStillOpensItsPage) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    auto* browser = new TWebBrowser(form);
    browser->SetParent(form);
    browser->SetBounds(0, 0, 200, 100);
    int completed = 0;
    browser->OnNavigateComplete2 = [&](TObject*, const std::string&) { ++completed; };
    const std::string url = "http://127.0.0.1:9/";
    browser->Navigate(url);
    std::vector<ShellRequest> r = shell::RecordedRequests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].file, url);
    EXPECT_EQ(completed, 1);
    form->Show();
    auto* widget = static_cast<GtkWidget*>(desktop::ControlWidget(browser));
    ASSERT_TRUE(GTK_IS_LABEL(widget));
    EXPECT_TRUE(PumpUntil([&] { return gtk_label_get_text(GTK_LABEL(widget)) == url; }));
}

}  // namespace
}  // namespace desktoptest
