// Tolvar's ready-message window on a desktop whose browser control has no page view: the maker's
// page opens through the shell, and the window's status bar shows both texts in turn, as the
// person sees them.
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "display.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "messenger/Unit11.h"
#include "platform/classlib/application.h"
#include "platform/classlib/comctrls.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/internal.h"
#include "platform/win/shellapi.h"
#include "platform/win/statedir.h"
#include "platform/winsock/winsock.h"
#include "support/tempstate.h"
#include "transport/INetDetector.h"

namespace desktoptest {
namespace {

// The texts the status bar's widget shows, in its panels' order (UTF-8).
std::vector<std::string> StatusTexts(TControl* bar) {
    std::vector<std::string> out;
    auto* box = static_cast<GtkWidget*>(desktop::ControlWidget(bar));
    if (!box) return out;
    GList* frames = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList* f = frames; f; f = f->next) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(f->data));
        if (label && GTK_IS_LABEL(label)) out.push_back(gtk_label_get_text(GTK_LABEL(label)));
    }
    g_list_free(frames);
    return out;
}

class ReadyPageTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        desktop::detail::UseBrowserViews(false);
        shell::ClearRecordedRequests();
        winsock::SetTestHostName("tolvar-box");
        winsock::SetTestHosts({{"tolvar-box", {{"10.20.30.40"}, 0, 0}}});
        setenv("TOLVAR_MAKER_HOST", "127.0.0.1:9", 1);
    }
    void TearDown() override {
        desktop::detail::UseBrowserViews(true);
        DesktopTest::TearDown();
        unsetenv("TOLVAR_MAKER_HOST");
        winsock::SetTestHostName("");
        winsock::ClearTestHosts();
    }
};

TEST_F(ReadyPageTest, ThePageOpensThroughTheShellAndTheStatusBarFollows) {
    tolvar::CreateForms();
    tolvar::ShowMainForm();
    Form1->INetDetector1->SetEnabled(false);
    Form1->INetDetector1->Poll();
    ASSERT_TRUE(Form1->INetDetector1->Online());
    // What the status bar says once the program's own handler has run, and what the shell was
    // asked by then.
    std::string whileOpening;
    size_t requestsWhileOpening = 99;
    auto before = Form11->WebBrowser1->OnBeforeNavigate2;
    Form11->WebBrowser1->OnBeforeNavigate2 = [&](TObject* s, const std::string& url, bool& cancel) {
        before(s, url, cancel);
        whileOpening = Form11->StatusBar1->Panels()->Items(0)->Text();
        requestsWhileOpening = shell::RecordedRequests().size();
    };
    Form11->Show();
    auto* window = static_cast<GtkWidget*>(desktop::FormWindow(Form11));
    ASSERT_TRUE(PumpUntil([&] { return window && gtk_widget_get_mapped(window); }, 20000));
    EXPECT_EQ(whileOpening, "Marendo Hazır SMS Bölümü açılıyor...."_w);
    EXPECT_EQ(requestsWhileOpening, 0u);
    const std::vector<ShellRequest> r = shell::RecordedRequests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].verb, "open");
    EXPECT_EQ(r[0].file, "http://127.0.0.1:9/marendo/hazir.asp");
    EXPECT_EQ(Form11->WebBrowser1->LocationURL(), r[0].file);
    EXPECT_TRUE(PumpUntil([] { return StatusTexts(Form11->StatusBar1) == std::vector<std::string>{"Marendo Hazır SMS Bölümü açıldı."}; }))
        << (StatusTexts(Form11->StatusBar1).empty() ? "" : StatusTexts(Form11->StatusBar1)[0]);
    EXPECT_TRUE(Screenshot(ShotDir() + "/tolvar-readypage-fallback.png"));
}

}  // namespace
}  // namespace desktoptest
