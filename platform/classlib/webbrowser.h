// TWebBrowser: the system's web browser control on a form.
//
// The control itself keeps only where it is (LocationURL); showing pages is the backend's
// (backend.h, TBackend::Navigate). Navigate hands the address to the backend, which runs
// BeforeNavigate (OnBeforeNavigate2; the handler may cancel) and, once the page is there,
// NavigateComplete (OnNavigateComplete2). The headless backend records every navigation and runs
// both at once; a page's own links would come back through the same two members.
#pragma once

#include <functional>
#include <string>

#include "platform/classlib/controls.h"

class TWebBrowser;

using TBeforeNavigate2Event = std::function<void(TObject* Sender, const std::string& URL, bool& Cancel)>;
using TNavigateComplete2Event = std::function<void(TObject* Sender, const std::string& URL)>;

class TWebBrowser : public TWinControl {
public:
    explicit TWebBrowser(TComponent* AOwner);
    const char* ClassName() const override { return "TWebBrowser"; }

    // Goes to URL through the backend.
    void Navigate(const std::string& URL);
    // The address of the page shown (empty before the first completed navigation).
    const std::string& LocationURL() const { return FLocationURL; }

    TBeforeNavigate2Event OnBeforeNavigate2;
    TNavigateComplete2Event OnNavigateComplete2;

    // For backends: a navigation starts (false when a handler cancelled it) / has completed.
    bool BeforeNavigate(const std::string& URL);
    void NavigateComplete(const std::string& URL);

    void Describe(TControlDescription& d) const override;  // the address shown

private:
    std::string FLocationURL;
};
