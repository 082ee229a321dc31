#include "platform/classlib/backend.h"

#include "platform/classlib/headless.h"
#include "platform/classlib/webbrowser.h"
#include "platform/win/winuser.h"

std::unique_ptr<TControlPeer> TBackend::CreatePeer(TControl*) { return nullptr; }
void TBackend::FormShown(TCustomForm*) {}
void TBackend::FormHidden(TCustomForm*) {}
void TBackend::FormDestroying(TCustomForm*) {}
void TBackend::PopupMenu(TPopupMenu*, int, int) {}
void TBackend::ApplicationMinimized() {}
void TBackend::ApplicationRestored() {}
void TBackend::ModalIdle(TCustomForm*) { WaitMessage(); }
void TBackend::Navigate(TWebBrowser* browser, const std::string& url) {
    if (browser->BeforeNavigate(url)) browser->NavigateComplete(url);
}

namespace {
TBackend* g_backend = nullptr;
}

TBackend* ActiveBackend() { return g_backend ? g_backend : &headless::Headless(); }

TBackend* SetBackend(TBackend* backend) {
    TBackend* old = ActiveBackend();
    g_backend = backend;
    return old;
}
