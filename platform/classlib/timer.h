// TTimer: a non-visual component that calls OnTimer every Interval milliseconds while Enabled.
//
// It owns a hidden window on the thread that created it and ticks through that thread's message
// pump (WM_TIMER). No timer runs while it is disabled, while Interval is 0 or while no OnTimer is
// assigned; changing Enabled, Interval or OnTimer starts the count again.
#pragma once

#include "platform/classlib/components.h"
#include "platform/classlib/messages.h"
#include "platform/win/winuser.h"

class TTimer;

// The OnTimer event: assigned and called like a TNotifyEvent; assigning it restarts the timer.
class TTimerEvent {
public:
    TTimerEvent& operator=(TNotifyEvent f);
    TTimerEvent& operator=(std::nullptr_t) { return *this = TNotifyEvent(); }
    TTimerEvent& operator=(const TTimerEvent& other) { return *this = other.FEvent; }  // the handler only
    TTimerEvent(const TTimerEvent&) = delete;
    explicit operator bool() const { return static_cast<bool>(FEvent); }
    void operator()(TObject* Sender) const { FEvent(Sender); }
    const TNotifyEvent& Get() const { return FEvent; }

private:
    friend class TTimer;
    explicit TTimerEvent(TTimer* owner) : FOwner(owner) {}
    TTimer* FOwner;
    TNotifyEvent FEvent;
};

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    const char* ClassName() const override { return "TTimer"; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned ms);
    TTimerEvent OnTimer{this};

    bool Running() const { return FRunning; }  // a system timer is set
    HWND WindowHandle() const { return FWindow; }

protected:
    virtual void Timer();  // calls OnTimer

private:
    friend class TTimerEvent;
    void WndProc(TMessage& Message);
    void UpdateTimer();

    HWND FWindow = nullptr;
    bool FEnabled = true;
    unsigned FInterval = 1000;
    bool FRunning = false;
};
