// The web browser control on the desktop: a page is shown, the control's two events follow its
// loads, and a link the page follows asks OnBeforeNavigate2 first (a cancel keeps the page).
#include <gtk/gtk.h>

#include <cstdlib>

#include "display.h"
#include "platform/classlib/application.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/webbrowser.h"
#include "platform/desktop/desktop.h"
#include "support/tempstate.h"

#ifdef HAVE_WEBKIT
#include <webkit2/webkit2.h>
#endif

namespace desktoptest {
namespace {

#ifdef HAVE_WEBKIT

class BrowserTest : public DesktopTest {
protected:
    void SetUp() override {
        // The page process runs unconfined here (the tests may run as root in a container).
        setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
        setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
        DesktopTest::SetUp();
    }
};

void RunScript(GtkWidget* view, const char* script) {
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(view), script, -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(BrowserTest, APageLoadsAndItsLinksAskBeforeNavigating) {
    testsupport::WriteAll(state.Path("one.html"),
                          "<html><body style='background:#00ff00'><a id='two' href='two.html'>two</a> "
                          "<a id='three' href='three.html'>three</a></body></html>");
    testsupport::WriteAll(state.Path("two.html"), "<html><body>two</body></html>");
    testsupport::WriteAll(state.Path("three.html"), "<html><body>three</body></html>");
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetBounds(30, 30, 420, 300);
    auto* browser = new TWebBrowser(form);
    browser->SetParent(form);
    browser->SetBounds(10, 10, 400, 280);
    std::vector<std::string> asked, done;
    browser->OnBeforeNavigate2 = [&](TObject*, const std::string& url, bool& cancel) {
        asked.push_back(url);
        cancel = url.find("three") != std::string::npos;
    };
    browser->OnNavigateComplete2 = [&](TObject*, const std::string& url) { done.push_back(url); };
    form->Show();
    const std::string one = "file://" + state.Path("one.html");
    browser->Navigate(one);
    ASSERT_TRUE(PumpUntil([&] { return done.size() == 1; }, 30000)) << "the page never loaded";
    EXPECT_EQ(done[0], one);
    EXPECT_EQ(browser->LocationURL(), one);
    ASSERT_EQ(asked.size(), 1u);  // the control's own navigation was asked once
    EXPECT_TRUE(Screenshot("/tmp/desktop-shots/browser.png"));
    auto* view = static_cast<GtkWidget*>(desktop::ControlWidget(browser));
    // A cancelled link: asked, never loaded.
    RunScript(view, "document.getElementById('three').click()");
    ASSERT_TRUE(PumpUntil([&] { return asked.size() == 2; }, 10000));
    EXPECT_NE(asked[1].find("three.html"), std::string::npos);
    RunScript(view, "document.getElementById('two').click()");
    ASSERT_TRUE(PumpUntil([&] { return done.size() == 2; }, 10000));
    EXPECT_EQ(done[1], "file://" + state.Path("two.html"));
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(browser->LocationURL(), "file://" + state.Path("two.html"));
}

#endif

}  // namespace
}  // namespace desktoptest
