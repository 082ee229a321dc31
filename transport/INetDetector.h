// TINetDetector: the connectivity watcher of the messenger's main window.
//
// Once per DispatchInterval (a timer on its hidden window) it decides whether the machine is on the
// Internet from two signs: the machine's own host name resolves (blocking lookup of Windows Sockets
// 1.1) to an address other than 127.0.0.1, or the dial-up service marks a connection in the value
// "Remote Connection" (first byte 1) of HKLM\System\CurrentControlSet\Services\RemoteAccess. The
// decision is made in two steps per tick and each step is compared with the value from before the
// tick, so a change normally fires OnChanged twice in the same tick; the owner's handler must
// tolerate the repeat. An exception during a tick goes to the application's error box with the
// watcher as sender, and the timer keeps running.
#pragma once

#include "platform/classlib/components.h"
#include "platform/classlib/messages.h"

class TINetDetector : public TComponent {
public:
    explicit TINetDetector(TComponent* AOwner);
    ~TINetDetector() override;
    const char* ClassName() const override { return "TINetDetector"; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);
    // Milliseconds between ticks; 0 stops the timer.
    unsigned DispatchInterval() const { return FDispatchInterval; }
    void SetDispatchInterval(unsigned ms);
    // The last decision (false until the first tick). Its writer ignores every value.
    bool Online() const { return FOnline; }
    void SetOnline(bool) {}

    TNotifyEvent OnChanged;

    // One tick, as the timer runs it.
    void Poll();
    // Whether the machine's own name resolves to an address other than 127.0.0.1.
    static bool LocalCheck();

    HWND WindowHandle() const { return FWindow; }

private:
    void WndProc(TMessage& Message);
    void Rearm();
    void Tick();

    HWND FWindow = nullptr;
    bool FEnabled = true;
    unsigned FDispatchInterval = 1000;
    bool FOnline = false;
};
