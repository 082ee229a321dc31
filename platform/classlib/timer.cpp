#include "platform/classlib/timer.h"

namespace {
constexpr const char* TimerWindowClass = "TTimerWindow";
constexpr UINT_PTR TimerId = 1;
}  // namespace

TTimerEvent& TTimerEvent::operator=(TNotifyEvent f) {
    FEvent = std::move(f);
    FOwner->UpdateTimer();
    return *this;
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    FWindow = AllocateHWnd([this](TMessage& m) { WndProc(m); }, TimerWindowClass);
    if (!FWindow) throw EOutOfMemory("Not enough timers available");
}

TTimer::~TTimer() {
    if (FRunning) KillTimer(FWindow, TimerId);
    FRunning = false;
    DeallocateHWnd(FWindow);
}

void TTimer::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == FInterval) return;
    FInterval = ms;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!FWindow) return;  // still being built
    if (FRunning) KillTimer(FWindow, TimerId);
    FRunning = false;
    if (FEnabled && FInterval != 0 && OnTimer) {
        if (!SetTimer(FWindow, TimerId, FInterval, nullptr)) throw EOutOfMemory("Not enough timers available");
        FRunning = true;
    }
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

void TTimer::WndProc(TMessage& Message) {
    if (Message.Msg == WM_TIMER && Message.WParam == TimerId) {
        if (FRunning) Timer();
        return;
    }
    Message.Result = DefWindowProcA(FWindow, Message.Msg, Message.WParam, Message.LParam);
}
