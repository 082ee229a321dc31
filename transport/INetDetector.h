// TINetDetector: the connectivity watcher of the messenger's main window.
//
// This is the component's outer shape: its published properties and its change event, so that the
// main window can hold and configure one. The ticking itself (the hidden window, the timer and the
// online test) arrives with the watcher's own implementation; until then Online stays false and
// OnChanged never fires.
#pragma once

#include "platform/classlib/components.h"

class TINetDetector : public TComponent {
public:
    explicit TINetDetector(TComponent* AOwner);
    const char* ClassName() const override { return "TINetDetector"; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v) { FEnabled = v; }
    unsigned DispatchInterval() const { return FDispatchInterval; }
    void SetDispatchInterval(unsigned ms) { FDispatchInterval = ms; }
    // The last decision. Its writer ignores every value: only a tick changes it.
    bool Online() const { return FOnline; }
    void SetOnline(bool) {}

    TNotifyEvent OnChanged;

private:
    bool FEnabled = true;
    unsigned FDispatchInterval = 1000;
    bool FOnline = false;
};
