// The web browser control on the desktop: a WebKit view where WebKit is built in and its view can
// be made, the model's BeforeNavigate asked for the page's own navigations; without a view each
// page opens through the shell in the person's browser.
#include <string>

#include "platform/classlib/webbrowser.h"
#include "platform/desktop/internal.h"
#include "platform/desktop/peer.h"
#include "platform/win/shellapi.h"

#ifdef HAVE_WEBKIT
#include <webkit2/webkit2.h>
#endif

namespace desktop::detail {

namespace {

// Whether a browser control built from now on gets a view of its own (UseBrowserViews).
bool g_browserViews = true;

#ifdef HAVE_WEBKIT
// A navigation the page asks for (a link, a form, a script): the model's BeforeNavigate decides,
// unless it is the one the model started.
gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
    TPeer* p = PeerOfWidget(GTK_WIDGET(view));
    if (!p) return FALSE;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    std::string url = FromUtf8(uri);
    if (url == p->Approved) {
        p->Approved.clear();
        return FALSE;
    }
    auto* b = static_cast<TWebBrowser*>(p->C);
    bool go = true;
    Guard(b, [&] { go = b->BeforeNavigate(url); });
    if (!go) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
    if (event != WEBKIT_LOAD_FINISHED) return;
    TPeer* p = PeerOfWidget(GTK_WIDGET(view));
    if (!p) return;
    auto* b = static_cast<TWebBrowser*>(p->C);
    std::string url = FromUtf8(webkit_web_view_get_uri(view));
    Guard(b, [&] { b->NavigateComplete(url); });
}
#endif

}  // namespace

void TPeer::BuildBrowser() {
#ifdef HAVE_WEBKIT
    if (g_browserViews) Inner = webkit_web_view_new();
    if (Inner && WEBKIT_IS_WEB_VIEW(Inner)) {
        g_signal_connect(Inner, "decide-policy", G_CALLBACK(OnDecidePolicy), nullptr);
        g_signal_connect(Inner, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
        Outer = Inner;
        return;
    }
#endif
    // No view of its own: the address a page was opened at in the person's browser.
    Inner = gtk_label_new(nullptr);
    gtk_label_set_selectable(GTK_LABEL(Inner), TRUE);
    gtk_label_set_ellipsize(GTK_LABEL(Inner), PANGO_ELLIPSIZE_END);
    Outer = Inner;
}


void NavigateBrowser(TWebBrowser* browser, const std::string& url) {
    if (!browser->BeforeNavigate(url)) return;
    TPeer* p = PeerOf(browser);
    if (p && p->K == Kind::Unbuilt) p->Build();
#ifdef HAVE_WEBKIT
    if (p && p->Inner && WEBKIT_IS_WEB_VIEW(p->Inner)) {
        p->Approved = url;
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(p->Inner), Utf8(url).c_str());
        return;
    }
#endif
    // Without a view the page opens through the shell, in the person's browser; the control
    // follows at once.
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    browser->NavigateComplete(url);
    if (p) p->TextChanged();
}

void UseBrowserViews(bool use) { g_browserViews = use; }

}  // namespace desktop::detail
