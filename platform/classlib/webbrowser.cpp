// The web browser control: the address it shows and its two navigation events.
#include "platform/classlib/webbrowser.h"

#include "platform/classlib/backend.h"

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner) {}

void TWebBrowser::Navigate(const std::string& URL) { ActiveBackend()->Navigate(this, URL); }

bool TWebBrowser::BeforeNavigate(const std::string& URL) {
    bool cancel = false;
    if (OnBeforeNavigate2) OnBeforeNavigate2(this, URL, cancel);
    return !cancel;
}

void TWebBrowser::NavigateComplete(const std::string& URL) {
    FLocationURL = URL;
    NotifyPeerText();
    if (OnNavigateComplete2) OnNavigateComplete2(this, URL);
}

void TWebBrowser::Describe(TControlDescription& d) const {
    d.Text(FLocationURL);
}
